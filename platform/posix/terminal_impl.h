// What the terminal's start-up (terminal_start.cpp), view (terminal.cpp)
// and key reader (terminal_keys.cpp) share: what the terminal shows, and the input not yet
// taken.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/posix/terminal.h"
#include "runtime/console_view.h"
#include "runtime/input_queue.h"
// Last: it brings in term.h, whose capability macros clash with our names.
#include "platform/posix/terminfo.h"

namespace zq {

using Clock = std::chrono::steady_clock;

struct Terminal::Impl {
  explicit Impl(const ViewLayout& view_layout) : layout(view_layout) {}

  std::string error;
  SCREEN* screen = nullptr;
  bool active = false;
  ViewLayout layout;

  // What the terminal shows and what it needs.
  std::uint64_t shown_writes = 0;  // the grid's cell_writes at the last frame
  CellPos shown_cursor{};
  std::uint32_t shown_cursor_size = 0;
  bool shown_cursor_visible = false;
  bool full_redraw = false;  // the view needs drawing in full whatever the grid holds
  ViewPlacement view;
  std::vector<Cell> shown;  // the layout's cells as handed to ncurses; empty: none
  std::vector<cchar_t> line;  // draw_cells' work row
  int applied_cursor = -1;  // last curs_set value sent, -1 unknown
  std::string title;
  bool title_dirty = false;
  bool xterm_title = false;
  std::string title_start, title_end;
  std::string paste_on, paste_off;  // bracketed paste, where the terminal has it
  std::string enter_alternate, leave_alternate;  // smcup and rmcup, which ncurses no longer sends
  std::string mouse_on, mouse_off;  // mouse reports, where the terminal sends them
  int colours = 0;
  bool rgb_colours = false;  // colours sent as 0xRRGGBB values
  short next_pair = 1;
  std::array<std::optional<chtype>, 256> attr_cache{};  // the look of each attribute byte once drawn

  InputQueue input;  // key bytes read but not yet taken
  Clock::time_point pause_end{};  // no key is taken before this: the pause after a redraw
  std::optional<MouseEvent> mouse;  // taken by the last poll_key, for poll_mouse
  bool ended = false;

  // The start-up, in its steps (terminal_start.cpp): ncurses on the
  // terminal in the program's modes; the sequences terminfo or the terminal
  // family gives; the colours.
  bool start_curses();
  void read_sequences();
  void start_colours();
  std::string restore_bytes() const;
  // Bracketed paste and mouse reports on, and the shell's title pushed when
  // `push_title`.
  void send_modes(bool push_title);
  chtype attribute(std::uint16_t attr);
  void handle_events();
  // The next present() redraws every cell, whatever the terminal shows now.
  void repaint();
  // Hands ncurses the grid's cells that differ from `shown`, in the rows
  // written since cell_writes() was `shown_since`; all of them after a full
  // redraw; or the request to enlarge.
  void draw_view(const ConsoleGrid& grid, std::uint64_t shown_since);
  // Cells of one row, starting at terminal cell (x, y).
  void draw_cells(std::span<const Cell> cells, int y, int x);
  // Reads what the terminal has sent; `ready`: poll said there is some.
  void read_input(bool ready = false);
};

}  // namespace zq
