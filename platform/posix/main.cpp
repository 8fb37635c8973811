// zorvikqm-setup: edits the game's options in zorvikqm.ini in the current
// directory. Command-line arguments are ignored, but for a lone --help or
// --version.
#include <clocale>
#include <csignal>
#include <exception>
#include <string>

#include "app/command_line.h"
#include "app/program_end.h"
#include "app/screens.h"
#include "app/settings.h"
#include "app/setup_flow.h"
#include "platform/posix/terminal.h"

namespace {

// Runs the program on the terminal; the terminal is restored when this returns
// or throws, before anything is said on stderr.
int run_on_terminal() {
  zq::Terminal terminal(zq::kScreenLayout);
  zq::AppState app;
  app.config_path = zq::config_path();
  const zq::SetupEnd end = zq::run_setup(terminal, terminal, app);
  return zq::report_end(end, terminal.error(), "terminal");
}

}  // namespace

int main(int argc, char** argv) {
  // Before anything else: no screen, no file for these.
  if (const auto text = zq::command_line_text(argc, argv)) return zq::print_command_line_text(*text);
  // The terminal's character set, and the system's reasons in the user's
  // language, are the locale's (LANG, LC_ALL).
  std::setlocale(LC_CTYPE, "");
  std::setlocale(LC_MESSAGES, "");
  // A save past the file-size limit (ulimit -f) must fail with "File too
  // large" and leave the old file, not kill the program halfway through.
  std::signal(SIGXFSZ, SIG_IGN);
  std::string why;
  if (!zq::Terminal::usable(why)) {
    zq::say(why);
    return 1;
  }
  try {
    return run_on_terminal();
  } catch (const std::exception& error) {
    zq::say(std::string("stopped: ") + error.what());
    return 1;
  }
}
