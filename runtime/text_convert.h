// Text and number conversions between the configuration file, the keyboard
// and the program's integers. Texts are byte strings that end at their first
// NUL byte (a string_view holding a NUL is read only up to it). Every
// function is pure, total and free of undefined behaviour on any input.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zq {

// The text's bytes before its first NUL; for UTF-16 text, its units.
std::string_view until_nul(std::string_view text);
std::u16string_view until_nul(std::u16string_view text);

// Leading blanks (0x20 only), one optional sign, then a run of decimal
// digits taken modulo 2^32 and read as signed 32-bit; anything else ends it.
std::int32_t text_to_int(std::string_view text);

// Decimal form, "-" before negative values, no padding ("%ld").
std::string int_to_text(std::int32_t value);

// First byte as 0..255; 0 for the empty text.
int char_code(std::string_view text);

// Up to `length` bytes from 1-based `start`; a start below 1 counts as 1.
std::string mid_text(std::string_view text, std::int32_t start, std::int32_t length);

// a-z and 0xE0-0xFF move down by 0x20; every other byte stays.
std::string upper_text(std::string_view text);

// Same length and same bytes.
bool text_equals(std::string_view a, std::string_view b);

// `count` blanks; a negative count gives the empty text.
std::string blank_text(std::int32_t count);

// The text from its first non-blank byte on.
std::string trim_leading_blanks(std::string_view text);

}  // namespace zq
