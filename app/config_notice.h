// The frame's notice: two lines that say what start-up found of
// zorvikqm.ini (found or not, and whether a save can work) and which folder
// it is in, as the player's console can show them.
#pragma once

#include <string>
#include <string_view>

#include "runtime/file_store.h"

namespace zq {

// What the system adds to the notice (user_folder.h): what the folder line
// calls the folder ("Folder" when empty), and what the player can do when a
// save cannot work, shown in place of the system's reason.
struct NoticeNotes {
  std::string_view label;
  std::string_view way_out;
};

// The frame's notice for zorvikqm.ini at `path`, two lines of at most 78
// characters: whether the file was found and whether a save can work (with
// the system's reason when it cannot, cut after a word with "..." if long,
// or what to do about it where the system says), then the folder it is in
// (cut from the left with "..." if long), `label` naming it if given. The
// system's texts are shown as the console can show them (display_text).
std::string config_notice(const std::string& path, std::string_view label = {});
// The same for a probe already made, with `home` at the start of the folder
// shown as "~" (none when empty); a bare file name says the system cannot
// name the current folder.
std::string notice_for(const FileProbe& probe, std::string_view path, std::string_view home,
                       const NoticeNotes& notes = {});

}  // namespace zq
