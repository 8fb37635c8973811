// The cell operations a console back end provides: a buffer of
// {character, attribute} cells, a cursor with shape, and a title, and
// present(), which shows what they did. ConsoleScreen writes all its rules
// once over this interface; the in-memory buffer (tests, and the back ends'
// model), the terminal and the Windows console implement it.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/characters.h"

namespace zq {

struct ScreenGeometry;

struct CellPos {
  std::uint16_t column = 0;
  std::uint16_t row = 0;
};

// Inclusive corners; may reach past the buffer, which clips it.
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

class ConsoleDevice {
 public:
  virtual ~ConsoleDevice() = default;

  // Creates the console and reports its geometry; false when none can be had.
  virtual bool create(ScreenGeometry& geometry) = 0;
  virtual void release() = 0;
  virtual void set_title(std::string_view title) = 0;
  // Fills `count` cells from `start` on, running on into the following rows
  // and stopping at the end of the buffer.
  virtual void fill_attribute(std::uint16_t attr, std::uint32_t count, CellPos start) = 0;
  virtual void fill_character(char32_t ch, std::uint32_t count, CellPos start) = 0;
  // Stores the characters as they are (no control character acted on), one
  // per cell, into consecutive cells, running on and stopping likewise;
  // attributes and cursor untouched. A wide character comes as two cells,
  // itself and kWideTail; half of one, left by a write or a row's end, is
  // stored as a blank.
  virtual void write_characters(std::u32string_view cells, CellPos start) = 0;
  // Moves the rectangle's contents (clipped to the buffer) so its top-left
  // lands on `dest`; cells it uncovers take `fill`.
  virtual void scroll_rect(CellRect source, CellPos dest, Cell fill) = 0;
  virtual bool set_cursor_position(CellPos pos) = 0;
  // size: percent of the cell's height (1..100).
  virtual bool set_cursor_info(std::uint32_t size, bool visible) = 0;
  // Shows the screen as the calls since the last present() left it; the
  // program calls it when a redraw is done and before it waits for keys.
  // A back end may show each call at once, and then has nothing to do here.
  virtual void present() = 0;
};

}  // namespace zq
