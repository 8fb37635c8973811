// A console back end for tests and the fuzz target: no screen, but the
// program's grid to read back, with the title and whether the console is open.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/console_device.h"
#include "runtime/console_screen.h"

namespace zq {

class MemoryConsole : public ConsoleDevice {
 public:
  explicit MemoryConsole(std::uint16_t width = 80, std::uint16_t height = 25) : width_(width), height_(height) {}

  bool create(ScreenGeometry& geometry) override {
    if (fail_create_ || width_ == 0 || height_ == 0) return false;
    created_ = true;
    geometry = window_geometry(width_, height_);
    return true;
  }
  void release() override {
    created_ = false;
    if (drawn_ != nullptr) kept_ = *drawn_;
    drawn_ = nullptr;
  }
  void set_title(std::string_view title) override { title_ = title; }
  void present(const ConsoleGrid& grid) override {
    drawn_ = &grid;
    presented_writes_ = grid.cell_writes();
  }

  // The program's grid: as it draws, from the first frame presented on, and
  // as it was at release after.
  const ConsoleGrid& grid() const { return drawn_ != nullptr ? *drawn_ : kept_; }
  // Whether every cell the program has drawn on the open console is presented.
  bool presented() const { return drawn_ != nullptr && drawn_->cell_writes() == presented_writes_; }
  const std::string& title() const { return title_; }
  bool created() const { return created_; }
  // Makes the next create() fail, as a console that cannot be had.
  void fail_create(bool fail) { fail_create_ = fail; }

 private:
  std::uint16_t width_;
  std::uint16_t height_;
  const ConsoleGrid* drawn_ = nullptr;  // the program's grid, while open
  std::uint64_t presented_writes_ = 0;
  ConsoleGrid kept_;
  std::string title_;
  bool created_ = false;
  bool fail_create_ = false;
};

}  // namespace zq
