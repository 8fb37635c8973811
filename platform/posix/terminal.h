// The real terminal: a ConsoleDevice that shows the grid of the layout's
// size (present) on the terminal's alternate screen through ncurses, placed
// there by the view's rules, and a KeySource that turns
// terminal keys into key_texts and its mouse reports, where terminfo says it
// sends them, into mouse events. The terminal is restored on every way out.
// One per process: the signal handlers that restore it are process-wide.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "runtime/console_device.h"
#include "runtime/console_view.h"
#include "runtime/keyboard.h"

namespace zq {

class Terminal : public ConsoleDevice, public KeySource {
 public:
  explicit Terminal(const ViewLayout& layout);
  ~Terminal() override;

  // Whether standard input and output are a terminal that can be driven;
  // `why` says what is wrong when not. Touches neither screen nor files.
  static bool usable(std::string& why);
  // Why create() last failed.
  const std::string& error() const;

  bool create(ScreenGeometry& geometry) override;
  void release() override;
  void set_title(std::string_view title) override;
  void present(const ConsoleGrid& grid) override;

  std::string poll_key() override;
  std::optional<MouseEvent> poll_mouse() override;
  bool wait_for_input() override;
  // The pause marks the time in which no key is taken; poll_key sleeps out
  // what is left of it only when there is a key to take. An idle program
  // waits for input anyway, so a press that comes later costs no sleep.
  void pause_ms(std::chrono::milliseconds duration) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zq
