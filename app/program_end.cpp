#include "app/program_end.h"

#include <cstdio>
#include <string>

namespace zq {

void say(std::string_view message) {
  std::fprintf(stderr, "zorvikqm-setup: %.*s\n", static_cast<int>(message.size()), message.data());
}

int report_end(SetupEnd end, std::string_view no_console, std::string_view device) {
  if (end == SetupEnd::NoConsole) {
    say(no_console);
    return 1;
  }
  if (end == SetupEnd::InputEnded) say("the " + std::string(device) + " went away; nothing was saved");
  return 0;
}

}  // namespace zq
