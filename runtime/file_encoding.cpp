#include "runtime/file_encoding.h"

#include "runtime/characters.h"

namespace zq {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

constexpr char16_t kEscapeBase = 0xDC00;  // + a byte of 0x80 to 0xFF
constexpr char32_t kReplacement = 0xFFFD;

bool is_high_surrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool is_low_surrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

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
    const Utf8Character d = utf8_character_at(text, i);
    if (d.length == 0) {
      units.push_back(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(text[i])));
      ++i;
      continue;
    }
    if (d.c >= 0x10000) {
      const char32_t v = d.c - 0x10000;
      units.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
    } else {
      units.push_back(static_cast<char16_t>(d.c));
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
