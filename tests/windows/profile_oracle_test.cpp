// The system's own profile service as the oracle of a save: for each file,
// one copy gets the 21 writes of a save through WritePrivateProfileStringA
// (each key set to what GetPrivateProfileStringA reads for it, so that every
// option stays as read), the other a load and save by the program, and the
// two must be equal byte for byte. Wine's service rewrites a whole file in
// its own form (CRLF endings, no blank lines, no blanks around '='), where
// this program keeps every line it does not change: the files here are in
// that form already.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <optional>
#include <string>

#include "app/settings.h"
#include "test_files.h"

namespace zq {
namespace {

// The keys in the order of a save, each with the text a read gives when the
// key is absent.
constexpr std::array<std::array<const char*, 2>, 21> kSaveOrder = {{
    {"screenmode", "0"},     {"screendepth", "16"},    {"syncrate", "35"},
    {"graphicdetail", "0"},  {"playsound", "10"},      {"playmusic", "10"},
    {"attractsound", "1"},   {"gamemode", "0"},        {"gamelevel", "1"},
    {"consolecredits", "3"}, {"arcadecredits", "0"},   {"continues", "1"},
    {"extralives", "2"},     {"bonuslives", "1"},      {"fightstyle", "0"},
    {"changestyle", "1"},    {"colorselect", "1"},     {"playerhitplayer", "1"},
    {"characterchange", "1"}, {"savehiscores", "1"},   {"language", "0"},
}};

void save_through_the_service(const std::string& path) {
  for (const auto& [key, fallback] : kSaveOrder) {
    char value[255];
    GetPrivateProfileStringA("CONFIG", key, fallback, value, sizeof value, path.c_str());
    ASSERT_TRUE(WritePrivateProfileStringA("CONFIG", key, value, path.c_str())) << key;
  }
}

TEST(ProfileOracle, SaveWritesWhatTheServiceWrites) {
  const struct {
    const char* what;
    std::optional<std::string> content;  // none: no file
  } cases[] = {
      {"UTF-16LE", test::utf16_file(u"[CONFIG]\r\nplaymusic=3\r\nsyncrate=40\r\n")},
      {"UTF-16BE", test::utf16_file(u"[CONFIG]\r\nplaymusic=3\r\nsyncrate=40\r\n", true)},
      {"UTF-16LE, another section and accented text",
       test::utf16_file(u"; R\u00e9glages \u8a2d\u5b9a\r\n[Vid\u00e9o]\r\nr\u00e9solution=\u00e9lev\u00e9e\r\n"
                        u"[CONFIG]\r\nplaymusic=3\r\nnom=Zo\u00eb\r\n[Apr\u00e8s]\r\nk=\u00fc\r\n")},
      {"8-bit, another section after", "[CONFIG]\r\nscreenmode=1\r\nplaymusic=3\r\n[Other]\r\nx=1\r\n"},
      {"8-bit, section added", "[Other]\r\nx=\xE9\r\n"},
      {"UTF-8 with its mark", "\xEF\xBB\xBF[CONFIG]\r\nplaymusic=3\r\nnom=Zo\xC3\xAB\r\n"},
      {"no file", std::nullopt},
  };
  for (const auto& c : cases) {
    test::TempDir dir;
    const std::string by_service = dir.file("service.ini");
    const std::string by_program = dir.file("program.ini");
    if (c.content) {
      test::write_file(by_service, *c.content);
      test::write_file(by_program, *c.content);
    }
    save_through_the_service(by_service);
    SetupSettings settings;
    load_settings(settings, by_program);
    const SaveResult saved = save_settings(settings, by_program);
    ASSERT_TRUE(saved.ok) << c.what << ": " << saved.error;
    EXPECT_EQ(test::read_file(by_program), test::read_file(by_service)) << c.what;
  }
}

}  // namespace
}  // namespace zq
