// What the command line asks of the program. Every argument is ignored,
// except --help or --version as the only one: then the program prints a
// short text to standard output and ends, with no screen and no file touched.
#pragma once

#include <optional>
#include <string_view>

namespace zq {

// The text to print for these arguments (argv[0] first), or nothing when the
// program is to run.
std::optional<std::string_view> command_line_text(int argc, const char* const* argv);

// Prints that text to standard output; the exit code: 0, or 1 when it could
// not be written.
int print_command_line_text(std::string_view text);

}  // namespace zq
