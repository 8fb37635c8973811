#include "runtime/display_text.h"

#include <utility>

namespace zq {
namespace {

// The character that starts at text[at] and its length in bytes; length 0
// where the bytes there are no well-formed UTF-8 (stray, cut short, overlong,
// a surrogate, past U+10FFFF).
std::pair<char32_t, std::size_t> character_at(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return {lead, 1};
  if (lead < 0xC2 || lead > 0xF4) return {0, 0};  // a continuation byte, or never a lead
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};  // below: overlong
  if (text.size() - at < length) return {0, 0};
  char32_t c = lead & (0x7Fu >> length);
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[at + k]);
    if ((next & 0xC0u) != 0x80u) return {0, 0};
    c = c << 6 | (next & 0x3Fu);
  }
  if (c < kLeast[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return {0, 0};
  return {c, length};
}

}  // namespace

std::string one_byte_per_character(std::string_view utf8, const std::function<unsigned char(char32_t)>& letter) {
  std::string shown;
  for (std::size_t at = 0; at < utf8.size();) {
    const auto [c, length] = character_at(utf8, at);
    at += length == 0 ? 1 : length;
    if (length == 0 || c < 0x20 || (c >= 0x7F && c < 0xA0)) {
      shown += '?';
    } else if (c < 0x7F) {
      shown += static_cast<char>(c);
    } else {
      const unsigned char byte = letter(c);
      shown += byte != 0 ? static_cast<char>(byte) : '?';
    }
  }
  return shown;
}

}  // namespace zq
