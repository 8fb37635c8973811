#include "runtime/display_text.h"

#include <climits>
#include <cwchar>
#include <cwctype>

#include "runtime/characters.h"

namespace zq {

// The terminal takes the characters of the locale's character set (UTF-8,
// or ASCII alone under LANG=C), each as wide as the locale says. One that is
// printable there, and as wide as the program's cells take it, is shown.
bool console_shows(char32_t c) {
  if (c < 0x80) return c >= 0x20 && c < 0x7F;
  const auto wide = static_cast<wchar_t>(c);
  char bytes[MB_LEN_MAX];
  std::mbstate_t state{};
  return std::iswprint(static_cast<std::wint_t>(wide)) != 0 && ::wcwidth(wide) == cell_width(c) &&
         std::wcrtomb(bytes, wide, &state) != static_cast<std::size_t>(-1);
}

}  // namespace zq
