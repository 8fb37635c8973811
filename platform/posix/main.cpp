// zorvikqm-setup: edits the game's options in zorvikqm.ini in the current
// directory. Command-line arguments are ignored.
#include <csignal>
#include <cstdio>
#include <exception>
#include <string>

#include "app/settings.h"
#include "app/setup_flow.h"
#include "platform/posix/terminal.h"

namespace {

void say(const std::string& message) { std::fprintf(stderr, "zorvikqm-setup: %s\n", message.c_str()); }

// Runs the program on the terminal; the terminal is restored when this returns
// or throws, before anything is said on stderr.
int run_on_terminal() {
  zq::Terminal terminal;
  zq::AppState app;
  app.config_path = zq::config_path();
  switch (zq::run_setup(terminal, terminal, app)) {
    case zq::SetupEnd::NoConsole:
      say(terminal.error());
      return 1;
    case zq::SetupEnd::InputEnded:
      say("the terminal went away; nothing was saved");
      return 0;
    case zq::SetupEnd::Saved:
    case zq::SetupEnd::Quit:
      break;
  }
  return 0;
}

}  // namespace

int main() {
  // A save past the file-size limit (ulimit -f) must fail with "File too
  // large" and leave the old file, not kill the program halfway through.
  std::signal(SIGXFSZ, SIG_IGN);
  std::string why;
  if (!zq::Terminal::usable(why)) {
    say(why);
    return 1;
  }
  try {
    return run_on_terminal();
  } catch (const std::exception& error) {
    say(std::string("stopped: ") + error.what());
    return 1;
  }
}
