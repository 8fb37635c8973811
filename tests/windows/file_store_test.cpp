// The Windows file store on real files, beside its contract test: the
// refusals with their error codes, what start-up tells of them, devices,
// long and non-ASCII directory names. Error codes are compared, never
// texts: Wine words them differently from Windows.
#include "runtime/file_store.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/windows/wide_text.h"
#include "test_files.h"

namespace zq {
namespace {

namespace fs = std::filesystem;

const std::string kOld = "[CONFIG]\r\nsyncrate=35\r\n";
const std::string kNew = "[CONFIG]\r\nsyncrate=40\r\n";

FileEdit replace_with(const std::string& content) {
  return [content](std::string_view, bool) { return std::optional<std::string>(content); };
}

// Names in the directory, to see that no temporary file stayed behind.
std::vector<std::string> entries_of(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(test::native_path(dir))) {
    names.push_back(test::utf8_path(entry.path().filename()));
  }
  return names;
}

// Holds a file open as the game might, with the given sharing.
struct HeldFile {
  HANDLE handle;
  HeldFile(const std::string& path, DWORD share)
      : handle(CreateFileW(wide_from_utf8(path).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~HeldFile() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};

class WindowsFileStore : public ::testing::Test {
 protected:
  void TearDown() override {
    // Read-only files would outlive the temporary directory.
    SetFileAttributesW(wide_from_utf8(path).c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  test::TempDir dir;
  std::string path = dir.file("zorvikqm.ini");
};

// Every refusal keeps the file as it was, gives the system's code, and
// leaves no temporary file; start-up tells it beforehand.
TEST_F(WindowsFileStore, RefusalsKeepTheFileAndLeaveNoTemporaryFile) {
  struct Case {
    const char* what;
    std::function<std::unique_ptr<HeldFile>(const std::string&)> setup;
    DWORD code;
    FileState state;  // what start-up finds
  };
  const Case cases[] = {
      {"read-only attribute",
       [](const std::string& p) {
         test::write_file(p, kOld);
         SetFileAttributesW(wide_from_utf8(p).c_str(), FILE_ATTRIBUTE_READONLY);
         return nullptr;
       },
       ERROR_ACCESS_DENIED, FileState::Readable},
      {"held open without delete sharing",
       [](const std::string& p) {
         test::write_file(p, kOld);
         return std::make_unique<HeldFile>(p, FILE_SHARE_READ | FILE_SHARE_WRITE);
       },
       ERROR_SHARING_VIOLATION, FileState::Readable},
      {"held open without any sharing, so it cannot be read",
       [](const std::string& p) {
         test::write_file(p, kOld);
         return std::make_unique<HeldFile>(p, 0);
       },
       ERROR_SHARING_VIOLATION, FileState::Unreadable},
  };
  for (const Case& c : cases) {
    test::TempDir here;
    const std::string target = here.file("zorvikqm.ini");
    std::unique_ptr<HeldFile> held = c.setup(target);
    const FileProbe probe = probe_file(target);
    EXPECT_EQ(probe.state, c.state) << c.what;
    EXPECT_FALSE(probe.reason.empty()) << c.what;
    EXPECT_EQ(read_whole_file(target).has_value(), c.state == FileState::Readable) << c.what;
    const FileResult r = update_file(target, replace_with(kNew));
    held.reset();
    EXPECT_FALSE(r.ok) << c.what;
    EXPECT_EQ(r.code, static_cast<int>(c.code)) << c.what << ": " << r.error;
    EXPECT_FALSE(r.error.empty()) << c.what;
    EXPECT_EQ(test::read_file(target), kOld) << c.what;
    EXPECT_EQ(entries_of(here.path()), std::vector<std::string>{"zorvikqm.ini"}) << c.what;
    SetFileAttributesW(wide_from_utf8(target).c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

// A device name opens a device, not a file: it is never read from.
TEST_F(WindowsFileStore, DeviceNamesAreNotFiles) {
  for (const char* device : {"NUL", "CONIN$"}) {
    EXPECT_EQ(read_whole_file(device), std::nullopt) << device;
  }
}

// ctest runs this one in French, where the texts have accented letters.
TEST_F(WindowsFileStore, ReasonTextsAreUtf8WithoutALineBreak) {
  for (const int code : {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION}) {
    const FileResult r = file_failure(code);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.code, code);
    ASSERT_FALSE(r.error.empty()) << code;
    EXPECT_NE(r.error.back(), '\n') << code;
    EXPECT_NE(r.error.back(), '\r') << code;
    EXPECT_EQ(r.error.find("\xEF\xBF\xBD"), std::string::npos) << r.error;  // U+FFFD for bytes not UTF-8
    EXPECT_EQ(utf8_from_wide(wide_from_utf8(r.error)), r.error) << r.error;
  }
}

// Runs file_in_current_directory with `dir` as the current directory.
std::string config_path_in(const std::string& dir) {
  wchar_t back[MAX_PATH * 4];
  GetCurrentDirectoryW(MAX_PATH * 4, back);
  if (!SetCurrentDirectoryW(wide_from_utf8(dir).c_str())) return "cannot enter " + dir;
  std::string path = file_in_current_directory("zorvikqm.ini");
  SetCurrentDirectoryW(back);
  return path;
}

// A name outside the ANSI code page, and a path past MAX_PATH characters:
// the path stays exact and the file is saved and read there.
TEST_F(WindowsFileStore, NonAsciiAndLongDirectories) {
  std::string long_dir = dir.path();
  while (long_dir.size() < 300) {
    long_dir += "\\" + std::string(40, 'd');
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + wide_from_utf8(long_dir)).c_str(), nullptr)) << GetLastError();
  }
  const std::string names[] = {"Zo\xC3\xAB", "\xD0\x98\xD0\xB3\xD1\x80\xD1\x8B", long_dir};
  for (const std::string& name : names) {
    const std::string folder = name == long_dir ? long_dir : dir.file(name);
    if (name != long_dir) {
      ASSERT_TRUE(CreateDirectoryW(wide_from_utf8(folder).c_str(), nullptr));
    }
    const std::string target = config_path_in(folder);
    EXPECT_EQ(target, folder + "\\zorvikqm.ini");
    const FileResult r = update_file(target, replace_with(kNew));
    ASSERT_TRUE(r.ok) << name << ": " << r.code << " " << r.error;
    EXPECT_EQ(read_whole_file(target), kNew) << name;
    EXPECT_EQ(probe_file(target).state, FileState::Readable) << name;
    EXPECT_TRUE(update_file(target, replace_with(kOld)).ok) << name;
    EXPECT_EQ(read_whole_file(target), kOld) << name;
  }
}

}  // namespace
}  // namespace zq
