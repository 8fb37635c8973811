// What the file store's contract test needs of a Unix system: a mark that a
// file carries beside its content (an unusual mode), and an I/O error code.
#pragma once

#include <sys/stat.h>

#include <cerrno>
#include <string>

namespace zq::test {

inline constexpr int kIoError = EIO;

inline void set_marks(const std::string& path) { chmod(path.c_str(), 0640); }

inline bool has_marks(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && (st.st_mode & 07777) == 0640;
}

}  // namespace zq::test
