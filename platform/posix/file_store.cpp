// Saves go through file_calls (file_calls.h) rather than the system calls
// themselves, so that tests can make each of them fail in turn.
#include "runtime/file_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>

#include "platform/posix/file_calls.h"

namespace zq {

FileCalls file_calls = {
    [](const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); },
    ::pwrite, ::fsync, ::ftruncate, ::fchmod, ::fchown, ::rename, ::close, ::unlink,
};

namespace {

constexpr int kMaxLinkDepth = 40;

// Temporary files are named .zq-save-<writer's pid>-<number>.tmp.
constexpr std::string_view kTempPrefix = ".zq-save-";
constexpr std::string_view kTempSuffix = ".tmp";

// Whole file from `fd`; 0 or the errno.
int read_all(int fd, std::string& out) {
  try {
    struct stat st {};
    if (fstat(fd, &st) == 0 && st.st_size > 0) out.reserve(static_cast<std::size_t>(st.st_size));
    char chunk[65536];
    for (;;) {
      const ssize_t n = read(fd, chunk, sizeof chunk);
      if (n == 0) return 0;
      if (n < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      out.append(chunk, static_cast<std::size_t>(n));
    }
  } catch (const std::bad_alloc&) {
    return ENOMEM;
  }
}

// Writes all of `data` at `offset`; 0 or the errno.
int write_all(int fd, std::string_view data, off_t offset) {
  while (!data.empty()) {
    const ssize_t n = file_calls.pwrite(fd, data.data(), data.size(), offset);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
    offset += n;
  }
  return 0;
}

std::string directory_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string join_path(const std::string& dir, std::string_view name) {
  return dir.ends_with('/') ? dir + std::string(name) : dir + "/" + std::string(name);
}

// Follows symbolic links to the file they name (which may not exist yet), so
// that a save updates the file and leaves the link in place.
int resolve_links(const std::string& path, std::string& target) {
  target = path;
  for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
    struct stat st {};
    if (lstat(target.c_str(), &st) != 0) return errno == ENOENT ? 0 : errno;
    if (!S_ISLNK(st.st_mode)) return 0;
    std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    const ssize_t n = readlink(target.c_str(), link.data(), link.size());
    if (n < 0) return errno;
    if (static_cast<std::size_t>(n) >= link.size()) return ENAMETOOLONG;  // changed meanwhile
    link.resize(static_cast<std::size_t>(n));
    target = link.starts_with('/') ? link : join_path(directory_of(target), link);
  }
  return ELOOP;
}

// A fresh temporary file next to `target`; the descriptor or -1 with errno.
int create_temporary(const std::string& target, mode_t mode, std::string& temp_path) {
  static std::atomic<unsigned> counter{0};
  const std::string dir = directory_of(target);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto stamp = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    temp_path = join_path(dir, std::string(kTempPrefix) + std::to_string(getpid()) + "-" +
                                   std::to_string(counter++) + "-" +
                                   std::to_string(stamp % 1000000007ULL) + std::string(kTempSuffix));
    const int fd = file_calls.open(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

// The pid in a temporary file's name; 0 for any other name.
pid_t writer_of(std::string_view name) {
  if (!name.starts_with(kTempPrefix) || !name.ends_with(kTempSuffix)) return 0;
  name.remove_prefix(kTempPrefix.size());
  long long pid = 0;
  std::size_t digits = 0;
  while (digits < name.size() && digits < 10 && name[digits] >= '0' && name[digits] <= '9') {
    pid = pid * 10 + (name[digits++] - '0');
  }
  if (digits == 0 || digits >= name.size() || name[digits] != '-' || pid > 0x7FFFFFFF) return 0;
  return static_cast<pid_t>(pid);
}

// A save killed midway (kill -9, a power cut) cannot remove its temporary
// file, so each save removes those in its directory whose writer is gone.
// A writer that still runs, or belongs to another user (EPERM), is left be.
void remove_stale_temporaries(const std::string& dir) {
  DIR* listing = opendir(dir.c_str());
  if (listing == nullptr) return;
  while (const dirent* entry = readdir(listing)) {
    const pid_t writer = writer_of(entry->d_name);
    if (writer > 0 && kill(writer, 0) != 0 && errno == ESRCH) {
      file_calls.unlink(join_path(dir, entry->d_name).c_str());
    }
  }
  closedir(listing);
}

// The old file's owner could not be given to its replacement.
constexpr int kOwnerNotKept = -1;

// Writes the data to a new temporary file, flushes it and renames it over
// the target; 0, the errno, or kOwnerNotKept. The target is untouched and
// the temporary file gone on any failure.
int replace_by_rename(const std::string& target, std::string_view data, const struct stat* old) {
  std::string temp_path;
  const int fd = create_temporary(target, old != nullptr ? 0600 : 0666, temp_path);
  if (fd < 0) return errno;
  int error = 0;
  if (old != nullptr) {
    // Only root may give a file away; anyone else gets kOwnerNotKept for a
    // file that is not their own, and the caller rewrites it in place.
    if (file_calls.fchown(fd, old->st_uid, old->st_gid) != 0) error = kOwnerNotKept;
    if (error == 0 && file_calls.fchmod(fd, old->st_mode & 07777) != 0) error = errno;
  }
  if (error == 0) error = write_all(fd, data, 0);
  if (error == 0 && file_calls.fsync(fd) != 0) error = errno;
  if (file_calls.close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && file_calls.rename(temp_path.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) file_calls.unlink(temp_path.c_str());
  return error;
}

// Rewrites the open file with `data`; 0 or the errno. Not crash-safe, so used
// only where a replacement cannot be made. On a failure the old content is
// put back, so the file is whole: old or new, never a mix.
int rewrite_in_place(int fd, std::string_view old, std::string_view data) {
  int error = write_all(fd, data, 0);
  if (error == 0 && file_calls.ftruncate(fd, static_cast<off_t>(data.size())) != 0) error = errno;
  if (error == 0 && file_calls.fsync(fd) != 0) error = errno;
  if (error != 0 && write_all(fd, old, 0) == 0) file_calls.ftruncate(fd, static_cast<off_t>(old.size()));
  return error;
}

// Closes a descriptor when it goes out of scope.
struct FileCloser {
  int fd = -1;
  ~FileCloser() {
    if (fd >= 0) file_calls.close(fd);
  }
};

FileResult outcome(int error) { return error == 0 ? FileResult{} : file_failure(error); }

}  // namespace

FileResult file_failure(int code) { return {false, code, std::strerror(code)}; }

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
  return join_path(dir, name);
}

std::optional<std::string> read_whole_file(const std::string& path) {
  // O_NONBLOCK so that a FIFO of that name cannot stall the read.
  const int fd = file_calls.open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0);
  if (fd < 0) return std::nullopt;
  FileCloser closer{fd};
  struct stat st {};
  std::string content;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || read_all(fd, content) != 0) return std::nullopt;
  return content;
}

FileProbe probe_file(const std::string& path) {
  std::string target;
  if (const int error = resolve_links(path, target); error != 0) {
    return {FileState::Unreadable, std::strerror(error)};
  }
  struct stat info {};
  if (::stat(target.c_str(), &info) != 0) {
    if (errno != ENOENT) return {FileState::Unreadable, std::strerror(errno)};
    // A new file needs a directory that takes one.
    if (faccessat(AT_FDCWD, directory_of(target).c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
      return {FileState::Absent, std::strerror(errno)};
    }
    return {FileState::Absent, ""};
  }
  if (S_ISDIR(info.st_mode)) return {FileState::Unreadable, std::strerror(EISDIR)};
  if (!S_ISREG(info.st_mode)) return {FileState::Unreadable, std::string(kNotRegularFile)};
  // The opens a read and a save make; neither changes the file.
  const int reader = file_calls.open(target.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0);
  if (reader < 0) return {FileState::Unreadable, std::strerror(errno)};
  file_calls.close(reader);
  const int writer = file_calls.open(target.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0);
  if (writer < 0) return {FileState::Readable, std::strerror(errno)};
  file_calls.close(writer);
  return {FileState::Readable, ""};
}

FileResult update_file(const std::string& path, const FileEdit& edit) {
  try {
    std::string target;
    if (const int error = resolve_links(path, target); error != 0) return file_failure(error);

    // Opened for writing even though the new content goes to a temporary
    // file: a file we may not write (or read) is never replaced.
    FileCloser existing{file_calls.open(target.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0)};
    if (existing.fd < 0 && errno != ENOENT) return file_failure(errno);
    const bool exists = existing.fd >= 0;

    std::string content;
    struct stat old {};
    if (exists) {
      if (fstat(existing.fd, &old) != 0) return file_failure(errno);
      if (S_ISDIR(old.st_mode)) return file_failure(EISDIR);
      if (!S_ISREG(old.st_mode)) return {false, EINVAL, std::string(kNotRegularFile)};
      if (const int error = read_all(existing.fd, content); error != 0) return file_failure(error);
    }

    const std::optional<std::string> updated = edit(content, exists);
    if (!updated) return {};

    // A file with other names (hard links) is rewritten in place, so that
    // every name shows the new settings; a rename would split them.
    if (exists && old.st_nlink > 1) return outcome(rewrite_in_place(existing.fd, content, *updated));
    remove_stale_temporaries(directory_of(target));
    int error = replace_by_rename(target, *updated, exists ? &old : nullptr);
    // A directory that refuses new files, or an owner that cannot be kept:
    // the file itself can still be rewritten.
    if (exists && (error == EACCES || error == EPERM || error == kOwnerNotKept)) {
      error = rewrite_in_place(existing.fd, content, *updated);
    }
    return outcome(error);
  } catch (const std::bad_alloc&) {
    return file_failure(ENOMEM);
  }
}

}  // namespace zq
