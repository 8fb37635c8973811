#include "platform/windows/display_text.h"

#include <windows.h>

#include "runtime/display_text.h"

namespace zq {

unsigned char console_letter(char32_t c, unsigned code_page) {
  CPINFO info{};
  if (c > 0xFFFF || GetCPInfo(code_page, &info) == 0 || info.MaxCharSize != 1) return 0;
  const auto wide = static_cast<wchar_t>(c);
  char byte = 0;
  BOOL defaulted = FALSE;
  // Without WC_NO_BEST_FIT_CHARS the system picks the nearest letter.
  if (WideCharToMultiByte(code_page, 0, &wide, 1, &byte, 1, nullptr, &defaulted) != 1 || defaulted) return 0;
  const auto shown = static_cast<unsigned char>(byte);
  return shown < 0x20 || shown == 0x7F ? 0 : shown;
}

char console_byte(char32_t c) {
  if (c < 0x80) return static_cast<char>(c);  // stored as it is, control characters too
  const unsigned char letter = console_letter(c, GetConsoleOutputCP());
  return letter != 0 ? static_cast<char>(letter) : '?';
}

// A console cell holds one UTF-16 unit: every character of the Basic
// Multilingual Plane, whatever the console's code page.
bool console_shows(char32_t c) { return c < 0x10000; }

}  // namespace zq
