// What the file store's contract test needs of Windows: marks that a file
// carries beside its content (attributes), and an I/O error code.
#pragma once

#include <windows.h>

#include <string>

#include "platform/windows/wide_text.h"

namespace zq::test {

inline constexpr int kIoError = ERROR_IO_DEVICE;

inline constexpr DWORD kMarks = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

inline void set_marks(const std::string& path) { SetFileAttributesW(wide_from_utf8(path).c_str(), kMarks); }

inline bool has_marks(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(wide_from_utf8(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & kMarks) == kMarks;
}

}  // namespace zq::test
