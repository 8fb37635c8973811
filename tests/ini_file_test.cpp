#include "runtime/ini_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "runtime/file_calls.h"
#include "test_files.h"

namespace zq {
namespace {

using namespace std::string_literals;
using test::utf16_file;

struct LookupCase {
  const char* what;
  std::string content;
  std::string section;
  std::string key;
  std::optional<std::string> expected;
};

TEST(IniLookup, Rules) {
  const LookupCase cases[] = {
      {"plain", "[CONFIG]\r\nsyncrate=40\r\n", "CONFIG", "syncrate", "40"},
      {"LF endings", "[CONFIG]\nsyncrate=40\n", "CONFIG", "syncrate", "40"},
      {"lone CR endings", "[CONFIG]\rsyncrate=40\r", "CONFIG", "syncrate", "40"},
      {"mixed endings", "[A]\r\nx=1\r[CONFIG]\nk=2\r\n", "CONFIG", "k", "2"},
      {"no final ending", "[CONFIG]\r\nk=2", "CONFIG", "k", "2"},
      {"empty content", "", "CONFIG", "k", std::nullopt},
      {"section missing", "[OTHER]\nk=1\n", "CONFIG", "k", std::nullopt},
      {"key missing", "[CONFIG]\nj=1\n", "CONFIG", "k", std::nullopt},
      {"key in other section", "[CONFIG]\nj=1\n[B]\nk=1\n", "CONFIG", "k", std::nullopt},
      {"section case", "[config]\nk=1\n", "CONFIG", "k", "1"},
      {"key case", "[CONFIG]\nSyncRate=40\n", "CONFIG", "syncrate", "40"},
      {"key matches whole", "[CONFIG]\nsyncrate2=1\nsync=2\n", "CONFIG", "syncrate", std::nullopt},
      {"blanks around", "[CONFIG]\n \t k \t= \t a b \t\n", "CONFIG", "k", "a b"},
      {"header trimmed", "[ CONFIG ]\nk=1\n", "CONFIG", "k", "1"},
      {"header indented", "  [CONFIG]\nk=1\n", "CONFIG", "k", "1"},
      {"text after header", "[CONFIG] junk=9\nk=1\n", "CONFIG", "k", "1"},
      {"bracket without close", "[CONFIG]\n[k=1\n", "CONFIG", "[k", "1"},
      {"keys before any header", "k=1\n[CONFIG]\n", "CONFIG", "k", std::nullopt},
      {"no comments", "[CONFIG]\n;k=1\n", "CONFIG", "k", std::nullopt},
      {"semicolon is part of key", "[CONFIG]\n;k=1\n", "CONFIG", ";k", "1"},
      {"bare key", "[CONFIG]\nk\n", "CONFIG", "k", std::nullopt},
      {"bare key comes first", "[CONFIG]\nk\nk=5\n", "CONFIG", "k", std::nullopt},
      {"empty value", "[CONFIG]\nk=\n", "CONFIG", "k", ""},
      {"blank value", "[CONFIG]\nk=   \n", "CONFIG", "k", ""},
      {"double quotes", "[CONFIG]\nk=\" a \"\n", "CONFIG", "k", " a "},
      {"single quotes", "[CONFIG]\nk='x'\n", "CONFIG", "k", "x"},
      {"one pair only", "[CONFIG]\nk=\"\"x\"\"\n", "CONFIG", "k", "\"x\""},
      {"unmatched quotes", "[CONFIG]\nk=\"x'\n", "CONFIG", "k", "\"x'"},
      {"lone quote", "[CONFIG]\nk=\"\n", "CONFIG", "k", "\""},
      {"inner quotes", "[CONFIG]\nk=a\"b\"\n", "CONFIG", "k", "a\"b\""},
      {"second = kept", "[CONFIG]\nk=a=b\n", "CONFIG", "k", "a=b"},
      {"first duplicate wins", "[CONFIG]\nk=1\nk=2\n", "CONFIG", "k", "1"},
      {"first section only", "[CONFIG]\nj=1\n[CONFIG]\nk=2\n", "CONFIG", "k", std::nullopt},
      {"BOM skipped", "\xEF\xBB\xBF[CONFIG]\nk=1\n", "CONFIG", "k", "1"},
      {"UTF-16LE", utf16_file(u"[CONFIG]\r\nplaymusic=3\r\n"), "CONFIG", "playmusic", "3"},
      {"UTF-16BE", utf16_file(u"[CONFIG]\r\nplaymusic=3\r\n", true), "CONFIG", "playmusic", "3"},
      {"UTF-16 rules as for bytes, value as UTF-8",
       utf16_file(u"; \u8a2d\u5b9a\n[Vid\u00e9o]\nk=9\n[ config ]\r  K = \"\u00e9 \u8a2d\" \r[CONFIG]\nk=2\n"),
       "CONFIG", "k", "\xC3\xA9 \xE8\xA8\xAD"},
      {"UTF-16 names from UTF-8", utf16_file(u"[Vid\u00e9o]\r\nR\u00e9solution=4\r\n"),
       "vid\xC3\xA9o", "r\xC3\xA9solution", "4"},
      {"UTF-16 NUL ends value", utf16_file(u"[CONFIG]\nk=ab\0cd\n"s), "CONFIG", "k", "ab"},
      {"UTF-16 odd units in value", utf16_file(u"[CONFIG]\nk=\xDCE9\xD800\xD83D\xDE00\n"), "CONFIG",
       "k", "\xE9\xEF\xBF\xBD\xF0\x9F\x98\x80"},
      {"UTF-16 without its mark is bytes", utf16_file(u"[CONFIG]\nk=1\n").substr(2), "CONFIG", "k",
       std::nullopt},
      {"high bytes pass", "[CONFIG]\nk=\xE9\xFF\x01\n", "CONFIG", "k", "\xE9\xFF\x01"},
      {"NUL ends value", "[CONFIG]\nk=ab\0cd\n"s, "CONFIG", "k", "ab"},
      {"NUL ends value before blanks", "[CONFIG]\nk=ab \0cd\n"s, "CONFIG", "k", "ab"},
      {"NUL in other line", "[CONFIG]\nx\0y=1\nk=2\n"s, "CONFIG", "k", "2"},
      {"empty key never found", "[CONFIG]\n=1\n", "CONFIG", "", std::nullopt},
      {"long value whole", "[CONFIG]\nk=" + std::string(1000, 'v') + "\n", "CONFIG", "k",
       std::string(1000, 'v')},
      {"query cut at NUL", "[CONFIG]\nk=1\n", "CONFIG\0x"s, "k\0y"s, "1"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ini_lookup(c.content, c.section, c.key), c.expected) << c.what;
  }
}


struct UpdateCase {
  const char* what;
  std::string content;
  std::string key;
  std::string value;
  std::string expected;
};

TEST(IniUpdate, Rules) {
  const UpdateCase cases[] = {
      {"new file", "", "screenmode", "0", "[CONFIG]\r\nscreenmode=0\r\n"},
      {"replace keeps CRLF", "[CONFIG]\r\nk=1\r\nj=2\r\n", "k", "5", "[CONFIG]\r\nk=5\r\nj=2\r\n"},
      {"replace keeps LF", "[CONFIG]\nk=1\nj=2\n", "k", "5", "[CONFIG]\nk=5\nj=2\n"},
      {"replace keeps lone CR", "[CONFIG]\rk=1\rj=2\r", "k", "5", "[CONFIG]\rk=5\rj=2\r"},
      {"replace last line without ending", "[CONFIG]\nk=1", "k", "22", "[CONFIG]\nk=22"},
      {"file spelling kept", "[CONFIG]\r\n  SyncRate = 35 \r\n", "syncrate", "40",
       "[CONFIG]\r\nSyncRate=40\r\n"},
      {"same value untouched", "[config]\r\n SyncRate = 40 \r\n", "syncrate", "40",
       "[config]\r\n SyncRate = 40 \r\n"},
      {"same quoted value untouched", "[CONFIG]\nk=\"40\"\n", "k", "40", "[CONFIG]\nk=\"40\"\n"},
      {"only first duplicate", "[CONFIG]\nk=1\nk=2\n", "k", "3", "[CONFIG]\nk=3\nk=2\n"},
      {"bare key gets value", "[CONFIG]\nk\nj=1\n", "k", "3", "[CONFIG]\nk=3\nj=1\n"},
      {"empty value replaced", "[CONFIG]\nk=\n", "k", "3", "[CONFIG]\nk=3\n"},
      {"missing key after last filled line", "[CONFIG]\r\nj=1\r\n\r\n[B]\r\nk=1\r\n", "k", "2",
       "[CONFIG]\r\nj=1\r\nk=2\r\n\r\n[B]\r\nk=1\r\n"},
      {"missing key in empty section", "[CONFIG]\n\n\n[B]\n", "k", "2", "[CONFIG]\nk=2\n\n\n[B]\n"},
      {"missing key, section at end unterminated", "[CONFIG]\nj=1", "k", "2",
       "[CONFIG]\nj=1\nk=2\n"},
      {"missing key uses first line's ending", "[CONFIG]\nj=1\r\n", "k", "2",
       "[CONFIG]\nj=1\r\nk=2\n"},
      {"lone CR before blank LF line", "[A]\r[CONFIG]\r\nj=1\r\n\n", "k", "2",
       "[A]\r[CONFIG]\r\nj=1\r\nk=2\r\n\n"},
      {"missing key, comment counts as filled", "[CONFIG]\nj=1\n; note\n\n", "k", "2",
       "[CONFIG]\nj=1\n; note\nk=2\n\n"},
      {"missing key goes to first duplicate section", "[CONFIG]\nj=1\n[CONFIG]\nk=1\n", "k", "2",
       "[CONFIG]\nj=1\nk=2\n[CONFIG]\nk=1\n"},
      {"missing section appended", "[A]\r\nx=1\r\n", "k", "2", "[A]\r\nx=1\r\n[CONFIG]\r\nk=2\r\n"},
      {"missing section, LF file", "[A]\nx=1\n\n", "k", "2", "[A]\nx=1\n\n[CONFIG]\nk=2\n"},
      {"missing section, final ending added", "[A]\nx=1", "k", "2", "[A]\nx=1\n[CONFIG]\nk=2\n"},
      {"one line without ending uses CRLF", "x=1", "k", "2", "x=1\r\n[CONFIG]\r\nk=2\r\n"},
      {"BOM only", "\xEF\xBB\xBF", "k", "2", "\xEF\xBB\xBF[CONFIG]\r\nk=2\r\n"},
      {"BOM kept on replace", "\xEF\xBB\xBF[CONFIG]\nk=1\n", "k", "2",
       "\xEF\xBB\xBF[CONFIG]\nk=2\n"},
      {"UTF-16LE replace", utf16_file(u"[CONFIG]\r\nk=1\r\nj=2\r\n"), "k", "5",
       utf16_file(u"[CONFIG]\r\nk=5\r\nj=2\r\n")},
      {"UTF-16BE key added with the file's ending", utf16_file(u"[CONFIG]\nj=1\n\n[B]\n", true), "k",
       "2", utf16_file(u"[CONFIG]\nj=1\nk=2\n\n[B]\n", true)},
      {"UTF-16 other text, lone surrogates and odd byte kept",
       utf16_file(u"; \u8a2d\u5b9a\xD83D\xDE00\r\n[Vid\u00e9o]\r\nx=\xDC00\xD800\r\n[config]\r\n  K = 1 \r\n") +
           "A",
       "k", "2",
       utf16_file(u"; \u8a2d\u5b9a\xD83D\xDE00\r\n[Vid\u00e9o]\r\nx=\xDC00\xD800\r\n[config]\r\nK=2\r\n") +
           "A"},
      {"UTF-16 section added", utf16_file(u"[A]\r\nx=1"), "k", "2",
       utf16_file(u"[A]\r\nx=1\r\n[CONFIG]\r\nk=2\r\n")},
      {"UTF-16 mark only", "\xFF\xFE", "k", "2", utf16_file(u"[CONFIG]\r\nk=2\r\n")},
      {"UTF-16 value from UTF-8", utf16_file(u"[CONFIG]\nk=1\n"), "k", "Zo\xC3\xAB \xF0\x9F\x98\x80",
       utf16_file(u"[CONFIG]\nk=Zo\u00eb \xD83D\xDE00\n")},
      {"NUL and high bytes elsewhere kept", "\x01\xFF\0\n[CONFIG]\nk=1\n"s, "k", "2",
       "\x01\xFF\0\n[CONFIG]\nk=2\n"s},
      {"value cut at NUL", "[CONFIG]\nk=1\n", "k", "2\0junk"s, "[CONFIG]\nk=2\n"},
      {"value with end blanks quoted", "[CONFIG]\nk=1\n", "k", " a ", "[CONFIG]\nk=\" a \"\n"},
      {"value in quotes quoted again", "[CONFIG]\nk=1\n", "k", "'a'", "[CONFIG]\nk=\"'a'\"\n"},
      {"refused key leaves content", "[CONFIG]\nk=1\n", "a=b", "2", "[CONFIG]\nk=1\n"},
      {"refused value leaves content", "[CONFIG]\nk=1\n", "k", "2\r\nx=3", "[CONFIG]\nk=1\n"},
  };
  for (const auto& c : cases) {
    const std::string out = ini_update(c.content, "CONFIG", c.key, c.value);
    EXPECT_EQ(out, c.expected) << c.what;
  }
}

TEST(IniUpdate, WrittenValueReadsBack) {
  const std::string values[] = {"", "0", "-2147483648", " a ", "\"q\"", "'", "a=b", "x\ty",
                                "\xEF\xBB\xBF", "[x]", std::string(300, 'z'),
                                // invalid UTF-8: a lone byte, a cut sequence, a surrogate
                                "\xE9\xFF", "a\xF0\x9F\x98", "\xED\xA0\x80\xF0\x9F\x98\x80"};
  const std::string contents[] = {"", "[CONFIG]\nk\n", "[CONFIG]\r\nK = \"old\"\r\n", "k=1\r",
                                  utf16_file(u""), utf16_file(u"[CONFIG]\r\nK = 1\r\n", true)};
  for (const auto& content : contents) {
    for (const auto& value : values) {
      EXPECT_EQ(ini_lookup(ini_update(content, "CONFIG", "k", value), "CONFIG", "k"), value)
          << "value \"" << value << "\" into \"" << content << '"';
    }
  }
}

TEST(IniCanWrite, RefusesWhatCannotReadBack) {
  const struct {
    std::string section, key, value;
    bool ok;
  } cases[] = {
      {"CONFIG", "syncrate", "40", true}, {"", "k", "", true},
      {"CONFIG", "", "1", false},         {"CONFIG", " k", "1", false},
      {"CONFIG", "k\t", "1", false},      {"CONFIG", "a=b", "1", false},
      {"CONFIG", "[k", "1", false},       {"CONFIG", "k\n", "1", false},
      {"CONFIG", "k", "1\r", false},      {"CO]NFIG", "k", "1", false},
      {" CONFIG", "k", "1", false},       {"CON\nFIG", "k", "1", false},
      {"CONFIG", "k\0\n"s, "1\0\r"s, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ini_can_write(c.section, c.key, c.value), c.ok)
        << '[' << c.section << "] " << c.key << '=' << c.value;
  }
}

// A refused name or value fails with the system's code for invalid data, on
// a file as it is: the others of a batch are written, in order.
TEST(IniCanWrite, RefusedWritesFailAndTheOthersLand) {
  test::TempDir dir;
  const std::string path = dir.file("zorvikqm.ini");
  const WriteResult single = write_config_value(path, "CONFIG", "k", "1\nscreenmode=9");
  EXPECT_FALSE(single.ok);
  EXPECT_EQ(single.code, file_codes.invalid);
  EXPECT_EQ(single.error, error_text(file_codes.invalid));
  EXPECT_FALSE(write_config_values(path, "CONFIG", {{"bad=key", "2"}}).ok);
  EXPECT_FALSE(std::filesystem::exists(test::native_path(path)));
  const WriteResult batch = write_config_values(
      path, "CONFIG", {{"b", "1"}, {"bad=key", "2"}, {"a", "3"}, {"B", "4"}, {"c", "x\ny=1"}});
  EXPECT_FALSE(batch.ok);
  EXPECT_EQ(batch.code, file_codes.invalid);
  EXPECT_EQ(test::read_file(path), "[CONFIG]\r\nb=4\r\na=3\r\n");
}

}  // namespace
}  // namespace zq
