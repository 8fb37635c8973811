#include "runtime/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "test_files.h"

namespace zq {
namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;


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
                                "\xEF\xBB\xBF", "[x]", std::string(300, 'z')};
  const std::string contents[] = {"", "[CONFIG]\nk\n", "[CONFIG]\r\nK = \"old\"\r\n", "k=1\r"};
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

using test::TempDir;
using test::read_file;
using test::write_file;

mode_t mode_of(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

// Files left in the directory besides the ones named.
std::size_t entry_count(const std::string& dir) {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir)) ++n;
  return n;
}

TEST(IniFile, ReadMissingFileGivesDefaultAndCreatesNothing) {
  TempDir dir;
  const std::string path = dir.file("zorvikqm.ini");
  EXPECT_EQ(read_config_value(path, "CONFIG", "syncrate", "35"), "35");
  EXPECT_FALSE(fs::exists(path));
  EXPECT_EQ(read_config_value(dir.file("no/such/dir.ini"), "CONFIG", "k", "d"), "d");
}

TEST(IniFile, ReadCutsAt254Bytes) {
  TempDir dir;
  const std::string path = dir.file("zorvikqm.ini");
  write_file(path, "[CONFIG]\r\nk=" + std::string(300, 'x') + "\r\nj=\r\n");
  EXPECT_EQ(read_config_value(path, "CONFIG", "k", "d"), std::string(254, 'x'));
  EXPECT_EQ(read_config_value(path, "CONFIG", "j", "d"), "");
  EXPECT_EQ(read_config_value(path, "CONFIG", "none", std::string(300, 'f')),
            std::string(254, 'f'));
}

TEST(IniFile, DirectoryOrFifoOfThatNameReadsAsAbsentAndIsNotReplaced) {
  TempDir dir;
  const std::string as_dir = dir.file("zorvikqm.ini");
  ASSERT_EQ(mkdir(as_dir.c_str(), 0700), 0);
  EXPECT_EQ(read_config_value(as_dir, "CONFIG", "k", "d"), "d");
  const WriteResult w = write_config_value(as_dir, "CONFIG", "k", "1");
  EXPECT_FALSE(w.ok);
  EXPECT_EQ(w.error, std::strerror(EISDIR));
  EXPECT_TRUE(fs::is_directory(as_dir));

  const std::string fifo = dir.file("fifo.ini");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(read_config_value(fifo, "CONFIG", "k", "d"), "d");  // must not block
  EXPECT_FALSE(write_config_value(fifo, "CONFIG", "k", "1").ok);
  EXPECT_EQ(entry_count(dir.path()), 2u);
}

TEST(IniFile, OtherContentSurvivesWritesByteForByte) {
  const struct {
    const char* what;
    std::string before;
    std::string after;
  } cases[] = {
      {"CRLF file with comments and other sections",
       "\xEF\xBB\xBF; game options\r\n\r\n[Video]\r\nsyncrate=99\r\n\r\n[CONFIG]\r\n"
       "; speed\r\nSyncRate = 35\r\nsyncrate=30\r\nother=x\r\n\r\n[config]\r\nscreenmode=7\r\n",
       "\xEF\xBB\xBF; game options\r\n\r\n[Video]\r\nsyncrate=99\r\n\r\n[CONFIG]\r\n"
       "; speed\r\nSyncRate=40\r\nsyncrate=30\r\nother=x\r\nscreenmode=2\r\n\r\n[config]\r\n"
       "screenmode=7\r\n"},
      {"LF file with junk bytes", "junk\0\xFF\n[CONFIG]\nsyncrate=35\n\n[Z]\nq=1"s,
       "junk\0\xFF\n[CONFIG]\nsyncrate=40\nscreenmode=2\n\n[Z]\nq=1"s},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const std::string path = dir.file("zorvikqm.ini");
    write_file(path, c.before);
    EXPECT_TRUE(write_config_value(path, "CONFIG", "syncrate", "40").ok);
    EXPECT_TRUE(write_config_value(path, "CONFIG", "screenmode", "2").ok);
    EXPECT_EQ(read_file(path), c.after) << c.what;
    EXPECT_EQ(entry_count(dir.path()), 1u) << "temporary file left behind";
  }
}

TEST(IniFile, WritingTheSameValueLeavesTheFileAlone) {
  TempDir dir;
  const std::string path = dir.file("zorvikqm.ini");
  write_file(path, "[CONFIG]\nk = 1\n");
  struct stat before {};
  stat(path.c_str(), &before);
  EXPECT_TRUE(write_config_value(path, "CONFIG", "k", "1").ok);
  struct stat after {};
  stat(path.c_str(), &after);
  EXPECT_EQ(before.st_ino, after.st_ino);
  EXPECT_EQ(read_file(path), "[CONFIG]\nk = 1\n");
}

TEST(IniFile, KeepsModeAndFollowsSymlink) {
  TempDir dir;
  const std::string real = dir.file("real.ini");
  const std::string link = dir.file("zorvikqm.ini");
  write_file(real, "[CONFIG]\nk=1\n");
  ASSERT_EQ(chmod(real.c_str(), 0640), 0);
  ASSERT_EQ(symlink("real.ini", link.c_str()), 0);
  ASSERT_TRUE(write_config_value(link, "CONFIG", "k", "2").ok);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(read_file(real), "[CONFIG]\nk=2\n");
  EXPECT_EQ(mode_of(real), 0640u);
  EXPECT_EQ(read_config_value(link, "CONFIG", "k", "d"), "2");
}

TEST(IniFile, KeepsOwnerWhereAllowed) {
  if (geteuid() != 0) GTEST_SKIP() << "only root may give a file to another owner";
  TempDir dir;
  const std::string path = dir.file("zorvikqm.ini");
  write_file(path, "[CONFIG]\nk=1\n");
  ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
  ASSERT_TRUE(write_config_value(path, "CONFIG", "k", "2").ok);
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 65534u);
  EXPECT_EQ(st.st_gid, 65534u);
  EXPECT_EQ(read_file(path), "[CONFIG]\nk=2\n");
}

TEST(IniFile, DanglingSymlinkCreatesItsTarget) {
  TempDir dir;
  const std::string link = dir.file("zorvikqm.ini");
  ASSERT_EQ(symlink(dir.file("target.ini").c_str(), link.c_str()), 0);
  ASSERT_TRUE(write_config_value(link, "CONFIG", "k", "2").ok);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(read_file(dir.file("target.ini")), "[CONFIG]\r\nk=2\r\n");
}

TEST(IniFile, SymlinkLoopFails) {
  TempDir dir;
  const std::string link = dir.file("zorvikqm.ini");
  ASSERT_EQ(symlink("zorvikqm.ini", link.c_str()), 0);
  EXPECT_EQ(read_config_value(link, "CONFIG", "k", "d"), "d");
  const WriteResult w = write_config_value(link, "CONFIG", "k", "1");
  EXPECT_FALSE(w.ok);
  EXPECT_EQ(w.error, std::strerror(ELOOP));
}

TEST(IniFile, WriteIntoMissingDirectoryFailsWithReason) {
  TempDir dir;
  const WriteResult w = write_config_value(dir.file("gone/zorvikqm.ini"), "CONFIG", "k", "1");
  EXPECT_FALSE(w.ok);
  EXPECT_EQ(w.error, std::strerror(ENOENT));
}

TEST(IniFile, RefusedNameFailsWithoutTouchingTheFile) {
  TempDir dir;
  const std::string path = dir.file("zorvikqm.ini");
  const WriteResult w = write_config_value(path, "CONFIG", "k", "1\nscreenmode=9");
  EXPECT_FALSE(w.ok);
  EXPECT_EQ(w.error, std::strerror(EINVAL));
  EXPECT_FALSE(fs::exists(path));
}

TEST(IniFile, BatchAppliesWritesInOrderAndSkipsRefusedOnes) {
  TempDir dir;
  const std::string path = dir.file("zorvikqm.ini");
  const WriteResult w = write_config_values(
      path, "CONFIG", {{"b", "1"}, {"bad=key", "2"}, {"a", "3"}, {"B", "4"}, {"c", "x\ny=1"}});
  EXPECT_FALSE(w.ok);
  EXPECT_EQ(w.error, std::strerror(EINVAL));
  EXPECT_EQ(read_file(path), "[CONFIG]\r\nb=4\r\na=3\r\n");
  EXPECT_EQ(entry_count(dir.path()), 1u);
}

TEST(IniFile, NewFileTakesUsualModeAndCrlf) {
  TempDir dir;
  const std::string path = dir.file("zorvikqm.ini");
  const mode_t old_mask = umask(022);
  const WriteResult w = write_config_value(path, "CONFIG", "screenmode", "0");
  umask(old_mask);
  ASSERT_TRUE(w.ok) << w.error;
  EXPECT_EQ(read_file(path), "[CONFIG]\r\nscreenmode=0\r\n");
  EXPECT_EQ(mode_of(path), 0644u);
}

// Root ignores file permissions, so these run as an ordinary user only.

class IniFilePermission : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not apply to root; run as another user";
  }
  TempDir dir_;
  std::string path_ = dir_.file("zorvikqm.ini");
};

TEST_F(IniFilePermission, ReadOnlyFileIsReadButNeverReplaced) {
  const std::string content = "[CONFIG]\nk=1\n";
  write_file(path_, content);
  ASSERT_EQ(chmod(path_.c_str(), 0444), 0);
  EXPECT_EQ(read_config_value(path_, "CONFIG", "k", "d"), "1");
  const WriteResult w = write_config_value(path_, "CONFIG", "k", "2");
  EXPECT_FALSE(w.ok);
  EXPECT_EQ(w.error, std::strerror(EACCES));
  EXPECT_EQ(read_file(path_), content);
  EXPECT_EQ(mode_of(path_), 0444u);
  EXPECT_EQ(entry_count(dir_.path()), 1u);
}

TEST_F(IniFilePermission, UnreadableFileReadsAsAbsentAndIsNeverOverwritten) {
  const std::string content = "[CONFIG]\nk=1\nother=keep\n";
  write_file(path_, content);
  ASSERT_EQ(chmod(path_.c_str(), 0200), 0);
  EXPECT_EQ(read_config_value(path_, "CONFIG", "k", "d"), "d");
  const WriteResult w = write_config_value(path_, "CONFIG", "k", "2");
  EXPECT_FALSE(w.ok);
  EXPECT_EQ(w.error, std::strerror(EACCES));
  ASSERT_EQ(chmod(path_.c_str(), 0600), 0);
  EXPECT_EQ(read_file(path_), content);
}

TEST_F(IniFilePermission, ReadOnlyDirectoryWritesWritableFileInPlace) {
  write_file(path_, "[CONFIG]\nk=1000\nj=1\n");
  ASSERT_EQ(chmod(dir_.path().c_str(), 0500), 0);
  EXPECT_TRUE(write_config_value(path_, "CONFIG", "k", "2").ok);
  EXPECT_TRUE(write_config_value(path_, "CONFIG", "n", "3").ok);
  EXPECT_EQ(read_file(path_), "[CONFIG]\nk=2\nj=1\nn=3\n");
  EXPECT_EQ(entry_count(dir_.path()), 1u);
}

TEST_F(IniFilePermission, ReadOnlyDirectoryCannotTakeNewFile) {
  ASSERT_EQ(chmod(dir_.path().c_str(), 0500), 0);
  const WriteResult w = write_config_value(path_, "CONFIG", "k", "1");
  EXPECT_FALSE(w.ok);
  EXPECT_EQ(w.error, std::strerror(EACCES));
  EXPECT_FALSE(fs::exists(path_));
}

}  // namespace
}  // namespace zq
