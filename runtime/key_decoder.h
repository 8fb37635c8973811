// Turns the bytes a terminal sends for key presses into key_texts: a pure
// function of the pending bytes, how long input has been idle and whether a
// paste is under way, so it is tested without a terminal. Pasted text is
// never keys: a bracketed paste (ESC [ 200 ~ ... ESC [ 201 ~) is dropped
// whole, however it is split across reads, and a mouse report in it with it.
// Mouse reports (SGR, ESC [ < b ; x ; y M, and the older ESC [ M b x y) are
// mouse events, never keys.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/keyboard.h"

namespace zq {

// How long a lone Esc byte waits for the rest of an escape sequence.
inline constexpr std::chrono::milliseconds kEscDelay{25};

// How long a paste may fall silent before its end marker is given up on.
// Longer than kEscDelay: a paste over a slow link arrives in pieces, and any
// piece taken for typing could answer a prompt.
inline constexpr std::chrono::milliseconds kPasteTimeout{500};

struct DecodedKey {
  std::size_t consumed = 0;  // bytes taken from the input; 0 = wait for more
  std::string key_text;      // empty when the bytes made no key (dropped)
  bool in_paste = false;     // the bytes after `consumed` are still pasted text
  std::optional<MouseEvent> mouse = {};  // a mouse report's event, on the terminal's cells
};

// Decodes the first key of `input`. `idle` is the time since the last byte
// arrived: an incomplete escape sequence waits (consumed 0) until it reaches
// kEscDelay, then a lone Esc is the Esc key and any other part is dropped.
// Esc followed within that time by another key is that key pressed with Alt,
// which is the key itself. `in_paste` is the `in_paste` of the previous
// result: pasted bytes are consumed without a key up to the paste's end; a
// cut-off end marker waits up to kPasteTimeout.
DecodedKey decode_key(std::string_view input, std::chrono::milliseconds idle, bool in_paste = false);

// How long after the last byte a decode that waits is decided at the latest.
constexpr std::chrono::milliseconds decode_deadline(bool in_paste) { return in_paste ? kPasteTimeout : kEscDelay; }

}  // namespace zq
