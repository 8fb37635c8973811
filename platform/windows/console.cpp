// The console's frame: the window fitted, and the grid handed to present()
// written where the view's rules place it - the cells that changed, or the
// whole window after a resize or Ctrl+L - with the cursor.
#include "platform/windows/console.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "runtime/characters.h"
#include "runtime/console_palette.h"

namespace zq {
namespace {

constexpr WORD kPlainAttribute = 7;

// Cells per WriteConsoleOutput call at most: 64 KB of CHAR_INFO, the most
// older consoles take in one call. A window up to about 200x80 is one call.
constexpr std::size_t kMaxCellsPerWrite = 16000;

// Writes `cells` (`width` a row) with its top-left at `at`: one call, or one
// per band of rows that keeps under kMaxCellsPerWrite.
void write_block(HANDLE buffer, const std::vector<CHAR_INFO>& cells, int width, COORD at) {
  if (width <= 0 || cells.empty()) return;
  const int height = static_cast<int>(cells.size()) / width;
  const int band = std::max(1, static_cast<int>(kMaxCellsPerWrite) / width);
  for (int top = 0; top < height; top += band) {
    const int rows = std::min(band, height - top);
    SMALL_RECT region{at.X, static_cast<SHORT>(at.Y + top), static_cast<SHORT>(at.X + width - 1),
                      static_cast<SHORT>(at.Y + top + rows - 1)};
    WriteConsoleOutputW(buffer, cells.data() + static_cast<std::size_t>(top) * static_cast<std::size_t>(width),
                        COORD{static_cast<SHORT>(width), static_cast<SHORT>(rows)}, COORD{0, 0}, &region);
  }
}

}  // namespace

COORD WindowsConsole::window_size(const CONSOLE_SCREEN_BUFFER_INFO& info) {
  const SMALL_RECT& window = info.srWindow;
  return COORD{static_cast<SHORT>(window.Right - window.Left + 1), static_cast<SHORT>(window.Bottom - window.Top + 1)};
}

void WindowsConsole::refit() {
  if (!active_) return;
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(buffer_, &info)) return;
  const COORD size = window_size(info);
  // The buffer as large as the window again, when a console kept it larger
  // or smaller: no scroll bars, and nothing drawn outside the window.
  if (info.dwSize.X != size.X || info.dwSize.Y != size.Y) {
    const SMALL_RECT at_top{0, 0, static_cast<SHORT>(size.X - 1), static_cast<SHORT>(size.Y - 1)};
    SetConsoleWindowInfo(buffer_, TRUE, &at_top);
    SetConsoleScreenBufferSize(buffer_, size);
    GetConsoleScreenBufferInfo(buffer_, &info);
  }
  origin_ = COORD{info.srWindow.Left, info.srWindow.Top};
  window_columns_ = size.X;
  window_rows_ = size.Y;
  view_ = place_view(layout_, size.X, size.Y);
  whole_window_ = true;
}

void WindowsConsole::write_window(const ConsoleGrid& grid) {
  whole_window_ = false;
  shown_writes_ = grid.cell_writes();
  const int width = window_columns_;
  // The whole window in one write. Around the layout, the surround; around
  // the request, the console's own grey: it is a request, not the program.
  const CHAR_INFO blank{{L' '}, view_.fits ? shown_attribute(layout_.surround_attribute) : kPlainAttribute};
  std::vector<CHAR_INFO> window(static_cast<std::size_t>(width) * static_cast<std::size_t>(window_rows_), blank);
  const auto at = [&](int column, int row) -> CHAR_INFO& {
    return window[static_cast<std::size_t>(row) * static_cast<std::size_t>(width) + static_cast<std::size_t>(column)];
  };
  if (view_.fits) {
    shown_.assign(static_cast<std::size_t>(layout_.width) * static_cast<std::size_t>(layout_.height), Cell{});
    for (int v = 0; v < view_.rows_shown; ++v) {
      take_row(grid, layout_row_at(view_, v), 0, layout_.width - 1, &at(view_.left, view_.top + v));
    }
  } else {
    const std::vector<std::string> request = enlarge_request(layout_, "window", width, window_rows_);
    for (std::size_t row = 0; row < request.size(); ++row) {
      std::ranges::transform(request[row], &at(0, static_cast<int>(row)),
                             [](unsigned char ch) { return CHAR_INFO{{ch}, kPlainAttribute}; });
    }
  }
  write_block(buffer_, window, width, origin_);
  shown_place_.reset();
  shown_shape_.reset();
}

void WindowsConsole::write_changes(const ConsoleGrid& grid) {
  const auto width = static_cast<std::size_t>(layout_.width);
  const std::uint64_t shown_since = std::exchange(shown_writes_, grid.cell_writes());
  // The changed cells' bounds, in rows of the window counted from view.top.
  int left = layout_.width, right = -1, top = view_.rows_shown, bottom = -1;
  for (int v = 0; v < view_.rows_shown; ++v) {
    const auto r = static_cast<std::uint16_t>(layout_row_at(view_, v));
    if (grid.row_written(r) <= shown_since) continue;  // not written since the last frame
    for (int c = 0; c < layout_.width; ++c) {
      if (grid.cell(static_cast<std::uint16_t>(c), r) == shown_[r * width + static_cast<std::size_t>(c)]) continue;
      left = std::min(left, c);
      right = std::max(right, c);
      top = std::min(top, v);
      bottom = std::max(bottom, v);
    }
  }
  if (right < 0) return;
  // Both halves of a wide character go together.
  for (int v = top; v <= bottom; ++v) {
    const auto r = static_cast<std::uint16_t>(layout_row_at(view_, v));
    if (left > 0 && grid.cell(static_cast<std::uint16_t>(left), r).ch == kWideTail) --left;
    if (right + 1 < layout_.width && grid.cell(static_cast<std::uint16_t>(right + 1), r).ch == kWideTail) ++right;
  }
  const int columns = right - left + 1;
  std::vector<CHAR_INFO> cells(static_cast<std::size_t>(columns) * static_cast<std::size_t>(bottom - top + 1));
  for (int v = top; v <= bottom; ++v) {
    const auto offset = static_cast<std::size_t>(v - top) * static_cast<std::size_t>(columns);
    take_row(grid, layout_row_at(view_, v), left, right, &cells[offset]);
  }
  write_block(buffer_, cells, columns, cell_at(view_.left + left, view_.top + top));
}

void WindowsConsole::take_row(const ConsoleGrid& grid, int row, int left, int right, CHAR_INFO* out) {
  const auto r = static_cast<std::uint16_t>(row);
  const std::size_t start = static_cast<std::size_t>(row) * static_cast<std::size_t>(layout_.width);
  char32_t before = left > 0 ? grid.cell(static_cast<std::uint16_t>(left - 1), r).ch : U' ';
  for (int c = left; c <= right; ++c) {
    const Cell cell = grid.cell(static_cast<std::uint16_t>(c), r);
    shown_[start + static_cast<std::size_t>(c)] = cell;
    *out++ = cell_info(cell, before);
    before = cell.ch;
  }
}

WORD WindowsConsole::shown_attribute(std::uint16_t attr) const {
  if (colours_) return attr;
  const bool reversed = reversed_without_colours(attr, layout_.reversed_backgrounds);
  return static_cast<WORD>(own_attribute_ | (reversed ? COMMON_LVB_REVERSE_VIDEO : 0));
}

CHAR_INFO WindowsConsole::cell_info(Cell cell, char32_t before) const {
  WORD attr = shown_attribute(cell.attr);
  const bool one_unit = cell.ch < 0x10000;
  wchar_t ch = one_unit ? static_cast<wchar_t>(cell.ch) : L'?';
  if (cell.ch == kWideTail) {
    if (before >= 0x10000) return {{L' '}, attr};
    // Wine's console keeps one cell a character and leaves the terminal to
    // draw a wide one over two columns: its second cell must take none.
    if (wine_) return {{L'\u200B'}, attr};
    ch = static_cast<wchar_t>(before);
    attr |= COMMON_LVB_TRAILING_BYTE;
  } else if (one_unit && cell_width(cell.ch) == 2 && !wine_) {
    attr |= COMMON_LVB_LEADING_BYTE;
  }
  return {{ch}, attr};
}

void WindowsConsole::apply_cursor(const ConsoleGrid& grid) {
  // Hidden on a row left out of the view, and around the request to enlarge.
  const CellPos cursor = grid.cursor();
  const int row = view_.fits ? view_row_of(view_, cursor.row) : -1;
  const bool visible = grid.cursor_visible() && row >= 0;
  if (visible) {
    const COORD place = cell_at(view_.left + cursor.column, view_.top + row);
    if (!shown_place_ || place.X != shown_place_->X || place.Y != shown_place_->Y) {
      SetConsoleCursorPosition(buffer_, place);
      shown_place_ = place;
    }
  }
  const CONSOLE_CURSOR_INFO shape{grid.cursor_size(), visible ? TRUE : FALSE};
  if (!shown_shape_ || shape.dwSize != shown_shape_->dwSize || shape.bVisible != shown_shape_->bVisible) {
    SetConsoleCursorInfo(buffer_, &shape);
    shown_shape_ = shape;
  }
}

void WindowsConsole::set_title(std::string_view title) {
  if (active_) SetConsoleTitleA(std::string(title).c_str());
}

// One frame: the changed cells in one write, then the cursor. Hosts that
// turn each console call into output of its own (Windows Terminal) show it
// whole, never half drawn.
void WindowsConsole::present(const ConsoleGrid& grid) {
  if (!active_) return;
  if (whole_window_) {
    write_window(grid);
  } else if (view_.fits) {
    write_changes(grid);
  }
  apply_cursor(grid);
}

}  // namespace zq
