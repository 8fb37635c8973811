// What a console back end does that only it can: create the console and
// release it, set the window's title, and show the grid that the console
// rules draw into (runtime/console_grid.h), with its cursor's place and shape.
// The terminal and the Windows console implement it.
#pragma once

#include <string_view>

#include "runtime/console_grid.h"

namespace zq {

struct ScreenGeometry;

class ConsoleDevice {
 public:
  virtual ~ConsoleDevice() = default;

  // Creates the console and reports its geometry, whose buffer is the size
  // of the grid to draw into; false when no console can be had.
  virtual bool create(ScreenGeometry& geometry) = 0;
  virtual void release() = 0;
  virtual void set_title(std::string_view title) = 0;
  // Shows the grid, writing what changed since the last frame; the program
  // calls it when a redraw is done and before it waits for keys.
  virtual void present(const ConsoleGrid& grid) = 0;
};

}  // namespace zq
