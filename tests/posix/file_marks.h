// What the file store's contract test needs of a Unix system: marks that a
// file carries beside its content (an unusual mode, and a user attribute and
// an access list where the file system has them), an I/O error code, held
// signals, a process that has ended, and links of user nobody in a shared
// folder.
#pragma once

#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "as_nobody.h"

namespace zq::test {

inline constexpr int kIoError = EIO;
// A save holds the signals that would end the process.
inline constexpr bool kSignalsHeld = true;

// user::rw- user:1000:rw- group::r-- mask::rw- other::---, as the kernel
// keeps an access list; its mask shows in the mode's group bits: 0660.
inline const std::string kAccessList("\2\0\0\0\1\0\6\0\377\377\377\377\2\0\6\0\350\3\0\0\4\0\4\0\377\377\377\377"
                                     "\20\0\6\0\377\377\377\377\40\0\0\0\377\377\377\377", 44);

inline void set_marks(const std::string& path) {
  chmod(path.c_str(), 0640);
  if (setxattr(path.c_str(), "user.zq-mark", "kept", 4, 0) != 0 ||
      setxattr(path.c_str(), "system.posix_acl_access", kAccessList.data(), kAccessList.size(), 0) != 0) {
    std::printf("marks without extended attributes: %s\n", std::strerror(errno));
  }
}

inline std::string attribute(const std::string& path, const char* name) {
  std::string value(64, '\0');
  const ssize_t size = getxattr(path.c_str(), name, value.data(), value.size());
  return size >= 0 ? value.substr(0, static_cast<std::size_t>(size)) : errno == ENOTSUP ? "unsupported" : "none";
}

// Every mark that the file system can keep is there.
inline bool has_marks(const std::string& path) {
  struct stat st {};
  const std::string list = attribute(path, "system.posix_acl_access"), user = attribute(path, "user.zq-mark");
  return stat(path.c_str(), &st) == 0 && (user == "kept" || user == "unsupported") &&
         (list == "unsupported" ? (st.st_mode & 07777) == 0640 : list == kAccessList && (st.st_mode & 07777) == 0660);
}

// The id of a process that this test started and waited for.
inline std::uint64_t ended_process_id() {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  return static_cast<std::uint64_t>(child);
}

// A folder that everyone may write and that keeps each user's names (/tmp),
// its owner, and a link that user nobody makes: only root can act as nobody.
inline bool share_folder(const std::string& path) { return chmod(path.c_str(), 01777) == 0; }
inline bool give_to_nobody(const std::string& path) { return lchown(path.c_str(), 65534, 65534) == 0; }
inline bool plant_link(const std::string& target, const std::string& link) {
  const AsNobody nobody;
  return geteuid() == 65534 && symlink(target.c_str(), link.c_str()) == 0;
}

}  // namespace zq::test
