// The system's text for a Windows error code, in UTF-8 and in the user's
// language, without the line break that FormatMessage ends it with.
#pragma once

#include <string>

namespace zq {

std::string system_message(unsigned long code);

}  // namespace zq
