// A small program driven by terminal_tmux_test.sh in a real terminal: draws
// a menu like the setup's main menu and moves its highlight with the arrows.
// Keys: Up/Down move the bar, q ends normally, x throws an exception that
// nothing catches. The last key_text is shown in hex on row 22, unless the
// program is started with --quiet (then a key redraws only the menu bar, as
// the setup's main menu does).
#include <cstdio>
#include <stdexcept>
#include <string>

#include "app/screens.h"
#include "runtime/console_screen.h"
#include "runtime/keyboard.h"
#include "platform/posix/terminal.h"

namespace {

constexpr const char* kEntries[] = {"    Display     ", "     Sound      ", "  DIP Switches  ",
                                    "    Abandon     ", "  Save &  Exit  "};

void draw_menu(zq::ConsoleScreen& screen, int selected) {
  zq::set_cursor_shape(screen, 0);
  for (int i = 0; i < 5; ++i) {
    if (i == selected) {
      zq::set_color(screen, 15, 4);
    } else {
      zq::set_color(screen, 14, 1);
    }
    zq::print_at(screen, 30, static_cast<std::uint16_t>(10 + 2 * i), kEntries[i]);
  }
  zq::locate(screen, 30, static_cast<std::uint16_t>(10 + 2 * selected));
  zq::set_cursor_shape(screen, 1);
}

void draw_frame(zq::ConsoleScreen& screen) {
  zq::set_cursor_shape(screen, 0);
  zq::set_color(screen, 15, 1);
  zq::clear_screen(screen);
  zq::print_at(screen, 0, 0, "ROW 0 MARKER");
  zq::print_at(screen, 0, 1, "ROW 1 MARKER");
  zq::set_color(screen, 15, 6);
  zq::print_at(screen, 11, 2, "  Z O R V I K  Q U E L T A  M A R U N D O  S E T U P  ");
  zq::set_color(screen, 15, 1);
  zq::print_at(screen, 0, 20, "ctl:\x1b[31mX\x07|\xe9|");
  zq::print_at(screen, 0, 24, "     UP/DOWN=Select | LEFT/RIGHT=Change Values | ENTER=Accept | ESC=Quit");
}

void show_key(zq::ConsoleScreen& screen, const std::string& key) {
  std::string hex = "key:";
  for (unsigned char c : key) {
    char part[4];
    std::snprintf(part, sizeof part, " %02x", c);
    hex += part;
  }
  hex.resize(20, ' ');
  zq::set_color(screen, 15, 1);
  zq::print_at(screen, 0, 22, hex);
}

}  // namespace

int main(int argc, char** argv) {
  const bool quiet = argc > 1 && std::string_view(argv[1]) == "--quiet";
  std::string why;
  if (!zq::Terminal::usable(why)) {
    std::fprintf(stderr, "terminal_demo: %s\n", why.c_str());
    return 1;
  }
  zq::Terminal term(zq::kScreenLayout);
  zq::ConsoleScreen screen;
  zq::open_console(screen, term);
  if (!screen.open) {
    std::fprintf(stderr, "terminal_demo: %s\n", term.error().c_str());
    return 1;
  }
  zq::set_console_title(screen, "Zorvik Quelta Marundo Setup");
  zq::KeySource& keys = term;
  int selected = 0;
  draw_frame(screen);
  draw_menu(screen, selected);
  zq::present_console(screen);
  keys.pause_ms(std::chrono::milliseconds(10));
  for (;;) {
    const std::string key = keys.poll_key();
    if (key.empty()) {
      zq::present_console(screen);
      if (!keys.wait_for_input()) break;
      continue;
    }
    if (!quiet) show_key(screen, key);
    const int scan = key.size() > 1 ? static_cast<unsigned char>(key[1]) : 0;
    if (key[0] == 'q') break;
    if (key[0] == 'x') throw std::runtime_error("demo exception");
    if (scan == zq::kScanDown) selected = (selected + 1) % 5;
    if (scan == zq::kScanUp) selected = (selected + 4) % 5;
    draw_menu(screen, selected);
    zq::present_console(screen);
    keys.pause_ms(std::chrono::milliseconds(10));
  }
  zq::close_console(screen);
  return 0;
}
