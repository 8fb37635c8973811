// The console's key source: one input record per poll, and a wait on the
// input handle instead of a busy loop.
#include <thread>

#include "platform/windows/console.h"
#include "platform/windows/console_impl.h"

namespace zq {

std::string key_of_record(const INPUT_RECORD& record) {
  if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) return {};
  const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
  return key_text(static_cast<unsigned char>(key.uChar.AsciiChar), static_cast<unsigned char>(key.wVirtualScanCode));
}

std::string WindowsConsole::poll_key() {
  Impl& c = *impl_;
  if (!c.active || c.ended) return {};
  DWORD pending = 0;
  if (!GetNumberOfConsoleInputEvents(c.input, &pending)) {
    c.ended = true;
    return {};
  }
  if (pending == 0) return {};
  INPUT_RECORD record{};
  DWORD got = 0;
  if (!ReadConsoleInputA(c.input, &record, 1, &got)) {
    c.ended = true;
    return {};
  }
  if (got == 0) return {};
  if (record.EventType == WINDOW_BUFFER_SIZE_EVENT) {
    c.refit();
    return {};
  }
  // Keys pressed blind, while the window asks to be enlarged, are dropped.
  if (c.too_small) return {};
  return key_of_record(record);
}

bool WindowsConsole::wait_for_input() {
  Impl& c = *impl_;
  if (!c.active || c.ended) return false;
  // The console handle is signalled while input records are waiting; cell
  // writes went to the console as they were made, so nothing is left to show.
  if (WaitForSingleObject(c.input, INFINITE) == WAIT_FAILED) c.ended = true;
  return !c.ended;
}

void WindowsConsole::pause_ms(std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); }

}  // namespace zq
