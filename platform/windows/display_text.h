// How the Windows console shows a character: the console writes bytes in its
// output code page, which holds some letters beyond ASCII and not others.
#pragma once

namespace zq {

// The byte for `c` in the single-byte code page `code_page`: its own, or the
// system's best fit ('ő' as 'o' where there is no 'ő'); 0 where there is
// neither, where it would be a control byte, and for code pages that take
// more than one byte for some characters (UTF-8, the East Asian ones), whose
// letters do not fit one cell each.
unsigned char console_letter(char32_t c, unsigned code_page);

// The byte that the console's A calls take for a cell's character, in its
// output code page: its letter, or '?' where it has none.
char console_byte(char32_t c);

}  // namespace zq
