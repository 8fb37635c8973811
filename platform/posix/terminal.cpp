#include "platform/posix/terminal.h"

#include <sys/ioctl.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "platform/posix/tty_session.h"
#include "runtime/characters.h"
#include "runtime/console_palette.h"
#include "runtime/console_screen.h"
#include "runtime/display_text.h"
// Last: it brings in term.h, whose capability macros clash with our names.
#include "platform/posix/terminal_impl.h"

namespace zq {

namespace {

const char* capability(const char* name) {
  char* value = tigetstr(const_cast<char*>(name));
  return value == nullptr || value == reinterpret_cast<char*>(-1) ? nullptr : value;
}

// A terminfo string as bytes to write directly: its $<..> padding is a delay
// that only tputs knows how to make, and would otherwise show as text.
std::string without_padding(const char* cap) {
  std::string bytes;
  for (const char* p = cap; *p != '\0'; ++p) {
    if (p[0] == '$' && p[1] == '<') {
      const char* end = std::strchr(p, '>');
      if (end != nullptr) {
        p = end;
        continue;
      }
    }
    bytes.push_back(*p);
  }
  return bytes;
}

std::string capability_bytes(const char* name) {
  const char* cap = capability(name);
  return cap == nullptr ? std::string() : without_padding(cap);
}

// Empties a capability of the terminal in use, so that ncurses never sends it.
void blank_capability(const char* name) {
  if (char* value = tigetstr(const_cast<char*>(name)); value != nullptr && value != reinterpret_cast<char*>(-1)) {
    value[0] = '\0';
  }
}

bool starts_with_any(std::string_view text, std::initializer_list<std::string_view> prefixes) {
  return std::any_of(prefixes.begin(), prefixes.end(), [&](std::string_view p) { return text.substr(0, p.size()) == p; });
}

// Terminal families known to take the xterm title sequences (set, push, pop).
bool has_xterm_title(std::string_view term) {
  return starts_with_any(term, {"xterm", "tmux", "screen", "rxvt", "vte", "gnome", "konsole", "alacritty",
                                "kitty", "foot", "wezterm", "putty", "st-", "iterm"}) ||
         term == "st";
}

// Console colour index (bit 0 blue, 1 green, 2 red) to ANSI (bit 0 red, 2 blue).
constexpr int ansi_colour(unsigned index) {
  return static_cast<int>(((index & 1u) << 2) | (index & 2u) | ((index & 4u) >> 2));
}

// The terminal's description says that it takes colours as 0xRRGGBB numbers
// (RGB, as a flag, a number or a string); ncurses then sends them as such.
bool takes_rgb_colours() {
#if defined(NCURSES_EXT_COLORS)
  return tigetflag(const_cast<char*>("RGB")) > 0 || tigetnum(const_cast<char*>("RGB")) > 0 ||
         capability("RGB") != nullptr;
#else
  return false;  // colour numbers past a short need the extended colour calls
#endif
}

// The colour the terminal is sent for console colour `index`. Entries 0 to 15
// are whatever the terminal's theme makes of them (brown is often a bright
// yellow that white text cannot be read on), so where there is more the
// console's own colours are sent: by value, or as the nearest fixed entry.
int terminal_colour(unsigned index, int colours, bool rgb) {
  if (rgb) {
    // Some descriptions send small numbers as palette entries (below 8, 16 or
    // 256); such a colour goes with its red one step up, which no eye sees.
    const std::uint32_t value = kClassicPalette[index];
    return static_cast<int>(value < 0x100 ? value | 0x010000 : value);
  }
  if (colours >= 256) return nearest_entry(kClassicPalette[index]);
  const int ansi = ansi_colour(index & 7u);
  return colours >= 16 && (index & 8u) != 0 ? ansi + 8 : ansi;
}

bool make_pair(short pair, int foreground, int background) {
#if defined(NCURSES_EXT_COLORS)
  return init_extended_pair(pair, foreground, background) == OK;
#else
  return init_pair(pair, static_cast<short>(foreground), static_cast<short>(background)) == OK;
#endif
}

// The strings that switch mouse reports on and off: terminfo's XM where it
// has one (the xterm family's, in SGR form: columns past 223 work), else,
// where it names the mouse's key (kmous), button presses in SGR form where
// the terminal knows it and in the older form where not. The Linux
// console's mouse is gpm's, and no terminal without kmous gets either.
void mouse_strings(std::string_view term, std::string& on, std::string& off) {
  on.clear();
  off.clear();
  if (const char* xm = capability("XM")) {
    if (const char* start = tiparm(xm, 1)) on = without_padding(start);
    if (const char* stop = tiparm(xm, 0)) off = without_padding(stop);
  } else if (capability("kmous") != nullptr && !term.starts_with("linux")) {
    on = "\x1b[?1000h\x1b[?1006h";
    off = "\x1b[?1006l\x1b[?1000l";
  }
}

}  // namespace

bool Terminal::usable(std::string& why) {
  if (::isatty(STDIN_FILENO) == 0) {
    why = "standard input is not a terminal";
    return false;
  }
  if (::isatty(STDOUT_FILENO) == 0) {
    why = "standard output is not a terminal";
    return false;
  }
  const char* term = std::getenv("TERM");
  if (term == nullptr || *term == '\0') {
    why = "TERM is not set, so the terminal type is unknown";
    return false;
  }
  TERMINAL* previous = cur_term;
  int status = 0;
  if (setupterm(term, STDOUT_FILENO, &status) != OK) {
    why = status == 0 ? std::string("unknown terminal type '") + term + "' (TERM)"
                      : std::string("no terminal description found for '") + term + "'";
    set_curterm(previous);
    return false;
  }
  const bool addressable = capability("cup") != nullptr;
  TERMINAL* probed = set_curterm(previous);
  del_curterm(probed);
  if (!addressable) {
    why = std::string("terminal type '") + term + "' cannot place the cursor";
    return false;
  }
  return true;
}

// What every way out writes: mouse reports and bracketed paste off, cursor
// shown, colours reset, title popped, and the alternate screen left; a
// terminal without one is cleared instead, so the program's screen does not
// stay behind the shell.
std::string Terminal::Impl::restore_bytes() const {
  std::string bytes = "\x18";  // CAN: ends any escape sequence cut off by a signal
  bytes += mouse_off;
  bytes += paste_off;
  bytes += capability_bytes("cnorm");
  bytes += capability_bytes("sgr0");
  if (xterm_title) bytes += "\x1b[23;0t";  // pop the title pushed at open
  bytes += leave_alternate.empty() ? capability_bytes("clear") : leave_alternate;
  return bytes;
}

void Terminal::Impl::enter_screen(bool push_title) {
  tty_write(enter_alternate);
  if (push_title && xterm_title) tty_write("\x1b[22;0t");  // push the shell's title
  tty_write(paste_on);
  tty_write(mouse_on);
}

bool Terminal::Impl::create(ScreenGeometry& geometry) {
  if (active) {
    error = "the terminal is already in use";
    return false;
  }
  if (!tty_begin(error)) return false;
  // newterm, unlike initscr, reports failure instead of exiting.
  screen = newterm(nullptr, stdout, stdin);
  if (screen == nullptr) {
    const char* term = std::getenv("TERM");
    error = std::string("cannot initialise the terminal (TERM=") + (term ? term : "") + ")";
    tty_end();
    return false;
  }
  set_term(screen);
  // cbreak, not raw: Ctrl+C and Ctrl+Z keep raising their signals.
  cbreak();
  noecho();
  nonl();
  intrflush(stdscr, FALSE);
  tty_keys_to_program();  // before def_prog_mode, so that a resume restores it too
  def_prog_mode();
  // newterm has entered the alternate screen; the endwin below would leave it
  // and the first update enter it again, which can flash. From here on only
  // the program switches screens, with its own copies of the sequences.
  enter_alternate = capability_bytes("smcup");
  leave_alternate = capability_bytes("rmcup");
  blank_capability("smcup");
  blank_capability("rmcup");
  // Until the first endwin ncurses flushes after every cursor move, which
  // would split each redraw into many writes; suspending once before the
  // first update makes it batch a whole update into one write.
  endwin();
  const char* term = std::getenv("TERM");
  xterm_title = has_xterm_title(term ? term : "");
  // Pasted text arrives marked, so that it is never taken for keys; terminfo
  // names the marks where it knows them, the xterm family has them anyway.
  paste_on = capability_bytes("BE");
  paste_off = capability_bytes("BD");
  if ((paste_on.empty() || paste_off.empty()) && xterm_title) {
    paste_on = "\x1b[?2004h";
    paste_off = "\x1b[?2004l";
  }
  mouse_strings(term ? term : "", mouse_on, mouse_off);
  tty_arm(restore_bytes());

  // Our key reader owns standard input; without this ncurses would cut a
  // redraw short whenever a key is waiting.
  typeahead(-1);
  scrollok(stdscr, FALSE);
  if (has_colors() && !colours_refused(std::getenv("NO_COLOR"))) {
    // ncurses resets the terminal's palette (orig_colors) whenever it takes
    // the screen, which would undo colours the user has set (a theme sent
    // with OSC 4). This program never changes the palette: nothing to reset.
    blank_capability("oc");
    start_color();
    // Pair 0 in the terminal's own colours: the reset ncurses sends after
    // every update is then the shortest one.
    use_default_colors();
    colours = COLORS;
    rgb_colours = takes_rgb_colours();
  }
  if (capability("tsl") != nullptr && capability("fsl") != nullptr && tigetflag(const_cast<char*>("hs")) > 0) {
    title_start = capability_bytes("tsl");
    title_end = capability_bytes("fsl");
  } else if (xterm_title) {
    title_start = "\x1b]2;";
    title_end = "\x07";
  }
  if (xterm_title) tty_write("\x1b[22;0t");  // push the shell's title
  tty_write(paste_on);
  tty_write(mouse_on);

  // The program's screen is the layout's size whatever the terminal's; the
  // view places it on the terminal.
  geometry = window_geometry(static_cast<std::uint16_t>(layout.width), static_cast<std::uint16_t>(layout.height));
  attr_known.fill(false);
  next_pair = 1;
  applied_cursor = -1;
  input = InputQueue();
  mouse.reset();
  ended = false;
  active = true;
  dirty = full_redraw = true;
  return true;
}

void Terminal::Impl::release() {
  if (!active) return;
  active = false;
  tty_end();
  delscreen(screen);
  screen = nullptr;
}

// The ncurses look of a console attribute: colour pair, and bold or reverse
// where the terminal has fewer colours.
chtype Terminal::Impl::attribute(std::uint16_t attr) {
  const unsigned index = attr & 0xFFu;  // only the low byte carries colour
  if (attr_known[index]) return attr_cache[index];
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
  } else if (reversed_without_colours(attr)) {
    look |= A_REVERSE;  // keeps the selection bar and the banner visible without colours
  }
  attr_cache[index] = look;
  attr_known[index] = true;
  return look;
}

// Acts on what the signal handlers noted: a continue after a stop, a resize.
void Terminal::Impl::handle_events() {
  const bool resumed = tty_take_resumed();
  bool resized = tty_take_resized();
  if (!resumed && !resized) return;
  tty_drain_wake();
  if (resumed) {
    // Continued after a stop, by Ctrl+Z and fg or by a signal from outside:
    // whoever had the terminal meanwhile may have changed its modes and
    // written on it. Our modes and screen again, and a full repaint.
    reset_prog_mode();
    enter_screen(tty_rearm());
    applied_cursor = -1;
    title_dirty = !title.empty();
    repaint();
    resized = true;  // the size may have changed while stopped
  }
  if (resized) {
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_row > 0 && size.ws_col > 0) {
      resizeterm(size.ws_row, size.ws_col);
    }
    dirty = full_redraw = true;
  }
}

void Terminal::Impl::repaint() {
  clearok(curscr, TRUE);
  dirty = full_redraw = true;
}

void Terminal::Impl::draw_view(const ConsoleGrid& grid) {
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
  if (full_redraw || shown.size() != width * static_cast<std::size_t>(layout.height)) {
    // What a larger terminal shows around the layout: the frame's blue.
    wbkgdset(stdscr, ' ' | attribute(layout.surround_attribute));
    werase(stdscr);
    shown.assign(width * static_cast<std::size_t>(layout.height), Cell{kWideTail + 1, 0});  // matches no cell
  }
  for (int row = 0; row < layout.height; ++row) {
    const int v = view_row_of(view, row);
    if (v < 0) continue;
    const std::span<const Cell> cells = grid.row(static_cast<std::uint16_t>(row));
    Cell* const was = shown.data() + static_cast<std::size_t>(row) * width;
    // Each run of cells that changed, with both halves of a wide character.
    const auto differ = [&](std::size_t c) { return cells[c].ch != was[c].ch || cells[c].attr != was[c].attr; };
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
    wchar_t shown_char[2] = {L'?', L'\0'};
    if (cell.ch == kWideTail) {
      shown_char[0] = L' ';
    } else if (console_shows(cell.ch)) {
      shown_char[0] = static_cast<wchar_t>(cell.ch);
    }
    wide_shown = shown_char[0] != L'?' && cell_width(cell.ch) == 2;
    const chtype look = attribute(cell.attr);
    cchar_t drawn{};
    setcchar(&drawn, shown_char, look & A_ATTRIBUTES & ~A_COLOR, static_cast<short>(PAIR_NUMBER(look)), nullptr);
    line.push_back(drawn);
  }
  mvwadd_wchnstr(stdscr, y, x, line.data(), static_cast<int>(line.size()));
}

// Sends what changed since the last call to the terminal, in one flush.
void Terminal::Impl::present(const ConsoleGrid& grid) {
  if (!active) return;
  handle_events();
  const CellPos cursor = grid.cursor();
  if (grid.cell_writes() != shown_writes || cursor.column != shown_cursor.column || cursor.row != shown_cursor.row ||
      grid.cursor_size() != shown_cursor_size || grid.cursor_visible() != shown_cursor_visible) {
    dirty = true;
  }
  if (!dirty && !title_dirty) return;
  shown_writes = grid.cell_writes();
  shown_cursor = cursor;
  shown_cursor_size = grid.cursor_size();
  shown_cursor_visible = grid.cursor_visible();
  draw_view(grid);
  if (title_dirty && !title_start.empty()) {
    // Written directly: putp would queue it in stdio, behind later output.
    tty_write(title_start + title + title_end);
  }
  title_dirty = false;

  int want_cursor = 0;
  const int cursor_row = view_row_of(view, cursor.row);
  if (view.fits && grid.cursor_visible() && cursor_row >= 0 && cursor.column < layout.width) {
    want_cursor = grid.cursor_size() >= 50 ? 2 : 1;
    wmove(stdscr, view.top + cursor_row, view.left + cursor.column);
  }
  if (want_cursor != applied_cursor) {
    if (curs_set(want_cursor) == ERR && want_cursor == 2) curs_set(1);
    applied_cursor = want_cursor;
  }
  wnoutrefresh(stdscr);
  doupdate();
  dirty = full_redraw = false;
}

Terminal::Terminal(const ViewLayout& layout) : impl_(std::make_unique<Impl>(layout)) {}

Terminal::~Terminal() { impl_->release(); }

const std::string& Terminal::error() const { return impl_->error; }

bool Terminal::create(ScreenGeometry& geometry) { return impl_->create(geometry); }

void Terminal::release() { impl_->release(); }

void Terminal::set_title(std::string_view title) {
  // Only printable ASCII: a control byte would end the title sequence early.
  std::string clean;
  for (char c : title) {
    if (c >= 0x20 && c < 0x7F) clean.push_back(c);
  }
  impl_->title = clean;
  impl_->title_dirty = true;
}

void Terminal::present(const ConsoleGrid& grid) { impl_->present(grid); }

}  // namespace zq
