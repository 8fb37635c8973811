// UTF-8 and the system's UTF-16 strings: the file layer takes UTF-8 paths
// and hands wide ones to the system, so no ANSI code page stands between.
#pragma once

#include <string>
#include <string_view>

namespace zq {

// Invalid UTF-8 becomes U+FFFD rather than being dropped.
std::wstring wide_from_utf8(std::string_view text);
// Unpaired surrogates become U+FFFD.
std::string utf8_from_wide(std::wstring_view text);

}  // namespace zq
