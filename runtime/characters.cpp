#include "runtime/characters.h"

#include <algorithm>
#include <iterator>

namespace zq {
namespace {

struct Range {
  char32_t first, last;
};

// The characters that terminals and consoles show two cells wide: the East
// Asian wide and fullwidth blocks (Hangul, the CJK ideographs and symbols,
// kana, Yi, fullwidth forms) and the main blocks of emoji. A terminal that
// disagrees about one is sent '?' for it (console_shows).
constexpr Range kWide[] = {
    {0x1100, 0x115F},  {0x2E80, 0x303E},  {0x3041, 0x33FF},  {0x3400, 0x4DBF},  {0x4E00, 0x9FFF},
    {0xA000, 0xA4CF},  {0xA960, 0xA97F},  {0xAC00, 0xD7A3},  {0xF900, 0xFAFF},  {0xFE10, 0xFE19},
    {0xFE30, 0xFE6F},  {0xFF00, 0xFF60},  {0xFFE0, 0xFFE6},  {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF},
    {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

constexpr bool in_order() {
  for (std::size_t i = 1; i < std::size(kWide); ++i) {
    if (kWide[i - 1].last >= kWide[i].first || kWide[i].first > kWide[i].last) return false;
  }
  return true;
}
static_assert(in_order(), "the ranges are searched by halves");

}  // namespace

Utf8Character utf8_character_at(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return {lead, 1};
  if (lead < 0xC2 || lead > 0xF4) return {};  // a continuation byte, or never a lead
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};  // below: overlong
  if (text.size() - at < length) return {};
  char32_t c = lead & (0x7Fu >> length);
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[at + k]);
    if ((next & 0xC0u) != 0x80u) return {};
    c = c << 6 | (next & 0x3Fu);
  }
  if (c < kLeast[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return {};
  return {c, length};
}

void append_utf8(std::string& text, char32_t c) {
  if (c < 0x80) {
    text += static_cast<char>(c);
    return;
  }
  const int length = c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
  constexpr unsigned char kLeadBits[] = {0, 0, 0xC0, 0xE0, 0xF0};
  text += static_cast<char>(kLeadBits[length] | (c >> (6 * (length - 1))));
  for (int k = length - 2; k >= 0; --k) text += static_cast<char>(0x80u | ((c >> (6 * k)) & 0x3Fu));
}

int cell_width(char32_t c) {
  if (c < kWide[0].first) return 1;
  const auto after = std::upper_bound(std::begin(kWide), std::end(kWide), c,
                                      [](char32_t value, const Range& r) { return value < r.first; });
  return after != std::begin(kWide) && c <= std::prev(after)->last ? 2 : 1;
}

std::u32string text_cells(std::string_view utf8) {
  std::u32string cells;
  cells.reserve(utf8.size());
  for (std::size_t at = 0; at < utf8.size();) {
    const Utf8Character ch = utf8_character_at(utf8, at);
    at += ch.length == 0 ? 1 : ch.length;
    cells += ch.length == 0 ? U'?' : ch.c;
    if (ch.length != 0 && cell_width(ch.c) == 2) cells += kWideTail;
  }
  return cells;
}

std::size_t cells_of(std::string_view utf8) { return text_cells(utf8).size(); }

std::size_t bytes_within(std::string_view utf8, std::size_t cells) {
  std::size_t at = 0;
  std::size_t used = 0;
  while (at < utf8.size()) {
    const Utf8Character ch = utf8_character_at(utf8, at);
    const std::size_t width = ch.length == 0 ? 1 : static_cast<std::size_t>(cell_width(ch.c));
    if (used + width > cells) break;
    used += width;
    at += ch.length == 0 ? 1 : ch.length;
  }
  return at;
}

}  // namespace zq
