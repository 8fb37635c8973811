// The game's 21 options and the file that holds them: SetupSettings, the path
// of zorvikqm.ini in the current directory, and the load and save sequences.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/file_store.h"

namespace zq {

// Every option is a signed 32-bit index named after its key in [CONFIG].
// Values read from the file are kept as read, in range or not.
struct SetupSettings {
  std::int32_t screenmode = 0;
  std::int32_t screendepth = 0;
  std::int32_t graphicdetail = 0;
  std::int32_t playmusic = 0;
  std::int32_t playsound = 0;
  std::int32_t attractsound = 0;
  std::int32_t gamemode = 0;
  std::int32_t gamelevel = 0;
  std::int32_t syncrate = 0;
  std::int32_t consolecredits = 0;
  std::int32_t arcadecredits = 0;
  std::int32_t continues = 0;
  std::int32_t extralives = 0;
  std::int32_t bonuslives = 0;
  std::int32_t fightstyle = 0;
  std::int32_t changestyle = 0;
  std::int32_t colorselect = 0;
  std::int32_t playerhitplayer = 0;
  std::int32_t characterchange = 0;
  std::int32_t savehiscores = 0;
  std::int32_t language = 0;

  bool operator==(const SetupSettings&) const = default;
};

// Outcome of save_settings: ok, or the system's code and reason it failed.
using SaveResult = FileResult;

// zorvikqm.ini in the current directory, with the system's separator; the
// relative name "zorvikqm.ini" when the current directory cannot be determined.
std::string config_path();

// Reads all 21 options in their fixed order. Options start as they are in
// `settings` (all zero at start-up): an unknown syncrate text leaves it so.
void load_settings(SetupSettings& settings, const std::string& path);

// Writes all 21 options in their fixed order; every write is attempted.
SaveResult save_settings(const SetupSettings& settings, const std::string& path);

// The same for options loaded as `loaded`: those the player changed (that
// differ from `loaded`; one changed and changed back counts as untouched)
// are written as set, every other one as the file holds it at the save,
// read as load_settings reads it, so that a change another program made
// since the load survives. The file is read once, by the save itself.
SaveResult save_settings(const SetupSettings& settings, const SetupSettings& loaded, const std::string& path);

}  // namespace zq
