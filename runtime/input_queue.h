// The key input between a platform's reader and poll_key: what has arrived
// and when, and the rules that turn it into key presses, the same on every
// platform and in the tests:
//  - Terminal bytes become keys as the key decoder completes them; a
//    bracketed paste is dropped whole, and a paste silent for kPasteTimeout
//    when new bytes come has lost its end marker.
//  - Key presses a console reports whole come in groups: those read at once
//    or less than kBurstGap behind the one before. A group is pasted text
//    when it holds a printable character and another key that carries a
//    character (a second letter, Enter, Tab, Esc): a console types a paste
//    as key presses all at once. Its keys that carry a character are
//    dropped; the others (arrows, Shift) cannot be pasted and stay. So keys
//    that merely arrive together (typed ahead, a console that hands them
//    over late, a remote link in chunks) are kept in order, and so are a
//    held key's repeats. A group is given out once kBurstGap has passed
//    without another press.
//  - Mouse events come in order with the keys, never pasted and never part
//    of a group; a terminal's come from its bytes, a console's whole.
//  - Whatever arrives while the screen is hidden (too small) is dropped.
//  - Ctrl+L asks for a repaint; it is not a key of the program.
// The reader passes the time of every arrival and every look, so the rules
// are tested without a clock.
#pragma once

#include <chrono>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/keyboard.h"

namespace zq {

// How close behind each other the key presses of one group come. A paste
// read in pieces arrives closer together; typing leaves more time between
// keys than this, even two struck at once.
inline constexpr std::chrono::milliseconds kBurstGap{10};

struct TakenInput {
  std::string key_text;  // the key pressed, or empty
  bool repaint = false;  // Ctrl+L: everything on the screen drawn anew
  std::optional<MouseEvent> mouse = {};  // on the terminal's or the window's cells
};

class InputQueue {
 public:
  using Clock = std::chrono::steady_clock;

  // Bytes a terminal sent, read at `now`.
  void add_bytes(std::string_view bytes, Clock::time_point now);
  // A key press a console reported, as its key_text, read at `now`.
  void add_key(std::string_view key_text, Clock::time_point now);
  // A mouse event a console reported, after the keys before it.
  void add_mouse(const MouseEvent& event);
  // Whether the reader may take more input: pending bytes are bounded, and
  // what is not read yet waits in the system's own buffer.
  bool has_room() const;
  bool empty() const { return bytes_.empty() && presses_.empty(); }

  // The next key press due at `now`; nothing while what has arrived is not
  // decided yet. `hidden`: the screen shows no layout, and whatever has
  // arrived is dropped, keys pressed blind.
  TakenInput take(Clock::time_point now, bool hidden);
  // How long after `now` what has arrived is decided without more input (0:
  // take can give it now); none when nothing waits.
  std::optional<std::chrono::milliseconds> time_to_decide(Clock::time_point now) const;

 private:
  struct Press {
    std::string key_text;  // empty for a mouse event
    bool settled = false;  // its group has ended: a later key came long after it
    std::optional<MouseEvent> mouse = {};
  };

  std::string bytes_;  // terminal bytes not yet decoded
  bool in_paste_ = false;
  std::optional<Clock::time_point> last_byte_;

  std::deque<Press> presses_;  // console key presses not yet given out
  std::optional<Clock::time_point> last_press_;
  // The latest group: its presses that carry a character, how many of them
  // are printable, and whether it has shown itself a paste.
  int group_characters_ = 0;
  int group_printables_ = 0;
  bool group_pasted_ = false;
};

}  // namespace zq
