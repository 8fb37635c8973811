// The terminal's key source: reads the bytes a terminal sends into the input
// queue, which makes keys of them, and waits for input without spinning.
#include "platform/posix/terminal.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <thread>
#include <utility>

#include "platform/posix/tty_session.h"
// Last: it brings in term.h, whose capability macros clash with our names.
#include "platform/posix/terminal_impl.h"

namespace zq {

void Terminal::Impl::read_input(bool ready) {
  pollfd in{STDIN_FILENO, POLLIN, 0};
  while (input.has_room() && (std::exchange(ready, false) || ::poll(&in, 1, 0) > 0)) {
    char bytes[256];
    const ssize_t n = ::read(STDIN_FILENO, bytes, sizeof bytes);
    if (n > 0) {
      input.add_bytes(std::string_view(bytes, static_cast<std::size_t>(n)), Clock::now());
      // Less than asked for: all there was; a key takes no second look.
      if (static_cast<std::size_t>(n) < sizeof bytes) return;
      continue;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
    ended = true;  // end of input or the terminal hung up
    return;
  }
}

std::string Terminal::poll_key() {
  Impl& t = *impl_;
  t.mouse.reset();
  if (!t.active) return {};
  t.handle_events();
  // A key read already is taken without asking the terminal again.
  const auto decide = t.input.time_to_decide(Clock::now());
  if (!decide || decide->count() > 0) t.read_input();
  if (!t.input.empty() && Clock::now() < t.pause_end) std::this_thread::sleep_until(t.pause_end);
  const ViewPlacement view = place_view(t.layout, COLS, LINES);
  const TakenInput taken = t.input.take(Clock::now(), !view.fits);
  if (taken.repaint) t.repaint();
  if (taken.mouse) t.mouse = mouse_on_layout(view, *taken.mouse);
  return taken.key_text;
}

void Terminal::pause_ms(std::chrono::milliseconds duration) { impl_->pause_end = Clock::now() + duration; }

std::optional<MouseEvent> Terminal::poll_mouse() { return std::exchange(impl_->mouse, std::nullopt); }

bool Terminal::wait_for_input() {
  Impl& t = *impl_;
  if (!t.active || t.ended) return false;
  int timeout_ms = -1;
  if (const auto decide = t.input.time_to_decide(Clock::now())) {
    if (decide->count() == 0) return true;
    // Part of an escape sequence: wait at most until the queue decides it.
    timeout_ms = static_cast<int>(decide->count()) + 1;
  }
  pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {tty_wake_fd(), POLLIN, 0}};
  const int ready = ::poll(fds, 2, timeout_ms);
  if (ready > 0 && fds[1].revents != 0) {
    tty_drain_wake();
    t.handle_events();
  }
  if (ready > 0 && fds[0].revents != 0) t.read_input(true);
  if (ready < 0 && errno != EINTR) t.ended = true;
  return !t.ended;
}

}  // namespace zq
