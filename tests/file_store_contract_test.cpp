// The file store's promises (runtime/file_store.h), checked the same way on
// every system against real files: what a save keeps, what it refuses,
// what a failure of any of the system's operations leaves, and what a crash
// after any of them leaves. file_marks.h is the system's own part.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "file_marks.h"
#include "runtime/file_calls.h"
#include "runtime/file_store.h"
#include "test_files.h"

namespace zq {
namespace {

namespace fs = std::filesystem;
using Names = std::set<std::string>;

const std::string kOld = "; kept\r\n[CONFIG]\r\nk=1000\r\nj=1\r\n";
const std::string kNew = "[CONFIG]\r\nk=2\r\n";  // shorter, so old bytes would show at the end

FileEdit to(const std::string& content) {
  return [content](std::string_view, bool) { return std::optional<std::string>(content); };
}

Names names_in(const std::string& dir) {
  Names names;
  for (const auto& entry : fs::directory_iterator(test::native_path(dir))) {
    names.insert(test::utf8_path(entry.path().filename()));
  }
  return names;
}

// A failure of the nth use of one operation.
struct Fault {
  const void* call;  // the slot in file_calls
  int nth;           // 1 for its first use
  int code;
};

constexpr int kCrashed = 70;
constexpr int kFinished = 71;

FileCalls real_calls;
std::vector<Fault> faults;
std::vector<int> uses;  // per fault
int operations = 0;
int crash_after = 0;  // ends the process after that many operations; 0 never

template <typename Slot>
const void* call_of(Slot slot) {
  return static_cast<const void*>(&(file_calls.*slot));
}

// Stands in for one slot of file_calls: fails at a faulted use, else calls
// the real operation, and ends the process as a crash would after the
// planned number of operations.
template <auto Slot>
struct Watched;
template <typename... A, int (*FileCalls::*Slot)(A...)>
struct Watched<Slot> {
  static int call(A... args) {
    for (std::size_t i = 0; i < faults.size(); ++i) {
      if (faults[i].call != call_of(Slot) || ++uses[i] != faults[i].nth) continue;
      // A failed close frees the handle all the same.
      if (call_of(Slot) == call_of(&FileCalls::close)) (real_calls.*Slot)(args...);
      return faults[i].code;
    }
    const int result = (real_calls.*Slot)(args...);
    if (++operations == crash_after) std::_Exit(kCrashed);
    return result;
  }
};

class FileStoreContract : public ::testing::Test {
 protected:
  void SetUp() override {
    real_calls = file_calls;
    file_calls = {Watched<&FileCalls::locate>::call,   Watched<&FileCalls::open>::call,
                  Watched<&FileCalls::read>::call,     Watched<&FileCalls::create>::call,
                  Watched<&FileCalls::write>::call,    Watched<&FileCalls::truncate>::call,
                  Watched<&FileCalls::flush>::call,    Watched<&FileCalls::close>::call,
                  Watched<&FileCalls::swap>::call,     Watched<&FileCalls::sync_folder>::call,
                  Watched<&FileCalls::remove>::call,   Watched<&FileCalls::list>::call,
                  Watched<&FileCalls::can_create>::call};
  }
  void TearDown() override {
    file_calls = real_calls;
    plan({});
  }
  static void plan(std::vector<Fault> planned) {
    faults = std::move(planned);
    uses.assign(faults.size(), 0);
  }
};

// Each row makes a file of some kind at zorvikqm.ini; the save must change
// `changed` and leave every name and mark as it was. A row whose links the
// system cannot make is left out.
TEST_F(FileStoreContract, SaveKeepsNamesLinksAndMarks) {
  struct Row {
    const char* what;
    std::function<bool(const test::TempDir&)> setup;
    std::string changed;
    Names names;
  };
  const auto link = [](const char* target) {
    return [target](const test::TempDir& d) {
      test::write_file(d.file("real.ini"), kOld);
      std::error_code failed;
      fs::create_symlink(target, test::native_path(d.file("zorvikqm.ini")), failed);
      return fs::is_symlink(test::native_path(d.file("zorvikqm.ini")));
    };
  };
  const Row rows[] = {
      {"no file", [](const test::TempDir&) { return true; }, "zorvikqm.ini", {"zorvikqm.ini"}},
      {"a file with marks",
       [](const test::TempDir& d) {
         test::write_file(d.file("zorvikqm.ini"), kOld);
         test::set_marks(d.file("zorvikqm.ini"));
         return test::has_marks(d.file("zorvikqm.ini"));
       },
       "zorvikqm.ini", {"zorvikqm.ini"}},
      {"a symbolic link", link("real.ini"), "real.ini", {"zorvikqm.ini", "real.ini"}},
      {"a dangling symbolic link", link("new.ini"), "new.ini", {"zorvikqm.ini", "real.ini", "new.ini"}},
      {"a hard link",
       [](const test::TempDir& d) {
         test::write_file(d.file("zorvikqm.ini"), kOld);
         fs::create_hard_link(test::native_path(d.file("zorvikqm.ini")), test::native_path(d.file("other.ini")));
         return true;
       },
       "other.ini", {"zorvikqm.ini", "other.ini"}},
  };
  for (const Row& row : rows) {
    test::TempDir dir;
    if (!row.setup(dir)) {
      std::printf("row left out, the system cannot make it: %s\n", row.what);
      continue;
    }
    const std::string path = dir.file("zorvikqm.ini");
    const bool marked = test::has_marks(path);
    const bool linked = fs::is_symlink(test::native_path(path));
    const std::string before = test::read_file(path);
    const FileResult r = update_file(path, [&](std::string_view content, bool exists) {
      EXPECT_EQ(content, before) << row.what;
      EXPECT_EQ(exists, !before.empty()) << row.what;
      return std::optional<std::string>(kNew);
    });
    ASSERT_TRUE(r.ok) << row.what << ": " << r.code << " " << r.error;
    EXPECT_EQ(test::read_file(dir.file(row.changed)), kNew) << row.what;
    EXPECT_EQ(names_in(dir.path()), row.names) << row.what;
    EXPECT_EQ(test::has_marks(path), marked) << row.what;
    EXPECT_EQ(fs::is_symlink(test::native_path(path)), linked) << row.what;
    // Nothing to change: the file is left alone.
    EXPECT_TRUE(update_file(path, [](std::string_view, bool) { return std::optional<std::string>(); }).ok);
    EXPECT_EQ(test::read_file(dir.file(row.changed)), kNew) << row.what;
  }
}

// What start-up tells agrees with what a save then does; a refused save
// leaves the directory as it was, with no temporary file.
TEST_F(FileStoreContract, ProbeAndSaveAgreeAndRefusalsChangeNothing) {
  struct Row {
    const char* what;
    std::function<std::string(const test::TempDir&)> setup;  // the path
    FileState state;
    int code;  // of the save; 0 when it works
  };
  const Row rows[] = {
      {"no file", [](const test::TempDir& d) { return d.file("zorvikqm.ini"); }, FileState::Absent, 0},
      {"a file",
       [](const test::TempDir& d) {
         test::write_file(d.file("zorvikqm.ini"), kOld);
         return d.file("zorvikqm.ini");
       },
       FileState::Readable, 0},
      {"no directory", [](const test::TempDir& d) { return d.file("gone") + "/zorvikqm.ini"; }, FileState::Absent,
       file_codes.no_folder},
      {"a directory of that name",
       [](const test::TempDir& d) {
         fs::create_directory(test::native_path(d.file("zorvikqm.ini")));
         return d.file("zorvikqm.ini");
       },
       FileState::Unreadable, file_codes.is_directory},
  };
  for (const Row& row : rows) {
    test::TempDir dir;
    const std::string path = row.setup(dir);
    const Names before = names_in(dir.path());
    const FileProbe probe = probe_file(path);
    EXPECT_EQ(probe.state, row.state) << row.what;
    EXPECT_EQ(probe.reason.empty(), row.code == 0) << row.what << ": " << probe.reason;
    EXPECT_EQ(read_whole_file(path).has_value(), row.state == FileState::Readable) << row.what;
    const FileResult r = update_file(path, to(kNew));
    EXPECT_EQ(r.code, row.code) << row.what << ": " << r.error;
    if (row.code != 0) {
      EXPECT_EQ(names_in(dir.path()), before) << row.what;
    }
  }
  // A directory takes the name while the save runs: the temporary file
  // already written goes again.
  test::TempDir dir;
  const std::string path = dir.file("zorvikqm.ini");
  const FileResult r = update_file(path, [&](std::string_view, bool) {
    fs::create_directory(test::native_path(path));
    return std::optional<std::string>(kNew);
  });
  EXPECT_EQ(r.code, file_codes.is_directory) << r.error;
  EXPECT_EQ(names_in(dir.path()), Names{"zorvikqm.ini"});
}

// A failed operation is reported with its reason, leaves the old file whole
// (or no file) and no temporary file. A refused temporary file or rename
// turns the save into a rewrite in place, which puts the old content back
// when it fails.
TEST_F(FileStoreContract, EachFailedOperationLeavesTheOldFileWhole) {
  const auto kOpen = call_of(&FileCalls::open);
  const auto kCreate = call_of(&FileCalls::create);
  const auto kWrite = call_of(&FileCalls::write);
  const auto kTruncate = call_of(&FileCalls::truncate);
  const auto kFlush = call_of(&FileCalls::flush);
  const auto kClose = call_of(&FileCalls::close);
  const auto kSwap = call_of(&FileCalls::swap);
  const int io = test::kIoError;
  const Fault refused{kCreate, 1, file_codes.denied};
  const struct {
    const char* what;
    bool exists;
    std::vector<Fault> faults;
    int code;  // 0: the save works, in place
  } rows[] = {
      {"open of the file", true, {{kOpen, 1, io}}, io},
      {"temporary file", true, {{kCreate, 1, io}}, io},
      {"write", true, {{kWrite, 1, io}}, io},
      {"flush", true, {{kFlush, 1, io}}, io},
      {"close", true, {{kClose, 1, io}}, io},
      {"swap", true, {{kSwap, 1, io}}, io},
      {"in place: write", true, {refused, {kWrite, 1, io}}, io},
      {"in place: truncate", true, {refused, {kTruncate, 1, io}}, io},
      {"in place: flush", true, {refused, {kFlush, 1, io}}, io},
      {"in place for a refused temporary file", true, {refused}, 0},
      {"in place for an owner not kept", true, {{kCreate, 1, file_codes.not_kept}}, 0},
      {"in place for a refused rename", true, {{kSwap, 1, file_codes.denied}}, 0},
      {"new file: temporary file", false, {{kCreate, 1, file_codes.denied}}, file_codes.denied},
      {"new file: write", false, {{kWrite, 1, io}}, io},
      {"new file: flush", false, {{kFlush, 1, io}}, io},
      {"new file: close", false, {{kClose, 1, io}}, io},
      {"new file: swap", false, {{kSwap, 1, io}}, io},
  };
  for (const auto& row : rows) {
    test::TempDir dir;
    const std::string path = dir.file("zorvikqm.ini");
    if (row.exists) test::write_file(path, kOld);
    plan(row.faults);
    const FileResult r = update_file(path, to(kNew));
    plan({});
    EXPECT_EQ(r.code, row.code) << row.what;
    EXPECT_EQ(r.error, row.code == 0 ? "" : error_text(row.code)) << row.what;
    const bool kept = row.exists || row.code == 0;
    EXPECT_EQ(names_in(dir.path()), kept ? Names{"zorvikqm.ini"} : Names{}) << row.what;
    if (kept) {
      EXPECT_EQ(test::read_file(path), row.code == 0 ? kNew : kOld) << row.what;
    }
  }
}

// The process ends after the first operation of a save, after the second,
// and so on to the last: each time the file is the old one or the new one,
// and the next save removes what the crash left behind, but not other files
// or the temporary file of a writer that still runs.
TEST_F(FileStoreContract, ACrashAfterAnyOperationLeavesTheOldFileOrTheNew) {
  // Windows runs a death test's statement in a new run of this test: the
  // directory is handed down in the environment, and each step's files have
  // fixed names in it, so that both runs find the same files.
  std::optional<test::TempDir> made;
  std::string base = std::getenv("ZQ_CRASH_DIR") != nullptr ? std::getenv("ZQ_CRASH_DIR") : "";
  if (base.empty()) {
    base = made.emplace().path();
    static std::string variable;
    variable = "ZQ_CRASH_DIR=" + base;
    putenv(variable.data());
  }
  const auto fresh = [&](const std::string& name, bool exists) {
    const fs::path dir = test::native_path(base) / name;
    fs::remove_all(dir);
    fs::create_directory(dir);
    if (exists) test::write_file(test::utf8_path(dir / "zorvikqm.ini"), kOld);
    return test::utf8_path(dir / "zorvikqm.ini");
  };
  const std::string live = ".zq-save-" + std::to_string(current_process_id()) + "-7-1.tmp";
  const Names others = {"notes.tmp", ".zq-save-x.tmp", live};
  for (const bool exists : {true, false}) {
    operations = 0;
    ASSERT_TRUE(update_file(fresh("count", exists), to(kNew)).ok);
    const int steps = operations;
    for (int n = 1; n <= steps; ++n) {
      const std::string path = fresh(std::to_string(exists) + "-" + std::to_string(n), exists);
      EXPECT_EXIT(
          {
            operations = 0;
            crash_after = n;
            update_file(path, to(kNew));
            std::_Exit(kFinished);
          },
          ::testing::ExitedWithCode(kCrashed), "");
      const bool present = fs::exists(test::native_path(path));
      const std::string content = present ? test::read_file(path) : "";
      EXPECT_TRUE(content == kNew || (exists ? content == kOld : !present)) << n << ": " << content;
      const std::string dir = test::utf8_path(test::native_path(path).parent_path());
      for (const std::string& name : others) test::write_file(dir + "/" + name, "keep");
      ASSERT_TRUE(update_file(path, to(kOld)).ok) << n;
      Names expected = others;
      expected.insert("zorvikqm.ini");
      EXPECT_EQ(names_in(dir), expected) << "crash after operation " << n;
    }
  }
  if (made) putenv(const_cast<char*>("ZQ_CRASH_DIR="));
}

// A handler about to end the process (a console window closing) waits for a
// save under way on another thread to finish.
TEST_F(FileStoreContract, EndingWaitsForASaveUnderWay) {
  static std::atomic<bool> flushing{false};
  file_calls.flush = [](FileHandle file) {
    flushing = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    return real_calls.flush(file);
  };
  test::TempDir dir;
  const std::string path = dir.file("zorvikqm.ini");
  test::write_file(path, kOld);
  std::thread save([&] { update_file(path, to(kNew)); });
  while (!flushing) std::this_thread::yield();
  wait_for_file_updates(std::chrono::seconds(10));
  EXPECT_EQ(test::read_file(path), kNew);
  save.join();
}

}  // namespace
}  // namespace zq
