// What the console's session (console_session.cpp), frame (console.cpp)
// and key reader (console_keys.cpp) share.
#pragma once

#include <windows.h>

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "platform/windows/console.h"
#include "runtime/console_view.h"
#include "runtime/input_queue.h"

namespace zq {

inline int window_width(const CONSOLE_SCREEN_BUFFER_INFO& info) { return info.srWindow.Right - info.srWindow.Left + 1; }
inline int window_height(const CONSOLE_SCREEN_BUFFER_INFO& info) { return info.srWindow.Bottom - info.srWindow.Top + 1; }

struct WindowsConsole::Impl {
  explicit Impl(const ViewLayout& view_layout) : layout(view_layout) {}

  std::string error;
  // Set while the program's buffer is shown; whoever clears it restores.
  std::atomic<bool> active{false};
  ViewLayout layout;
  ViewPlacement view;     // where the window shows the layout; fits is false while it cannot
  COORD origin{0, 0};     // the window's top-left cell in the buffer
  int window_columns = 0;
  int window_rows = 0;
  bool whole_window = true;  // the next frame writes the whole window
  std::vector<Cell> shown;  // the layout's cells as the console shows them, row by row
  // The cursor as last set on the console; unknown, so set anew, after the
  // window was written whole.
  std::optional<COORD> shown_place;
  std::optional<CONSOLE_CURSOR_INFO> shown_shape;

  HANDLE input = INVALID_HANDLE_VALUE;     // CONIN$
  HANDLE user_output = INVALID_HANDLE_VALUE;  // CONOUT$: the user's buffer at start
  HANDLE buffer = INVALID_HANDLE_VALUE;    // the program's own buffer
  DWORD user_input_mode = 0;
  bool input_mode_saved = false;
  std::wstring user_title;
  bool title_saved = false;
  InputQueue keys;
  DWORD mouse_buttons = 0;           // the buttons down at the last mouse record
  std::optional<MouseEvent> mouse;   // taken by the last poll_key, for poll_mouse
  bool ended = false;      // the input handle failed for good
  bool colours = true;     // false under NO_COLOR
  WORD own_attribute = 7;  // the user's buffer's colours at start
  bool wine = false;       // the console is Wine's (see cell_info)

  // The session (console_session.cpp): create in its steps - the
  // console's handles and the user's buffer's state, the program's buffer,
  // what is given back at the end saved, then the console taken.
  bool create(ScreenGeometry& geometry);
  bool open_handles(CONSOLE_SCREEN_BUFFER_INFO& user);
  bool make_buffer(const CONSOLE_SCREEN_BUFFER_INFO& user);
  void save_user_settings();
  bool take_console();
  // Undoes create in reverse order; safe from the control handler's thread.
  void restore();
  void close_handles();
  // The frame (console.cpp).
  COORD cell_at(int column, int row) const {
    return COORD{static_cast<SHORT>(origin.X + column), static_cast<SHORT>(origin.Y + row)};
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
  // Every record waiting: a size change refits the view, a key press goes
  // to the queue with the time it was read.
  void read_records();
};

}  // namespace zq
