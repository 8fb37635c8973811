// zorvikqm-setup: edits the game's options in zorvikqm.ini in the current
// directory. Command-line arguments are ignored.
#include <cstdio>
#include <string>

#include "app/settings.h"
#include "app/setup_flow.h"
#include "runtime/terminal.h"

int main() {
  std::string why;
  if (!zq::Terminal::usable(why)) {
    std::fprintf(stderr, "zorvikqm-setup: %s\n", why.c_str());
    return 1;
  }
  zq::Terminal terminal;
  zq::AppState app;
  app.config_path = zq::config_path();
  switch (zq::run_setup(terminal, terminal, app)) {
    case zq::SetupEnd::NoConsole:
      std::fprintf(stderr, "zorvikqm-setup: %s\n", terminal.error().c_str());
      return 1;
    case zq::SetupEnd::InputEnded:
      std::fprintf(stderr, "zorvikqm-setup: the terminal went away; nothing was saved\n");
      return 0;
    case zq::SetupEnd::Saved:
    case zq::SetupEnd::Quit:
      return 0;
  }
  return 0;
}
