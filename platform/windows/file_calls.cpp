// The file store's operations on Windows, and where the current directory
// is. Paths arrive as UTF-8 and are kept as wide strings from there on, so a
// directory named outside the ANSI code page works; file content stays
// bytes. A path past MAX_PATH takes the \\?\ form. A file that another
// process holds for a moment is waited for.
#include "runtime/file_calls.h"

#include <windows.h>

#include <new>

#include "platform/windows/file_security.h"
#include "platform/windows/held_files.h"
#include "platform/windows/wide_text.h"
#include "runtime/file_store.h"

namespace zq {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The attributes that a replacement takes over from the file it replaces.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

HANDLE handle_of(FileHandle file) { return reinterpret_cast<HANDLE>(file); }
FileHandle file_of(HANDLE handle) { return reinterpret_cast<FileHandle>(handle); }

int last_error_or(DWORD fallback) {
  const DWORD error = GetLastError();
  return static_cast<int>(error != 0 ? error : fallback);
}

// The absolute, long-path form of `path`.
std::wstring full_path(const std::string& path) {
  const std::wstring wide = wide_from_utf8(path);
  if (wide.starts_with(L"\\\\?\\")) return wide;
  std::wstring full = grown_text(
      [&](wchar_t* buffer, DWORD size) { return GetFullPathNameW(wide.c_str(), size, buffer, nullptr); });
  return full.empty() ? wide : long_form(std::move(full));
}

std::wstring path_in(const FileSpot& spot, const std::string& name) {
  return wide_from_utf8(spot.folder_path) + L"\\" + wide_from_utf8(name);
}

// Puts in `target` the path of the file that symbolic links (mklink) there
// lead to; 0 or the code. A save replaces that file and the link stays.
int follow_links(std::wstring& target) {
  HANDLE file = CreateFileW(target.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    std::wstring final = grown_text([&](wchar_t* buffer, DWORD size) {
      return GetFinalPathNameByHandleW(file, buffer, size, FILE_NAME_NORMALIZED);
    });
    if (!final.empty()) target = std::move(final);
    CloseHandle(file);
    return 0;
  }
  const DWORD error = GetLastError();
  if (error == ERROR_PATH_NOT_FOUND || error == ERROR_CANT_RESOLVE_FILENAME) return static_cast<int>(error);
  // A link whose file is gone is refused: a save would replace it by a plain
  // file (Wine shows such a link as no file at all).
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return ERROR_CANT_RESOLVE_FILENAME;
  }
  return 0;
}

int locate(const std::string& path, bool follow, FileSpot& spot) {
  std::wstring target = full_path(path);
  if (follow) {
    if (const int code = follow_links(target); code != 0) return code;
  }
  // Both full_path and the final path of a link come in the long form.
  const std::size_t slash = target.find_last_of(L'\\');
  if (slash == std::wstring::npos) return ERROR_INVALID_NAME;
  spot.folder_path = utf8_from_wide(target.substr(0, slash));
  spot.name = utf8_from_wide(target.substr(slash + 1));
  return 0;
}

int open_file(const FileSpot& spot, bool write, FileHandle& file, FileFacts& facts) {
  // Delete access too for a save: a file that the game holds open without
  // letting it be deleted cannot be replaced, and fails here, before any
  // temporary file exists (once the wait for its holder has run out).
  const DWORD access = write ? GENERIC_READ | GENERIC_WRITE | DELETE : GENERIC_READ;
  const std::wstring path = path_in(spot, spot.name);
  HANDLE handle = INVALID_HANDLE_VALUE;
  const int opened = while_held(
      [&] {
        handle = CreateFileW(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
        return handle == INVALID_HANDLE_VALUE ? last_error_or(ERROR_OPEN_FAILED) : 0;
      },
      [&] { return delete_pending(path); });
  if (opened != 0) return opened;
  // The two small queries rather than GetFileInformationByHandle, which
  // Wine answers a hundred times slower (and start-up makes 21 reads).
  FILE_BASIC_INFO basic{};
  FILE_STANDARD_INFO standard{};
  facts = {};
  if (GetFileType(handle) == FILE_TYPE_DISK &&
      GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) &&
      GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard)) {
    facts = {standard.Directory != FALSE, standard.Directory == FALSE, standard.NumberOfLinks};
    // Checked here rather than left to the system: Wine lets root write a
    // read-only file, and its MoveFileExW would replace one.
    if (write && (basic.FileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
      CloseHandle(handle);
      return ERROR_ACCESS_DENIED;
    }
  }
  file = file_of(handle);
  return 0;
}

int read_file(FileHandle file, std::string& out) {
  try {
    LARGE_INTEGER size{};
    if (GetFileSizeEx(handle_of(file), &size) && size.QuadPart > 0) {
      out.reserve(static_cast<std::size_t>(size.QuadPart));
    }
    char chunk[65536];
    for (;;) {
      DWORD got = 0;
      if (!ReadFile(handle_of(file), chunk, sizeof chunk, &got, nullptr)) return last_error_or(ERROR_READ_FAULT);
      if (got == 0) return 0;
      out.append(chunk, got);
    }
  } catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
}

int create_file(const FileSpot& spot, const std::string& name, FileHandle like, FileHandle& file) {
  FILE_BASIC_INFO old{};
  const bool kept = like != kNoHandle && GetFileInformationByHandleEx(handle_of(like), FileBasicInfo, &old, sizeof old) &&
                    (old.FileAttributes & kKeptAttributes) != 0;
  const std::wstring path = path_in(spot, name);
  HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE | READ_CONTROL | WRITE_DAC, 0, nullptr, CREATE_NEW,
                              kept ? old.FileAttributes & kKeptAttributes : FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const int code = last_error_or(ERROR_CANNOT_MAKE);
    return code == ERROR_ALREADY_EXISTS ? ERROR_FILE_EXISTS : code;
  }
  if (like != kNoHandle) {
    if (const int code = keep_security(handle_of(like), handle); code != 0) {
      CloseHandle(handle);
      DeleteFileW(path.c_str());
      return code;
    }
  }
  file = file_of(handle);
  return 0;
}

int write_at(FileHandle file, std::string_view data, std::uint64_t offset) {
  while (!data.empty()) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    const DWORD chunk = data.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(data.size());
    DWORD put = 0;
    if (!WriteFile(handle_of(file), data.data(), chunk, &put, &at)) return last_error_or(ERROR_WRITE_FAULT);
    data.remove_prefix(put);
    offset += put;
  }
  return 0;
}

int truncate_file(FileHandle file, std::uint64_t size) {
  LARGE_INTEGER end{};
  end.QuadPart = static_cast<LONGLONG>(size);
  if (!SetFilePointerEx(handle_of(file), end, nullptr, FILE_BEGIN) || !SetEndOfFile(handle_of(file))) {
    return last_error_or(ERROR_WRITE_FAULT);
  }
  return 0;
}

int flush_file(FileHandle file) { return FlushFileBuffers(handle_of(file)) ? 0 : last_error_or(ERROR_WRITE_FAULT); }

int close_file(FileHandle file) { return CloseHandle(handle_of(file)) ? 0 : last_error_or(ERROR_INVALID_HANDLE); }

int swap_in(const FileSpot& spot, const std::string& name) {
  // One rename over the old name, never a moment without the file (which
  // ReplaceFileW, moving the old file away first, has); write-through, so
  // that the rename is on the disk when the call returns. The old file
  // opened for deletion a moment ago: access denied now means that another
  // process holds one of the two, unless the old one was made read-only.
  const std::wstring from = path_in(spot, name);
  const std::wstring to = path_in(spot, spot.name);
  return while_held(
      [&] {
        return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
                   ? 0
                   : last_error_or(ERROR_CANNOT_MAKE);
      },
      [&] {
        const DWORD attributes = GetFileAttributesW(to.c_str());
        return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0;
      });
}

// Nothing left to wait for: swap's MOVEFILE_WRITE_THROUGH returns once the
// rename is on the disk.
int sync_folder(const FileSpot&) { return 0; }

int remove_file(const FileSpot& spot, const std::string& name) {
  return DeleteFileW(path_in(spot, name).c_str()) ? 0 : last_error_or(ERROR_CANNOT_MAKE);
}

int list_names(const FileSpot& spot, std::string_view prefix, std::vector<std::string>& names) {
  const std::wstring pattern = path_in(spot, std::string(prefix) + "*");
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) {
    const int code = last_error_or(ERROR_FILE_NOT_FOUND);
    return code == ERROR_FILE_NOT_FOUND ? 0 : code;
  }
  do {
    names.push_back(utf8_from_wide(found.cFileName));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return 0;
}

int can_create(const FileSpot& spot) {
  // The directory opened with the right to add a file: the system checks
  // that right against the directory's access list, and nothing is made.
  std::wstring path = wide_from_utf8(spot.folder_path);
  if (path.ends_with(L':')) path.push_back(L'\\');  // a drive's root, not the drive
  HANDLE folder =
      CreateFileW(path.c_str(), FILE_ADD_FILE, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return last_error_or(ERROR_ACCESS_DENIED);
  CloseHandle(folder);
  return 0;
}

// A console's close and log-off handlers wait for a save instead
// (wait_for_file_updates); Windows has no other signals to hold.
int hold_nothing() { return 0; }

}  // namespace

FileCalls file_calls = {
    locate,     open_file, read_file,   create_file, write_at,   truncate_file, flush_file,
    close_file, swap_in,   sync_folder, remove_file, list_names, can_create, hold_nothing, hold_nothing,
};

const FileCodes file_codes = {
    ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND,   ERROR_FILE_EXISTS,      ERROR_ACCESS_DENIED,
    ERROR_INVALID_OWNER,  ERROR_ACCESS_DENIED,    ERROR_INVALID_FUNCTION, ERROR_NOT_ENOUGH_MEMORY,
    ERROR_INVALID_DATA,
};

// In UTF-8 like every other text of the program: the A call would give the
// ANSI code page's bytes, which neither the file layer nor the screen reads.
std::string error_text(int code) {
  const auto number = static_cast<DWORD>(code);
  wchar_t* text = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, number, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = length > 0 ? utf8_from_wide(std::wstring_view(text, length)) : std::string();
  LocalFree(text);
  // The texts end with CR LF, which would break a line of the screen.
  message.erase(message.find_last_not_of("\r\n ") + 1);
  return message.empty() ? "system error " + std::to_string(number) : message;
}

std::uint64_t current_process_id() { return GetCurrentProcessId(); }

bool process_alive(std::uint64_t id) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(id));
  if (process == nullptr) return GetLastError() != ERROR_INVALID_PARAMETER;  // no such process
  // A process that ended stays until its last handle is closed.
  const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return running;
}

std::string file_in_current_directory(std::string_view name) {
  std::wstring dir = grown_text([](wchar_t* buffer, DWORD size) { return GetCurrentDirectoryW(size, buffer); });
  if (dir.empty()) return std::string(name);
  if (!dir.ends_with(L'\\')) dir.push_back(L'\\');
  return utf8_from_wide(dir) + std::string(name);
}

}  // namespace zq
