// The Windows file store on real files, beside its contract test: the
// refusals with their error codes, what start-up tells of them, devices,
// long and non-ASCII directory names. Error codes are compared, never
// texts: Wine words them differently from Windows.
#include "runtime/file_store.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
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

// Started again with ZQ_HOLD="<milliseconds> <sharing> <event> <path>", this
// program is the other process: it holds the file with that sharing, sets
// the event, and ends that much later, before any test would run.
const bool kHolder = [] {
  wchar_t hold[MAX_PATH * 2] = {}, event[64] = {};
  unsigned long milliseconds = 0, share = 0;
  int used = 0;
  if (GetEnvironmentVariableW(L"ZQ_HOLD", hold, MAX_PATH * 2) == 0) return false;
  std::swscanf(hold, L"%lu %lu %63ls %n", &milliseconds, &share, event, &used);
  HANDLE file = CreateFileW(hold + used, GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
  HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, event);
  if (file == INVALID_HANDLE_VALUE || ready == nullptr || !SetEvent(ready)) ExitProcess(3);
  Sleep(milliseconds);
  ExitProcess(0);
}();

// That process, holding the file from the moment this returns until the
// object goes (ended then, if still holding).
struct Holder {
  PROCESS_INFORMATION process{};
  Holder(const std::string& path, DWORD share, DWORD milliseconds) {
    static int count = 0;
    const std::wstring event = L"Local\\zq-held-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++count);
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, event.c_str());
    const std::wstring hold = std::to_wstring(milliseconds) + L" " + std::to_wstring(share) + L" " + event + L" ";
    SetEnvironmentVariableW(L"ZQ_HOLD", (hold + wide_from_utf8(path)).c_str());
    wchar_t self[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_filter=-*";
    STARTUPINFOW start{};
    start.cb = sizeof start;
    const bool started = CreateProcessW(self, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                                        nullptr, &start, &process);
    SetEnvironmentVariableW(L"ZQ_HOLD", nullptr);
    HANDLE both[] = {ready, process.hProcess};
    EXPECT_TRUE(started && WaitForMultipleObjects(2, both, FALSE, 60000) == WAIT_OBJECT_0) << "no holding process";
    CloseHandle(ready);
  }
  ~Holder() {
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
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

// A file another process holds is waited for, up to about 2 seconds: held
// for half a second, a save or read works once it is released; held for 10
// seconds, a save fails after the wait, with the file as it was.
TEST_F(WindowsFileStore, AFileHeldForAMomentIsWaitedFor) {
  constexpr DWORD kNoDelete = FILE_SHARE_READ | FILE_SHARE_WRITE;
  const struct {
    const char* what;
    DWORD share;
    DWORD hold;  // milliseconds
    bool save;   // else a read, as start-up makes
    bool ok;
  } cases[] = {
      {"save, held half a second without delete sharing", kNoDelete, 500, true, true},
      {"read, held half a second without any sharing", 0, 500, false, true},
      {"save, held 10 seconds without delete sharing", kNoDelete, 10000, true, false},
  };
  for (const auto& c : cases) {
    test::TempDir here;
    const std::string target = here.file("zorvikqm.ini");
    test::write_file(target, kOld);
    const Holder holder(target, c.share, c.hold);
    const auto start = std::chrono::steady_clock::now();
    const FileResult r = c.save ? update_file(target, replace_with(kNew))
                                : read_whole_file(target) == kOld ? FileResult{} : file_failure(ERROR_READ_FAULT);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    std::printf("# %s: %s after %lld ms\n", c.what, r.ok ? "done" : r.error.c_str(), static_cast<long long>(took.count()));
    EXPECT_EQ(r.ok, c.ok) << c.what << ": " << r.error;
    EXPECT_EQ(r.code, c.ok ? 0 : ERROR_SHARING_VIOLATION) << c.what;
    EXPECT_TRUE(c.ok || (took.count() >= 1500 && took.count() < 8000)) << c.what;  // about 2 s
    EXPECT_EQ(test::read_file(target), c.save && c.ok ? kNew : kOld) << c.what;
    EXPECT_EQ(entries_of(here.path()), std::vector<std::string>{"zorvikqm.ini"}) << c.what;
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
