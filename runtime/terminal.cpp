#include "runtime/terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <thread>
#include <utility>

#include "runtime/console_screen.h"
#include "runtime/key_decoder.h"
#include "runtime/memory_console.h"

// Last: term.h defines every capability name as a macro.
#include <curses.h>
#include <term.h>
#undef cursor_visible

namespace zq {

namespace {

using Clock = std::chrono::steady_clock;

// The layout's size; the buffer is never smaller.
constexpr int kLayoutColumns = 80;
constexpr int kLayoutRows = 25;
// Rows 1 to 24 hold the whole layout, so a 24-row terminal still shows it.
constexpr int kMinViewRows = 24;
// print_text's cursor arithmetic is 16-bit and exact only up to this size.
constexpr int kMaxBufferSide = 255;
constexpr std::size_t kMaxPendingInput = 1024;

// What the signal handlers need, kept where they can reach it without locks.
static_assert(std::atomic<bool>::is_always_lock_free);
std::atomic<bool> g_armed{false};  // the terminal is in our modes and needs restoring
int g_tty_fd = STDOUT_FILENO;
termios g_shell_termios{};
char g_restore_bytes[512];
std::size_t g_restore_length = 0;
int g_wake_pipe[2] = {-1, -1};
volatile sig_atomic_t g_resized = 0;
volatile sig_atomic_t g_resumed = 0;
std::terminate_handler g_previous_terminate = nullptr;

constexpr int kHandledSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP, SIGWINCH};

void write_all(int fd, const char* bytes, std::size_t length) {
  while (length > 0) {
    const ssize_t n = ::write(fd, bytes, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    bytes += n;
    length -= static_cast<std::size_t>(n);
  }
}

void write_text(std::string_view text) { write_all(g_tty_fd, text.data(), text.size()); }

// Puts the terminal back as the shell had it: cursor shown, colours reset,
// alternate screen left, title popped, tty modes restored. Idempotent, and
// only async-signal-safe calls, so it serves atexit and the signal handlers.
void restore_terminal() noexcept {
  if (!g_armed.exchange(false)) return;
  const int saved_errno = errno;
  write_all(g_tty_fd, g_restore_bytes, g_restore_length);
  ::tcsetattr(g_tty_fd, TCSADRAIN, &g_shell_termios);
  errno = saved_errno;
}

void wake_main_loop() {
  const int saved_errno = errno;
  if (g_wake_pipe[1] >= 0) (void)!::write(g_wake_pipe[1], "!", 1);
  errno = saved_errno;
}

// SIGINT, SIGTERM, SIGHUP, SIGQUIT: restore, then die of the same signal the
// default way (installed with SA_RESETHAND | SA_NODEFER, so raise ends us here).
void on_fatal_signal(int signal_number) {
  restore_terminal();
  ::raise(signal_number);
}

// Ctrl+Z: hand the terminal back while stopped, take it again after `fg`.
void on_stop_signal(int) {
  const bool was_armed = g_armed.load();
  restore_terminal();
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  struct sigaction ours {};
  ::sigaction(SIGTSTP, &dfl, &ours);
  sigset_t stop_set;
  sigemptyset(&stop_set);
  sigaddset(&stop_set, SIGTSTP);
  ::raise(SIGTSTP);
  // Pending while this handler runs; unblocking it stops the process here.
  ::sigprocmask(SIG_UNBLOCK, &stop_set, nullptr);
  ::sigaction(SIGTSTP, &ours, nullptr);
  if (was_armed) {
    g_resumed = 1;
    wake_main_loop();
  }
}

void on_resize_signal(int) {
  g_resized = 1;
  wake_main_loop();
}

void on_terminate() {
  restore_terminal();
  if (g_previous_terminate != nullptr) g_previous_terminate();
  std::abort();
}

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

struct Terminal::Impl {
  std::string error;
  SCREEN* screen = nullptr;
  bool active = false;
  MemoryConsole model{kLayoutColumns, kLayoutRows};
  struct sigaction original_actions[std::size(kHandledSignals)] = {};

  // What the terminal shows and what it needs.
  bool dirty = false;
  bool full_redraw = false;
  int view_top = 0;
  int applied_cursor = -1;  // last curs_set value sent, -1 unknown
  std::string title;
  bool title_dirty = false;
  bool xterm_title = false;
  std::string title_start, title_end;
  int colours = 0;
  short next_pair = 1;
  std::array<chtype, 256> attr_cache{};
  std::array<bool, 256> attr_known{};

  // Key bytes read but not yet decoded.
  std::string input;
  Clock::time_point last_input{};
  bool ended = false;

  bool create(ScreenGeometry& geometry);
  void release();
  void build_restore_bytes();
  void install_handlers();
  void restore_handlers();
  chtype attribute(std::uint16_t attr);
  void handle_events();
  void present();
  void draw_view();
  void read_input();
  // Too small for the layout: the view shows a request to enlarge instead.
  static bool too_small() { return COLS < kLayoutColumns || LINES < kMinViewRows; }
  std::chrono::milliseconds idle() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - last_input);
  }
};

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

void Terminal::Impl::build_restore_bytes() {
  std::string bytes = "\x18";  // CAN: ends any escape sequence cut off by a signal
  for (const char* name : {"cnorm", "sgr0", "rmcup"}) {
    if (const char* cap = capability(name)) bytes += cap;
  }
  if (xterm_title) bytes += "\x1b[23;0t";  // pop the title pushed at open
  const std::size_t n = std::min(bytes.size(), sizeof g_restore_bytes);
  std::memcpy(g_restore_bytes, bytes.data(), n);
  g_restore_length = n;
}

void Terminal::Impl::install_handlers() {
  for (std::size_t i = 0; i < std::size(kHandledSignals); ++i) {
    const int sig = kHandledSignals[i];
    // A signal the shell told us to ignore (nohup, no job control) stays ignored.
    if (original_actions[i].sa_handler == SIG_IGN && sig != SIGWINCH) continue;
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    if (sig == SIGTSTP) {
      action.sa_handler = on_stop_signal;
    } else if (sig == SIGWINCH) {
      action.sa_handler = on_resize_signal;
      action.sa_flags = SA_RESTART;
    } else {
      action.sa_handler = on_fatal_signal;
      action.sa_flags = SA_RESETHAND | SA_NODEFER;
    }
    ::sigaction(sig, &action, nullptr);
  }
}

void Terminal::Impl::restore_handlers() {
  for (std::size_t i = 0; i < std::size(kHandledSignals); ++i) {
    ::sigaction(kHandledSignals[i], &original_actions[i], nullptr);
  }
}

bool Terminal::Impl::create(ScreenGeometry& geometry) {
  if (active) {
    error = "the terminal is already in use";
    return false;
  }
  if (::tcgetattr(STDOUT_FILENO, &g_shell_termios) != 0) {
    error = "standard output is not a terminal";
    return false;
  }
  for (std::size_t i = 0; i < std::size(kHandledSignals); ++i) {
    ::sigaction(kHandledSignals[i], nullptr, &original_actions[i]);
  }
  if (::pipe(g_wake_pipe) != 0) {
    error = std::string("cannot create a pipe: ") + std::strerror(errno);
    return false;
  }
  for (int fd : g_wake_pipe) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  }
  // newterm, unlike initscr, reports failure instead of exiting.
  screen = newterm(nullptr, stdout, stdin);
  if (screen == nullptr) {
    const char* term = std::getenv("TERM");
    error = std::string("cannot initialise the terminal (TERM=") + (term ? term : "") + ")";
    for (int& fd : g_wake_pipe) ::close(std::exchange(fd, -1));
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
  build_restore_bytes();
  g_armed = true;
  install_handlers();
  static bool exit_hooks_installed = false;
  if (!exit_hooks_installed) {
    exit_hooks_installed = true;
    std::atexit(restore_terminal);
    g_previous_terminate = std::set_terminate(on_terminate);
  }

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
  if (xterm_title) write_text("\x1b[22;0t");  // push the shell's title

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
  restore_terminal();
  restore_handlers();
  delscreen(screen);
  screen = nullptr;
  for (int& fd : g_wake_pipe) ::close(std::exchange(fd, -1));
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

static void drain_wake_pipe() {
  char drain[64];
  while (g_wake_pipe[0] >= 0 && ::read(g_wake_pipe[0], drain, sizeof drain) > 0) {
  }
}

// Acts on what the signal handlers noted: a return from Ctrl+Z, a resize.
void Terminal::Impl::handle_events() {
  if (g_resumed == 0 && g_resized == 0) return;
  drain_wake_pipe();
  if (g_resumed != 0) {
    g_resumed = 0;
    // Back from Ctrl+Z: our tty modes, the alternate screen, a full repaint.
    reset_prog_mode();
    if (const char* smcup = capability("smcup")) write_text(smcup);
    if (xterm_title) write_text("\x1b[22;0t");
    g_armed = true;
    applied_cursor = -1;
    title_dirty = !title.empty();
    clearok(curscr, TRUE);
    g_resized = 1;  // the size may have changed while stopped
  }
  if (g_resized != 0) {
    g_resized = 0;
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
    write_text(title_start + title + title_end);
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

void Terminal::Impl::read_input() {
  pollfd in{STDIN_FILENO, POLLIN, 0};
  while (input.size() < kMaxPendingInput && ::poll(&in, 1, 0) > 0) {
    char bytes[256];
    const ssize_t n = ::read(STDIN_FILENO, bytes, sizeof bytes);
    if (n > 0) {
      input.append(bytes, static_cast<std::size_t>(n));
      last_input = Clock::now();
      continue;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
    ended = true;  // end of input or the terminal hung up
    return;
  }
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

std::string Terminal::poll_key() {
  Impl& t = *impl_;
  if (!t.active) return {};
  t.handle_events();
  t.read_input();
  if (t.too_small()) {
    t.input.clear();  // keys pressed blind, with the screen hidden, are dropped
    return {};
  }
  if (t.input.empty()) return {};
  const DecodedKey key = decode_key(t.input, t.idle());
  if (key.consumed == 0) return {};
  t.input.erase(0, key.consumed);
  return key.key_text;
}

bool Terminal::wait_for_input() {
  Impl& t = *impl_;
  if (!t.active || t.ended) return false;
  t.present();
  int timeout_ms = -1;
  if (!t.input.empty()) {
    if (decode_key(t.input, t.idle()).consumed != 0) return true;
    // Part of an escape sequence: wait at most until a lone Esc is decided.
    timeout_ms = static_cast<int>(std::max<std::int64_t>(0, (kEscDelay - t.idle()).count())) + 1;
  }
  pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {g_wake_pipe[0], POLLIN, 0}};
  const int ready = ::poll(fds, 2, timeout_ms);
  if (ready > 0 && fds[1].revents != 0) {
    drain_wake_pipe();
    t.handle_events();
  }
  if (ready > 0 && fds[0].revents != 0) t.read_input();
  if (ready < 0 && errno != EINTR) t.ended = true;
  return !t.ended;
}

void Terminal::pause_ms(std::chrono::milliseconds duration) {
  impl_->present();
  std::this_thread::sleep_for(duration);
}

}  // namespace zq
