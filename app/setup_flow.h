// The program from start to end: opens the console, loads the options, runs
// the flow between the main menu, the option screens and the prompts, and
// ends by saving (after a confirmed Save & Exit) or by quitting unsaved.
#pragma once

#include <cstdint>
#include <string>

#include "app/settings.h"
#include "runtime/console_device.h"
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

}  // namespace zq
