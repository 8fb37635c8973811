// The file store's rules, the same on every system, over the system's few
// operations in file_calls.h: which file a path leads to, when a save
// replaces the file and when it rewrites it in place, what a failure leaves,
// and which temporary files are stale.
#include "runtime/file_store.h"

#include <atomic>
#include <chrono>
#include <new>
#include <thread>
#include <vector>

#include "runtime/file_calls.h"

namespace zq {
namespace {

// Temporary files are named .zq-save-<writer's process id>-<number>.tmp.
constexpr std::string_view kTempPrefix = ".zq-save-";
constexpr std::string_view kTempSuffix = ".tmp";

// Saves under way in this process; see wait_for_file_updates.
std::atomic<int> g_updates_running{0};

// A save under way while it lives: counted, and the signals that would end
// the process wait, so that the save finishes before they act.
struct SaveUnderWay {
  SaveUnderWay() {
    ++g_updates_running;
    file_calls.hold_signals();
  }
  ~SaveUnderWay() {
    file_calls.release_signals();
    --g_updates_running;
  }
  SaveUnderWay(const SaveUnderWay&) = delete;
  SaveUnderWay& operator=(const SaveUnderWay&) = delete;
};

// Closes a file, or a spot's folder, when it goes out of scope.
struct Closer {
  FileHandle handle = kNoHandle;
  ~Closer() { close(); }
  void close() {
    if (handle != kNoHandle) file_calls.close(handle);
    handle = kNoHandle;
  }
};

bool is_absent(int code) { return code == file_codes.no_file || code == file_codes.no_folder; }

// A failure that a rewrite in place may get around: the directory takes no
// new file or the old one cannot be renamed over, or the new file could not
// keep what the old one has.
bool is_refusal(int code) { return code == file_codes.denied || code == file_codes.not_kept; }

std::string reason_for(int code) { return code == kForeignLink ? std::string(kForeignLinkReason) : error_text(code); }

FileResult outcome(int code) { return code == 0 ? FileResult{} : file_failure(code); }

FileResult not_a_file(const FileFacts& facts) {
  if (facts.directory) return file_failure(file_codes.is_directory);
  return {false, file_codes.not_regular, std::string(kNotRegularFile)};
}

std::string temporary_name() {
  static std::atomic<unsigned> counter{0};
  const auto stamp = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  return std::string(kTempPrefix) + std::to_string(current_process_id()) + "-" + std::to_string(counter++) + "-" +
         std::to_string(stamp % 1000000007ULL) + std::string(kTempSuffix);
}

// The process id in a temporary file's name; 0 for any other name.
std::uint64_t writer_of(std::string_view name) {
  if (!name.starts_with(kTempPrefix) || !name.ends_with(kTempSuffix)) return 0;
  name.remove_prefix(kTempPrefix.size());
  std::uint64_t id = 0;
  std::size_t digits = 0;
  while (digits < name.size() && digits < 10 && name[digits] >= '0' && name[digits] <= '9') {
    id = id * 10 + static_cast<std::uint64_t>(name[digits++] - '0');
  }
  if (digits == 0 || digits >= name.size() || name[digits] != '-' || id > 0xFFFFFFFFu) return 0;
  return id;
}

// A save killed midway (kill -9, a power cut) cannot remove its temporary
// file, so each save removes those beside its file whose writer is gone. A
// writer that still runs, or that may not be asked about, is left be.
void remove_stale_temporaries(const FileSpot& spot) {
  std::vector<std::string> names;
  if (file_calls.list(spot, kTempPrefix, names) != 0) return;
  for (const std::string& name : names) {
    const std::uint64_t writer = writer_of(name);
    if (writer != 0 && !process_alive(writer)) file_calls.remove(spot, name);
  }
}

// Writes the data to a new temporary file beside the spot's file, flushes
// it, renames it over the file and syncs the folder; 0 or the code.
// `existing`, when open, lends the new file its mode, owner and attributes,
// and is closed before the rename (Windows renames nothing over an open
// file). On a failure before the rename the file is as it was and the
// temporary file is gone.
int replace_by_rename(const FileSpot& spot, std::string_view data, Closer& existing) {
  std::string name;
  FileHandle temp = kNoHandle;
  int code = file_codes.name_taken;
  for (int attempt = 0; attempt < 100 && code == file_codes.name_taken; ++attempt) {
    name = temporary_name();
    code = file_calls.create(spot, name, existing.handle, temp);
  }
  if (code != 0) return code;
  code = file_calls.write(temp, data, 0);
  if (code == 0) code = file_calls.flush(temp);
  if (const int closed = file_calls.close(temp); code == 0) code = closed;
  if (code == 0) {
    existing.close();
    code = file_calls.swap(spot, name);
    // Done once the rename is on the disk; the temporary file is gone.
    if (code == 0) return file_calls.sync_folder(spot);
  }
  file_calls.remove(spot, name);
  return code;
}

// Rewrites the open file with `data`; 0 or the code. Not crash-safe, so
// used only where a replacement cannot be made. On a failure the old content
// is put back, so that the file is whole: old or new, never a mix.
int rewrite_in_place(FileHandle file, std::string_view old, std::string_view data) {
  int code = file_calls.write(file, data, 0);
  if (code == 0) code = file_calls.truncate(file, data.size());
  if (code == 0) code = file_calls.flush(file);
  if (code != 0 && file_calls.write(file, old, 0) == 0) file_calls.truncate(file, old.size());
  return code;
}

}  // namespace

FileResult file_failure(int code) { return {false, code, reason_for(code)}; }

std::optional<std::string> read_whole_file(const std::string& path) {
  try {
    FileSpot spot;
    if (file_calls.locate(path, false, spot) != 0) return std::nullopt;
    const Closer folder{spot.folder};
    Closer file;
    FileFacts facts;
    std::string content;
    if (file_calls.open(spot, false, file.handle, facts) != 0 || !facts.regular ||
        file_calls.read(file.handle, content) != 0) {
      return std::nullopt;
    }
    return content;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

FileProbe probe_file(const std::string& path) {
  const auto refused = [](FileState state, int code) {
    return FileProbe{state, code != 0 ? reason_for(code) : std::string(), code};
  };
  FileSpot spot;
  if (const int code = file_calls.locate(path, true, spot); code != 0) {
    return refused(is_absent(code) ? FileState::Absent : FileState::Unreadable, code);
  }
  const Closer folder{spot.folder};
  // The opens a read and a save make; neither changes the file.
  Closer file;
  FileFacts facts;
  if (const int code = file_calls.open(spot, false, file.handle, facts); code != 0) {
    if (code != file_codes.no_file) return refused(FileState::Unreadable, code);
    return refused(FileState::Absent, file_calls.can_create(spot));
  }
  file.close();
  if (!facts.regular) {
    const FileResult why = not_a_file(facts);
    return {FileState::Unreadable, why.error, why.code};
  }
  return refused(FileState::Readable, file_calls.open(spot, true, file.handle, facts));
}

FileResult update_file(const std::string& path, const FileEdit& edit) {
  try {
    FileSpot spot;
    if (const int code = file_calls.locate(path, true, spot); code != 0) return file_failure(code);
    const Closer folder{spot.folder};

    // Opened for writing even though the new content goes to a temporary
    // file: a file we may not write (or read) is never replaced.
    Closer existing;
    FileFacts facts;
    const int opened = file_calls.open(spot, true, existing.handle, facts);
    if (opened != 0 && opened != file_codes.no_file) return file_failure(opened);
    const bool exists = opened == 0;
    std::string content;
    if (exists) {
      if (!facts.regular) return not_a_file(facts);
      if (const int code = file_calls.read(existing.handle, content); code != 0) return file_failure(code);
    }

    const std::optional<std::string> updated = edit(content, exists);
    if (!updated) return {};
    const SaveUnderWay under_way;

    // A file with other names (hard links) is rewritten in place, so that
    // every name shows the new settings; a rename would split them.
    if (exists && facts.links > 1) return outcome(rewrite_in_place(existing.handle, content, *updated));
    remove_stale_temporaries(spot);
    int code = replace_by_rename(spot, *updated, existing);
    // A directory that refuses new files or renames, or an owner that cannot
    // be kept: the file itself can still be rewritten.
    if (exists && is_refusal(code)) {
      if (existing.handle == kNoHandle && file_calls.open(spot, true, existing.handle, facts) != 0) {
        return file_failure(code);
      }
      code = rewrite_in_place(existing.handle, content, *updated);
    }
    return outcome(code);
  } catch (const std::bad_alloc&) {
    return file_failure(file_codes.no_memory);
  }
}

void wait_for_file_updates(std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (g_updates_running.load() > 0 && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace zq
