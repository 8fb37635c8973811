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

// The console writes our bytes through its A calls, in its output code page.
std::string display_text(std::string_view utf8) {
  const UINT code_page = GetConsoleOutputCP();
  return one_byte_per_character(utf8, [code_page](char32_t c) { return console_letter(c, code_page); });
}

}  // namespace zq
