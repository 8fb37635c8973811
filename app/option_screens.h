// The three option screens (Display, Sound, DIP switches) as data: a column
// and, per row, the option it edits with that option's fixed display lines.
// One drawing routine and one key routine serve all three.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "app/screens.h"
#include "app/settings.h"

namespace zq {

struct OptionRow {
  std::int32_t SetupSettings::*option;
  // One complete, blank-padded line per value; the option's range is 0 to
  // lines.size() - 1.
  std::span<const std::string_view> lines;
};

struct OptionScreen {
  std::uint16_t column;
  std::span<const OptionRow> rows;  // drawn from console row 8 down
};

extern const OptionScreen kDisplayScreen;
extern const OptionScreen kSoundScreen;
extern const OptionScreen kDipScreen;

// The rows with `screen_cursor` highlighted; a value outside its range (as
// read from the file) shows as the number and a "?", in the row's width.
// Cursor on the selected row's first cell, then the pause.
void draw_option_screen(Io io, const OptionScreen& screen, std::int32_t screen_cursor,
                        const SetupSettings& settings);

// The row drawn on that cell of the layout, and the key a click there
// stands for: Left on the row's "<", Right on its ">", none elsewhere.
struct RowHit {
  std::int32_t row = 0;
  int scan_code = 0;
};
std::optional<RowHit> option_row_at(const OptionScreen& screen, const SetupSettings& settings, int column, int row);

// Up/Down move the selection, Left/Right change the selected option (each
// redraws the rows); true when Enter or Esc leaves the screen.
bool option_screen_key(Io io, const OptionScreen& screen, std::int32_t& screen_cursor,
                       SetupSettings& settings, int scan_code);

}  // namespace zq
