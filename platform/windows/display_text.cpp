#include "runtime/display_text.h"

namespace zq {

// The console takes the cells through its W calls, a UTF-16 unit each:
// every character of the Basic Multilingual Plane, whatever the console's
// code page; what its font lacks shows as the font's box.
bool console_shows(char32_t c) { return c < 0x10000; }

}  // namespace zq
