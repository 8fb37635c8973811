// An in-memory console: a grid of cells with a cursor and a title. Tests
// draw on it and read it back cell by cell; the terminal and the Windows
// console keep one as the truth of what they show.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/console_device.h"

namespace zq {

class MemoryConsole : public ConsoleDevice {
 public:
  // Buffer and window of the given size; attribute 7 (grey on black) at open.
  explicit MemoryConsole(std::uint16_t width = 80, std::uint16_t height = 25);

  bool create(ScreenGeometry& geometry) override;
  void release() override;
  void set_title(std::string_view title) override;
  void fill_attribute(std::uint16_t attr, std::uint32_t count, CellPos start) override;
  void fill_character(char32_t ch, std::uint32_t count, CellPos start) override;
  void write_characters(std::u32string_view cells, CellPos start) override;
  void scroll_rect(CellRect source, CellPos dest, Cell fill) override;
  bool set_cursor_position(CellPos pos) override;
  bool set_cursor_info(std::uint32_t size, bool visible) override;
  void present() override { presented_writes_ = cell_writes_; }

  // Reading back. Out-of-range cells read as {0, 0}.
  std::uint16_t width() const { return width_; }
  std::uint16_t height() const { return height_; }
  Cell cell(std::uint16_t column, std::uint16_t row) const;
  // Characters of `count` cells of a row from `column` on (clipped to the
  // row), as UTF-8; the second cell of a wide character adds nothing.
  std::string row_text(std::uint16_t row, std::uint16_t column = 0, std::uint16_t count = 0xFFFF) const;
  CellPos cursor() const { return cursor_; }
  bool cursor_visible() const { return cursor_visible_; }
  std::uint32_t cursor_size() const { return cursor_size_; }
  const std::string& title() const { return title_; }
  bool created() const { return created_; }
  // Number of device calls that changed cells (lets tests see "no redraw").
  std::uint64_t cell_writes() const { return cell_writes_; }
  // Whether every cell change so far has been presented.
  bool presented() const { return presented_writes_ == cell_writes_; }
  // Makes the next create() fail, as a console that cannot be had.
  void fail_create(bool fail) { fail_create_ = fail; }

 private:
  std::uint16_t width_;
  std::uint16_t height_;
  std::vector<Cell> cells_;
  CellPos cursor_{};
  bool cursor_visible_ = true;
  std::uint32_t cursor_size_ = 25;
  std::string title_;
  bool created_ = false;
  bool fail_create_ = false;
  std::uint64_t cell_writes_ = 0;
  std::uint64_t presented_writes_ = 0;

  // Blanks each half of a wide character without its other half, from the
  // cell before `first` to the cell after `last` - 1.
  void mend(std::size_t first, std::size_t last);
};

}  // namespace zq
