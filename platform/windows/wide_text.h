// UTF-8 and the system's UTF-16 strings: the file layer takes UTF-8 paths
// and hands wide ones to the system, so no ANSI code page stands between;
// long ones in the form that the system takes past MAX_PATH.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace zq {

// Invalid UTF-8 becomes U+FFFD rather than being dropped.
std::wstring wide_from_utf8(std::string_view text);
// Unpaired surrogates become U+FFFD.
std::string utf8_from_wide(std::wstring_view text);

// The long-path form of an absolute path (\\?\C:\..., \\?\UNC\...), which the
// calls take past MAX_PATH characters; a device's name stays as it is.
inline std::wstring long_form(std::wstring path) {
  if (path.starts_with(L"\\\\?\\") || path.starts_with(L"\\\\.\\")) return path;
  if (path.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + path.substr(2);
  if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') return L"\\\\?\\" + path;
  return path;
}

// The text that a call such as GetFullPathNameW writes into the buffer it is
// given: `call(buffer, size)` returns the text's length, for a buffer too
// small the size it needs (the null included), 0 when it fails, which gives
// the empty text. The size needed may grow meanwhile; a few tries.
template <typename Call>
std::wstring grown_text(Call call) {
  std::wstring text(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD got = call(text.data(), static_cast<DWORD>(text.size()));
    if (got < text.size()) return text.substr(0, got);
    text.assign(got, L'\0');
  }
  return {};
}

}  // namespace zq
