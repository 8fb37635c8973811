#include "platform/posix/file_likeness.h"

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

namespace zq {
namespace {

// The names of a file's extended attributes; none where its file system
// has none. 0 or the errno.
int attribute_names(int fd, std::vector<std::string>& names) {
  std::string list;
  ssize_t got = -1;
  for (int attempt = 0; attempt < 5 && got < 0; ++attempt) {
    const ssize_t size = flistxattr(fd, nullptr, 0);
    if (size < 0) return errno == ENOTSUP ? 0 : errno;
    list.assign(static_cast<std::size_t>(size), '\0');
    got = flistxattr(fd, list.data(), list.size());
    if (got < 0 && errno != ERANGE) return errno;  // ERANGE: one was added meanwhile
  }
  if (got < 0) return ERANGE;
  // Each name ends in a null.
  for (std::size_t at = 0; at < static_cast<std::size_t>(got); at = list.find('\0', at) + 1) {
    names.emplace_back(list.c_str() + at);
  }
  return 0;
}

}  // namespace

int keep_likeness(int like, int fd) {
  struct stat old {};
  if (fstat(like, &old) != 0) return errno;
  // Only root may give a file away; anyone else gets EPERM for a file that
  // is not their own, and the store rewrites that file in place.
  if (fchown(fd, old.st_uid, old.st_gid) != 0) return EPERM;
  std::vector<std::string> names, own;
  if (const int code = attribute_names(like, names); code != 0) return code;
  if (const int code = attribute_names(fd, own); code != 0) return code;
  for (const std::string& name : own) {
    if (std::find(names.begin(), names.end(), name) == names.end() && fremovexattr(fd, name.c_str()) != 0) {
      return EPERM;
    }
  }
  if (fchmod(fd, old.st_mode & 07777) != 0) return errno;
  // After the mode, which would set an access list's mask from its group bits.
  for (const std::string& name : names) {
    std::string value;
    ssize_t got = -1;
    for (int attempt = 0; attempt < 5 && got < 0; ++attempt) {
      const ssize_t size = fgetxattr(like, name.c_str(), nullptr, 0);
      if (size < 0) break;
      value.assign(static_cast<std::size_t>(size), '\0');
      got = fgetxattr(like, name.c_str(), value.data(), value.size());
      if (got < 0 && errno != ERANGE) break;
    }
    if (got < 0 && errno == ENODATA) continue;  // removed meanwhile
    // ENOTSUP, a file system without them; EPERM, one only the system sets.
    if (got < 0 || fsetxattr(fd, name.c_str(), value.data(), static_cast<std::size_t>(got), 0) != 0) return EPERM;
  }
  return 0;
}

}  // namespace zq
