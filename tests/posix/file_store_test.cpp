// The INI file layer on real files: what survives a write, links, modes,
// owners and permissions, and the reasons for refusals.
#include "runtime/ini_file.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "as_nobody.h"
#include "runtime/file_store.h"
#include "test_files.h"

namespace zq {
namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;

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

TEST(IniFile, FifoOfThatNameReadsAsAbsentAndIsNotReplaced) {
  TempDir dir;
  const std::string fifo = dir.file("fifo.ini");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(read_config_value(fifo, "CONFIG", "k", "d"), "d");  // must not block
  const WriteResult f = write_config_value(fifo, "CONFIG", "k", "1");
  EXPECT_FALSE(f.ok);
  EXPECT_EQ(f.error, kNotRegularFile);
  EXPECT_EQ(entry_count(dir.path()), 1u);
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

TEST(IniFile, SymlinkLoopFails) {
  TempDir dir;
  const std::string link = dir.file("zorvikqm.ini");
  ASSERT_EQ(symlink("zorvikqm.ini", link.c_str()), 0);
  EXPECT_EQ(read_config_value(link, "CONFIG", "k", "d"), "d");
  const WriteResult w = write_config_value(link, "CONFIG", "k", "1");
  EXPECT_FALSE(w.ok);
  EXPECT_EQ(w.error, std::strerror(ELOOP));
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

// A folder that keeps every name once made (chattr +a) would keep the
// temporary file too: a file there is rewritten in place, and a new one is
// refused, as start-up tells.
TEST(IniFile, AppendOnlyFolderGetsNoTemporaryFile) {
  TempDir dir;
  const std::string path = dir.file("zorvikqm.ini");
  write_file(path, "[CONFIG]\nk=1000\nj=1\n");
  const int folder = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
  int flags = 0, appending = 0;
  if (ioctl(folder, FS_IOC_GETFLAGS, &flags) != 0 ||
      (appending = flags | FS_APPEND_FL, ioctl(folder, FS_IOC_SETFLAGS, &appending)) != 0) {
    close(folder);
    GTEST_SKIP() << "no append-only folder here (root on ext4 can make one): " << std::strerror(errno);
  }
  const WriteResult saved = write_config_value(path, "CONFIG", "k", "2");
  const FileProbe probe = probe_file(dir.file("new.ini"));
  const WriteResult created = write_config_value(dir.file("new.ini"), "CONFIG", "k", "2");
  ioctl(folder, FS_IOC_SETFLAGS, &flags);
  close(folder);
  EXPECT_TRUE(saved.ok) << saved.error;
  EXPECT_EQ(read_file(path), "[CONFIG]\nk=2\nj=1\n");
  EXPECT_FALSE(created.ok);
  EXPECT_EQ(probe.reason, created.error);
  EXPECT_EQ(entry_count(dir.path()), 1u);
}

// Root ignores file permissions, so as root these act as user nobody.
class IniFilePermission : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!nobody_.refused.empty()) GTEST_SKIP() << "root, and cannot act as user nobody: " << nobody_.refused;
  }
  test::AsNobody nobody_;  // before the folder, which is then nobody's
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
