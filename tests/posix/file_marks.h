// What the file store's contract test needs of a Unix system: marks that a
// file carries beside its content (an unusual mode, a user attribute and an
// access list, where the file system has them), an I/O error code, a
// process that has ended, and links of another user in a shared folder.
#pragma once

#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

namespace zq::test {

inline constexpr int kIoError = EIO;

// user::rw- user:1000:rw- group::r-- mask::rw- other::---, as the kernel
// keeps it: a version, then tag, permissions and id, little-endian. Its
// mask shows in the mode's group bits: 0660 for the 0640 underneath.
inline std::string access_list() {
  std::string list = {2, 0, 0, 0};
  const auto add = [&list](unsigned tag, unsigned permissions, std::uint32_t id) {
    for (const unsigned byte : {tag, 0u, permissions, 0u}) list.push_back(static_cast<char>(byte));
    for (int shift = 0; shift < 32; shift += 8) list.push_back(static_cast<char>((id >> shift) & 0xFF));
  };
  add(0x01, 6, ~0u);
  add(0x02, 6, 1000);
  add(0x04, 4, ~0u);
  add(0x10, 6, ~0u);
  add(0x20, 0, ~0u);
  return list;
}
inline constexpr const char* kAccessList = "system.posix_acl_access";
inline constexpr const char* kUserMark = "user.zq-mark";

inline void set_marks(const std::string& path) {
  chmod(path.c_str(), 0640);
  setxattr(path.c_str(), kUserMark, "kept", 4, 0);
  const std::string list = access_list();
  setxattr(path.c_str(), kAccessList, list.data(), list.size(), 0);
}

// Every mark that the file system can keep is there.
inline bool has_marks(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return false;
  bool lists = true;
  for (const auto& [name, value] : {std::pair{kUserMark, std::string("kept")}, {kAccessList, access_list()}}) {
    std::string got(value.size() + 1, '\0');
    const ssize_t size = getxattr(path.c_str(), name, got.data(), got.size());
    if (size < 0 && (errno == ENOTSUP || errno == EOPNOTSUPP)) {
      lists = lists && name != kAccessList;
      continue;
    }
    if (size < 0 || got.substr(0, static_cast<std::size_t>(size)) != value) return false;
  }
  return (st.st_mode & 07777) == (lists ? 0660u : 0640u);
}

// The id of a process that this test started and waited for.
inline std::uint64_t ended_process_id() {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  return static_cast<std::uint64_t>(child);
}

// A folder that everyone may write and that keeps each user's names, as /tmp.
inline bool share_folder(const std::string& path) { return chmod(path.c_str(), 01777) == 0; }

// Gives a file, or a link itself, to user nobody; only root can.
inline bool give_to_nobody(const std::string& path) { return lchown(path.c_str(), 65534, 65534) == 0; }

}  // namespace zq::test
