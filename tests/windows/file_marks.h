// What the file store's contract test needs of Windows: marks that a file
// carries beside its content (attributes), an I/O error code, no held
// signals, and a process that has ended. Windows has no shared folders of the Unix kind, whose
// links of other users are not followed: their rows are left out.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/windows/wide_text.h"

namespace zq::test {

inline constexpr int kIoError = ERROR_IO_DEVICE;
// No signals to hold: a closing console waits for the save instead.
inline constexpr bool kSignalsHeld = false;

inline constexpr DWORD kMarks = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

inline void set_marks(const std::string& path) { SetFileAttributesW(wide_from_utf8(path).c_str(), kMarks); }

inline bool has_marks(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(wide_from_utf8(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & kMarks) == kMarks;
}

// The id of a process that this test started and waited for, once no one
// can open it (Wine lets an ended one be opened for half a second); 0 if
// none could start, or it stayed.
inline std::uint64_t ended_process_id() {
  wchar_t command[] = L"cmd.exe /c exit";
  STARTUPINFOW start{};
  start.cb = sizeof start;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &start,
                      &process)) {
    return 0;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  for (int wait = 0; wait < 500; ++wait, Sleep(10)) {
    HANDLE still = OpenProcess(SYNCHRONIZE, FALSE, process.dwProcessId);
    if (still == nullptr) return process.dwProcessId;
    CloseHandle(still);
  }
  return 0;
}

inline bool share_folder(const std::string&) { return false; }
inline bool give_to_nobody(const std::string&) { return false; }
inline bool plant_link(const std::string&, const std::string&) { return false; }

}  // namespace zq::test
