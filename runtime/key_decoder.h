// Turns the bytes a terminal sends for key presses into key_texts: a pure
// function of the pending bytes and how long input has been idle, so it is
// tested without a terminal.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace zq {

// How long a lone Esc byte waits for the rest of an escape sequence.
inline constexpr std::chrono::milliseconds kEscDelay{25};

struct DecodedKey {
  std::size_t consumed = 0;  // bytes taken from the input; 0 = wait for more
  std::string key_text;      // empty when the bytes made no key (dropped)
};

// Decodes the first key of `input`. `idle` is the time since the last byte
// arrived: an incomplete escape sequence waits (consumed 0) until it reaches
// kEscDelay, then a lone Esc is the Esc key and any other part is dropped.
DecodedKey decode_key(std::string_view input, std::chrono::milliseconds idle);

}  // namespace zq
