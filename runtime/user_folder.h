// The user's home folder, so that a folder under it can be shown as "~/...",
// as a Unix shell shows it. One implementation per system.
#pragma once

#include <string>

namespace zq {

// The home folder as the system names it, or empty where there is none to
// show: Windows players do not know "~", so Windows gives none.
std::string home_folder();

}  // namespace zq
