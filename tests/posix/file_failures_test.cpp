// A save whose system calls fail, one call at a time: the save reports that
// call's reason, the old file is left whole, and no temporary file is left.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/posix/file_calls.h"
#include "runtime/file_store.h"
#include "test_files.h"

namespace zq {
namespace {

// The use of a call that fails, and how.
struct Fault {
  const void* call;  // the slot in file_calls
  int nth;           // 1 for its first use
  int error;
};

FileCalls real_calls;
std::vector<Fault> faults;
std::vector<int> uses;  // per fault

template <typename Slot>
const void* call_of(Slot slot) {
  return static_cast<const void*>(&(file_calls.*slot));
}

// Stands in for one slot of file_calls: fails at the faulted use, else calls
// the real thing.
template <auto Slot>
struct Failing;
template <typename R, typename... A, R (*FileCalls::*Slot)(A...)>
struct Failing<Slot> {
  static R call(A... args) {
    for (std::size_t i = 0; i < faults.size(); ++i) {
      if (faults[i].call != call_of(Slot) || ++uses[i] != faults[i].nth) continue;
      if constexpr (std::is_same_v<decltype(Slot), decltype(&FileCalls::close)>) {
        // close frees the descriptor even when it reports an error.
        if (call_of(Slot) == call_of(&FileCalls::close)) (real_calls.*Slot)(args...);
      }
      errno = faults[i].error;
      return static_cast<R>(-1);
    }
    return (real_calls.*Slot)(args...);
  }
};

class FileFailures : public ::testing::Test {
 protected:
  void SetUp() override {
    real_calls = file_calls;
    file_calls = {Failing<&FileCalls::open>::call,      Failing<&FileCalls::pwrite>::call,
                  Failing<&FileCalls::fsync>::call,     Failing<&FileCalls::ftruncate>::call,
                  Failing<&FileCalls::fchmod>::call,    Failing<&FileCalls::fchown>::call,
                  Failing<&FileCalls::rename>::call,    Failing<&FileCalls::close>::call,
                  Failing<&FileCalls::unlink>::call};
  }
  void TearDown() override {
    file_calls = real_calls;
    faults.clear();
  }
  static void fail(std::vector<Fault> planned) {
    faults = std::move(planned);
    uses.assign(faults.size(), 0);
  }
};

const std::string kOld = "; kept\n[CONFIG]\nk=1000\nj=1\n";
const std::string kNew = "[CONFIG]\nk=2\n";  // shorter, so old bytes would show at the end

FileResult save(const std::string& path, const std::string& content = kNew) {
  return update_file(path, [&](std::string_view, bool) { return content; });
}

std::vector<std::string> names_in(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

ino_t inode_of(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_ino;
}

const auto kOpen = call_of(&FileCalls::open);
const auto kWrite = call_of(&FileCalls::pwrite);
const auto kFsync = call_of(&FileCalls::fsync);
const auto kTruncate = call_of(&FileCalls::ftruncate);
const auto kChmod = call_of(&FileCalls::fchmod);
const auto kChown = call_of(&FileCalls::fchown);
const auto kRename = call_of(&FileCalls::rename);
const auto kClose = call_of(&FileCalls::close);

// The first open is the file's own, the second the temporary file's; a
// temporary file refused with EACCES turns the save into a rewrite in place.
const Fault kNoTemporary{kOpen, 2, EACCES};

TEST_F(FileFailures, EachFailedCallIsReportedAndLeavesTheOldFileWhole) {
  const struct {
    const char* what;
    std::vector<Fault> faults;
    int error;
  } cases[] = {
      {"open of the file", {{kOpen, 1, EIO}}, EIO},
      {"open of the temporary file, disk full", {{kOpen, 2, ENOSPC}}, ENOSPC},
      {"write", {{kWrite, 1, ENOSPC}}, ENOSPC},
      {"fchmod", {{kChmod, 1, EIO}}, EIO},
      {"fsync", {{kFsync, 1, EIO}}, EIO},
      {"close", {{kClose, 1, EIO}}, EIO},
      {"rename", {{kRename, 1, EIO}}, EIO},
      {"in place: write", {kNoTemporary, {kWrite, 1, EIO}}, EIO},
      {"in place: ftruncate", {kNoTemporary, {kTruncate, 1, EIO}}, EIO},
      {"in place: fsync", {kNoTemporary, {kFsync, 1, EIO}}, EIO},
  };
  for (const auto& c : cases) {
    test::TempDir dir;
    const std::string path = dir.file("zorvikqm.ini");
    test::write_file(path, kOld);
    fail(c.faults);
    const FileResult result = save(path);
    fail({});
    EXPECT_FALSE(result.ok) << c.what;
    EXPECT_EQ(result.code, c.error) << c.what;
    EXPECT_EQ(result.error, std::strerror(c.error)) << c.what;
    EXPECT_EQ(test::read_file(path), kOld) << c.what;
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"zorvikqm.ini"}) << c.what;
  }
}

TEST_F(FileFailures, NewFileIsNotCreatedWhenACallFails) {
  for (const Fault& fault : {Fault{kOpen, 1, EACCES}, Fault{kWrite, 1, ENOSPC}, Fault{kFsync, 1, EIO},
                             Fault{kClose, 1, EIO}, Fault{kRename, 1, EIO}}) {
    test::TempDir dir;
    fail({fault});
    const FileResult result = save(dir.file("zorvikqm.ini"));
    fail({});
    EXPECT_EQ(result.error, std::strerror(fault.error));
    EXPECT_TRUE(names_in(dir.path()).empty()) << fault.error;
  }
}

// Rewritten in place, a shorter content must not keep the old file's tail.
TEST_F(FileFailures, InPlaceRewriteLeavesNoOldBytes) {
  test::TempDir dir;
  const std::string path = dir.file("zorvikqm.ini");
  test::write_file(path, kOld);
  const ino_t inode = inode_of(path);
  fail({kNoTemporary});
  const FileResult result = save(path);
  EXPECT_TRUE(result.ok) << result.error;
  EXPECT_EQ(test::read_file(path), kNew);
  EXPECT_EQ(inode_of(path), inode);
}

// A file whose owner cannot be given to a new file is rewritten in place, so
// it keeps its owner.
TEST_F(FileFailures, OwnerThatCannotBeKeptMeansInPlace) {
  test::TempDir dir;
  const std::string path = dir.file("zorvikqm.ini");
  test::write_file(path, kOld);
  const ino_t inode = inode_of(path);
  fail({{kChown, 1, EPERM}});
  const FileResult result = save(path);
  EXPECT_TRUE(result.ok) << result.error;
  EXPECT_EQ(test::read_file(path), kNew);
  EXPECT_EQ(inode_of(path), inode);
  EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"zorvikqm.ini"});
}

}  // namespace
}  // namespace zq
