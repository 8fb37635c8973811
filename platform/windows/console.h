// The Windows console: a ConsoleDevice that draws into the program's own
// console screen buffer (the counterpart of a terminal's alternate screen),
// and a KeySource that reads the console's input records. The layout is
// placed in the window by the view's rules, as on a terminal: centred in the
// surround's colours, without its spared rows in a short window, replaced by
// a request to enlarge in a small one. present() sends the cells of the
// grid it is handed that changed since the last frame in one write, then
// places the cursor: a frame is one console call and never shows half
// drawn. After a resize and Ctrl+L the next frame writes the whole window. Key records go through the input queue, which drops
// pasted text. The program sets the input mode it needs (Quick Edit off, so
// a click freezes nothing); the user's buffer, title and input mode come
// back as they were at every exit, Ctrl+C, closing the window and a crash
// included. One per process: the control handler is process-wide.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "runtime/console_device.h"
#include "runtime/console_view.h"
#include "runtime/keyboard.h"

namespace zq {

// The key_text of one input record: a key-down record's character byte and
// the low byte of its scan code; every other record (key-up, mouse, focus,
// menu, size) gives the empty text. The repeat count does not multiply.
std::string key_of_record(const INPUT_RECORD& record);
// The mouse event of one input record, on the buffer's cells: the left
// button going down (`buttons`, the buttons down before, is kept up to
// date) or the wheel turned; every other record gives none.
std::optional<MouseEvent> mouse_of_record(const INPUT_RECORD& record, DWORD& buttons);

class WindowsConsole : public ConsoleDevice, public KeySource {
 public:
  explicit WindowsConsole(const ViewLayout& layout);
  ~WindowsConsole() override;

  // Why create() last failed.
  const std::string& error() const;
  // The program's own screen buffer while open, for tests to read back.
  HANDLE screen_buffer() const;
  // The console's input handle while open, for tests to inject records.
  HANDLE input_handle() const;

  bool create(ScreenGeometry& geometry) override;
  void release() override;
  void set_title(std::string_view title) override;
  void present(const ConsoleGrid& grid) override;

  std::string poll_key() override;
  std::optional<MouseEvent> poll_mouse() override;
  bool wait_for_input() override;
  // Reads the records that come meanwhile, so that the input queue learns
  // when each key arrived even while the program pauses.
  void pause_ms(std::chrono::milliseconds duration) override;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace zq
