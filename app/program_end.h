// How the program tells its caller how it ended: a line on stderr for what
// the player must know, and the exit code. Shared by every entry point.
#pragma once

#include <string_view>

#include "app/setup_flow.h"

namespace zq {

// Writes "zorvikqm-setup: <message>" on stderr.
void say(std::string_view message);

// The exit code of a run that ended so, after saying what went wrong: why
// there was no console (`no_console`), or that the `device` ("terminal",
// "console") went away unsaved. Call it once the console is released.
int report_end(SetupEnd end, std::string_view no_console, std::string_view device);

}  // namespace zq
