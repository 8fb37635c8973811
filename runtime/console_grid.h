// The console's contents: a grid of {character, attribute} cells with a
// cursor of a place and a shape. The console rules (console_screen) draw
// into it; a back end shows it (ConsoleDevice::present), and tests read it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/characters.h"

namespace zq {

struct CellPos {
  std::uint16_t column = 0;
  std::uint16_t row = 0;
};

// Inclusive corners; may reach past the grid, which clips it.
struct CellRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
};

// A cell's character is a Unicode code point; a wide character stands in
// its first cell, and the second holds kWideTail (runtime/characters.h).
struct Cell {
  char32_t ch = U' ';
  std::uint16_t attr = 0;
  bool operator==(const Cell&) const = default;
};

class ConsoleGrid {
 public:
  // Every cell a blank in `attr`; the cursor at the top-left, shown at 25 %.
  explicit ConsoleGrid(std::uint16_t width = 0, std::uint16_t height = 0, std::uint16_t attr = 7);

  // Fills `count` cells from `start` on, running on into the following rows
  // and stopping at the end of the grid.
  void fill_attribute(std::uint16_t attr, std::uint32_t count, CellPos start);
  void fill_character(char32_t ch, std::uint32_t count, CellPos start);
  // Stores the characters as they are (no control character acted on), one
  // per cell, into consecutive cells, running on and stopping likewise;
  // attributes and cursor untouched. A wide character comes as two cells,
  // itself and kWideTail; half of one, left by a write or a row's end, is
  // stored as a blank.
  void write_characters(std::u32string_view cells, CellPos start);
  // Moves the rectangle's contents (clipped to the grid) so its top-left
  // lands on `dest`; cells it uncovers take `fill`.
  void scroll_rect(CellRect source, CellPos dest, Cell fill);
  // False, and nothing changes, outside the grid.
  bool set_cursor_position(CellPos pos);
  // size: percent of the cell's height; false, and nothing changes, outside 1..100.
  bool set_cursor_info(std::uint32_t size, bool visible);

  std::uint16_t width() const { return width_; }
  std::uint16_t height() const { return height_; }
  // Out-of-range cells read as {0, 0}.
  Cell cell(std::uint16_t column, std::uint16_t row) const;
  // The cells of a row; empty past the last.
  std::span<const Cell> row(std::uint16_t row) const;
  // Characters of `count` cells of a row from `column` on (clipped to the
  // row), as UTF-8; the second cell of a wide character adds nothing.
  std::string row_text(std::uint16_t row, std::uint16_t column = 0, std::uint16_t count = 0xFFFF) const;
  CellPos cursor() const { return cursor_; }
  bool cursor_visible() const { return cursor_visible_; }
  std::uint32_t cursor_size() const { return cursor_size_; }
  // Calls so far that changed cells.
  std::uint64_t cell_writes() const { return cell_writes_; }
  // cell_writes() just after the last call that changed the row, 0 before
  // any did: a back end that showed the grid at count n redraws only the
  // rows past n.
  std::uint64_t row_written(std::uint16_t row) const { return row < height_ ? row_written_[row] : 0; }

 private:
  std::uint16_t width_;
  std::uint16_t height_;
  std::vector<Cell> cells_;
  CellPos cursor_{};
  bool cursor_visible_ = true;
  std::uint32_t cursor_size_ = 25;
  std::uint64_t cell_writes_ = 0;
  std::vector<std::uint64_t> row_written_;

  // Counts one call that changed cells [first, last), and the rows of the
  // cells on either side, which mend may have blanked.
  void count_write(std::size_t first, std::size_t last);

  // Blanks each half of a wide character without its other half, from the
  // cell before `first` to the cell after `last` - 1.
  void mend(std::size_t first, std::size_t last);
};

}  // namespace zq
