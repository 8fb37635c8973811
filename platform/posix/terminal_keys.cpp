// The terminal's key source: reads the bytes a terminal sends and decodes
// them into key_texts, and waits for input without spinning.
#include "platform/posix/terminal.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <thread>

#include "platform/posix/tty_session.h"
#include "runtime/key_decoder.h"
// Last: it brings in term.h, whose capability macros clash with our names.
#include "platform/posix/terminal_impl.h"

namespace zq {
namespace {

constexpr std::size_t kMaxPendingInput = 1024;

}  // namespace

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
  pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {tty_wake_fd(), POLLIN, 0}};
  const int ready = ::poll(fds, 2, timeout_ms);
  if (ready > 0 && fds[1].revents != 0) {
    tty_drain_wake();
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
