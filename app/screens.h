// What every screen stands on: the cyclic wrap of values and cursors, the
// colours, the frame (backdrop, banner, notice and key-help lines) and the
// main menu with its key handling.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "runtime/console_screen.h"
#include "runtime/console_view.h"
#include "runtime/keyboard.h"

namespace zq {

// The colour pairs the screens use, as {foreground, background}.
struct ColorPair {
  std::uint32_t foreground;
  std::uint32_t background;
};
inline constexpr ColorPair kColorFrame{15, 1};     // 31: background, notice, key help
inline constexpr ColorPair kColorShadow{15, 0};    // 15: shadows
inline constexpr ColorPair kColorBanner{15, 6};    // 111: banner box
inline constexpr ColorPair kColorNormal{14, 1};    // 30: unselected entries and rows
inline constexpr ColorPair kColorSelected{15, 4};  // 79: selection, prompt boxes

// The screens' 80x25 layout as a terminal or window shows it: the top row,
// then the row under the banner, are blank on every screen, so a shorter
// view leaves them out; a larger one shows the frame's blue around it.
// Without colours the selection bar and the prompt boxes (red) and the
// banner (brown) show in reverse video.
inline constexpr int kSparedRows[] = {0, 5};
inline constexpr ViewLayout kScreenLayout{
    80, 25, kSparedRows, static_cast<std::uint16_t>(kColorFrame.foreground + 16 * kColorFrame.background),
    static_cast<std::uint16_t>(1u << kColorSelected.background | 1u << kColorBanner.background)};

inline constexpr std::int32_t kMenuColumn = 30;
inline constexpr std::int32_t kMenuEntries = 5;
inline constexpr std::int32_t kEntryDisplay = 0;
inline constexpr std::int32_t kEntrySound = 1;
inline constexpr std::int32_t kEntryDip = 2;
inline constexpr std::int32_t kEntryAbandon = 3;
inline constexpr std::int32_t kEntrySave = 4;

// The console and the keyboard that every screen draws on and reads from.
struct Io {
  ConsoleScreen& screen;
  KeySource& keys;
};

void use_color(ConsoleScreen& screen, ColorPair color);
// locate, then print_text.
void print_at(ConsoleScreen& screen, std::uint16_t column, std::uint16_t row, std::string_view text);

// x wrapped cyclically into [lo, hi] (bounds in either order).
std::int32_t wrap_value(std::int32_t x, std::int32_t lo, std::int32_t hi);
// value - 1 and value + 1 with 32-bit wrap-around, as the option keys use them.
std::int32_t step_down(std::int32_t value);
std::int32_t step_up(std::int32_t value);

// The scan code of a key_text: its second byte, 0 when it has none.
int scan_code_of(std::string_view key_text);

// Clears the screen and draws the backdrop, with the notice's line on row 6
// and, after a line break, its second on row 7; leaves the cursor hidden.
void draw_frame(Io io, std::string_view notice);
// The five entries with `main_cursor` highlighted, cursor on it, then the pause.
void draw_main_menu(Io io, std::int32_t main_cursor, std::int32_t menu_column);
// How every redraw of the main menu and the option screens ends: the screen
// shown as drawn, then the 10 ms pause.
void end_redraw(Io io);

// The entry drawn on that cell of the layout, if any.
std::optional<std::int32_t> menu_entry_at(std::int32_t menu_column, int column, int row);

// What a key on the main menu leads to.
enum class MenuChoice { Stay, Open, Quit };
// Up/Down move `main_cursor` (and redraw); Enter opens the entry; Esc quits.
MenuChoice main_menu_key(Io io, std::int32_t& main_cursor, std::int32_t menu_column, int scan_code);

}  // namespace zq
