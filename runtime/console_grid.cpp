#include "runtime/console_grid.h"

#include <algorithm>
#include <utility>

namespace zq {

ConsoleGrid::ConsoleGrid(std::uint16_t width, std::uint16_t height, std::uint16_t attr)
    : width_(width), height_(height), cells_(std::size_t{width} * height, Cell{U' ', attr}), row_written_(height, 0) {}

// The cells [first, last) that `count` cells from `start` cover, running on
// through the following rows and stopping at the grid's end; empty when
// `start` lies outside the grid.
static std::pair<std::size_t, std::size_t> run_of(std::size_t size, std::uint16_t width, CellPos start,
                                                  std::size_t count) {
  const std::size_t first = std::size_t{start.row} * width + start.column;
  if (start.column >= width || first >= size) return {0, 0};
  return {first, first + std::min(count, size - first)};
}

void ConsoleGrid::fill_attribute(std::uint16_t attr, std::uint32_t count, CellPos start) {
  const auto [first, last] = run_of(cells_.size(), width_, start, count);
  if (first == last) return;
  for (std::size_t i = first; i < last; ++i) cells_[i].attr = attr;
  count_write(first, last);
}

void ConsoleGrid::fill_character(char32_t ch, std::uint32_t count, CellPos start) {
  const auto [first, last] = run_of(cells_.size(), width_, start, count);
  if (first == last) return;
  for (std::size_t i = first; i < last; ++i) cells_[i].ch = ch;
  mend(first, last);
  count_write(first, last);
}

void ConsoleGrid::write_characters(std::u32string_view cells, CellPos start) {
  const auto [first, last] = run_of(cells_.size(), width_, start, cells.size());
  if (first == last) return;
  for (std::size_t i = first; i < last; ++i) cells_[i].ch = cells[i - first];
  mend(first, last);
  count_write(first, last);
}

void ConsoleGrid::count_write(std::size_t first, std::size_t last) {
  ++cell_writes_;
  const std::size_t top = (first == 0 ? 0 : first - 1) / width_;
  const std::size_t bottom = std::min<std::size_t>(last / width_, height_ - 1u);
  for (std::size_t r = top; r <= bottom; ++r) row_written_[r] = cell_writes_;
}

void ConsoleGrid::mend(std::size_t first, std::size_t last) {
  const std::size_t end = std::min(last + 1, cells_.size());
  for (std::size_t i = first == 0 ? 0 : first - 1; i < end; ++i) {
    char32_t& ch = cells_[i].ch;
    const bool row_start = i % width_ == 0;
    const bool row_end = (i + 1) % width_ == 0 || i + 1 == cells_.size();
    if (ch == kWideTail) {
      if (row_start || cell_width(cells_[i - 1].ch) != 2) ch = U' ';
    } else if (cell_width(ch) == 2 && (row_end || cells_[i + 1].ch != kWideTail)) {
      ch = U' ';
    }
  }
}

void ConsoleGrid::scroll_rect(CellRect source, CellPos dest, Cell fill) {
  // Clip the source to the grid; each source cell keeps its offset from
  // the source's top-left corner, which lands on `dest`.
  const CellRect clipped{std::max(source.left, 0), std::max(source.top, 0),
                         std::min<std::int32_t>(source.right, width_ - 1),
                         std::min<std::int32_t>(source.bottom, height_ - 1)};
  if (clipped.left > clipped.right || clipped.top > clipped.bottom) return;
  const std::int32_t dx = dest.column - source.left;
  const std::int32_t dy = dest.row - source.top;

  const std::vector<Cell> before = cells_;
  for (std::int32_t r = clipped.top; r <= clipped.bottom; ++r) {
    for (std::int32_t c = clipped.left; c <= clipped.right; ++c) {
      cells_[std::size_t(r) * width_ + std::size_t(c)] = fill;
    }
  }
  // Cells of the source that the moved contents do not cover keep the fill.
  for (std::int32_t r = clipped.top; r <= clipped.bottom; ++r) {
    for (std::int32_t c = clipped.left; c <= clipped.right; ++c) {
      const std::int32_t tc = c + dx;
      const std::int32_t tr = r + dy;
      if (tc < 0 || tr < 0 || tc >= width_ || tr >= height_) continue;
      cells_[std::size_t(tr) * width_ + std::size_t(tc)] = before[std::size_t(r) * width_ + std::size_t(c)];
    }
  }
  // A rectangle may cut wide characters in two, at its sides or where it lands.
  mend(0, cells_.size());
  count_write(0, cells_.size());
}

bool ConsoleGrid::set_cursor_position(CellPos pos) {
  if (pos.column >= width_ || pos.row >= height_) return false;
  cursor_ = pos;
  return true;
}

bool ConsoleGrid::set_cursor_info(std::uint32_t size, bool visible) {
  if (size < 1 || size > 100) return false;
  cursor_size_ = size;
  cursor_visible_ = visible;
  return true;
}

std::span<const Cell> ConsoleGrid::row(std::uint16_t row) const {
  if (row >= height_) return {};
  return std::span<const Cell>(cells_).subspan(std::size_t{row} * width_, width_);
}

Cell ConsoleGrid::cell(std::uint16_t column, std::uint16_t row) const {
  if (column >= width_ || row >= height_) return Cell{0, 0};
  return cells_[std::size_t{row} * width_ + column];
}

std::string ConsoleGrid::row_text(std::uint16_t row, std::uint16_t column, std::uint16_t count) const {
  if (row >= height_ || column >= width_) return {};
  const std::size_t n = std::min<std::size_t>(count, std::size_t{width_} - column);
  std::string text;
  for (std::size_t i = 0; i < n; ++i) {
    const char32_t ch = cells_[std::size_t{row} * width_ + column + i].ch;
    if (ch != kWideTail) append_utf8(text, ch);
  }
  return text;
}

}  // namespace zq
