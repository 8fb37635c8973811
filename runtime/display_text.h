// Text from the system shown on screen (a failure's reason, a folder's name)
// as the console can show it. The system gives UTF-8; a console cell holds
// one character, and the terminal or console in use shows some characters
// and not others: the others become '?', one for each.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace zq {

// The platform's rule for the console in use (one implementation per
// system): whether it shows `c` (beyond ASCII) in as many cells as
// cell_width gives.
bool console_shows(char32_t c);

// display_text by the platform's rule.
std::string display_text(std::string_view utf8);

// The rule itself: printable ASCII stays; any other character stays where
// `shows` accepts it and becomes '?' where not; a control character, and each
// byte that is not part of a well-formed character, becomes '?'. The result
// is UTF-8.
std::string shown_characters(std::string_view utf8, const std::function<bool(char32_t)>& shows);

}  // namespace zq
