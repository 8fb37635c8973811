// The system's text for a Windows error code, in UTF-8, without the line break that
// FormatMessage ends it with.
#pragma once

#include <string>

namespace zq {

std::string system_message(unsigned long code);

}  // namespace zq
