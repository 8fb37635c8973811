// zorvikqm-setup for Windows: edits the game's options in zorvikqm.ini in the
// current directory, in the console window it was started from (or one of
// its own when double-clicked).
// Command-line arguments are ignored, but for a lone --help or --version.
#include <exception>
#include <string>

#include "app/command_line.h"
#include "app/program_end.h"
#include "app/screens.h"
#include "app/settings.h"
#include "app/setup_flow.h"
#include "platform/windows/console.h"

namespace {

// Runs the program in the console; the console is restored when this returns
// or throws, before anything is said on stderr.
int run_in_console() {
  zq::WindowsConsole console(zq::kScreenLayout);
  zq::AppState app;
  app.config_path = zq::config_path();
  const zq::SetupEnd end = zq::run_setup(console, console, app);
  return zq::report_end(end, console.error(), "console");
}

}  // namespace

int main(int argc, char** argv) {
  // Before anything else: no screen, no file for these.
  if (const auto text = zq::command_line_text(argc, argv)) return zq::print_command_line_text(*text);
  try {
    return run_in_console();
  } catch (const std::exception& error) {
    zq::say(std::string("stopped: ") + error.what());
    return 1;
  }
}
