// zorvikqm-setup for Windows: edits the game's options in zorvikqm.ini in the
// current directory, in the console window it was started from (or one of
// its own when double-clicked). Command-line arguments are ignored.
#include <cstdio>
#include <exception>
#include <string>

#include "app/settings.h"
#include "app/setup_flow.h"
#include "platform/windows/console.h"

namespace {

void say(const std::string& message) { std::fprintf(stderr, "zorvikqm-setup: %s\n", message.c_str()); }

// Runs the program in the console; the console is restored when this returns
// or throws, before anything is said on stderr.
int run_in_console() {
  zq::WindowsConsole console;
  zq::AppState app;
  app.config_path = zq::config_path();
  switch (zq::run_setup(console, console, app)) {
    case zq::SetupEnd::NoConsole:
      say(console.error());
      return 1;
    case zq::SetupEnd::InputEnded:
      say("the console went away; nothing was saved");
      return 0;
    case zq::SetupEnd::Saved:
    case zq::SetupEnd::Quit:
      break;
  }
  return 0;
}

}  // namespace

int main() {
  try {
    return run_in_console();
  } catch (const std::exception& error) {
    say(std::string("stopped: ") + error.what());
    return 1;
  }
}
