// Settings checks that only a Unix system can set up: a current directory
// removed from under the program (Windows refuses to remove it).
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/settings.h"
#include "test_files.h"

namespace zq {
namespace {

namespace fs = std::filesystem;

TEST(SettingsPosix, ConfigPathWithoutCurrentDirectoryIsRelative) {
  test::TempDir dir;
  const fs::path back = fs::current_path();
  const std::string gone = dir.file("gone");
  ASSERT_TRUE(fs::create_directory(gone));
  ASSERT_EQ(chdir(gone.c_str()), 0);
  ASSERT_EQ(rmdir(gone.c_str()), 0);
  const std::string path = config_path();
  fs::current_path(back);
  EXPECT_EQ(path, "zorvikqm.ini");
}

}  // namespace
}  // namespace zq
