// The console's frame: the window fitted, and the grid handed to present()
// written where the view's rules place it - the cells that changed, or the
// whole window after a resize or Ctrl+L - with the cursor.
#include "platform/windows/console.h"

#include <algorithm>
#include <vector>

#include "platform/windows/console_impl.h"
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

void WindowsConsole::Impl::refit() {
  if (!active) return;
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(buffer, &info)) return;
  const int width = window_width(info);
  const int height = window_height(info);
  // The buffer as large as the window again, when a console kept it larger
  // or smaller: no scroll bars, and nothing drawn outside the window.
  if (info.dwSize.X != width || info.dwSize.Y != height) {
    const SMALL_RECT at_top{0, 0, static_cast<SHORT>(width - 1), static_cast<SHORT>(height - 1)};
    SetConsoleWindowInfo(buffer, TRUE, &at_top);
    SetConsoleScreenBufferSize(buffer, COORD{static_cast<SHORT>(width), static_cast<SHORT>(height)});
    GetConsoleScreenBufferInfo(buffer, &info);
  }
  origin = COORD{info.srWindow.Left, info.srWindow.Top};
  window_columns = width;
  window_rows = height;
  view = place_view(layout, width, height);
  whole_window = true;
}

void WindowsConsole::Impl::write_window(const ConsoleGrid& grid) {
  whole_window = false;
  const int width = window_columns;
  // The whole window in one write. Around the layout, the surround; around
  // the request, the console's own grey: it is a request, not the program.
  const CHAR_INFO blank{{L' '}, view.fits ? shown_attribute(layout.surround_attribute) : kPlainAttribute};
  std::vector<CHAR_INFO> window(static_cast<std::size_t>(width) * static_cast<std::size_t>(window_rows), blank);
  const auto at = [&](int column, int row) -> CHAR_INFO& {
    return window[static_cast<std::size_t>(row) * static_cast<std::size_t>(width) + static_cast<std::size_t>(column)];
  };
  if (view.fits) {
    shown.assign(static_cast<std::size_t>(layout.width) * static_cast<std::size_t>(layout.height), Cell{});
    for (int v = 0; v < view.rows_shown; ++v) {
      take_row(grid, layout_row_at(view, v), 0, layout.width - 1, &at(view.left, view.top + v));
    }
  } else {
    int row = 0;
    for (const std::string& line : enlarge_request(layout, "window", width, window_rows)) {
      for (std::size_t c = 0; c < line.size() && c < static_cast<std::size_t>(width); ++c) {
        at(static_cast<int>(c), row).Char.UnicodeChar = static_cast<unsigned char>(line[c]);
      }
      ++row;
    }
  }
  write_block(buffer, window, width, origin);
  shown_place.reset();
  shown_shape.reset();
}

void WindowsConsole::Impl::write_changes(const ConsoleGrid& grid) {
  const auto width = static_cast<std::size_t>(layout.width);
  // The changed cells' bounds, in rows of the window counted from view.top.
  int left = layout.width, right = -1, top = view.rows_shown, bottom = -1;
  for (int v = 0; v < view.rows_shown; ++v) {
    const auto r = static_cast<std::uint16_t>(layout_row_at(view, v));
    for (int c = 0; c < layout.width; ++c) {
      if (grid.cell(static_cast<std::uint16_t>(c), r) == shown[r * width + static_cast<std::size_t>(c)]) continue;
      left = std::min(left, c);
      right = std::max(right, c);
      top = std::min(top, v);
      bottom = std::max(bottom, v);
    }
  }
  if (right < 0) return;
  // Both halves of a wide character go together.
  for (int v = top; v <= bottom; ++v) {
    const auto r = static_cast<std::uint16_t>(layout_row_at(view, v));
    if (left > 0 && grid.cell(static_cast<std::uint16_t>(left), r).ch == kWideTail) --left;
    if (right + 1 < layout.width && grid.cell(static_cast<std::uint16_t>(right + 1), r).ch == kWideTail) ++right;
  }
  const int columns = right - left + 1;
  std::vector<CHAR_INFO> cells(static_cast<std::size_t>(columns) * static_cast<std::size_t>(bottom - top + 1));
  for (int v = top; v <= bottom; ++v) {
    const auto offset = static_cast<std::size_t>(v - top) * static_cast<std::size_t>(columns);
    take_row(grid, layout_row_at(view, v), left, right, &cells[offset]);
  }
  write_block(buffer, cells, columns, cell_at(view.left + left, view.top + top));
}

void WindowsConsole::Impl::take_row(const ConsoleGrid& grid, int row, int left, int right, CHAR_INFO* out) {
  const auto r = static_cast<std::uint16_t>(row);
  char32_t before = left > 0 ? grid.cell(static_cast<std::uint16_t>(left - 1), r).ch : U' ';
  for (int c = left; c <= right; ++c) {
    const Cell cell = grid.cell(static_cast<std::uint16_t>(c), r);
    shown[static_cast<std::size_t>(row) * static_cast<std::size_t>(layout.width) + static_cast<std::size_t>(c)] = cell;
    *out++ = cell_info(cell, before);
    before = cell.ch;
  }
}

WORD WindowsConsole::Impl::shown_attribute(std::uint16_t attr) const {
  if (colours) return attr;
  return static_cast<WORD>(own_attribute | (reversed_without_colours(attr, layout.reversed_backgrounds) ? COMMON_LVB_REVERSE_VIDEO : 0));
}

CHAR_INFO WindowsConsole::Impl::cell_info(Cell cell, char32_t before) const {
  WORD attr = shown_attribute(cell.attr);
  const bool one_unit = cell.ch < 0x10000;
  wchar_t ch = one_unit ? static_cast<wchar_t>(cell.ch) : L'?';
  if (cell.ch == kWideTail) {
    if (before >= 0x10000) return {{L' '}, attr};
    // Wine's console keeps one cell a character and leaves the terminal to
    // draw a wide one over two columns: its second cell must take none.
    if (wine) return {{L'\u200B'}, attr};
    ch = static_cast<wchar_t>(before);
    attr |= COMMON_LVB_TRAILING_BYTE;
  } else if (one_unit && cell_width(cell.ch) == 2 && !wine) {
    attr |= COMMON_LVB_LEADING_BYTE;
  }
  return {{ch}, attr};
}

void WindowsConsole::Impl::apply_cursor(const ConsoleGrid& grid) {
  // Hidden on a row left out of the view, and around the request to enlarge.
  const CellPos cursor = grid.cursor();
  const int row = view.fits ? view_row_of(view, cursor.row) : -1;
  const bool visible = grid.cursor_visible() && row >= 0;
  if (visible) {
    const COORD place = cell_at(view.left + cursor.column, view.top + row);
    if (!shown_place || place.X != shown_place->X || place.Y != shown_place->Y) {
      SetConsoleCursorPosition(buffer, place);
      shown_place = place;
    }
  }
  const CONSOLE_CURSOR_INFO shape{grid.cursor_size(), visible ? TRUE : FALSE};
  if (!shown_shape || shape.dwSize != shown_shape->dwSize || shape.bVisible != shown_shape->bVisible) {
    SetConsoleCursorInfo(buffer, &shape);
    shown_shape = shape;
  }
}

WindowsConsole::WindowsConsole(const ViewLayout& layout) : impl_(std::make_unique<Impl>(layout)) {}

WindowsConsole::~WindowsConsole() { release(); }

const std::string& WindowsConsole::error() const { return impl_->error; }

HANDLE WindowsConsole::screen_buffer() const { return impl_->buffer; }

HANDLE WindowsConsole::input_handle() const { return impl_->input; }

void WindowsConsole::set_title(std::string_view title) {
  if (impl_->active) SetConsoleTitleA(std::string(title).c_str());
}

// One frame: the changed cells in one write, then the cursor. Hosts that
// turn each console call into output of its own (Windows Terminal) show it
// whole, never half drawn.
void WindowsConsole::present(const ConsoleGrid& grid) {
  Impl& c = *impl_;
  if (!c.active) return;
  if (c.whole_window) {
    c.write_window(grid);
  } else if (c.view.fits) {
    c.write_changes(grid);
  }
  c.apply_cursor(grid);
}

}  // namespace zq
