#include "runtime/file_encoding.h"

namespace zq {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

constexpr char16_t kEscapeBase = 0xDC00;  // + a byte of 0x80 to 0xFF
constexpr char32_t kReplacement = 0xFFFD;

bool is_high_surrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool is_low_surrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

unsigned char byte_at(std::string_view s, std::size_t i) {
  return i < s.size() ? static_cast<unsigned char>(s[i]) : 0;
}

bool is_continuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// The code point of the well-formed UTF-8 sequence at `i` and its length,
// or length 0 when none starts there (overlong forms, surrogates and values
// above U+10FFFF are not well-formed).
struct Decoded {
  char32_t code = 0;
  std::size_t length = 0;
};

Decoded decode_utf8(std::string_view s, std::size_t i) {
  const unsigned char b0 = byte_at(s, i);
  if (b0 < 0x80) return {b0, 1};
  // The allowed range of the second byte narrows for E0, ED, F0 and F4.
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  std::size_t length = 0;
  char32_t code = 0;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2;
    code = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3;
    code = b0 & 0x0F;
    if (b0 == 0xE0) low = 0xA0;
    if (b0 == 0xED) high = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4;
    code = b0 & 0x07;
    if (b0 == 0xF0) low = 0x90;
    if (b0 == 0xF4) high = 0x8F;
  } else {
    return {};
  }
  if (i + length > s.size()) return {};
  const unsigned char b1 = byte_at(s, i + 1);
  if (b1 < low || b1 > high) return {};
  code = (code << 6) | (b1 & 0x3F);
  for (std::size_t k = 2; k < length; ++k) {
    const unsigned char b = byte_at(s, i + k);
    if (!is_continuation(b)) return {};
    code = (code << 6) | (b & 0x3F);
  }
  return {code, length};
}

void append_utf8(std::string& out, char32_t code) {
  const auto put = [&out](char32_t bits) { out.push_back(static_cast<char>(bits)); };
  if (code < 0x80) {
    put(code);
  } else if (code < 0x800) {
    put(0xC0 | (code >> 6));
    put(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    put(0xE0 | (code >> 12));
    put(0x80 | ((code >> 6) & 0x3F));
    put(0x80 | (code & 0x3F));
  } else {
    put(0xF0 | (code >> 18));
    put(0x80 | ((code >> 12) & 0x3F));
    put(0x80 | ((code >> 6) & 0x3F));
    put(0x80 | (code & 0x3F));
  }
}

}  // namespace

EncodingMark encoding_of(std::string_view content) {
  if (content.starts_with(kUtf16LeMark)) return {FileEncoding::Utf16Le, kUtf16LeMark.size()};
  if (content.starts_with(kUtf16BeMark)) return {FileEncoding::Utf16Be, kUtf16BeMark.size()};
  if (content.starts_with(kUtf8Mark)) return {FileEncoding::Bytes, kUtf8Mark.size()};
  return {};
}

std::u16string units_from_bytes(std::string_view bytes, FileEncoding encoding) {
  const bool big_endian = encoding == FileEncoding::Utf16Be;
  std::u16string units(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    const unsigned first = static_cast<unsigned char>(bytes[2 * i]);
    const unsigned second = static_cast<unsigned char>(bytes[2 * i + 1]);
    units[i] = static_cast<char16_t>(big_endian ? (first << 8) | second : (second << 8) | first);
  }
  return units;
}

std::string bytes_from_units(std::u16string_view units, FileEncoding encoding) {
  const bool big_endian = encoding == FileEncoding::Utf16Be;
  std::string bytes(units.size() * 2, '\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    const auto high = static_cast<char>(units[i] >> 8);
    const auto low = static_cast<char>(units[i] & 0xFF);
    bytes[2 * i] = big_endian ? high : low;
    bytes[2 * i + 1] = big_endian ? low : high;
  }
  return bytes;
}

std::u16string utf16_from_text(std::string_view text) {
  std::u16string units;
  units.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const Decoded d = decode_utf8(text, i);
    if (d.length == 0) {
      units.push_back(static_cast<char16_t>(kEscapeBase + byte_at(text, i)));
      ++i;
      continue;
    }
    if (d.code >= 0x10000) {
      const char32_t v = d.code - 0x10000;
      units.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
    } else {
      units.push_back(static_cast<char16_t>(d.code));
    }
    i += d.length;
  }
  return units;
}

std::string text_from_utf16(std::u16string_view units) {
  std::string text;
  text.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char32_t u = units[i];
    if (is_high_surrogate(u) && i + 1 < units.size() && is_low_surrogate(units[i + 1])) {
      append_utf8(text, 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00));
      ++i;
    } else if (u >= kEscapeBase + 0x80 && u <= kEscapeBase + 0xFF) {
      text.push_back(static_cast<char>(u - kEscapeBase));
    } else {
      append_utf8(text, is_high_surrogate(u) || is_low_surrogate(u) ? kReplacement : u);
    }
  }
  return text;
}

}  // namespace zq
