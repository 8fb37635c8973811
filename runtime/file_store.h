// The file services that the INI layer and start-up stand on: where the
// file is, reading a whole file, and replacing one with new content so that
// a crash leaves the old file or the new one, never a torn one. The rules
// are the same on every system (file_store.cpp); each system supplies only
// a few operations (file_calls.h) and where the current directory is. Paths
// are UTF-8; failures carry the system's error code and its reason text.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zq {

// Outcome of a change to a file: ok, or the system's code and reason.
struct FileResult {
  bool ok = true;
  int code = 0;        // errno, or the Windows error code
  std::string error;  // the system's text for it, without a line break
};

// The current directory's file of that name: an absolute path, or the bare
// name when the current directory cannot be determined.
std::string file_in_current_directory(std::string_view name);

// The content of a regular file, or nullopt when it is absent, not a regular
// file, or cannot be read. Never waits on a FIFO or device.
std::optional<std::string> read_whole_file(const std::string& path);

// What start-up can tell about the file before reading it, and whether a
// save could work: the file writable or, for a new file, its directory.
enum class FileState { Absent, Readable, Unreadable };
struct FileProbe {
  FileState state = FileState::Absent;
  // The system's reason why a save cannot work, empty when it can. For an
  // Unreadable file, why it cannot be read (a save fails for it too).
  std::string reason;
  int code = 0;  // the system's code for that reason
};
FileProbe probe_file(const std::string& path);

// The reason given for a file of that name that is neither a regular file
// nor a directory (a FIFO, a device).
inline constexpr std::string_view kNotRegularFile = "Not a regular file";

// The reason given for a symbolic link that another user made in a shared
// folder such as /tmp: it is not followed, so its file is neither read nor
// written.
inline constexpr std::string_view kForeignLinkReason = "Another user's link in a shared folder";

// The edit of an update: given the current content (empty when the file does
// not exist yet), the new content, or nullopt to leave the file as it is.
using FileEdit = std::function<std::optional<std::string>(std::string_view content, bool exists)>;

// Reads the file and replaces it with what `edit` makes of it, keeping its
// mode and owner (on Windows its attributes, owner and access list). The
// replacement is renamed over the file in one step, and the update returns
// once the rename is on the disk. Symbolic links are followed, but not one
// that another user made in a shared folder (kForeignLinkReason). A file
// with hard links, in a directory that refuses new files or the rename or
// keeps every name (append-only), or whose owner, access list or other
// attributes a new file could not keep is rewritten in place instead (the
// old content put back on a failure). A file that exists but cannot be read
// or written, or is not a regular file, is left alone and the update fails.
// Temporary files of saves that were killed midway are removed. Signals
// that would end the process wait while the file changes (for a few seconds
// at most), so that it is the old file or the new one when they act.
FileResult update_file(const std::string& path, const FileEdit& edit);

// Waits up to `limit` while an update_file runs on another thread: for a
// handler that is about to end the process (a console window closing).
void wait_for_file_updates(std::chrono::milliseconds limit);

// The failure for a system error code, with its reason text.
FileResult file_failure(int code);

}  // namespace zq
