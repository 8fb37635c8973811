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
constexpr char kCtrlL = 0x0C;

}  // namespace

void Terminal::Impl::read_input() {
  pollfd in{STDIN_FILENO, POLLIN, 0};
  while (input.size() < kMaxPendingInput && ::poll(&in, 1, 0) > 0) {
    char bytes[256];
    const ssize_t n = ::read(STDIN_FILENO, bytes, sizeof bytes);
    if (n > 0) {
      // A paste silent this long lost its end marker; what comes now is typed.
      if (in_paste && input.empty() && idle() >= kPasteTimeout) in_paste = false;
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
  const DecodedKey key = decode_key(t.input, t.idle(), t.in_paste);
  if (key.consumed == 0) return {};
  t.input.erase(0, key.consumed);
  t.in_paste = key.in_paste;
  if (!key.key_text.empty() && key.key_text[0] == kCtrlL) {
    // Ctrl+L repaints everything, undoing what another program wrote over
    // the screen; it is the terminal's key, not the program's.
    t.repaint();
    return {};
  }
  return key.key_text;
}

bool Terminal::wait_for_input() {
  Impl& t = *impl_;
  if (!t.active || t.ended) return false;
  t.present();
  int timeout_ms = -1;
  if (!t.input.empty()) {
    if (decode_key(t.input, t.idle(), t.in_paste).consumed != 0) return true;
    // Part of an escape sequence: wait at most until the decoder decides it.
    const auto deadline = decode_deadline(t.in_paste);
    timeout_ms = static_cast<int>(std::max<std::int64_t>(0, (deadline - t.idle()).count())) + 1;
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
