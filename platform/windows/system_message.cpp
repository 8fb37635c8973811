#include "platform/windows/system_message.h"

#include <windows.h>

#include "platform/windows/wide_text.h"

namespace zq {

std::string system_message(unsigned long code) {
  // The wide text, made UTF-8: the ANSI form would come in the system's code
  // page, and a French "Accès refusé" would not be UTF-8.
  wchar_t* text = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = length > 0 && text != nullptr ? utf8_from_wide(std::wstring_view(text, length)) : std::string();
  if (text != nullptr) LocalFree(text);
  // The texts end with CR LF, which would break a line of the screen.
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
    message.pop_back();
  }
  if (message.empty()) message = "system error " + std::to_string(code);
  return message;
}

}  // namespace zq
