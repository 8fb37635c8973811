// The console's key source: reads the waiting input records into the input
// queue, which makes key presses of them, and waits on the input handle
// instead of a busy loop.
#include <algorithm>
#include <thread>

#include "platform/windows/console.h"

namespace zq {

using Clock = InputQueue::Clock;

std::string key_of_record(const INPUT_RECORD& record) {
  if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) return {};
  const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
  return key_text(static_cast<unsigned char>(key.uChar.AsciiChar), static_cast<unsigned char>(key.wVirtualScanCode));
}

std::optional<MouseEvent> mouse_of_record(const INPUT_RECORD& record, DWORD& buttons) {
  if (record.EventType != MOUSE_EVENT) return std::nullopt;
  const MOUSE_EVENT_RECORD& mouse = record.Event.MouseEvent;
  const MouseEvent at{MouseEvent::Kind::Press, mouse.dwMousePosition.X, mouse.dwMousePosition.Y};
  if ((mouse.dwEventFlags & MOUSE_WHEELED) != 0) {
    // The wheel's turn is the signed high word: away from the user is up.
    const auto delta = static_cast<SHORT>(HIWORD(mouse.dwButtonState));
    if (delta == 0) return std::nullopt;
    return MouseEvent{delta > 0 ? MouseEvent::Kind::WheelUp : MouseEvent::Kind::WheelDown, at.column, at.row};
  }
  if ((mouse.dwEventFlags & (MOUSE_MOVED | MOUSE_HWHEELED)) != 0) return std::nullopt;
  // A record tells which buttons are down now: the left one going down is a
  // press, a double click's second one included.
  const bool pressed = (mouse.dwButtonState & FROM_LEFT_1ST_BUTTON_PRESSED) != 0 &&
                       ((buttons & FROM_LEFT_1ST_BUTTON_PRESSED) == 0 || (mouse.dwEventFlags & DOUBLE_CLICK) != 0);
  buttons = mouse.dwButtonState;
  return pressed ? std::optional(at) : std::nullopt;
}

// All records are read as they come, not one per poll: the input queue
// learns which key presses arrived together, which tells a paste.
void WindowsConsole::read_records() {
  for (;;) {
    DWORD pending = 0;
    INPUT_RECORD records[64];
    DWORD got = 0;
    if (!GetNumberOfConsoleInputEvents(input_, &pending) ||
        (pending > 0 && !ReadConsoleInputA(input_, records, std::min<DWORD>(pending, 64), &got))) {
      ended_ = true;
      return;
    }
    if (got == 0) return;
    const Clock::time_point now = Clock::now();
    bool resized = false;
    for (DWORD i = 0; i < got; ++i) {
      if (records[i].EventType == WINDOW_BUFFER_SIZE_EVENT) {
        resized = true;
      } else if (const std::optional<MouseEvent> mouse = mouse_of_record(records[i], mouse_buttons_)) {
        // On the window's cells, as the view places the layout in it.
        keys_.add_mouse({mouse->kind, mouse->column - origin_.X, mouse->row - origin_.Y});
      } else {
        keys_.add_key(key_of_record(records[i]), now);
      }
    }
    // A drag of the window's edge sends many: the last size is the one.
    if (resized) refit();
  }
}

std::string WindowsConsole::poll_key() {
  mouse_.reset();
  if (!active_ || ended_) return {};
  read_records();
  // Keys pressed blind, while the window asks to be enlarged, are dropped.
  const TakenInput taken = keys_.take(Clock::now(), !view_.fits);
  if (taken.repaint) refit();
  if (taken.mouse) mouse_ = mouse_on_layout(view_, *taken.mouse);
  return taken.key_text;
}

bool WindowsConsole::wait_for_input() {
  if (!active_ || ended_) return false;
  DWORD timeout = INFINITE;
  if (const auto decide = keys_.time_to_decide(Clock::now())) {
    if (decide->count() == 0) return true;
    timeout = static_cast<DWORD>(decide->count()) + 1;
  }
  // The console handle is signalled while input records are waiting.
  if (WaitForSingleObject(input_, timeout) == WAIT_FAILED) ended_ = true;
  return !ended_;
}

void WindowsConsole::pause_ms(std::chrono::milliseconds duration) {
  const Clock::time_point end = Clock::now() + duration;
  while (active_ && !ended_) {
    read_records();
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now());
    if (left.count() <= 0) return;
    if (WaitForSingleObject(input_, static_cast<DWORD>(left.count())) == WAIT_FAILED) ended_ = true;
  }
  std::this_thread::sleep_until(end);
}

}  // namespace zq
