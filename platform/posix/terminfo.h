// The terminal's description (terminfo) as the terminal reads it, and the
// colours it sends for the console's sixteen. All of it for the terminal
// set up last (newterm or setupterm).
#pragma once

#include <string>
#include <string_view>

// Last: term.h defines every capability name as a macro; include this header
// after every other. The wide character calls draw the cells' characters.
#ifndef NCURSES_WIDECHAR
#define NCURSES_WIDECHAR 1
#endif
#include <curses.h>
#include <term.h>
#undef cursor_visible

namespace zq {

// A string capability; null where the terminal has none.
const char* capability(const char* name);
// A string capability as bytes to write; empty where the terminal has none.
std::string capability_bytes(const char* name);
// Empties a capability of the terminal in use, so that ncurses never sends it.
void blank_capability(const char* name);

// Terminal families known to take the xterm title sequences (set, push, pop).
bool has_xterm_title(std::string_view term);
// The strings that switch mouse reports on and off: terminfo's XM where it
// has one (the xterm family's, in SGR form: columns past 223 work), else,
// where it names the mouse's key (kmous), button presses in SGR form where
// the terminal knows it and in the older form where not. The Linux
// console's mouse is gpm's, and no terminal without kmous gets either.
void mouse_strings(std::string_view term, std::string& on, std::string& off);

// The terminal's description says that it takes colours as 0xRRGGBB numbers
// (RGB, as a flag, a number or a string); ncurses then sends them as such.
bool takes_rgb_colours();
// The colour the terminal is sent for console colour `index`, on a terminal
// of `colours` colours (`rgb`: taken as values). Entries 0 to 15 are
// whatever the terminal's theme makes of them (brown is often a bright
// yellow that white text cannot be read on), so where there is more the
// console's own colours are sent: by value, or as the nearest fixed entry.
int terminal_colour(unsigned index, int colours, bool rgb);
// Defines colour pair `pair`; false when the terminal refuses it.
bool make_pair(short pair, int foreground, int background);

}  // namespace zq
