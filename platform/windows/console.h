// The Windows console: a ConsoleDevice that draws into the program's own
// console screen buffer (the counterpart of a terminal's alternate screen),
// and a KeySource that reads the console's input records. The layout is
// placed in the window by the view's rules, as on a terminal: centred in the
// surround's colours, without its spared rows in a short window, replaced by
// a request to enlarge in a small one. present() sends the cells of the
// grid it is handed that changed since the last frame in one write, then
// places the cursor: a frame is one console call and never shows half
// drawn. After a resize and Ctrl+L the next frame writes the whole window.
// Key records go through the input queue, which drops pasted text. The
// program sets the input mode it needs (Quick Edit off, so a click freezes
// nothing); the user's buffer, title and input mode come back as they were
// at every exit, Ctrl+C, closing the window and a crash included. One per
// process: the control handler is process-wide.
#pragma once

#include <windows.h>

#include <atomic>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "runtime/console_device.h"
#include "runtime/console_view.h"
#include "runtime/input_queue.h"
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
  explicit WindowsConsole(const ViewLayout& layout) : layout_(layout) {}
  ~WindowsConsole() override { release(); }

  // Why create() last failed.
  const std::string& error() const { return error_; }
  // The program's own screen buffer while open, for tests to read back.
  HANDLE screen_buffer() const { return buffer_; }
  // The console's input handle while open, for tests to inject records.
  HANDLE input_handle() const { return input_; }

  bool create(ScreenGeometry& geometry) override;
  void release() override;
  void set_title(std::string_view title) override;
  void present(const ConsoleGrid& grid) override;

  std::string poll_key() override;
  std::optional<MouseEvent> poll_mouse() override { return std::exchange(mouse_, std::nullopt); }
  bool wait_for_input() override;
  // Reads the records that come meanwhile, so that the input queue learns
  // when each key arrived even while the program pauses.
  void pause_ms(std::chrono::milliseconds duration) override;

 private:
  // The session (console_session.cpp): create in its steps - the
  // console's handles and the user's buffer's state, the program's buffer,
  // what is given back at the end saved, then the console taken.
  bool open_handles(CONSOLE_SCREEN_BUFFER_INFO& user);
  bool make_buffer(const CONSOLE_SCREEN_BUFFER_INFO& user);
  void save_user_settings();
  bool take_console();
  // Undoes create in reverse order; safe from the control handler's thread.
  void restore();
  void close_handles();
  // What restores the console on Ctrl+C and its kin, and on a crash.
  static BOOL WINAPI on_control(DWORD event);
  static LONG WINAPI on_crash(EXCEPTION_POINTERS* exception);

  // The frame (console.cpp).
  // The size of a buffer's visible window.
  static COORD window_size(const CONSOLE_SCREEN_BUFFER_INFO& info);
  COORD cell_at(int column, int row) const {
    return COORD{static_cast<SHORT>(origin_.X + column), static_cast<SHORT>(origin_.Y + row)};
  }
  // Fits the buffer and the view to the window; the next frame writes the
  // whole window.
  void refit();
  // Writes the whole window anew: the surround and the grid, or the request
  // to enlarge.
  void write_window(const ConsoleGrid& grid);
  // Writes the cells of the grid that changed since they were last
  // written, as the smallest rectangle around them.
  void write_changes(const ConsoleGrid& grid);
  // The attribute the console is given for a cell's: itself, or under
  // NO_COLOR the console's own colours, reversed for the bar and the banner.
  WORD shown_attribute(std::uint16_t attr) const;
  // A cell as the W calls take it: one UTF-16 unit ('?' past them); a wide
  // character in both its cells, marked as their first and second half, as
  // the console reads them back. `before`: the character in the cell before.
  CHAR_INFO cell_info(Cell cell, char32_t before) const;
  // The grid's row `row`, cells `left` to `right`, as the console takes
  // them, into `out`; they are what the console shows from then on.
  void take_row(const ConsoleGrid& grid, int row, int left, int right, CHAR_INFO* out);
  // Places the cursor and sets its shape as the grid has them, making only
  // the calls that change something.
  void apply_cursor(const ConsoleGrid& grid);

  // The key reader (console_keys.cpp): every record waiting. A size change
  // refits the view, a key press goes to the queue with the time it was read.
  void read_records();

  std::string error_;
  // Set while the program's buffer is shown; whoever clears it restores.
  std::atomic<bool> active_{false};
  ViewLayout layout_;
  ViewPlacement view_;     // where the window shows the layout; fits is false while it cannot
  COORD origin_{0, 0};     // the window's top-left cell in the buffer
  int window_columns_ = 0;
  int window_rows_ = 0;
  bool whole_window_ = true;  // the next frame writes the whole window
  std::vector<Cell> shown_;  // the layout's cells as the console shows them, row by row
  std::uint64_t shown_writes_ = 0;  // the grid's cell_writes() when shown_ was last brought up to date
  // The cursor as last set on the console; unknown, so set anew, after the
  // window was written whole.
  std::optional<COORD> shown_place_;
  std::optional<CONSOLE_CURSOR_INFO> shown_shape_;

  HANDLE input_ = INVALID_HANDLE_VALUE;        // CONIN$
  HANDLE user_output_ = INVALID_HANDLE_VALUE;  // CONOUT$: the user's buffer at start
  HANDLE buffer_ = INVALID_HANDLE_VALUE;       // the program's own buffer
  DWORD user_input_mode_ = 0;
  bool input_mode_saved_ = false;
  std::wstring user_title_;
  bool title_saved_ = false;
  InputQueue keys_;
  DWORD mouse_buttons_ = 0;           // the buttons down at the last mouse record
  std::optional<MouseEvent> mouse_;   // taken by the last poll_key, for poll_mouse
  bool ended_ = false;      // the input handle failed for good
  bool colours_ = true;     // false under NO_COLOR
  WORD own_attribute_ = 7;  // the user's buffer's colours at start
  bool wine_ = false;       // the console is Wine's (see cell_info)
};

}  // namespace zq
