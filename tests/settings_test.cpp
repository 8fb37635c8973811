#include "app/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "runtime/file_store.h"
#include "test_files.h"

namespace zq {
namespace {

namespace fs = std::filesystem;

class SettingsFile : public ::testing::Test {
 protected:
  void write_file(const std::string& content) const { test::write_file(path_, content); }
  std::string file_content() const { return test::read_file(path_); }
  SetupSettings load_from(const std::string& content, SetupSettings start = {}) const {
    write_file(content);
    load_settings(start, path_);
    return start;
  }

  test::TempDir dir;
  std::string path_ = dir.file("zorvikqm.ini");
};

SetupSettings defaults() {
  SetupSettings s;
  s.playmusic = 10;
  s.playsound = 10;
  s.attractsound = 1;
  s.gamelevel = 1;
  s.syncrate = 1;
  s.consolecredits = 3;
  s.continues = 1;
  s.extralives = 2;
  s.bonuslives = 1;
  s.changestyle = 1;
  s.colorselect = 1;
  s.playerhitplayer = 1;
  s.characterchange = 1;
  s.savehiscores = 1;
  return s;
}

using test::kDefaultFile;

TEST_F(SettingsFile, DefaultsWithoutFile) {
  SetupSettings s;
  load_settings(s, path_);
  EXPECT_EQ(s, defaults());
  EXPECT_FALSE(fs::exists(path_));
}

TEST_F(SettingsFile, DefaultsWithEmptySection) {
  EXPECT_EQ(load_from("[CONFIG]\r\n[OTHER]\r\nsyncrate=60\r\n"), defaults());
}

TEST_F(SettingsFile, SavingDefaultsCreatesTheExactFile) {
  SetupSettings s;
  load_settings(s, path_);
  const SaveResult r = save_settings(s, path_);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(file_content(), kDefaultFile);
  EXPECT_EQ(file_content().size(), 325u);
  EXPECT_EQ(load_from(file_content()), defaults());
}

TEST_F(SettingsFile, ColorDepthReadsOnly32As32Bit) {
  const struct {
    const char* line;
    std::int32_t expected;
  } cases[] = {
      {"screendepth=32", 1}, {"screendepth=16", 0}, {"screendepth=24", 0},
      {"screendepth=032", 0}, {"screendepth=", 0},  {"screendepth=1", 0},
      {"SCREENDEPTH = 32 ", 1},  // blanks around a value belong to the file format
  };
  for (const auto& c : cases) {
    EXPECT_EQ(load_from(std::string("[CONFIG]\n") + c.line + "\n").screendepth, c.expected)
        << c.line;
  }
}

TEST_F(SettingsFile, GameSpeedReadsFrameRateTexts) {
  const struct {
    const char* line;
    std::int32_t start;
    std::int32_t expected;
  } cases[] = {
      {"syncrate=30", 5, 0}, {"syncrate=35", 0, 1}, {"syncrate=40", 0, 2},
      {"syncrate=45", 0, 3}, {"syncrate=50", 0, 4}, {"syncrate=55", 0, 5},
      {"syncrate=60", 0, 6}, {"syncrate=0", 0, 7},  {"", 0, 1},  // absent: "35"
      {"syncrate=33", 0, 0}, {"syncrate=035", 0, 0}, {"syncrate=", 0, 0},
      {"syncrate=33", 5, 5}, {"syncrate=fast", 3, 3}, {"syncrate=7", 2, 2},
  };
  for (const auto& c : cases) {
    SetupSettings start;
    start.syncrate = c.start;
    EXPECT_EQ(load_from(std::string("[CONFIG]\n") + c.line + "\n", start).syncrate, c.expected)
        << c.line << " from " << c.start;
  }
}

TEST_F(SettingsFile, NumbersKeptAsReadInRangeOrNot) {
  const struct {
    const char* line;
    std::int32_t SetupSettings::*member;
    std::int32_t expected;
  } cases[] = {
      {"playmusic=15", &SetupSettings::playmusic, 15},
      {"gamelevel=-1", &SetupSettings::gamelevel, -1},
      {"language=12abc", &SetupSettings::language, 12},
      {"bonuslives=abc", &SetupSettings::bonuslives, 0},
      {"playsound=", &SetupSettings::playsound, 0},
      {"extralives=  7", &SetupSettings::extralives, 7},
      {"continues=- 1", &SetupSettings::continues, 0},
      {"gamemode=99999999999", &SetupSettings::gamemode, 1215752191},
      {"screenmode=-2147483648", &SetupSettings::screenmode, -2147483647 - 1},
      {"graphicdetail=\"1\"", &SetupSettings::graphicdetail, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(load_from(std::string("[CONFIG]\r\n") + c.line + "\r\n").*c.member, c.expected)
        << c.line;
  }
}

// The same in each encoding: 8-bit, UTF-16LE and UTF-16BE with their marks.
TEST_F(SettingsFile, SaveWritesTextFormsAndKeepsOtherContent) {
  const std::string before =
      "; keep me\n[Other]\nsyncrate=1\n\n[CONFIG]\nSyncRate=35\nplaymusic=3\nmine=x\n\n";
  const std::string expected =
      "; keep me\n[Other]\nsyncrate=1\n\n[CONFIG]\nSyncRate=0\nplaymusic=15\nmine=x\n"
      "screenmode=2\nscreendepth=32\ngraphicdetail=0\nplaysound=10\nattractsound=1\ngamemode=0\n"
      "gamelevel=-1\nconsolecredits=3\narcadecredits=0\ncontinues=1\nextralives=2\nbonuslives=1\n"
      "fightstyle=0\nchangestyle=1\ncolorselect=1\nplayerhitplayer=1\ncharacterchange=1\n"
      "savehiscores=1\nlanguage=0\n\n";
  const auto bytes = [](const std::string& ascii) { return ascii; };
  const auto le = [](const std::string& ascii) {
    return test::utf16_file(std::u16string(ascii.begin(), ascii.end()));
  };
  const auto be = [](const std::string& ascii) {
    return test::utf16_file(std::u16string(ascii.begin(), ascii.end()), true);
  };
  for (const auto& encode : {+bytes, +le, +be}) {
    write_file(encode(before));
    SetupSettings s = defaults();
    s.screendepth = 1;
    s.syncrate = 7;
    s.playmusic = 15;
    s.gamelevel = -1;
    s.screenmode = 2;
    ASSERT_TRUE(save_settings(s, path_).ok);
    EXPECT_EQ(file_content(), encode(expected));
    SetupSettings back;
    load_settings(back, path_);
    EXPECT_EQ(back, s);
  }
}

TEST_F(SettingsFile, ColorDepthOtherThanOneSavesAs16) {
  SetupSettings s = defaults();
  s.screendepth = 5;
  ASSERT_TRUE(save_settings(s, path_).ok);
  EXPECT_NE(file_content().find("screendepth=16\r\n"), std::string::npos);
}

TEST_F(SettingsFile, UnknownGameSpeedLeavesFileValue) {
  write_file("[CONFIG]\r\nsyncrate=45\r\n");
  SetupSettings s = defaults();
  s.syncrate = 8;
  ASSERT_TRUE(save_settings(s, path_).ok);
  EXPECT_EQ(file_content().substr(0, 23), "[CONFIG]\r\nsyncrate=45\r\n");
}

// The reason is the file store's, whatever the system words it as.
TEST_F(SettingsFile, SaveIntoMissingDirectoryReportsReason) {
  const std::string path = dir.file("gone") + "/zorvikqm.ini";
  const SaveResult r = save_settings(defaults(), path);
  EXPECT_FALSE(r.ok);
  const FileResult direct = update_file(path, [](std::string_view, bool) { return std::string("x"); });
  ASSERT_FALSE(direct.error.empty());
  EXPECT_EQ(r.error, direct.error);
}

// Runs config_path with `dir` as the current directory, then goes back.
std::string config_path_in(const fs::path& dir) {
  const fs::path back = fs::current_path();
  std::error_code failed;
  fs::current_path(dir, failed);
  if (failed) return "cannot enter " + test::utf8_path(dir);
  std::string path = config_path();
  fs::current_path(back);
  return path;
}

TEST_F(SettingsFile, ConfigPathInCurrentDirectory) {
  const fs::path real_dir = fs::canonical(test::native_path(dir.path()));
  EXPECT_EQ(config_path_in(real_dir), test::utf8_path(real_dir / "zorvikqm.ini"));
  const fs::path root = real_dir.root_path();
  EXPECT_EQ(config_path_in(root), test::utf8_path(root / "zorvikqm.ini"));
}

TEST_F(SettingsFile, ConfigPathInDeepDirectory) {
  fs::path deep = fs::canonical(test::native_path(dir.path()));
  while (deep.native().size() < 600) {
    deep /= std::string(60, 'd');
    ASSERT_TRUE(fs::create_directory(deep));
  }
  EXPECT_EQ(config_path_in(deep), test::utf8_path(deep / "zorvikqm.ini"));
}

}  // namespace
}  // namespace zq
