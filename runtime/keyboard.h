// Key input: poll_key returns the next key press as a key_text (character
// byte, then a PC set-1 scan code) or the empty text, and never waits; when
// a mouse event comes first, poll_key gives nothing and poll_mouse gives it.
// wait_for_input lets key loops sleep until something may have arrived
// instead of spinning; pause_ms is the pause after a redraw. Neither shows
// the screen: the loop presents it (ConsoleDevice::present) first.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>

namespace zq {

inline constexpr int kScanEsc = 1;
inline constexpr int kScanEnter = 28;
inline constexpr int kScanUp = 72;
inline constexpr int kScanLeft = 75;
inline constexpr int kScanRight = 77;
inline constexpr int kScanDown = 80;

// The key_text of one key press: empty when both are 0; a character of 0
// becomes 255; the scan code byte only when it is not 0.
inline std::string key_text(unsigned char character, unsigned char scan_code) {
  if (character == 0 && scan_code == 0) return {};
  std::string text(1, static_cast<char>(character == 0 ? 255 : character));
  if (scan_code != 0) text.push_back(static_cast<char>(scan_code));
  return text;
}

// What the mouse did at a cell: the left button pressed (the second press
// of a double click too), or the wheel turned a notch. Releases, moves and
// the other buttons are no events. Key sources give the layout's cell; the
// key decoder and the input queue the terminal's or the window's.
struct MouseEvent {
  enum class Kind : std::uint8_t { Press, WheelUp, WheelDown };
  Kind kind = Kind::Press;
  int column = 0;
  int row = 0;
  bool operator==(const MouseEvent&) const = default;
};

class KeySource {
 public:
  virtual ~KeySource() = default;
  // One pending key press, or the empty text. Never waits.
  virtual std::string poll_key() = 0;
  // The mouse event that made the poll_key just before give nothing, on a
  // cell of the layout; a poll_key that follows instead passes it by.
  // Never waits. A source without a mouse has none.
  virtual std::optional<MouseEvent> poll_mouse() { return std::nullopt; }
  // Waits until a key, a resize or a signal may need attention. False once
  // input has ended for good (terminal gone).
  virtual bool wait_for_input() = 0;
  // Suspends the program for that long.
  virtual void pause_ms(std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); }
};

}  // namespace zq
