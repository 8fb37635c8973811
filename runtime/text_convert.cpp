#include "runtime/text_convert.h"

#include <algorithm>

namespace zq {
namespace {

constexpr char kBlank = ' ';

bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string_view until_nul(std::string_view text) { return text.substr(0, text.find('\0')); }
std::u16string_view until_nul(std::u16string_view text) { return text.substr(0, text.find(u'\0')); }

std::int32_t text_to_int(std::string_view text) {
  text = until_nul(text);
  std::size_t i = text.find_first_not_of(kBlank);
  if (i == std::string_view::npos) return 0;
  bool negative = false;
  if (text[i] == '-' || text[i] == '+') {
    negative = text[i] == '-';
    ++i;
  }
  // Unsigned arithmetic wraps modulo 2^32 by definition, so an overlong run
  // of digits is reduced without overflow.
  std::uint32_t value = 0;
  for (; i < text.size() && is_digit(text[i]); ++i) {
    value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
  }
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);  // modulo 2^32 since C++20
}

std::string int_to_text(std::int32_t value) { return std::to_string(value); }

int char_code(std::string_view text) {
  text = until_nul(text);
  return text.empty() ? 0 : static_cast<unsigned char>(text.front());
}

std::string mid_text(std::string_view text, std::int32_t start, std::int32_t length) {
  text = until_nul(text);
  if (length <= 0) return {};
  const std::size_t first = start <= 1 ? 0 : static_cast<std::size_t>(start) - 1;
  if (first >= text.size()) return {};
  return std::string(text.substr(first, static_cast<std::size_t>(length)));
}

std::string upper_text(std::string_view text) {
  std::string out(until_nul(text));
  for (char& c : out) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'a' && byte <= 'z') || byte >= 0xE0) c = static_cast<char>(byte - 0x20);
  }
  return out;
}

bool text_equals(std::string_view a, std::string_view b) { return until_nul(a) == until_nul(b); }

std::string blank_text(std::int32_t count) {
  return std::string(static_cast<std::size_t>(std::max<std::int32_t>(count, 0)), kBlank);
}

std::string trim_leading_blanks(std::string_view text) {
  text = until_nul(text);
  const std::size_t first = text.find_first_not_of(kBlank);
  return first == std::string_view::npos ? std::string() : std::string(text.substr(first));
}

}  // namespace zq
