#include "runtime/input_queue.h"

#include <algorithm>

#include "runtime/key_decoder.h"

namespace zq {
namespace {

// Read no further while this many bytes wait: a flood of input cannot grow
// the program's memory; the rest waits in the terminal's buffer.
constexpr std::size_t kMaxPendingBytes = 1024;
// Key presses held at most; a console's own buffer keeps what comes after.
constexpr std::size_t kMaxPresses = 256;
constexpr char kCtrlL = 0x0C;

// Whether a key press carries a character, which a paste can type: a
// letter, a digit, Enter, Tab, a control character, Esc (which some
// consoles report with no character). Arrows, Shift and the other keys
// without one are never pasted.
bool carries_character(std::string_view key) {
  if (key.empty()) return false;  // a mouse event
  return static_cast<unsigned char>(key[0]) != 255 || (key.size() == 2 && key[1] == kScanEsc);
}

// A character that text is made of, not a control character.
bool is_printable(std::string_view key) {
  const auto ch = static_cast<unsigned char>(key[0]);
  return ch >= 0x20 && ch != 0x7F && ch != 255;
}

TakenInput taken(std::string key_text) {
  // Ctrl+L repaints everything, undoing what another program wrote over the
  // screen; it is the view's key, not the program's.
  if (key_text[0] == kCtrlL) return {{}, true};
  return {std::move(key_text)};
}

// The time from `then` to `now`; forever when nothing came yet.
std::chrono::milliseconds since(std::optional<InputQueue::Clock::time_point> then, InputQueue::Clock::time_point now) {
  if (!then) return std::chrono::milliseconds::max();
  return std::chrono::duration_cast<std::chrono::milliseconds>(now - *then);
}

}  // namespace

void InputQueue::add_bytes(std::string_view bytes, Clock::time_point now) {
  if (bytes.empty()) return;
  // A paste silent this long lost its end marker; what comes now is typed.
  if (in_paste_ && bytes_.empty() && since(last_byte_, now) >= kPasteTimeout) in_paste_ = false;
  bytes_.append(bytes);
  last_byte_ = now;
}

void InputQueue::add_key(std::string_view key_text, Clock::time_point now) {
  if (key_text.empty()) return;
  if (since(last_press_, now) >= kBurstGap) {
    // A new group: everything before it can be given out.
    for (Press& press : presses_) press.settled = true;
    group_characters_ = group_printables_ = 0;
    group_pasted_ = false;
  }
  last_press_ = now;
  const bool character = carries_character(key_text);
  if (character) {
    ++group_characters_;
    if (is_printable(key_text)) ++group_printables_;
  }
  if (!group_pasted_ && group_printables_ > 0 && group_characters_ > 1) {
    // Text with more to it: pasted. Its characters that came first go too.
    group_pasted_ = true;
    std::erase_if(presses_, [](const Press& press) { return !press.settled && carries_character(press.key_text); });
  }
  if (group_pasted_ && character) return;
  if (presses_.size() < kMaxPresses) presses_.push_back({std::string(key_text), false});
}

void InputQueue::add_mouse(const MouseEvent& event) {
  if (presses_.size() < kMaxPresses) presses_.push_back({{}, false, event});
}

bool InputQueue::has_room() const { return bytes_.size() < kMaxPendingBytes; }

TakenInput InputQueue::take(Clock::time_point now, bool hidden) {
  if (hidden) {
    bytes_.clear();
    presses_.clear();
    return {};
  }
  while (!bytes_.empty()) {
    const DecodedKey key = decode_key(bytes_, since(last_byte_, now), in_paste_);
    if (key.consumed == 0) break;
    bytes_.erase(0, key.consumed);
    in_paste_ = key.in_paste;
    if (key.mouse) return {{}, false, key.mouse};
    if (!key.key_text.empty()) return taken(key.key_text);
  }
  if (presses_.empty()) return {};
  if (!presses_.front().settled && since(last_press_, now) < kBurstGap) return {};
  Press press = std::move(presses_.front());
  presses_.pop_front();
  if (press.mouse) return {{}, false, press.mouse};
  return taken(std::move(press.key_text));
}

std::optional<std::chrono::milliseconds> InputQueue::time_to_decide(Clock::time_point now) const {
  std::optional<std::chrono::milliseconds> wait;
  const auto sooner = [&wait](std::chrono::milliseconds left) {
    left = std::max(left, std::chrono::milliseconds(0));
    wait = wait ? std::min(*wait, left) : left;
  };
  if (!bytes_.empty()) {
    const std::chrono::milliseconds idle = since(last_byte_, now);
    sooner(decode_key(bytes_, idle, in_paste_).consumed != 0 ? std::chrono::milliseconds(0)
                                                              : decode_deadline(in_paste_) - idle);
  }
  if (!presses_.empty()) {
    sooner(presses_.front().settled ? std::chrono::milliseconds(0) : kBurstGap - since(last_press_, now));
  }
  return wait;
}

}  // namespace zq
