// The system calls behind a save, reached through one table so that tests can
// make a chosen call fail with a chosen errno. Only tests change the table;
// it starts out as the real calls and the program never touches it.
#pragma once

#include <sys/types.h>

namespace zq {

struct FileCalls {
  int (*open)(const char* path, int flags, mode_t mode);
  ssize_t (*pwrite)(int fd, const void* data, size_t size, off_t offset);
  int (*fsync)(int fd);
  int (*ftruncate)(int fd, off_t size);
  int (*fchmod)(int fd, mode_t mode);
  int (*fchown)(int fd, uid_t owner, gid_t group);
  int (*rename)(const char* from, const char* to);
  int (*close)(int fd);
  int (*unlink)(const char* path);
};

extern FileCalls file_calls;

}  // namespace zq
