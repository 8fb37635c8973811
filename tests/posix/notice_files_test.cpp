// The notice line on real files: what start-up finds, said truthfully. For
// each case the save is then tried: it works exactly when the notice says so.
#include <limits.h>
#include <sys/stat.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>

#include "app/config_notice.h"
#include "as_nobody.h"
#include "runtime/ini_file.h"
#include "test_files.h"

namespace zq {
namespace {

const std::string kCreates = "  No zorvikqm.ini here yet: these are the defaults. Save & Exit creates it.";
const std::string kWritesBack = "  Settings read from zorvikqm.ini. Save & Exit writes your changes back to it.";
const std::string kCannotCreate = "  No zorvikqm.ini yet, and it cannot be created: ";
const std::string kCannotSave = "  Settings read, but zorvikqm.ini cannot be saved: ";
const std::string kCannotRead = "  Cannot read or save zorvikqm.ini: ";

struct NoticeCase {
  const char* what;
  // Makes the situation in the directory; returns the path start-up uses.
  std::function<std::string(const test::TempDir&)> setup;
  std::string notice;
};

std::string plain_file(const test::TempDir& dir) {
  test::write_file(dir.file("zorvikqm.ini"), "[CONFIG]\nk=1\n");
  return dir.file("zorvikqm.ini");
}

void check(const NoticeCase& c) {
  test::TempDir dir;
  const std::string path = c.setup(dir);
  // With the directory as home, the folder shows as "~" or under it.
  ::setenv("HOME", dir.path().c_str(), 1);
  const std::string under_home = path.substr(dir.path().size(), path.rfind('/') - dir.path().size());
  const std::string notice = config_notice(path);
  const std::size_t row_end = notice.find('\n');
  EXPECT_EQ(notice.substr(0, row_end), c.notice) << c.what;
  // The folder's row names it, cut from the left where it is too long.
  const std::string folder = "~" + under_home;
  const std::string row = notice.substr(row_end + 1);
  const std::string shown = row.substr(std::min(row.size(), std::string("  Folder: ").size()));
  EXPECT_LE(row.size(), 78u) << c.what;
  EXPECT_TRUE(row.starts_with("  Folder: ") &&
              (shown == folder || (shown.starts_with("...") && folder.ends_with(shown.substr(3)))))
      << c.what << ": " << row;
  const bool promised = c.notice == kCreates || c.notice == kWritesBack;
  EXPECT_EQ(write_config_value(path, "CONFIG", "k", "2").ok, promised) << c.what;
  if (promised) {
    EXPECT_EQ(read_config_value(path, "CONFIG", "k", "none"), "2") << c.what;
  }
}

TEST(Notice, TellsWhatStartUpFound) {
  const NoticeCase cases[] = {
      {"no file", [](const test::TempDir& d) { return d.file("zorvikqm.ini"); }, kCreates},
      {"a file", plain_file, kWritesBack},
      {"a directory of that name",
       [](const test::TempDir& d) {
         mkdir(d.file("zorvikqm.ini").c_str(), 0700);
         return d.file("zorvikqm.ini");
       },
       kCannotRead + "Is a directory"},
      {"a FIFO of that name",
       [](const test::TempDir& d) {
         mkfifo(d.file("zorvikqm.ini").c_str(), 0600);
         return d.file("zorvikqm.ini");
       },
       kCannotRead + "Not a regular file"},
      {"a symbolic-link loop",
       [](const test::TempDir& d) {
         symlink("zorvikqm.ini", d.file("zorvikqm.ini").c_str());
         return d.file("zorvikqm.ini");
       },
       kCannotRead + "Too many levels of symbolic links"},
      {"a link into a missing directory",
       [](const test::TempDir& d) {
         symlink("gone/zorvikqm.ini", d.file("zorvikqm.ini").c_str());
         return d.file("zorvikqm.ini");
       },
       kCannotCreate + "No such file or directory"},
      {"a folder deeper than PATH_MAX",
       [](const test::TempDir& d) {
         const std::filesystem::path back = std::filesystem::current_path();
         chdir(d.path().c_str());
         for (int depth = 0; depth < 26; ++depth) {
           mkdir(std::string(200, 'd').c_str(), 0700);
           chdir(std::string(200, 'd').c_str());
         }
         const std::string path = file_in_current_directory("zorvikqm.ini");
         std::filesystem::current_path(back);
         EXPECT_GT(path.size(), std::size_t{PATH_MAX}) << path.substr(0, 100);
         return path;
       },
       kCreates},
  };
  for (const NoticeCase& c : cases) check(c);
}

// Root ignores file permissions, so as root these act as user nobody.
TEST(NoticePermission, TellsWhySavingCannotWork) {
  const test::AsNobody nobody;
  if (!nobody.refused.empty()) GTEST_SKIP() << "root, and cannot act as user nobody: " << nobody.refused;
  const NoticeCase cases[] = {
      {"a read-only file",
       [](const test::TempDir& d) {
         const std::string path = plain_file(d);
         chmod(path.c_str(), 0444);
         return path;
       },
       kCannotSave + "Permission denied"},
      {"a read-only directory without the file",
       [](const test::TempDir& d) {
         chmod(d.path().c_str(), 0500);
         return d.file("zorvikqm.ini");
       },
       kCannotCreate + "Permission denied"},
      {"a read-only directory with a writable file (rewritten in place)",
       [](const test::TempDir& d) {
         const std::string path = plain_file(d);
         chmod(d.path().c_str(), 0500);
         return path;
       },
       kWritesBack},
      {"a directory that can be searched and written but not read",
       [](const test::TempDir& d) {
         const std::string path = plain_file(d);
         chmod(d.path().c_str(), 0333);
         return path;
       },
       kWritesBack},
      {"an unreadable file",
       [](const test::TempDir& d) {
         const std::string path = plain_file(d);
         chmod(path.c_str(), 0200);
         return path;
       },
       kCannotRead + "Permission denied"},
      {"a path through a directory that cannot be searched",
       [](const test::TempDir& d) {
         mkdir(d.file("closed").c_str(), 0700);
         test::write_file(d.file("closed/zorvikqm.ini"), "[CONFIG]\nk=1\n");
         chmod(d.file("closed").c_str(), 0600);
         return d.file("closed/zorvikqm.ini");
       },
       kCannotRead + "Permission denied"},
  };
  for (const NoticeCase& c : cases) check(c);
}

}  // namespace
}  // namespace zq
