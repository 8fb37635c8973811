// Text from the system shown on screen (a failure's reason, a folder's name)
// as the console can show it. The system gives UTF-8; the console shows one
// byte per cell, in a character set of its own, so each character becomes
// one byte: the console's letter for it, or plain ASCII.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace zq {

// The platform's rule for the console in use (one implementation per system).
std::string display_text(std::string_view utf8);

// The rule itself: printable ASCII stays; any other character becomes the
// byte `letter` gives for it, or '?' where that is 0; a control character,
// and each byte that is not part of a well-formed character, becomes '?'.
std::string one_byte_per_character(std::string_view utf8, const std::function<unsigned char(char32_t)>& letter);

}  // namespace zq
