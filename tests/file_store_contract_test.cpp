// The file store's promises (runtime/file_store.h), checked the same way on
// every system against real files: what a save keeps, what it refuses,
// what a failure of any of the system's operations leaves, what a crash
// after any of them leaves, and what a power cut may leave on the disk.
// file_marks.h is the system's own part.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
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

std::string what_is(const std::string& content) {
  if (content == kOld) return "old";
  if (content == kNew) return "new";
  if (content == kNew + kOld.substr(kNew.size())) return "new over the old one's end";
  if (content == kOld.substr(0, kNew.size())) return "old cut to the new one's length";
  return "torn: " + ::testing::PrintToString(content);
}

// A power cut, on the model of careful storage engines' crash tests: each
// write or truncation since its file's last flush may be lost, and each new,
// changed or removed name since its folder's last sync. It follows the
// operations of a save and tells what zorvikqm.ini could be after a cut.
template <auto Slot>
struct Call {};

class PowerCut {
 public:
  explicit PowerCut(const std::optional<std::string>& old) {
    if (!old) return;
    files_.push_back({*old, {}});
    names_["zorvikqm.ini"] = 0;
  }

  // The operations that change what is on the disk; the others change nothing.
  template <auto Slot, typename... A>
  void see(Call<Slot>, const A&...) {}
  void see(Call<&FileCalls::open>, const FileSpot& spot, bool, FileHandle file, const FileFacts&) {
    const auto names = names_with(0);
    if (const auto named = names.find(spot.name); named != names.end()) open_[file] = named->second;
  }
  void see(Call<&FileCalls::create>, const FileSpot&, const std::string& name, FileHandle, FileHandle file) {
    open_[file] = static_cast<int>(files_.size());
    files_.emplace_back();
    renames_.push_back({"", name, open_[file]});
  }
  void see(Call<&FileCalls::write>, FileHandle file, std::string_view data, std::uint64_t at) {
    files_[open_.at(file)].unflushed.push_back({at, std::string(data), false});
  }
  void see(Call<&FileCalls::truncate>, FileHandle file, std::uint64_t size) {
    files_[open_.at(file)].unflushed.push_back({size, {}, true});
  }
  void see(Call<&FileCalls::flush>, FileHandle file) {
    File& flushed = files_[open_.at(file)];
    flushed = {flushed.content(0), {}};
  }
  void see(Call<&FileCalls::swap>, const FileSpot& spot, const std::string& name) {
    renames_.push_back({name, spot.name, -1});
  }
  void see(Call<&FileCalls::remove>, const FileSpot&, const std::string& name) { renames_.push_back({name, "", -1}); }
  void see(Call<&FileCalls::sync_folder>, const FileSpot&) {
    names_ = names_with(0);
    renames_.clear();
  }

  // What zorvikqm.ini could be after a cut now: every mix of lost changes.
  std::set<std::string> states() const {
    std::set<std::string> left;
    for (unsigned lost = 0; lost < (1u << renames_.size()); ++lost) {
      const auto names = names_with(lost);
      const auto named = names.find("zorvikqm.ini");
      if (named == names.end()) left.insert("no file");
      for (unsigned gone = 0; named != names.end() && gone < (1u << files_[named->second].unflushed.size()); ++gone) {
        left.insert(what_is(files_[named->second].content(gone)));
      }
    }
    return left;
  }
  // A cut after each operation, and what it could have left.
  void cut() { seen.merge(states()); }
  std::set<std::string> seen;

 private:
  struct Change {
    std::uint64_t at;
    std::string data;
    bool truncate;
  };
  struct File {
    std::string flushed;
    std::vector<Change> unflushed;
    // The content with the unflushed changes but those in `lost`, a bit each.
    std::string content(unsigned lost) const {
      std::string now = flushed;
      for (std::size_t i = 0; i < unflushed.size(); ++i) {
        const Change& change = unflushed[i];
        if (((lost >> i) & 1u) != 0) continue;
        now.resize(change.truncate ? change.at : std::max(now.size(), change.at + change.data.size()));
        now.replace(change.at, change.data.size(), change.data);
      }
      return now;
    }
  };
  // A new name (from nothing), a rename, or a removed name (to nothing).
  struct Rename {
    std::string from, to;
    int file;
  };

  // The names with the changes since the last sync but those in `lost`.
  std::map<std::string, int> names_with(unsigned lost) const {
    std::map<std::string, int> names = names_;
    for (std::size_t i = 0; i < renames_.size(); ++i) {
      const Rename& change = renames_[i];
      const auto named = names.find(change.from);
      if (((lost >> i) & 1u) != 0 || (!change.from.empty() && named == names.end())) continue;
      const int file = change.from.empty() ? change.file : named->second;
      if (!change.from.empty()) names.erase(named);
      if (!change.to.empty()) names[change.to] = file;
    }
    return names;
  }

  std::vector<File> files_;
  std::map<std::string, int> names_;  // on the disk
  std::vector<Rename> renames_;       // since the last sync
  std::map<FileHandle, int> open_;    // which file each handle is
};

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
int crash_after = 0;            // ends the process after that many operations; 0 never
PowerCut* power_cut = nullptr;  // follows the operations where set
// A signal that ends the process after any operation, or at the release of
// the signals where they were held: what it would leave of `signalled`.
int signals_held = 0;
std::string signalled;
std::set<std::string>* signal_leaves = nullptr;

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
    if (power_cut != nullptr) {
      if (result == 0) power_cut->see(Call<Slot>{}, args...);
      power_cut->cut();
    }
    signals_held += call_of(Slot) == call_of(&FileCalls::hold_signals);
    signals_held -= call_of(Slot) == call_of(&FileCalls::release_signals);
    if (signal_leaves != nullptr && signals_held == 0) {
      const bool present = fs::exists(test::native_path(signalled));
      signal_leaves->insert(present ? what_is(test::read_file(signalled)) : "no file");
    }
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
                  Watched<&FileCalls::can_create>::call, Watched<&FileCalls::hold_signals>::call,
                  Watched<&FileCalls::release_signals>::call};
  }
  void TearDown() override {
    file_calls = real_calls;
    plan({});
    power_cut = nullptr;
    signal_leaves = nullptr;
  }
  static void plan(std::vector<Fault> planned) {
    faults = std::move(planned);
    uses.assign(faults.size(), 0);
  }
};

// zorvikqm.ini as user nobody's link to `target` beside the old file, in a
// shared folder (as /tmp) of root's or, for the `owner`, of nobody's; false
// where the system cannot make it.
bool planted(const test::TempDir& d, const char* target, bool owner = false) {
  test::write_file(d.file("real.ini"), kOld);
  return test::share_folder(d.path()) && (!owner || test::give_to_nobody(d.path())) &&
         test::plant_link(target, d.file("zorvikqm.ini"));
}

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
      {"one's own link in another user's shared folder",
       [&](const test::TempDir& d) {
         return test::share_folder(d.path()) && test::give_to_nobody(d.path()) && link("real.ini")(d);
       },
       "real.ini", {"zorvikqm.ini", "real.ini"}},
      {"the shared folder's owner's link", [](const test::TempDir& d) { return planted(d, "real.ini", true); },
       "real.ini", {"zorvikqm.ini", "real.ini"}},
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
      // Planted by another user to have this program write a file that the
      // planter may not (say as root): not followed.
      {"another user's link in a shared folder",
       [](const test::TempDir& d) { return planted(d, "real.ini") ? d.file("zorvikqm.ini") : ""; },
       FileState::Unreadable, kForeignLink},
      {"another user's dangling link in a shared folder",
       [](const test::TempDir& d) { return planted(d, "new.ini") ? d.file("zorvikqm.ini") : ""; },
       FileState::Unreadable, kForeignLink},
  };
  for (const Row& row : rows) {
    test::TempDir dir;
    const std::string path = row.setup(dir);
    if (path.empty()) {
      std::printf("row left out, the system cannot make it: %s\n", row.what);
      continue;
    }
    const Names before = names_in(dir.path());
    const FileProbe probe = probe_file(path);
    EXPECT_EQ(probe.state, row.state) << row.what;
    EXPECT_EQ(probe.reason.empty(), row.code == 0) << row.what << ": " << probe.reason;
    EXPECT_EQ(read_whole_file(path).has_value(), row.state == FileState::Readable) << row.what;
    const FileResult r = update_file(path, to(kNew));
    EXPECT_EQ(r.code, row.code) << row.what << ": " << r.error;
    if (row.code != 0) {
      EXPECT_EQ(names_in(dir.path()), before) << row.what;
      EXPECT_EQ(before.contains("real.ini") ? test::read_file(dir.file("real.ini")) : kOld, kOld) << row.what;
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

// A power cut at any step of a save leaves the old file or the new one, and
// once the save is done only the new one: the temporary file is flushed
// before the rename, and the folder synced after it. Windows has the rename
// written through to the disk (MOVEFILE_WRITE_THROUGH) within swap, which
// Wine cannot show; the model sees the same operations there. A rewrite in
// place is not crash-safe, the known trade-off (README): its rows list the
// torn files a cut can leave. A signal that would end the process waits for
// the save, so it leaves the old file or the new one, in place too.
TEST_F(FileStoreContract, APowerCutAtAnyStepLeavesTheOldFileOrTheNew) {
  const auto kCreate = call_of(&FileCalls::create);
  const std::set<std::string> torn = {"old", "new over the old one's end", "old cut to the new one's length", "new"};
  const std::string live = ".zq-save-" + std::to_string(current_process_id()) + "-7-1.tmp";
  const auto old_file = [](const test::TempDir& d) { test::write_file(d.file("zorvikqm.ini"), kOld); };
  const struct {
    const char* what;
    std::function<void(const test::TempDir&)> setup;
    std::vector<Fault> faults;
    std::set<std::string> left;  // by a cut after any operation
    Names names;                 // after the save
  } rows[] = {
      {"a save", old_file, {}, {"old", "new"}, {"zorvikqm.ini"}},
      {"a first save", [](const test::TempDir&) {}, {}, {"no file", "new"}, {"zorvikqm.ini"}},
      // The temporary file of a writer that has ended goes, a running one's stays.
      {"a save beside temporary files",
       [&](const test::TempDir& d) {
         old_file(d);
         const std::uint64_t ended = test::ended_process_id();
         EXPECT_NE(ended, 0u) << "no process started and ended";
         test::write_file(d.file(".zq-save-" + std::to_string(ended) + "-3-1.tmp"), "");
         test::write_file(d.file(live), "");
       },
       {}, {"old", "new"}, {"zorvikqm.ini", live}},
      {"a rewrite in place for a hard link",
       [&](const test::TempDir& d) {
         old_file(d);
         fs::create_hard_link(test::native_path(d.file("zorvikqm.ini")), test::native_path(d.file("other.ini")));
       },
       {}, torn, {"zorvikqm.ini", "other.ini"}},
      {"a rewrite in place in a folder that takes no new file", old_file, {{kCreate, 1, file_codes.denied}}, torn,
       {"zorvikqm.ini"}},
      {"a rewrite in place for another owner", old_file, {{kCreate, 1, file_codes.not_kept}}, torn,
       {"zorvikqm.ini"}},
  };
  for (const auto& row : rows) {
    test::TempDir dir;
    row.setup(dir);
    const std::string path = dir.file("zorvikqm.ini");
    const bool existed = fs::exists(test::native_path(path));
    PowerCut cut(existed ? std::optional(test::read_file(path)) : std::nullopt);
    power_cut = &cut;
    std::set<std::string> signal_left;
    signal_leaves = &signal_left;
    signalled = path;
    plan(row.faults);
    const FileResult r = update_file(path, to(kNew));
    power_cut = nullptr;
    signal_leaves = nullptr;
    ASSERT_TRUE(r.ok) << row.what << ": " << r.error;
    EXPECT_EQ(cut.seen, row.left) << row.what;
    // A signal waits for the save: never a torn file, even in place.
    const std::set<std::string> whole = {existed ? "old" : "no file", "new"};
    if (test::kSignalsHeld) {
      EXPECT_EQ(signal_left, whole) << row.what << ", signalled";
    }
    EXPECT_EQ(cut.states(), std::set<std::string>{"new"}) << row.what << ", once saved";
    EXPECT_EQ(names_in(dir.path()), row.names) << row.what;
    std::string left;
    for (const std::string& state : cut.seen) left += (left.empty() ? "" : ", ") + state;
    std::printf("a power cut during %s can leave: %s\n", row.what, left.c_str());
  }
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
