// The real terminal: a ConsoleDevice whose truth is a MemoryConsole of the
// layout's size, shown (present) on the terminal's alternate screen through
// ncurses and placed there by the view's rules, and a KeySource that turns
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
  void fill_attribute(std::uint16_t attr, std::uint32_t count, CellPos start) override;
  void fill_character(char32_t ch, std::uint32_t count, CellPos start) override;
  void write_characters(std::u32string_view cells, CellPos start) override;
  void scroll_rect(CellRect source, CellPos dest, Cell fill) override;
  bool set_cursor_position(CellPos pos) override;
  bool set_cursor_info(std::uint32_t size, bool visible) override;
  void present() override;

  std::string poll_key() override;
  std::optional<MouseEvent> poll_mouse() override;
  bool wait_for_input() override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zq
