#include "runtime/text_convert.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "runtime/display_text.h"

namespace zq {
namespace {

using namespace std::string_literals;

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

struct TextToIntCase {
  std::string text;
  std::int32_t expected;
};

TEST(TextToInt, ReadsLeadingNumberModulo2To32) {
  const TextToIntCase cases[] = {
      {"", 0},
      {"   ", 0},
      {"123", 123},
      {"  -45", -45},
      {"+7", 7},
      {"007", 7},
      {"12abc", 12},
      {"abc", 0},
      {"-1", -1},
      {"3.9", 3},
      {"1 2", 1},
      {"- 5", 0},
      {"+-5", 0},
      {"--5", 0},
      {"\t5", 0},
      {"0x10", 0},
      {"-", 0},
      {"12\xB3", 12},
      {"4\0" "5"s, 4},
      {"2147483647", kMax},
      {"2147483648", kMin},
      {"4294967295", -1},
      {"4294967296", 0},
      {"-2147483648", kMin},
      {"-4294967297", -1},
      {"99999999999", 1215752191},  // 99999999999 mod 2^32
      {"00000000000000000000000000042", 42},
      {std::string(5000, '9'), static_cast<std::int32_t>(0xFFFFFFFFu)},  // 10^5000-1 mod 2^32
  };
  for (const auto& c : cases) {
    EXPECT_EQ(text_to_int(c.text), c.expected) << "text: \"" << c.text.substr(0, 40) << "\"";
  }
}

TEST(IntToText, DecimalWithMinusOnly) {
  const struct {
    std::int32_t value;
    const char* text;
  } cases[] = {
      {0, "0"}, {7, "7"}, {-1, "-1"}, {40, "40"}, {kMax, "2147483647"}, {kMin, "-2147483648"},
  };
  for (const auto& c : cases) EXPECT_EQ(int_to_text(c.value), c.text) << c.value;
}

TEST(IntToText, RoundTripsThroughTextToInt) {
  const std::int32_t values[] = {kMin, kMin + 1, -1000000000, -10, -1, 0, 1, 9, 10, 1000000000,
                                 kMax - 1, kMax};
  for (std::int32_t v : values) EXPECT_EQ(text_to_int(int_to_text(v)), v) << v;
}

TEST(CharCode, FirstByteUnsigned) {
  const struct {
    std::string text;
    int expected;
  } cases[] = {{"", 0}, {"A", 65}, {"\x01H", 1}, {"\xFF", 255}, {"\x80z", 128}, {"\0A"s, 0}};
  for (const auto& c : cases) EXPECT_EQ(char_code(c.text), c.expected);
}

TEST(MidText, StartAndLengthRules) {
  const struct {
    std::string text;
    std::int32_t start;
    std::int32_t length;
    std::string expected;
  } cases[] = {
      {"AB", 2, 1, "B"},       {"AB", 3, 1, ""},         {"AB", 0, 2, "AB"},
      {"AB", -5, 2, "AB"},     {"ABCDE", 2, 10, "BCDE"}, {"ABCDE", 4, 2, "DE"},
      {"ABCDE", 1, 0, ""},     {"ABCDE", 1, -3, ""},     {"", 2, 1, ""},
      {"A", 2, 1, ""},         {"ABCDE", kMax, kMax, ""}, {"ABCDE", kMin, kMax, "ABCDE"},
      {"AB\0CD"s, 3, 2, ""},   {"ABCDE", 5, 1, "E"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(mid_text(c.text, c.start, c.length), c.expected)
        << c.text << " start " << c.start << " length " << c.length;
  }
}

TEST(UpperText, ExactByteRanges) {
  for (int b = 1; b < 256; ++b) {
    const bool moves = (b >= 0x61 && b <= 0x7A) || b >= 0xE0;
    const int expected = moves ? b - 0x20 : b;
    const std::string in(1, static_cast<char>(b));
    const std::string out = upper_text(in);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(static_cast<unsigned char>(out[0]), expected) << "byte " << b;
  }
}

TEST(TextEquals, ExactBytesAndLength) {
  const struct {
    std::string a;
    std::string b;
    bool equal;
  } cases[] = {
      {"", "", true},     {"32", "32", true},      {"32", "32 ", false}, {" 32", "32", false},
      {"y", "Y", false},  {"07", "7", false},      {"Y", "Y", true},     {"32\0x"s, "32", true},
      {"3", "32", false}, {"\xE9", "\xC9", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(text_equals(c.a, c.b), c.equal) << '"' << c.a << "\" vs \"" << c.b << '"';
    EXPECT_EQ(text_equals(c.b, c.a), c.equal);
  }
}

TEST(BlankText, CountBlanks) {
  EXPECT_EQ(blank_text(0), "");
  EXPECT_EQ(blank_text(3), "   ");
  EXPECT_EQ(blank_text(255), std::string(255, ' '));
  EXPECT_EQ(blank_text(-1), "");
  EXPECT_EQ(blank_text(kMin), "");
}

TEST(TrimLeadingBlanks, DropsOnlyLeadingBlanks) {
  const struct {
    std::string text;
    std::string expected;
  } cases[] = {
      {"", ""},
      {std::string(255, ' '), ""},
      {"  /home/x  ", "/home/x  "},
      {"\t x", "\t x"},
      {"/a", "/a"},
      {"  /a\0  junk"s, "/a"},
  };
  for (const auto& c : cases) EXPECT_EQ(trim_leading_blanks(c.text), c.expected);
}

// A system text as the console shows it: with no letters beyond ASCII (a
// terminal under LANG=C), and with every character (a UTF-8 terminal).
TEST(ShownCharacters, EachCharacterOrAQuestionMark) {
  const auto none = [](char32_t) { return false; };
  const auto all = [](char32_t) { return true; };
  const struct {
    std::string utf8, ascii, every;
  } cases[] = {
      {"Permission denied", "Permission denied", "Permission denied"},
      {"Acc\xC3\xA8s refus\xC3\xA9", "Acc?s refus?", "Acc\xC3\xA8s refus\xC3\xA9"},
      // Folder names in other letters: two bytes a letter, three (led by 0xE0
      // and by others), and Japanese, two cells a letter.
      {"Jeux vid\xC3\xA9o", "Jeux vid?o", "Jeux vid\xC3\xA9o"},
      {"\xC3\x9C" "bersicht", "?bersicht", "\xC3\x9C" "bersicht"},
      {"\xD0\x98\xD0\xB3\xD1\x80\xD1\x8B", "????", "\xD0\x98\xD0\xB3\xD1\x80\xD1\x8B"},
      {"\xE0\xB8\xA0\xE0\xB8\xB2\xE0\xB8\xA9\xE0\xB8\xB2", "????", "\xE0\xB8\xA0\xE0\xB8\xB2\xE0\xB8\xA9\xE0\xB8\xB2"},
      {"\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0 \xE3\x83\x95\xE3\x82\xA9\xE3\x83\xAB\xE3\x83\x80", "??? ????",
       "\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0 \xE3\x83\x95\xE3\x82\xA9\xE3\x83\xAB\xE3\x83\x80"},
      {"\xC3\xA0 \xE6\x97\xA5 \xF0\x9F\x98\x80", "? ? ?", "\xC3\xA0 \xE6\x97\xA5 \xF0\x9F\x98\x80"},  // à, 日, an emoji
      {"a\tb\x1b[m\x7F\xC2\x85\0c"s, "a?b?[m???c", "a?b?[m???c"},        // control characters
      {"\xE8", "?", "?"},                                                  // Latin-1, not UTF-8
      {"\xC3", "?", "?"},                                                  // cut short
      {"\xC3\xA8\xA8", "??", "\xC3\xA8?"},                               // a stray continuation
      {"\xC0\xAF \xED\xA0\x80 \xF4\x90\x80\x80", "?? ??? ????", "?? ??? ????"},  // overlong, surrogate, too high
  };
  for (const auto& c : cases) {
    EXPECT_EQ(shown_characters(c.utf8, none), c.ascii) << c.utf8;
    EXPECT_EQ(shown_characters(c.utf8, all), c.every) << c.utf8;
  }
}

}  // namespace
}  // namespace zq
