// Characters of UTF-8 text and the console cells they take. A cell holds one
// character (a Unicode code point); the wide characters of Japanese, Chinese
// and Korean take two cells, the second holding kWideTail. Pure.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zq {

// The second cell of a wide character; past Unicode, so never a character.
inline constexpr char32_t kWideTail = 0x110000;

struct Utf8Character {
  char32_t c = 0;
  std::size_t length = 0;  // in bytes; 0 where the bytes are no character
};

// The character that starts at text[at] (at < text.size()); length 0 where
// the bytes there are no well-formed UTF-8 (stray, cut short, overlong, a
// surrogate, past U+10FFFF).
Utf8Character utf8_character_at(std::string_view text, std::size_t at);
void append_utf8(std::string& text, char32_t c);

// 2 for the wide and fullwidth characters, 1 for every other.
int cell_width(char32_t c);

// The cells of UTF-8 text: one per character, two for a wide one (the
// character, then kWideTail); a byte that is part of no character takes a
// cell of its own, as '?'.
std::u32string text_cells(std::string_view utf8);
// The cells that text takes, counted as text_cells does.
std::size_t cells_of(std::string_view utf8);
// The length in bytes of the longest start of `utf8` that fits in `cells`
// cells without splitting a character.
std::size_t bytes_within(std::string_view utf8, std::size_t cells);

}  // namespace zq
