// Taking the terminal and giving it back: whether it can be driven, the
// start-up in its steps, and the bytes that every way out writes.
#include "platform/posix/terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/posix/tty_session.h"
#include "runtime/console_palette.h"
#include "runtime/console_screen.h"
// Last: it brings in term.h, whose capability macros clash with our names.
#include "platform/posix/terminal_impl.h"

namespace zq {

bool Terminal::usable(std::string& why) {
  const auto refuse = [&why](const std::string& reason) {
    why = reason;
    return false;
  };
  if (::isatty(STDIN_FILENO) == 0) return refuse("standard input is not a terminal");
  if (::isatty(STDOUT_FILENO) == 0) return refuse("standard output is not a terminal");
  const char* term = std::getenv("TERM");
  if (term == nullptr || *term == '\0') return refuse("TERM is not set, so the terminal type is unknown");
  TERMINAL* previous = cur_term;
  int status = 0;
  if (setupterm(term, STDOUT_FILENO, &status) != OK) {
    set_curterm(previous);
    return refuse(status == 0 ? std::string("unknown terminal type '") + term + "' (TERM)"
                              : std::string("no terminal description found for '") + term + "'");
  }
  const bool addressable = capability("cup") != nullptr;
  del_curterm(set_curterm(previous));
  return addressable || refuse(std::string("terminal type '") + term + "' cannot place the cursor");
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

void Terminal::Impl::send_modes(bool push_title) {
  if (push_title && xterm_title) tty_write("\x1b[22;0t");  // push the shell's title
  tty_write(paste_on);
  tty_write(mouse_on);
}

bool Terminal::create(ScreenGeometry& geometry) {
  Impl& t = *impl_;
  if (t.active) {
    t.error = "the terminal is already in use";
    return false;
  }
  if (!tty_begin(t.error)) return false;
  if (!t.start_curses()) {
    tty_end();
    return false;
  }
  t.read_sequences();
  tty_arm(t.restore_bytes());
  t.start_colours();
  t.send_modes(true);
  // The program's screen is the layout's size whatever the terminal's; the
  // view places it on the terminal.
  geometry = window_geometry(static_cast<std::uint16_t>(t.layout.width), static_cast<std::uint16_t>(t.layout.height));
  t.attr_cache.fill(std::nullopt);
  t.next_pair = 1;
  t.applied_cursor = -1;
  t.input = InputQueue();
  t.mouse.reset();
  t.ended = false;
  t.active = true;
  t.full_redraw = true;
  return true;
}

bool Terminal::Impl::start_curses() {
  // The size comes from the terminal; LINES and COLUMNS, which ncurses would
  // otherwise let override it, count only where the terminal reports none.
  // Before newterm, which takes the size, as every later look at it does.
  winsize size{};
  const bool reported = ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_row > 0 && size.ws_col > 0;
  use_env(!reported);
  use_tioctl(reported);
  // newterm, unlike initscr, reports failure instead of exiting.
  screen = newterm(nullptr, stdout, stdin);
  if (screen == nullptr) {
    const char* term = std::getenv("TERM");
    error = std::string("cannot initialise the terminal (TERM=") + (term ? term : "") + ")";
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
  // Our key reader owns standard input; without this ncurses would cut a
  // redraw short whenever a key is waiting.
  typeahead(-1);
  scrollok(stdscr, FALSE);
  return true;
}

void Terminal::Impl::read_sequences() {
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
  if (capability("tsl") != nullptr && capability("fsl") != nullptr && tigetflag(const_cast<char*>("hs")) > 0) {
    title_start = capability_bytes("tsl");
    title_end = capability_bytes("fsl");
  } else if (xterm_title) {
    title_start = "\x1b]2;";
    title_end = "\x07";
  }
}

void Terminal::Impl::start_colours() {
  if (!has_colors() || colours_refused(std::getenv("NO_COLOR"))) return;
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

void Terminal::release() {
  if (!impl_->active) return;
  impl_->active = false;
  tty_end();
  delscreen(impl_->screen);
  impl_->screen = nullptr;
}

}  // namespace zq
