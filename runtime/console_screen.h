// ConsoleScreen: the program's only output channel. A classic text screen
// (open, title, colour, locate, print at the cursor, clear, cursor shape)
// whose rules - the 250-cell cap, scrolling to make room, the cursor advance
// by buffer width, the rejections - are kept here. They draw into the
// screen's grid, the size of the buffer, which present_console hands to the
// ConsoleDevice to show. The geometry is recorded once at open and never
// refreshed.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/console_device.h"

namespace zq {

struct ScreenGeometry {
  std::uint16_t buffer_width = 0;
  std::uint16_t buffer_height = 0;
  std::uint16_t cursor_column = 0;
  std::uint16_t cursor_row = 0;
  std::uint16_t attribute = 0;
  std::uint16_t window_left = 0;
  std::uint16_t window_top = 0;
  std::uint16_t window_right = 0;
  std::uint16_t window_bottom = 0;
  std::uint16_t max_window_width = 0;
  std::uint16_t max_window_height = 0;
};

struct ConsoleScreen {
  bool open = false;
  ConsoleDevice* output = nullptr;  // none until opened, and after close
  ScreenGeometry geometry;          // its cursor fields are the layer's cursor
  std::uint32_t cursor_size = 0;
  bool cursor_visible = false;
  std::uint16_t text_attribute = 0;
  ConsoleGrid grid;  // the buffer's cells and cursor, made at open
};

// The geometry of a console whose buffer is its window, `width` x `height`,
// with the cursor at the top-left and attribute 7 (grey on black) at open.
ScreenGeometry window_geometry(std::uint16_t width, std::uint16_t height);

// 0 when already open or no console could be created; else the attribute at open.
std::uint16_t open_console(ConsoleScreen& screen, ConsoleDevice& device);
void close_console(ConsoleScreen& screen);
void set_console_title(ConsoleScreen& screen, std::string_view title);
// 1 when set; 0 (nothing changed) when either colour is 16 or more.
int set_color(ConsoleScreen& screen, std::uint32_t foreground, std::uint32_t background);
// 0 (cursor stays) outside the maximum window size; else the device's result.
int locate(ConsoleScreen& screen, std::uint16_t column, std::uint16_t row);
// Writes UTF-8 text at the cursor, a character per cell (two for a wide
// one), up to 250 cells of whole characters, scrolling the whole buffer up
// first when the cell after the text would fall below the window.
void print_text(ConsoleScreen& screen, std::string_view text);
void clear_screen(ConsoleScreen& screen);
// 0 hides the cursor, 1..10 shows it at size*10 percent; above 10 returns 0.
int set_cursor_shape(ConsoleScreen& screen, std::uint32_t size);
// Shows the grid on the console as drawn so far.
void present_console(ConsoleScreen& screen);

}  // namespace zq
