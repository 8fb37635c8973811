// Where the player's file is, as the system has it, and what the notice
// says of it: the user's home folder (which Unix shows as "~"), the copy
// that the system keeps for this user in a file's place, and what the player
// can do when the system refuses a save. One implementation per system.
#pragma once

#include <string>

namespace zq {

// The home folder as the system names it, or empty where there is none to
// show: Windows players do not know "~", so Windows gives none.
std::string home_folder();

// The file that is read and saved for the file at `path`.
struct UserFile {
  std::string path;   // `path` itself, or the copy the system keeps for this user
  std::string label;  // what the notice's folder line calls that copy's folder; empty for `path` itself
};

// Windows keeps a per-user copy (in VirtualStore) of each file that an
// older program writes under Program Files, the Windows folder or
// ProgramData, and such programs read that copy from then on. Where one
// exists for `path`, it is the file an older game started by this user
// reads, and so the one to edit.
UserFile user_file(const std::string& path);

// What the player can do so that a save of the file at `path`, which the
// system refused with `code`, works: a few words to follow "To save, ";
// empty where the system's reason says enough.
std::string way_out(const std::string& path, int code);

}  // namespace zq
