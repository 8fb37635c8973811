// The file store's operations on POSIX systems, and where the current
// directory is. A file is reached through a descriptor of its directory and
// the *at calls, and a directory through its path a piece at a time, so a
// path longer than PATH_MAX works as well as a short one.
#include "runtime/file_calls.h"

#include "platform/posix/ending_signals.h"
#include "platform/posix/file_likeness.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__linux__)
#include <linux/fs.h>
#include <sys/ioctl.h>
#endif

#include <cerrno>
#include <cstring>
#include <new>

#include "runtime/file_store.h"

namespace zq {
namespace {

constexpr int kMaxLinkDepth = 40;

// A descriptor of a directory that only passes through it (the search
// permission suffices), for a directory that may not be read.
#if defined(O_PATH)
constexpr int kSearchOnly = O_PATH;
#elif defined(O_SEARCH)
constexpr int kSearchOnly = O_SEARCH;
#else
constexpr int kSearchOnly = O_RDONLY;
#endif

int fd_of(FileHandle handle) { return static_cast<int>(handle); }

// Closes `fd`, a descriptor given up on or done with, and returns `code`.
int close_returning(int fd, int code) {
  ::close(fd);
  return code;
}

// Opens the directory `path`, relative to `base`, into `fd`; 0 or the errno.
// A path of PATH_MAX bytes or more is walked a piece at a time. Opened for
// reading where allowed, so that it can be synced and listed.
int open_folder(int base, std::string_view path, int& fd) {
  int at = base;
  int code = 0;
  while (code == 0 && path.size() >= PATH_MAX) {
    const std::size_t cut = path.rfind('/', PATH_MAX - 1);
    if (cut == std::string_view::npos || cut == 0) {
      code = ENAMETOOLONG;  // one name longer than that
      break;
    }
    const int next = openat(at, std::string(path.substr(0, cut)).c_str(), kSearchOnly | O_DIRECTORY | O_CLOEXEC);
    if (next < 0) code = errno;
    if (at != base) ::close(at);
    at = next;
    path.remove_prefix(cut + 1);
    while (path.starts_with('/')) path.remove_prefix(1);
  }
  if (code == 0) {
    const std::string last(path.empty() ? "." : path);
    fd = openat(at, last.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 && errno == EACCES) fd = openat(at, last.c_str(), kSearchOnly | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) code = errno;
  }
  if (at != base && at >= 0) ::close(at);
  return code;
}

// Splits a path into its directory ("." for a bare name) and its last name.
std::pair<std::string_view, std::string_view> split(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return {".", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// Whether the link `st` in the directory `folder` may be followed, by the
// rule the kernel applies where fs.protected_symlinks is set: in a folder
// that everyone may write and that keeps each user's names (sticky, as
// /tmp), only a link of the one who runs the program or of the folder's
// owner. Anyone else's there may have been planted to make this program
// write a file its planter may not. 0, kForeignLink, or the errno.
int may_follow(int folder, const struct stat& link) {
  struct stat dir {};
  if (fstat(folder, &dir) != 0) return errno;
  const bool shared = (dir.st_mode & S_ISVTX) != 0 && (dir.st_mode & S_IWOTH) != 0;
  return !shared || link.st_uid == geteuid() || link.st_uid == dir.st_uid ? 0 : kForeignLink;
}

// Follows the links itself, whatever `follow` asks, so that a read obeys
// the rule of may_follow as a save does.
int locate(const std::string& path, bool, FileSpot& spot) {
  // Lets go of the folder held so far; `code`, returned, says why.
  const auto drop_folder = [&spot](int code) {
    if (spot.folder != kNoHandle) ::close(fd_of(spot.folder));
    spot.folder = kNoHandle;
    return code;
  };
  std::string current = path;
  int base = AT_FDCWD;
  for (int depth = 0; depth <= kMaxLinkDepth; ++depth) {
    const auto [folder, name] = split(current);
    int fd = -1;
    if (const int opened = open_folder(base, folder, fd); opened != 0) return drop_folder(opened);
    if (spot.folder != kNoHandle) ::close(fd_of(spot.folder));
    spot.folder = fd;
    spot.name = name;
    struct stat st {};
    // No such name: a new file.
    if (fstatat(fd, spot.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT ? 0 : drop_folder(errno);
    if (!S_ISLNK(st.st_mode)) return 0;
    if (const int refused = may_follow(fd, st); refused != 0) return drop_folder(refused);
    std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    const ssize_t n = readlinkat(fd, spot.name.c_str(), link.data(), link.size());
    // Filling the buffer: longer than it said, or changed meanwhile.
    if (n < 0 || static_cast<std::size_t>(n) >= link.size()) return drop_folder(n < 0 ? errno : ENAMETOOLONG);
    link.resize(static_cast<std::size_t>(n));
    // A relative link goes on from the directory that holds it.
    base = link.starts_with('/') ? AT_FDCWD : fd;
    current = std::move(link);
  }
  return drop_folder(ELOOP);
}

int open_file(const FileSpot& spot, bool write, FileHandle& file, FileFacts& facts) {
  // O_NONBLOCK so that a FIFO of that name cannot stall the open or a read.
  // locate followed the links; one made since is not followed (ELOOP).
  const int fd = openat(fd_of(spot.folder), spot.name.c_str(),
                        (write ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW);
  if (fd < 0) return errno;
  struct stat st {};
  if (fstat(fd, &st) != 0) return close_returning(fd, errno);
  file = fd;
  facts = {S_ISDIR(st.st_mode), S_ISREG(st.st_mode), static_cast<unsigned long>(st.st_nlink)};
  return 0;
}

int read_file(FileHandle file, std::string& out) {
  try {
    struct stat st {};
    if (fstat(fd_of(file), &st) == 0 && st.st_size > 0) out.reserve(static_cast<std::size_t>(st.st_size));
    char chunk[65536];
    for (;;) {
      const ssize_t n = ::read(fd_of(file), chunk, sizeof chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return n == 0 ? 0 : errno;
      out.append(chunk, static_cast<std::size_t>(n));
    }
  } catch (const std::bad_alloc&) {
    return ENOMEM;
  }
}

// Whether the directory keeps every name once made (append-only or
// immutable), so that a temporary file made there could not be removed.
bool keeps_names(int dir) {
#if defined(__linux__)
  int flags = 0;
  return ioctl(dir, FS_IOC_GETFLAGS, &flags) == 0 && (flags & (FS_APPEND_FL | FS_IMMUTABLE_FL)) != 0;
#else
  (void)dir;
  return false;
#endif
}

int create_file(const FileSpot& spot, const std::string& name, FileHandle like, FileHandle& file) {
  const int dir = fd_of(spot.folder);
  if (keeps_names(dir)) return EPERM;
  const int fd = openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, like != kNoHandle ? 0600 : 0666);
  if (fd < 0) return errno;
  if (const int code = like != kNoHandle ? keep_likeness(fd_of(like), fd) : 0; code != 0) {
    ::close(fd);
    unlinkat(dir, name.c_str(), 0);
    return code;
  }
  file = fd;
  return 0;
}

int write_at(FileHandle file, std::string_view data, std::uint64_t offset) {
  while (!data.empty()) {
    const ssize_t n = pwrite(fd_of(file), data.data(), data.size(), static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    data.remove_prefix(static_cast<std::size_t>(n));
    offset += static_cast<std::uint64_t>(n);
  }
  return 0;
}

int truncate_file(FileHandle file, std::uint64_t size) {
  return ftruncate(fd_of(file), static_cast<off_t>(size)) == 0 ? 0 : errno;
}

int flush_file(FileHandle file) { return fsync(fd_of(file)) == 0 ? 0 : errno; }

int close_file(FileHandle file) { return ::close(fd_of(file)) == 0 ? 0 : errno; }

int swap_in(const FileSpot& spot, const std::string& name) {
  const int dir = fd_of(spot.folder);
  return renameat(dir, name.c_str(), dir, spot.name.c_str()) == 0 ? 0 : errno;
}

// The rename lives in the directory: synced, it survives a power cut.
int sync_folder(const FileSpot& spot) {
  const int dir = fd_of(spot.folder);
  if (fsync(dir) == 0 || errno == EINVAL) return 0;  // EINVAL: a file system that syncs no directories
  if (errno != EBADF) return errno;
  // A directory that may be searched but not read (mode 0333) is held only
  // for searching, which cannot be synced: its file system is, through the
  // file that now has the name.
  const int file = openat(dir, spot.name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (file < 0) return errno;
#if defined(__linux__)
  return close_returning(file, syncfs(file) == 0 ? 0 : errno);
#else
  sync();  // elsewhere only every file system at once
  return close_returning(file, 0);
#endif
}

int remove_file(const FileSpot& spot, const std::string& name) {
  return unlinkat(fd_of(spot.folder), name.c_str(), 0) == 0 ? 0 : errno;
}

int list_names(const FileSpot& spot, std::string_view prefix, std::vector<std::string>& names) {
  const int fd = openat(fd_of(spot.folder), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  DIR* listing = fdopendir(fd);
  if (listing == nullptr) return close_returning(fd, errno);
  while (const dirent* entry = readdir(listing)) {
    if (std::string_view(entry->d_name).starts_with(prefix)) names.emplace_back(entry->d_name);
  }
  closedir(listing);
  return 0;
}

int can_create(const FileSpot& spot) {
  if (keeps_names(fd_of(spot.folder))) return EPERM;
  return faccessat(fd_of(spot.folder), ".", W_OK | X_OK, AT_EACCESS) == 0 ? 0 : errno;
}

}  // namespace

FileCalls file_calls = {
    locate,     open_file, read_file,   create_file, write_at,   truncate_file, flush_file,
    close_file, swap_in,   sync_folder, remove_file, list_names, can_create, hold_ending_signals, release_ending_signals,
};

const FileCodes file_codes = {ENOENT, ENOENT, EEXIST, EACCES, EPERM, EISDIR, EINVAL, ENOMEM, EINVAL};

std::string error_text(int code) { return std::strerror(code); }

std::uint64_t current_process_id() { return static_cast<std::uint64_t>(getpid()); }

bool process_alive(std::uint64_t id) {
  return !(kill(static_cast<pid_t>(id), 0) != 0 && errno == ESRCH);
}

std::string file_in_current_directory(std::string_view name) {
  // getcwd reports ERANGE while the buffer is too small; grow until it fits.
  std::string dir(256, '\0');
  while (getcwd(dir.data(), dir.size()) == nullptr) {
    if (errno != ERANGE || dir.size() > (1u << 20)) return std::string(name);
    dir.resize(dir.size() * 2);
  }
  dir.resize(dir.find('\0'));
  // Linux reports an unreachable directory (outside a changed root) with a
  // prefix instead of failing; such a name cannot be used.
  if (dir.empty() || dir.front() != '/') return std::string(name);
  if (!dir.ends_with('/')) dir.push_back('/');
  return dir + std::string(name);
}

}  // namespace zq
