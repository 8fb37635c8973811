#include "platform/posix/tty_session.h"

#include "platform/posix/ending_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iterator>
#include <utility>

namespace zq {
namespace {

// What the signal handlers need, kept where they can reach it without locks.
static_assert(std::atomic<bool>::is_always_lock_free);
std::atomic<bool> g_armed{false};  // the terminal is in our modes and needs restoring
termios g_shell_termios{};
char g_restore_bytes[512];
std::size_t g_restore_length = 0;
int g_wake_pipe[2] = {-1, -1};
std::atomic<bool> g_resized{false};
std::atomic<bool> g_resumed{false};
std::terminate_handler g_previous_terminate = nullptr;

// The signals the program takes for its own work: Ctrl+Z, continue, resize.
constexpr int kWorkSignals[] = {SIGTSTP, SIGCONT, SIGWINCH};

// The shell's action for each signal number, as found at tty_begin.
struct sigaction g_original_actions[NSIG] = {};

// Every signal the program installs a handler for, once.
template <typename Action>
void for_each_handled(Action&& action) {
  const sigset_t ending = terminating_signals();
  for (int sig = 1; sig < NSIG; ++sig) {
    if (sigismember(&ending, sig) == 1) action(sig);
  }
  for (int sig : kWorkSignals) action(sig);
}

void write_all(int fd, const char* bytes, std::size_t length) {
  while (length > 0) {
    const ssize_t n = ::write(fd, bytes, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    bytes += n;
    length -= static_cast<std::size_t>(n);
  }
}

void wake_main_loop() {
  const int saved_errno = errno;
  if (g_wake_pipe[1] >= 0) (void)!::write(g_wake_pipe[1], "!", 1);
  errno = saved_errno;
}

// Lets `sig` act the default way now, its action as it was put in `had`:
// raised, it is pending while the handler runs, and unblocking it acts here.
void act_by_default(int sig, struct sigaction* had) {
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  ::sigaction(sig, &dfl, had);
  sigset_t own;
  sigemptyset(&own);
  sigaddset(&own, sig);
  ::raise(sig);
  ::sigprocmask(SIG_UNBLOCK, &own, nullptr);
}

// Every terminating signal: restore, then die of the same signal the default
// way, so that the parent sees how the program ended. The others are blocked
// while this runs, so that none cuts the restore short.
void on_fatal_signal(int signal_number) {
  tty_restore();
  act_by_default(signal_number, nullptr);
}

// Ctrl+Z: hand the terminal back while stopped, take it again after `fg`.
void on_stop_signal(int) {
  tty_restore();
  struct sigaction ours {};
  act_by_default(SIGTSTP, &ours);
  ::sigaction(SIGTSTP, &ours, nullptr);
  // Continued: on_continue_signal has run and the main loop takes over.
}

// Continued after any stop, Ctrl+Z or a SIGSTOP from outside (kill, a
// debugger): the main loop puts our modes back and repaints.
void on_continue_signal(int) {
  g_resumed = true;
  wake_main_loop();
}

void on_resize_signal(int) {
  g_resized = true;
  wake_main_loop();
}

void on_terminate() {
  tty_restore();
  if (g_previous_terminate != nullptr) g_previous_terminate();
  std::abort();
}

void install_handlers() {
  for_each_handled([](int sig) {
    const struct sigaction& original = g_original_actions[sig];
    const bool by_handler = (original.sa_flags & SA_SIGINFO) != 0;
    const bool ignored = !by_handler && original.sa_handler == SIG_IGN;
    const bool default_action = !by_handler && original.sa_handler == SIG_DFL;
    // A signal the shell told us to ignore (nohup, no job control) stays
    // ignored, but a resize; a terminating one that someone in the process
    // handles already (a sanitizer's fault handler) is left to them.
    if (sig != SIGWINCH && ignored) return;
    const bool ends = std::find(std::begin(kWorkSignals), std::end(kWorkSignals), sig) == std::end(kWorkSignals);
    if (ends && !default_action) return;
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    if (sig == SIGTSTP) {
      action.sa_handler = on_stop_signal;
    } else if (sig == SIGCONT) {
      action.sa_handler = on_continue_signal;
      action.sa_flags = SA_RESTART;
    } else if (sig == SIGWINCH) {
      action.sa_handler = on_resize_signal;
      action.sa_flags = SA_RESTART;
    } else {
      action.sa_handler = on_fatal_signal;
      action.sa_mask = terminating_signals();
    }
    ::sigaction(sig, &action, nullptr);
  });
}

}  // namespace

bool tty_begin(std::string& error) {
  if (::tcgetattr(STDOUT_FILENO, &g_shell_termios) != 0) {
    error = "standard output is not a terminal";
    return false;
  }
  for_each_handled([](int sig) { ::sigaction(sig, nullptr, &g_original_actions[sig]); });
  if (::pipe(g_wake_pipe) != 0) {
    error = std::string("cannot create a pipe: ") + std::strerror(errno);
    return false;
  }
  for (int fd : g_wake_pipe) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  }
  // Ctrl+Z is ignored until tty_arm installs its handler. ncurses, finding
  // it so at start-up, leaves SIGTSTP to us instead of ignoring and
  // restoring it around every update: two system calls a frame.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGTSTP, &ignore, nullptr);
  g_resized = false;
  g_resumed = false;
  return true;
}

void tty_arm(std::string_view restore_bytes) {
  const std::size_t n = std::min(restore_bytes.size(), sizeof g_restore_bytes);
  std::memcpy(g_restore_bytes, restore_bytes.data(), n);
  g_restore_length = n;
  g_armed = true;
  install_handlers();
  static bool exit_hooks_installed = false;
  if (!exit_hooks_installed) {
    exit_hooks_installed = true;
    std::atexit([] { tty_restore(); });
    g_previous_terminate = std::set_terminate(on_terminate);
  }
}

// Puts the terminal back as the shell had it: the restore bytes written,
// tty modes restored, and input not yet read thrown away, so that nothing
// typed or pasted at the program reaches the shell. Only async-signal-safe
// calls, so it serves atexit and the signal handlers.
void tty_restore() noexcept {
  if (!g_armed.exchange(false)) return;
  const int saved_errno = errno;
  write_all(STDOUT_FILENO, g_restore_bytes, g_restore_length);
  ::tcsetattr(STDOUT_FILENO, TCSADRAIN, &g_shell_termios);
  ::tcflush(STDIN_FILENO, TCIFLUSH);
  errno = saved_errno;
}

void tty_end() {
  tty_restore();
  for_each_handled([](int sig) { ::sigaction(sig, &g_original_actions[sig], nullptr); });
  for (int& fd : g_wake_pipe) {
    if (fd >= 0) ::close(std::exchange(fd, -1));
  }
}

void tty_keys_to_program() {
  termios modes{};
  if (::tcgetattr(STDOUT_FILENO, &modes) != 0) return;
  modes.c_iflag &= ~static_cast<tcflag_t>(IXON);
  modes.c_lflag &= ~static_cast<tcflag_t>(IEXTEN);
  ::tcsetattr(STDOUT_FILENO, TCSANOW, &modes);
}

bool tty_rearm() { return !g_armed.exchange(true); }

bool tty_take_resumed() { return g_resumed.exchange(false); }

bool tty_take_resized() { return g_resized.exchange(false); }

int tty_wake_fd() { return g_wake_pipe[0]; }

void tty_drain_wake() {
  char drain[64];
  while (g_wake_pipe[0] >= 0 && ::read(g_wake_pipe[0], drain, sizeof drain) > 0) {
  }
}

void tty_write(std::string_view text) { write_all(STDOUT_FILENO, text.data(), text.size()); }

}  // namespace zq
