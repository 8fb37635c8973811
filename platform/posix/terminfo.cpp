#include <algorithm>
#include <cstring>
#include <iterator>

#include "runtime/console_palette.h"
// Last: it brings in term.h, whose capability macros clash with our names.
#include "platform/posix/terminfo.h"

namespace zq {
namespace {

// A terminfo string as bytes to write directly: its $<..> padding is a delay
// that only tputs knows how to make, and would otherwise show as text.
// Console colour index (bit 0 blue, 1 green, 2 red) to ANSI (bit 0 red, 2 blue).
constexpr int ansi_colour(unsigned index) {
  return static_cast<int>(((index & 1u) << 2) | (index & 2u) | ((index & 4u) >> 2));
}

}  // namespace

const char* capability(const char* name) {
  char* value = tigetstr(const_cast<char*>(name));
  return value == nullptr || value == reinterpret_cast<char*>(-1) ? nullptr : value;
}

std::string without_padding(const char* cap) {
  std::string bytes;
  for (const char* p = cap; *p != '\0'; ++p) {
    if (const char* end = p[0] == '$' && p[1] == '<' ? std::strchr(p, '>') : nullptr) {
      p = end;
    } else {
      bytes.push_back(*p);
    }
  }
  return bytes;
}

std::string capability_bytes(const char* name) {
  const char* cap = capability(name);
  return cap == nullptr ? std::string() : without_padding(cap);
}

void blank_capability(const char* name) {
  if (const char* value = capability(name)) const_cast<char*>(value)[0] = '\0';
}

bool has_xterm_title(std::string_view term) {
  constexpr std::string_view kFamilies[] = {"xterm",     "tmux",  "screen", "rxvt",    "vte",   "gnome", "konsole",
                                            "alacritty", "kitty", "foot",   "wezterm", "putty", "st-",   "iterm"};
  return term == "st" || std::any_of(std::begin(kFamilies), std::end(kFamilies),
                                     [term](std::string_view family) { return term.starts_with(family); });
}

bool takes_rgb_colours() {
#if defined(NCURSES_EXT_COLORS)
  return tigetflag(const_cast<char*>("RGB")) > 0 || tigetnum(const_cast<char*>("RGB")) > 0 ||
         capability("RGB") != nullptr;
#else
  return false;  // colour numbers past a short need the extended colour calls
#endif
}

int terminal_colour(unsigned index, int colours, bool rgb) {
  if (rgb) {
    // Some descriptions send small numbers as palette entries (below 8, 16 or
    // 256); such a colour goes with its red one step up, which no eye sees.
    const std::uint32_t value = kClassicPalette[index];
    return static_cast<int>(value < 0x100 ? value | 0x010000 : value);
  }
  if (colours >= 256) return nearest_entry(kClassicPalette[index]);
  const int ansi = ansi_colour(index & 7u);
  return colours >= 16 && (index & 8u) != 0 ? ansi + 8 : ansi;
}

bool make_pair(short pair, int foreground, int background) {
#if defined(NCURSES_EXT_COLORS)
  return init_extended_pair(pair, foreground, background) == OK;
#else
  return init_pair(pair, static_cast<short>(foreground), static_cast<short>(background)) == OK;
#endif
}

void mouse_strings(std::string_view term, std::string& on, std::string& off) {
  on.clear();
  off.clear();
  if (const char* xm = capability("XM")) {
    if (const char* start = tiparm(xm, 1)) on = without_padding(start);
    if (const char* stop = tiparm(xm, 0)) off = without_padding(stop);
  } else if (capability("kmous") != nullptr && !term.starts_with("linux")) {
    on = "\x1b[?1000h\x1b[?1006h";
    off = "\x1b[?1006l\x1b[?1000l";
  }
}

}  // namespace zq
