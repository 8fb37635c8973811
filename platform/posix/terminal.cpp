#include "platform/posix/terminal.h"

#include <sys/ioctl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string_view>
#include <unistd.h>

#include "platform/posix/tty_session.h"
#include "runtime/console_screen.h"
// Last: it brings in term.h, whose capability macros clash with our names.
#include "platform/posix/terminal_impl.h"

namespace zq {

namespace {

const char* capability(const char* name) {
  char* value = tigetstr(const_cast<char*>(name));
  return value == nullptr || value == reinterpret_cast<char*>(-1) ? nullptr : value;
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
constexpr short ansi_colour(unsigned index) {
  return static_cast<short>(((index & 1u) << 2) | (index & 2u) | ((index & 4u) >> 2));
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

// What every way out writes: cursor shown, colours reset, alternate screen
// left, title popped.
std::string Terminal::Impl::restore_bytes() const {
  std::string bytes = "\x18";  // CAN: ends any escape sequence cut off by a signal
  for (const char* name : {"cnorm", "sgr0", "rmcup"}) {
    if (const char* cap = capability(name)) bytes += cap;
  }
  if (xterm_title) bytes += "\x1b[23;0t";  // pop the title pushed at open
  return bytes;
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
  def_prog_mode();
  // Until the first endwin ncurses flushes after every cursor move, which
  // would split each redraw into many writes; suspending once before the
  // first update makes it batch a whole update into one write.
  endwin();
  const char* term = std::getenv("TERM");
  xterm_title = has_xterm_title(term ? term : "");
  tty_arm(restore_bytes());

  // Our key reader owns standard input; without this ncurses would cut a
  // redraw short whenever a key is waiting.
  typeahead(-1);
  scrollok(stdscr, FALSE);
  if (has_colors()) {
    start_color();
    // Pair 0 in the terminal's own colours: the reset ncurses sends after
    // every update is then the shortest one.
    use_default_colors();
    colours = COLORS;
  }
  if (capability("tsl") != nullptr && capability("fsl") != nullptr && tigetflag(const_cast<char*>("hs")) > 0) {
    title_start = capability("tsl");
    title_end = capability("fsl");
  } else if (xterm_title) {
    title_start = "\x1b]2;";
    title_end = "\x07";
  }
  if (xterm_title) tty_write("\x1b[22;0t");  // push the shell's title

  const auto width = static_cast<std::uint16_t>(std::clamp(COLS, kLayoutColumns, kMaxBufferSide));
  const auto height = static_cast<std::uint16_t>(std::clamp(LINES, kLayoutRows, kMaxBufferSide));
  model = MemoryConsole(width, height);
  model.create(geometry);
  attr_known.fill(false);
  next_pair = 1;
  applied_cursor = -1;
  input.clear();
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
  model.release();
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
    short fg_colour = ansi_colour(fg);
    short bg_colour = ansi_colour(bg);
    if (colours >= 16) {
      fg_colour = static_cast<short>(fg_colour + (fg & 8u ? 8 : 0));
      bg_colour = static_cast<short>(bg_colour + (bg & 8u ? 8 : 0));
    } else if (fg & 8u) {
      look |= A_BOLD;  // 8-colour terminals brighten the foreground with bold
    }
    // Pairs are numbered as first needed; a chtype holds pair numbers up to 255.
    if (next_pair < std::min(COLOR_PAIRS, 256) && init_pair(next_pair, fg_colour, bg_colour) == OK) {
      look |= COLOR_PAIR(next_pair);
      ++next_pair;
    }
  } else if ((bg & 7u) == 4) {
    look |= A_REVERSE;  // keeps the red selection bar visible without colours
  }
  attr_cache[index] = look;
  attr_known[index] = true;
  return look;
}

// Acts on what the signal handlers noted: a return from Ctrl+Z, a resize.
void Terminal::Impl::handle_events() {
  const bool resumed = tty_take_resumed();
  bool resized = tty_take_resized();
  if (!resumed && !resized) return;
  tty_drain_wake();
  if (resumed) {
    // Back from Ctrl+Z: our tty modes, the alternate screen, a full repaint.
    reset_prog_mode();
    if (const char* smcup = capability("smcup")) tty_write(smcup);
    if (xterm_title) tty_write("\x1b[22;0t");
    tty_rearm();
    applied_cursor = -1;
    title_dirty = !title.empty();
    clearok(curscr, TRUE);
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

void Terminal::Impl::draw_view() {
  if (too_small()) {
    werase(stdscr);
    char request[96];
    std::snprintf(request, sizeof request, "Please enlarge the terminal to at least %dx%d (now %dx%d).",
                  kLayoutColumns, kMinViewRows, COLS, LINES);
    mvwaddnstr(stdscr, 0, 0, request, COLS);
    return;
  }
  // A 24-row terminal drops the buffer's top row, which the layout leaves empty.
  view_top = LINES < kLayoutRows ? kLayoutRows - LINES : 0;
  const int shown_rows = std::min<int>(LINES, model.height() - view_top);
  const int shown_columns = std::min<int>(COLS, model.width());
  std::array<chtype, kMaxBufferSide> line{};
  for (int r = 0; r < shown_rows; ++r) {
    for (int c = 0; c < shown_columns; ++c) {
      const Cell cell = model.cell(static_cast<std::uint16_t>(c), static_cast<std::uint16_t>(r + view_top));
      // A byte that is not printable ASCII could act as a control sequence.
      const chtype ch = cell.ch >= 0x20 && cell.ch < 0x7F ? cell.ch : '?';
      line[static_cast<std::size_t>(c)] = ch | attribute(cell.attr);
    }
    mvwaddchnstr(stdscr, r, 0, line.data(), shown_columns);
  }
}

// Sends what changed since the last call to the terminal, in one flush.
void Terminal::Impl::present() {
  if (!active) return;
  handle_events();
  if (!dirty && !title_dirty) return;
  if (full_redraw) werase(stdscr);
  draw_view();
  if (title_dirty && !title_start.empty()) {
    // Written directly: putp would queue it in stdio, behind later output.
    tty_write(title_start + title + title_end);
  }
  title_dirty = false;

  int want_cursor = 0;
  const CellPos cursor = model.cursor();
  const int cursor_row = cursor.row - view_top;
  if (!too_small() && model.cursor_visible() && cursor_row >= 0 && cursor_row < LINES && cursor.column < COLS) {
    want_cursor = model.cursor_size() >= 50 ? 2 : 1;
    wmove(stdscr, cursor_row, cursor.column);
  }
  if (want_cursor != applied_cursor) {
    if (curs_set(want_cursor) == ERR && want_cursor == 2) curs_set(1);
    applied_cursor = want_cursor;
  }
  wnoutrefresh(stdscr);
  doupdate();
  dirty = full_redraw = false;
}

Terminal::Terminal() : impl_(std::make_unique<Impl>()) {}

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

void Terminal::fill_attribute(std::uint16_t attr, std::uint32_t count, CellPos start) {
  impl_->model.fill_attribute(attr, count, start);
  impl_->dirty = true;
}

void Terminal::fill_character(unsigned char ch, std::uint32_t count, CellPos start) {
  impl_->model.fill_character(ch, count, start);
  impl_->dirty = true;
}

void Terminal::write_characters(std::string_view bytes, CellPos start) {
  impl_->model.write_characters(bytes, start);
  impl_->dirty = true;
}

void Terminal::scroll_rect(CellRect source, CellPos dest, Cell fill) {
  impl_->model.scroll_rect(source, dest, fill);
  impl_->dirty = true;
}

bool Terminal::set_cursor_position(CellPos pos) {
  impl_->dirty = true;
  return impl_->model.set_cursor_position(pos);
}

bool Terminal::set_cursor_info(std::uint32_t size, bool visible) {
  impl_->dirty = true;
  return impl_->model.set_cursor_info(size, visible);
}

}  // namespace zq
