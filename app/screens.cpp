#include "app/screens.h"

#include <array>
#include <utility>

#include "runtime/text_convert.h"

namespace zq {
namespace {

constexpr std::string_view kBanner = "  Z O R V I K  Q U E L T A  M A R U N D O  S E T U P  ";
constexpr std::string_view kBannerBlank = "                                                      ";
constexpr std::string_view kKeyHelp =
    "     UP/DOWN=Select | LEFT/RIGHT=Change Values | ENTER=Accept | ESC=Quit";
static_assert(kBanner.size() == 54 && kBannerBlank.size() == 54 && kKeyHelp.size() == 72);

// Every entry is 16 cells wide, so redrawing one overwrites its old highlight.
constexpr std::array<std::string_view, kMenuEntries> kMenuEntryText = {
    "    Display     ",
    "     Sound      ",
    "  DIP Switches  ",
    "    Abandon     ",
    "  Save &  Exit  ",
};

constexpr std::uint16_t menu_row(std::int32_t entry) { return static_cast<std::uint16_t>(10 + 2 * entry); }

}  // namespace

void use_color(ConsoleScreen& screen, ColorPair color) {
  set_color(screen, color.foreground, color.background);
}

void print_at(ConsoleScreen& screen, std::uint16_t column, std::uint16_t row, std::string_view text) {
  locate(screen, column, row);
  print_text(screen, text);
}

// The remainders are unsigned 32-bit, so ranges as wide as the whole int32
// span and values far outside them stay exact.
std::int32_t wrap_value(std::int32_t x, std::int32_t lo, std::int32_t hi) {
  if (lo == hi) return lo;
  if (lo > hi) std::swap(lo, hi);
  const std::uint32_t ux = static_cast<std::uint32_t>(x);
  const std::uint32_t ulo = static_cast<std::uint32_t>(lo);
  const std::uint32_t uhi = static_cast<std::uint32_t>(hi);
  const std::uint32_t n = uhi - ulo + 1u;
  if (n == 0) return x;  // the range is the whole int32 span
  return static_cast<std::int32_t>(x >= lo ? ulo + (ux - ulo) % n : uhi - (ulo - ux - 1u) % n);
}

std::int32_t step_down(std::int32_t value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) - 1u);
}

std::int32_t step_up(std::int32_t value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) + 1u);
}

int scan_code_of(std::string_view key_text) { return char_code(mid_text(key_text, 2, 1)); }

void draw_frame(Io io, std::string_view notice) {
  ConsoleScreen& s = io.screen;
  set_cursor_shape(s, 0);
  use_color(s, kColorFrame);
  clear_screen(s);
  use_color(s, kColorShadow);
  for (std::uint16_t row = 2; row <= 4; ++row) print_at(s, 12, row, kBannerBlank);
  use_color(s, kColorBanner);
  print_at(s, 11, 1, kBannerBlank);
  print_at(s, 11, 2, kBanner);
  print_at(s, 11, 3, kBannerBlank);
  use_color(s, kColorFrame);
  // The notice from row 6 on: one line, or two split at a line break.
  const std::size_t split = notice.find('\n');
  print_at(s, 0, 6, notice.substr(0, split));
  if (split != std::string_view::npos) print_at(s, 0, 7, notice.substr(split + 1));
  print_at(s, 0, 24, kKeyHelp);
}

void end_redraw(Io io) {
  present_console(io.screen);
  io.keys.pause_ms(std::chrono::milliseconds(10));
}

void draw_main_menu(Io io, std::int32_t main_cursor, std::int32_t menu_column) {
  ConsoleScreen& s = io.screen;
  const auto column = static_cast<std::uint16_t>(menu_column);
  set_cursor_shape(s, 0);
  for (std::int32_t i = 0; i < kMenuEntries; ++i) {
    use_color(s, i == main_cursor ? kColorSelected : kColorNormal);
    print_at(s, column, menu_row(i), kMenuEntryText[static_cast<std::size_t>(i)]);
  }
  locate(s, column, menu_row(main_cursor));
  set_cursor_shape(s, 1);
  end_redraw(io);
}

std::optional<std::int32_t> menu_entry_at(std::int32_t menu_column, int column, int row) {
  for (std::int32_t i = 0; i < kMenuEntries; ++i) {
    const int left = menu_column;
    const int right = left + static_cast<int>(kMenuEntryText[static_cast<std::size_t>(i)].size());
    if (row == menu_row(i) && column >= left && column < right) return i;
  }
  return std::nullopt;
}

MenuChoice main_menu_key(Io io, std::int32_t& main_cursor, std::int32_t menu_column, int scan_code) {
  switch (scan_code) {
    case kScanUp:
    case kScanDown:
      main_cursor = wrap_value(main_cursor + (scan_code == kScanUp ? -1 : 1), 0, kMenuEntries - 1);
      draw_main_menu(io, main_cursor, menu_column);
      return MenuChoice::Stay;
    case kScanEnter:
      return MenuChoice::Open;
    case kScanEsc:
      return MenuChoice::Quit;
    default:
      return MenuChoice::Stay;
  }
}

}  // namespace zq
