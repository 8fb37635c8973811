#include "app/command_line.h"

#include <cstdio>

namespace zq {
namespace {

// What the program does and its keys, in brief; the README and the manual
// page say the rest.
constexpr std::string_view kHelp =
    "Usage: zorvikqm-setup [--help | --version]\n"
    "\n"
    "Changes the options of the game Zorvik Quelta Marundo (display, sound and\n"
    "the DIP switches) on a full-screen text screen, and saves them to\n"
    "zorvikqm.ini in the current folder, the file the game reads: start it in\n"
    "the game's folder. Nothing is written until Save & Exit is confirmed.\n"
    "\n"
    "Keys: Up and Down select, Left and Right change the selected option,\n"
    "Enter opens an entry or goes back to the main menu, Esc goes back or asks\n"
    "whether to quit, Y and N answer. Ctrl+C ends at once without writing.\n"
    "Ctrl+L repaints the whole screen.\n"
    "Mouse: click to select, click again to open, click < or > to change.\n"
    "\n"
    "  --help     print this text and exit\n"
    "  --version  print the version and exit\n"
    "Any other argument is ignored.\n";

constexpr std::string_view kVersion = "zorvikqm-setup (Zorvik Quelta Marundo Setup) " ZQ_VERSION "\n";

}  // namespace

std::optional<std::string_view> command_line_text(int argc, const char* const* argv) {
  if (argc != 2 || argv[1] == nullptr) return std::nullopt;
  const std::string_view argument = argv[1];
  if (argument == "--help") return kHelp;
  if (argument == "--version") return kVersion;
  return std::nullopt;
}

int print_command_line_text(std::string_view text) {
  const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
  return std::fflush(stdout) == 0 && written ? 0 : 1;
}

}  // namespace zq
