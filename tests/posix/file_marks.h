// What the file store's contract test needs of a Unix system: a mark that a
// file carries beside its content (an unusual mode), an I/O error code, and
// a process that has ended.
#pragma once

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>

namespace zq::test {

inline constexpr int kIoError = EIO;

inline void set_marks(const std::string& path) { chmod(path.c_str(), 0640); }

inline bool has_marks(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && (st.st_mode & 07777) == 0640;
}

// The id of a process that this test started and waited for.
inline std::uint64_t ended_process_id() {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  return static_cast<std::uint64_t>(child);
}

}  // namespace zq::test
