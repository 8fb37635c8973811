// The terminal's view: the grid handed to present() drawn through ncurses
// where the view's rules place it, the colours it is drawn in, and what the
// signal handlers noted (a resize, a continue after a stop).
#include "platform/posix/terminal.h"

#include <sys/ioctl.h>

#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/posix/tty_session.h"
#include "runtime/characters.h"
#include "runtime/console_palette.h"
#include "runtime/display_text.h"
// Last: it brings in term.h, whose capability macros clash with our names.
#include "platform/posix/terminal_impl.h"

namespace zq {

// The ncurses look of a console attribute: colour pair, and bold or reverse
// where the terminal has fewer colours.
chtype Terminal::Impl::attribute(std::uint16_t attr) {
  const unsigned index = attr & 0xFFu;  // only the low byte carries colour
  if (attr_cache[index]) return *attr_cache[index];
  const unsigned fg = index & 0xFu;
  const unsigned bg = index >> 4;
  chtype look = A_NORMAL;
  if (colours >= 8) {
    // 8-colour terminals brighten the foreground with bold.
    if (colours < 16 && (fg & 8u) != 0) look |= A_BOLD;
    // Pairs are numbered as first needed; a chtype holds pair numbers up to 255.
    if (next_pair < std::min(COLOR_PAIRS, 256) &&
        make_pair(next_pair, terminal_colour(fg, colours, rgb_colours), terminal_colour(bg, colours, rgb_colours))) {
      look |= COLOR_PAIR(next_pair);
      ++next_pair;
    }
  } else if (reversed_without_colours(attr, layout.reversed_backgrounds)) {
    look |= A_REVERSE;  // keeps the selection bar and the banner visible without colours
  }
  attr_cache[index] = look;
  return look;
}

// Acts on what the signal handlers noted: a continue after a stop, a resize.
void Terminal::Impl::handle_events() {
  const bool resumed = tty_take_resumed();
  if (!tty_take_resized() && !resumed) return;
  tty_drain_wake();
  if (resumed) {
    // Continued after a stop, by Ctrl+Z and fg or by a signal from outside:
    // whoever had the terminal meanwhile may have changed its modes and
    // written on it. Our modes and screen again, and a full repaint.
    reset_prog_mode();
    tty_write(enter_alternate);
    send_modes(tty_rearm());
    applied_cursor = -1;
    title_dirty = !title.empty();
    repaint();
  }
  // Resized, or maybe while stopped.
  winsize size{};
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_row > 0 && size.ws_col > 0) {
    resizeterm(size.ws_row, size.ws_col);
  }
  full_redraw = true;
}

void Terminal::Impl::repaint() {
  clearok(curscr, TRUE);
  full_redraw = true;
}

void Terminal::Impl::draw_view(const ConsoleGrid& grid, std::uint64_t shown_since) {
  view = place_view(layout, COLS, LINES);
  const auto width = static_cast<std::size_t>(layout.width);
  if (!view.fits) {
    // In the terminal's own colours: this is a request, not the program.
    wbkgdset(stdscr, ' ');
    werase(stdscr);
    const std::vector<std::string> request = enlarge_request(layout, "terminal", COLS, LINES);
    for (std::size_t i = 0; i < request.size(); ++i) {
      mvwaddnstr(stdscr, static_cast<int>(i), 0, request[i].c_str(), COLS);
    }
    shown.clear();
    return;
  }
  const bool all = full_redraw || shown.size() != width * static_cast<std::size_t>(layout.height);
  if (all) {
    // What a larger terminal shows around the layout: the frame's blue.
    wbkgdset(stdscr, ' ' | attribute(layout.surround_attribute));
    werase(stdscr);
    shown.assign(width * static_cast<std::size_t>(layout.height), Cell{kWideTail + 1, 0});  // matches no cell
  }
  for (int row = 0; row < layout.height; ++row) {
    const int v = view_row_of(view, row);
    if (v < 0 || (!all && grid.row_written(static_cast<std::uint16_t>(row)) <= shown_since)) continue;
    const std::span<const Cell> cells = grid.row(static_cast<std::uint16_t>(row));
    Cell* const was = shown.data() + static_cast<std::size_t>(row) * width;
    // Each run of cells that changed, with both halves of a wide character.
    const auto differ = [&](std::size_t c) { return cells[c] != was[c]; };
    for (std::size_t c = 0; c < cells.size();) {
      if (!differ(c)) {
        ++c;
        continue;
      }
      const std::size_t first = c > 0 && cells[c].ch == kWideTail ? c - 1 : c;
      while (c < cells.size() && (differ(c) || cells[c].ch == kWideTail)) ++c;
      std::copy(cells.begin() + static_cast<std::ptrdiff_t>(first), cells.begin() + static_cast<std::ptrdiff_t>(c),
                was + first);
      draw_cells(cells.subspan(first, c - first), view.top + v, view.left + static_cast<int>(first));
    }
  }
}

void Terminal::Impl::draw_cells(std::span<const Cell> cells, int y, int x) {
  line.clear();
  bool wide_shown = false;  // the cell before holds a wide character, sent as such
  for (const Cell& cell : cells) {
    // A wide character covers its second cell on the terminal too.
    if (cell.ch == kWideTail && wide_shown) {
      wide_shown = false;
      continue;
    }
    // What the terminal cannot show is sent as '?' (a control character
    // could act as a sequence); the second cell of such a wide one as a blank.
    wchar_t shown_char[2] = {cell.ch == kWideTail ? L' ' : L'?', L'\0'};
    if (cell.ch != kWideTail && console_shows(cell.ch)) shown_char[0] = static_cast<wchar_t>(cell.ch);
    wide_shown = shown_char[0] != L'?' && cell_width(cell.ch) == 2;
    const chtype look = attribute(cell.attr);
    cchar_t drawn{};
    setcchar(&drawn, shown_char, look & A_ATTRIBUTES & ~A_COLOR, static_cast<short>(PAIR_NUMBER(look)), nullptr);
    line.push_back(drawn);
  }
  mvwadd_wchnstr(stdscr, y, x, line.data(), static_cast<int>(line.size()));
}

Terminal::Terminal(const ViewLayout& layout) : impl_(std::make_unique<Impl>(layout)) {}

Terminal::~Terminal() { release(); }

const std::string& Terminal::error() const { return impl_->error; }

void Terminal::set_title(std::string_view title) {
  // Only printable ASCII: a control byte would end the title sequence early.
  impl_->title.clear();
  std::copy_if(title.begin(), title.end(), std::back_inserter(impl_->title),
               [](char c) { return c >= 0x20 && c < 0x7F; });
  impl_->title_dirty = true;
}

// Sends what changed since the last call to the terminal, in one flush.
void Terminal::present(const ConsoleGrid& grid) {
  Impl& t = *impl_;
  if (!t.active) return;
  t.handle_events();
  const CellPos cursor = grid.cursor();
  const bool changed = t.full_redraw || grid.cell_writes() != t.shown_writes ||
                       cursor.column != t.shown_cursor.column || cursor.row != t.shown_cursor.row ||
                       grid.cursor_size() != t.shown_cursor_size || grid.cursor_visible() != t.shown_cursor_visible;
  if (!changed && !t.title_dirty) return;
  const std::uint64_t shown_since = std::exchange(t.shown_writes, grid.cell_writes());
  t.shown_cursor = cursor;
  t.shown_cursor_size = grid.cursor_size();
  t.shown_cursor_visible = grid.cursor_visible();
  t.draw_view(grid, shown_since);
  if (t.title_dirty && !t.title_start.empty()) {
    // Written directly: putp would queue it in stdio, behind later output.
    tty_write(t.title_start + t.title + t.title_end);
  }
  t.title_dirty = false;

  int want_cursor = 0;
  const int cursor_row = view_row_of(t.view, cursor.row);
  if (t.view.fits && grid.cursor_visible() && cursor_row >= 0 && cursor.column < t.layout.width) {
    want_cursor = grid.cursor_size() >= 50 ? 2 : 1;
    wmove(stdscr, t.view.top + cursor_row, t.view.left + cursor.column);
  }
  if (want_cursor != t.applied_cursor) {
    if (curs_set(want_cursor) == ERR && want_cursor == 2) curs_set(1);
    t.applied_cursor = want_cursor;
  }
  wnoutrefresh(stdscr);
  doupdate();
  t.full_redraw = false;
}

}  // namespace zq
