#include "runtime/console_screen.h"

#include <string>

#include "runtime/text_convert.h"

namespace zq {

namespace {

constexpr std::size_t kMaxPrintCells = 250;
constexpr char32_t kBlank = U' ';

// Scrolls every row of the whole buffer up by one; the last row becomes
// blanks in the current attribute. The cursor is not moved.
void scroll_up(ConsoleScreen& screen) {
  const ScreenGeometry& g = screen.geometry;
  // One beyond the last column and row on purpose: the device clips it.
  const CellRect source{0, 1, g.buffer_width, g.buffer_height};
  screen.grid.scroll_rect(source, CellPos{0, 0}, Cell{kBlank, screen.text_attribute});
}

}  // namespace

ScreenGeometry window_geometry(std::uint16_t width, std::uint16_t height) {
  ScreenGeometry geometry;
  geometry.buffer_width = geometry.max_window_width = width;
  geometry.buffer_height = geometry.max_window_height = height;
  geometry.attribute = 7;
  geometry.window_right = static_cast<std::uint16_t>(width - 1);
  geometry.window_bottom = static_cast<std::uint16_t>(height - 1);
  return geometry;
}

std::uint16_t open_console(ConsoleScreen& screen, ConsoleDevice& device) {
  if (screen.open) return 0;
  ScreenGeometry geometry;
  if (!device.create(geometry)) return 0;
  screen.output = &device;
  screen.geometry = geometry;
  screen.grid = ConsoleGrid(geometry.buffer_width, geometry.buffer_height, geometry.attribute);
  screen.grid.set_cursor_position(CellPos{geometry.cursor_column, geometry.cursor_row});
  screen.text_attribute = geometry.attribute;
  screen.open = true;
  return screen.text_attribute;
}

void close_console(ConsoleScreen& screen) {
  if (screen.open && screen.output != nullptr) screen.output->release();
  screen.open = false;
  screen.output = nullptr;
}

void set_console_title(ConsoleScreen& screen, std::string_view title) {
  // A title ends at its first NUL, like every text of the program.
  title = until_nul(title);
  if (screen.output != nullptr) screen.output->set_title(title);
}

int set_color(ConsoleScreen& screen, std::uint32_t foreground, std::uint32_t background) {
  if (foreground >= 16 || background >= 16) return 0;
  screen.text_attribute = static_cast<std::uint16_t>(foreground + 16 * background);
  return 1;
}

int locate(ConsoleScreen& screen, std::uint16_t column, std::uint16_t row) {
  ScreenGeometry& g = screen.geometry;
  if (column >= g.max_window_width || row >= g.max_window_height) return 0;
  g.cursor_column = column;
  g.cursor_row = row;
  if (screen.output == nullptr) return 0;
  return screen.grid.set_cursor_position(CellPos{column, row}) ? 1 : 0;
}

void print_text(ConsoleScreen& screen, std::string_view text) {
  text = until_nul(text);
  if (text.empty() || screen.output == nullptr) return;
  std::u32string cells = text_cells(text);
  if (cells.size() > kMaxPrintCells) {
    // Cut to whole characters: a wide one whose second cell is past the cap goes.
    cells.resize(cells[kMaxPrintCells] == kWideTail ? kMaxPrintCells - 1 : kMaxPrintCells);
  }

  ScreenGeometry& g = screen.geometry;
  // 16-bit unsigned arithmetic throughout, as the console's own fields are.
  const auto n = static_cast<std::uint16_t>(cells.size());
  const std::uint16_t right = g.window_right;
  const std::uint16_t bottom = g.window_bottom;
  const std::uint16_t x = g.cursor_column;
  std::uint16_t y = g.cursor_row;

  if (n > static_cast<std::uint16_t>(right - x)) {
    const auto row_cells = static_cast<std::uint16_t>(right + 1);
    auto room = static_cast<std::uint16_t>((bottom - y) * row_cells + (right - x));
    // Stops at row 0: a text longer than the whole window then runs on from
    // the top row instead of scrolling its start out of the buffer.
    while (n > room && y > 0) {
      scroll_up(screen);
      --y;
      room = static_cast<std::uint16_t>(room + row_cells);
    }
  }

  const CellPos start{x, y};
  screen.grid.fill_attribute(screen.text_attribute, n, start);
  screen.grid.write_characters(cells, start);

  const std::uint32_t width = g.buffer_width == 0 ? 1 : g.buffer_width;
  const std::uint32_t offset = std::uint32_t{y} * width + x + n;
  g.cursor_row = static_cast<std::uint16_t>(offset / width);
  g.cursor_column = static_cast<std::uint16_t>(offset % width);
  screen.grid.set_cursor_position(CellPos{g.cursor_column, g.cursor_row});
}

void clear_screen(ConsoleScreen& screen) {
  ScreenGeometry& g = screen.geometry;
  if (screen.output == nullptr) return;
  const std::uint32_t cells = std::uint32_t{g.buffer_width} * g.buffer_height;
  screen.grid.fill_attribute(screen.text_attribute, cells, CellPos{0, 0});
  screen.grid.fill_character(kBlank, cells, CellPos{0, 0});
  g.cursor_column = 0;
  g.cursor_row = 0;
  screen.grid.set_cursor_position(CellPos{0, 0});
}

int set_cursor_shape(ConsoleScreen& screen, std::uint32_t size) {
  if (size > 10) return 0;
  screen.cursor_visible = size != 0;
  screen.cursor_size = size == 0 ? 1 : size * 10;
  if (screen.output == nullptr) return 0;
  return screen.grid.set_cursor_info(screen.cursor_size, screen.cursor_visible) ? 1 : 0;
}

void present_console(ConsoleScreen& screen) {
  if (screen.output != nullptr) screen.output->present(screen.grid);
}

}  // namespace zq
