#include "runtime/display_text.h"

#include "runtime/characters.h"

namespace zq {

std::string shown_characters(std::string_view utf8, const std::function<bool(char32_t)>& shows) {
  std::string shown;
  for (std::size_t at = 0; at < utf8.size();) {
    const Utf8Character ch = utf8_character_at(utf8, at);
    at += ch.length == 0 ? 1 : ch.length;
    const bool control = ch.c < 0x20 || (ch.c >= 0x7F && ch.c < 0xA0);
    if (ch.length != 0 && !control && (ch.c < 0x7F || shows(ch.c))) {
      append_utf8(shown, ch.c);
    } else {
      shown += '?';
    }
  }
  return shown;
}

std::string display_text(std::string_view utf8) { return shown_characters(utf8, console_shows); }

}  // namespace zq
