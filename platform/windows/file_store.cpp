// The file store on Windows. Paths arrive as UTF-8 and are kept as wide
// strings from there on, so a directory named outside the ANSI code page
// works; file content stays bytes. A save writes a flushed temporary file
// beside the target and swaps it in with ReplaceFileW (which keeps the old
// file's attributes and security) or, for a new file, MoveFileExW.
#include "runtime/file_store.h"

#include <windows.h>

#include <atomic>
#include <new>

#include "platform/windows/system_message.h"
#include "platform/windows/wide_text.h"

namespace zq {
namespace {

// Closes a handle when it goes out of scope.
struct HandleCloser {
  HANDLE handle = INVALID_HANDLE_VALUE;
  ~HandleCloser() { close(); }
  void close() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
  }
  bool valid() const { return handle != INVALID_HANDLE_VALUE; }
};

DWORD last_error_or(DWORD fallback) {
  const DWORD error = GetLastError();
  return error != 0 ? error : fallback;
}

// The absolute form of `path`, with the \\?\ prefix once it is long enough
// to need it: the classic calls stop at MAX_PATH characters otherwise.
std::wstring full_path(const std::string& path) {
  const std::wstring wide = wide_from_utf8(path);
  if (wide.starts_with(L"\\\\?\\")) return wide;
  DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return wide;
  std::wstring full(size, L'\0');
  size = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (size == 0 || size >= full.size()) return wide;
  full.resize(size);
  if (full.size() < MAX_PATH - 12) return full;  // room for an 8.3 name, as CreateDirectory wants
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

std::wstring directory_of(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

// Whole file from `file`; 0 or the error code.
DWORD read_all(HANDLE file, std::string& out) {
  try {
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0) out.reserve(static_cast<std::size_t>(size.QuadPart));
    char chunk[65536];
    for (;;) {
      DWORD got = 0;
      if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr)) return last_error_or(ERROR_READ_FAULT);
      if (got == 0) return 0;
      out.append(chunk, got);
    }
  } catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
}

// Writes all of `data` at the file's position; 0 or the error code.
DWORD write_all(HANDLE file, std::string_view data) {
  while (!data.empty()) {
    const DWORD chunk = data.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(data.size());
    DWORD put = 0;
    if (!WriteFile(file, data.data(), chunk, &put, nullptr)) return last_error_or(ERROR_WRITE_FAULT);
    data.remove_prefix(put);
  }
  return 0;
}

// Opens a file for reading that only a disk file passes: never a device,
// pipe or console of that name.
HANDLE open_disk_file(const std::wstring& path, DWORD access, DWORD& error) {
  HANDLE file = CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = last_error_or(ERROR_OPEN_FAILED);
    return file;
  }
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    error = ERROR_INVALID_FUNCTION;
    return INVALID_HANDLE_VALUE;
  }
  error = 0;
  return file;
}

// A fresh temporary file next to `target`, or INVALID_HANDLE_VALUE with the
// error code.
HANDLE create_temporary(const std::wstring& target, std::wstring& temp_path, DWORD& error) {
  static std::atomic<unsigned> counter{0};
  const std::wstring dir = directory_of(target);
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp_path = dir + L"\\.zq-save-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(counter++) + L"-" + std::to_wstring(GetTickCount64() % 1000000007ULL) + L".tmp";
    HANDLE file = CreateFileW(temp_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    error = last_error_or(ERROR_CANNOT_MAKE);
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
}

// Writes and flushes the temporary file, then puts it in the target's place;
// 0 or the error code. A failure leaves the target as it was and removes the
// temporary file.
DWORD finish_temporary(HANDLE temp, const std::wstring& temp_path, const std::wstring& target,
                       std::string_view data, bool exists, DWORD old_attributes) {
  DWORD error = write_all(temp, data);
  if (error == 0 && !FlushFileBuffers(temp)) error = last_error_or(ERROR_WRITE_FAULT);
  if (!CloseHandle(temp) && error == 0) error = last_error_or(ERROR_WRITE_FAULT);
  // ReplaceFileW carries the old file's attributes over on Windows, Wine's
  // does not: the new file gets them first, so both end alike.
  constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                          FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  if (error == 0 && exists && (old_attributes & kKept) != 0) {
    SetFileAttributesW(temp_path.c_str(), old_attributes & kKept);
  }
  if (error == 0) {
    if (exists) {
      if (!ReplaceFileW(target.c_str(), temp_path.c_str(), nullptr, 0, nullptr, nullptr)) {
        error = last_error_or(ERROR_UNABLE_TO_REMOVE_REPLACED);
        // This code means the old file is already gone and the new content
        // still sits under the temporary name: move it in rather than lose it.
        if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT &&
            MoveFileExW(temp_path.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
          error = 0;
        }
      }
    } else if (!MoveFileExW(temp_path.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      error = last_error_or(ERROR_CANNOT_MAKE);
    }
  }
  if (error != 0) DeleteFileW(temp_path.c_str());
  return error;
}

// Last resort when the directory refuses new files: rewrite the open file.
DWORD rewrite_in_place(HANDLE file, std::string_view data) {
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return last_error_or(ERROR_SEEK);
  if (const DWORD error = write_all(file, data); error != 0) return error;
  if (!SetEndOfFile(file) || !FlushFileBuffers(file)) return last_error_or(ERROR_WRITE_FAULT);
  return 0;
}

FileResult outcome(DWORD error) { return error == 0 ? FileResult{} : file_failure(static_cast<int>(error)); }

}  // namespace

FileResult file_failure(int code) { return {false, code, system_message(static_cast<unsigned long>(code))}; }

std::string file_in_current_directory(std::string_view name) {
  // The size asked for includes the terminating null; it may grow meanwhile.
  std::wstring dir;
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD need = GetCurrentDirectoryW(0, nullptr);
    if (need == 0) return std::string(name);
    dir.assign(need, L'\0');
    const DWORD got = GetCurrentDirectoryW(need, dir.data());
    if (got == 0) return std::string(name);
    if (got < need) {
      dir.resize(got);
      break;
    }
    dir.clear();
  }
  if (dir.empty()) return std::string(name);
  if (!dir.ends_with(L'\\')) dir.push_back(L'\\');
  return utf8_from_wide(dir) + std::string(name);
}

std::optional<std::string> read_whole_file(const std::string& path) {
  DWORD error = 0;
  HandleCloser file{open_disk_file(full_path(path), GENERIC_READ, error)};
  std::string content;
  if (!file.valid() || read_all(file.handle, content) != 0) return std::nullopt;
  return content;
}

FileProbe probe_file(const std::string& path) {
  const std::wstring full = full_path(path);
  const DWORD attributes = GetFileAttributesW(full.c_str());
  const auto refused = [](FileState state, DWORD code) { return FileProbe{state, system_message(code)}; };
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = last_error_or(ERROR_FILE_NOT_FOUND);
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
      return refused(FileState::Unreadable, error);
    }
    // A new file: whether the directory takes one, asked the only sure way.
    std::wstring probe_path;
    DWORD create_error = 0;
    HANDLE probe = create_temporary(full, probe_path, create_error);
    if (probe == INVALID_HANDLE_VALUE) return refused(FileState::Absent, create_error);
    CloseHandle(probe);
    DeleteFileW(probe_path.c_str());
    return {FileState::Absent, {}};
  }
  // What the save would answer: see update_file.
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return refused(FileState::Unreadable, ERROR_ACCESS_DENIED);
  DWORD error = 0;
  HandleCloser file{open_disk_file(full, GENERIC_READ, error)};
  if (!file.valid()) return refused(FileState::Unreadable, error);
  file.close();
  if (attributes & FILE_ATTRIBUTE_READONLY) return refused(FileState::Readable, ERROR_ACCESS_DENIED);
  HandleCloser writable{open_disk_file(full, GENERIC_READ | GENERIC_WRITE | DELETE, error)};
  if (!writable.valid()) return refused(FileState::Readable, error);
  return {FileState::Readable, {}};
}

FileResult update_file(const std::string& path, const FileEdit& edit) {
  try {
    const std::wstring target = full_path(path);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!exists && GetLastError() != ERROR_FILE_NOT_FOUND) {
      return file_failure(static_cast<int>(last_error_or(ERROR_PATH_NOT_FOUND)));
    }
    // What Windows answers when a directory is opened as a file.
    if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return file_failure(ERROR_ACCESS_DENIED);
    // Checked here rather than left to the open below or to the swap:
    // Wine's MoveFileExW would replace a read-only file.
    if (exists && (attributes & FILE_ATTRIBUTE_READONLY)) return file_failure(ERROR_ACCESS_DENIED);

    // Opened for writing and deleting though the new content goes to a
    // temporary file: a file we may not write is never replaced, and a file
    // the game holds open without delete sharing fails here, before any
    // temporary file exists.
    HandleCloser existing;
    std::string content;
    if (exists) {
      DWORD error = 0;
      existing.handle = open_disk_file(target, GENERIC_READ | GENERIC_WRITE | DELETE, error);
      if (!existing.valid() && error == ERROR_FILE_NOT_FOUND) {
        exists = false;  // gone since we looked
      } else if (!existing.valid()) {
        return file_failure(static_cast<int>(error));
      } else if (const DWORD read_error = read_all(existing.handle, content); read_error != 0) {
        return file_failure(static_cast<int>(read_error));
      }
    }

    const std::optional<std::string> updated = edit(content, exists);
    if (!updated) return {};

    std::wstring temp_path;
    DWORD temp_error = 0;
    HANDLE temp = create_temporary(target, temp_path, temp_error);
    if (temp == INVALID_HANDLE_VALUE) {
      if (!exists) return file_failure(static_cast<int>(temp_error));
      return outcome(rewrite_in_place(existing.handle, *updated));
    }
    // ReplaceFileW must be able to remove the old file: our handle goes first.
    existing.close();
    return outcome(finish_temporary(temp, temp_path, target, *updated, exists, attributes));
  } catch (const std::bad_alloc&) {
    return file_failure(ERROR_NOT_ENOUGH_MEMORY);
  }
}

}  // namespace zq
