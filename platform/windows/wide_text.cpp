#include "platform/windows/wide_text.h"

#include <windows.h>

namespace zq {

std::wstring wide_from_utf8(std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int need = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(need), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), need);
  return wide;
}

std::string utf8_from_wide(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int need = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(need), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, narrow.data(), need, nullptr, nullptr);
  return narrow;
}

}  // namespace zq
