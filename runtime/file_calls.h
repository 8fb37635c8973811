// The few operations of the system that the file store (file_store.cpp)
// stands on, one implementation per platform. They are reached through one
// table so that tests can make any of them fail, or end the process after
// any of them as a crash would; the table starts out as the system's own
// and the program never changes it. Each returns 0 or the system's error
// code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zq {

// An open file or directory: a POSIX descriptor or a Windows handle.
using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoHandle = -1;

// Where a file is once symbolic links are followed: its directory and its
// name there. POSIX holds the directory open and works relative to it, so
// that a path longer than the system takes still works; Windows names the
// directory by its path, in the long-path form where it needs one.
struct FileSpot {
  FileHandle folder = kNoHandle;
  std::string folder_path;
  std::string name;
};

// What the store needs to know of a file it opened.
struct FileFacts {
  bool directory = false;
  bool regular = false;  // neither a directory nor a FIFO or device
  unsigned long links = 1;
};

struct FileCalls {
  // The directory and name of `path`, which need not exist; its directory
  // must. With `follow`, of the file that symbolic links there lead to (a
  // save replaces that file); without, a system whose own open follows links
  // by the same rule may leave them to it (Windows, for a read). A link that
  // another user made in a folder that everyone may write and that keeps
  // each user's names (sticky, as /tmp) is not followed: kForeignLink. POSIX
  // follows links here either way, as its kernel applies that rule only
  // where it is set to.
  int (*locate)(const std::string& path, bool follow, FileSpot& spot);
  // Opens the spot's file to read it, or to read and write it. A file that
  // is marked read-only is refused for writing, as is a directory.
  int (*open)(const FileSpot& spot, bool write, FileHandle& file, FileFacts& facts);
  // The whole content, from the start of a file just opened.
  int (*read)(FileHandle file, std::string& content);
  // Makes the new file `name` beside the spot's file, only if no file has
  // that name (else FileCodes::name_taken), with the mode, owner,
  // attributes and security of `like` where one is given: on POSIX its
  // extended attributes too, access lists among them, and no others. Where
  // the new file could not keep them, FileCodes::not_kept; so too in a
  // folder that keeps every name once made (append-only), where the new
  // file could never be removed again. A failure leaves no file.
  int (*create)(const FileSpot& spot, const std::string& name, FileHandle like, FileHandle& file);
  // Writes all of `data` at `offset`.
  int (*write)(FileHandle file, std::string_view data, std::uint64_t offset);
  int (*truncate)(FileHandle file, std::uint64_t size);
  // Waits until the file's data is on the disk.
  int (*flush)(FileHandle file);
  // Closes a file or a spot's folder; the handle is gone even on a failure.
  int (*close)(FileHandle file);
  // Puts the file `name` in the place of the spot's file by one rename, so
  // that the name always leads to one of the two.
  int (*swap)(const FileSpot& spot, const std::string& name);
  // Waits until the names in the spot's directory, as swap left them, are
  // on the disk: until then a power cut may undo the rename.
  int (*sync_folder)(const FileSpot& spot);
  int (*remove)(const FileSpot& spot, const std::string& name);
  // The names in the spot's directory that begin with `prefix`.
  int (*list)(const FileSpot& spot, std::string_view prefix, std::vector<std::string>& names);
  // Whether a new file could be made beside the spot's file, as far as the
  // system tells without making one.
  int (*can_create)(const FileSpot& spot);
  // From hold_signals to release_signals, on the same thread, the signals
  // that would end the process wait, for no more than a few seconds: a save
  // under way finishes first, then they take effect. Nothing on Windows,
  // whose console handlers wait for the save instead (wait_for_file_updates).
  int (*hold_signals)();
  int (*release_signals)();
};

extern FileCalls file_calls;

// The system's codes for the failures that the store tells apart.
struct FileCodes {
  int no_file;       // no file of that name
  int no_folder;     // no directory of that name on the way
  int name_taken;    // a file of that name exists already
  int denied;        // no permission
  int not_kept;      // a new file cannot keep the old one's owner or security
  int is_directory;  // a directory where a file was wanted
  int not_regular;   // a FIFO or device where a file was wanted
  int no_memory;
  int invalid;       // a name or value the file cannot take
};
extern const FileCodes file_codes;

// The store's own code, no system's, for a link that locate does not follow.
inline constexpr int kForeignLink = -27;

// The system's text for an error code, without a line break.
std::string error_text(int code);

// This process's id, and whether the process of an id still runs (a process
// that may not be asked about counts as running).
std::uint64_t current_process_id();
bool process_alive(std::uint64_t id);

}  // namespace zq
