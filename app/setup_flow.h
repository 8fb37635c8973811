// The program from start to end: opens the console, loads the options, runs
// the flow between the main menu, the option screens and the prompts, and
// ends by saving (after a confirmed Save & Exit) or by quitting unsaved.
#pragma once

#include <cstdint>
#include <string>

#include "app/settings.h"
#include "runtime/console_device.h"
#include "runtime/file_store.h"
#include "runtime/keyboard.h"

namespace zq {

inline constexpr std::string_view kConsoleTitle = "Zorvik Quelta Marundo Setup";

// The application state record, zeroed at start.
struct AppState {
  SetupSettings settings;
  SetupSettings loaded;  // the options as read at start: what the player changed differs from it
  std::string config_path;
  std::string notice;      // the frame's notice: two lines, split by '\n'
  std::string save_error;  // why the last save failed
  std::string save_way_out;  // what the player can do about it, if the system says
  std::int32_t main_cursor = 0;
  std::int32_t screen_cursor = 0;
  std::int32_t menu_column = 0;
  std::string key_text;
  std::int32_t scan_code = 0;
};

// How a run ended.
enum class SetupEnd {
  Saved,       // Save & Exit confirmed and every write succeeded
  Quit,        // quit confirmed: nothing written
  InputEnded,  // the keyboard went away: nothing written
  NoConsole,   // the console could not be opened: nothing read or written
};

// Runs the whole program on the given console and keys, with the options file
// at `config_path`, or the copy the system keeps for this user in its place
// (user_file), which then becomes `config_path`. `state` is left as the run
// ended, for the caller to see.
SetupEnd run_setup(ConsoleDevice& device, KeySource& keys, AppState& state);

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
