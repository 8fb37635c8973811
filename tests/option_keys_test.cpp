// Every one of the 21 options belongs to exactly one row of one option
// screen, can be reached and changed there by keys, and is saved under its
// own key and no other.
#include <gtest/gtest.h>

#include "app/option_screens.h"
#include "app/setup_flow.h"
#include "app_harness.h"

namespace zq {
namespace {

using test::kDown;
using test::kEnter;
using test::kEsc;
using test::kRight;

struct OptionPlace {
  std::int32_t SetupSettings::*option;
  std::int32_t entry;  // main menu entry of its screen
  std::int32_t row;
  const char* saved;    // its line in the file of defaults
  const char* changed;  // the line after one Right
};

const OptionPlace kPlaces[] = {
    {&SetupSettings::screenmode, kEntryDisplay, 0, "screenmode=0", "screenmode=1"},
    {&SetupSettings::screendepth, kEntryDisplay, 1, "screendepth=16", "screendepth=32"},
    {&SetupSettings::graphicdetail, kEntryDisplay, 2, "graphicdetail=0", "graphicdetail=1"},
    {&SetupSettings::playmusic, kEntrySound, 0, "playmusic=10", "playmusic=0"},
    {&SetupSettings::playsound, kEntrySound, 1, "playsound=10", "playsound=0"},
    {&SetupSettings::attractsound, kEntrySound, 2, "attractsound=1", "attractsound=0"},
    {&SetupSettings::gamemode, kEntryDip, 0, "gamemode=0", "gamemode=1"},
    {&SetupSettings::gamelevel, kEntryDip, 1, "gamelevel=1", "gamelevel=2"},
    {&SetupSettings::syncrate, kEntryDip, 2, "syncrate=35", "syncrate=40"},
    {&SetupSettings::consolecredits, kEntryDip, 3, "consolecredits=3", "consolecredits=4"},
    {&SetupSettings::arcadecredits, kEntryDip, 4, "arcadecredits=0", "arcadecredits=1"},
    {&SetupSettings::continues, kEntryDip, 5, "continues=1", "continues=0"},
    {&SetupSettings::extralives, kEntryDip, 6, "extralives=2", "extralives=3"},
    {&SetupSettings::bonuslives, kEntryDip, 7, "bonuslives=1", "bonuslives=2"},
    {&SetupSettings::fightstyle, kEntryDip, 8, "fightstyle=0", "fightstyle=1"},
    {&SetupSettings::changestyle, kEntryDip, 9, "changestyle=1", "changestyle=0"},
    {&SetupSettings::colorselect, kEntryDip, 10, "colorselect=1", "colorselect=0"},
    {&SetupSettings::playerhitplayer, kEntryDip, 11, "playerhitplayer=1", "playerhitplayer=0"},
    {&SetupSettings::characterchange, kEntryDip, 12, "characterchange=1", "characterchange=0"},
    {&SetupSettings::savehiscores, kEntryDip, 13, "savehiscores=1", "savehiscores=0"},
    {&SetupSettings::language, kEntryDip, 14, "language=0", "language=1"},
};

TEST(OptionPlaces, EachOptionHasExactlyOneRow) {
  const OptionScreen* screens[] = {&kDisplayScreen, &kSoundScreen, &kDipScreen};
  std::size_t rows = 0;
  for (const OptionScreen* screen : screens) rows += screen->rows.size();
  EXPECT_EQ(rows, std::size(kPlaces));
  for (const OptionPlace& place : kPlaces) {
    int seen = 0;
    for (const OptionScreen* screen : screens) {
      for (const OptionRow& row : screen->rows) seen += row.option == place.option ? 1 : 0;
    }
    EXPECT_EQ(seen, 1) << place.saved;
    const OptionScreen& own = *screens[place.entry];
    ASSERT_LT(static_cast<std::size_t>(place.row), own.rows.size()) << place.saved;
    EXPECT_TRUE(own.rows[static_cast<std::size_t>(place.row)].option == place.option) << place.saved;
  }
}

// Through the menu to the option's row, one Right, back, Save & Exit: the
// file of defaults with that one line changed.
TEST(OptionPlaces, EachOptionIsChangedByKeysAndSavedUnderItsOwnKey) {
  for (const OptionPlace& place : kPlaces) {
    test::TempDir dir;
    MemoryConsole console;
    test::ScriptedKeys keys;
    AppState app;
    app.config_path = dir.file("zorvikqm.ini");
    for (std::int32_t i = 0; i < place.entry; ++i) keys.add({kDown});
    keys.add({kEnter});
    for (std::int32_t i = 0; i < place.row; ++i) keys.add({kDown});
    keys.add({kRight, kEsc});
    for (std::int32_t i = place.entry; i < kEntrySave; ++i) keys.add({kDown});
    keys.add({kEnter, test::kYes});
    ASSERT_EQ(run_setup(console, keys, app), SetupEnd::Saved) << place.saved;

    std::string want = test::kDefaultFile;
    const std::string saved = std::string(place.saved) + "\r\n";
    ASSERT_NE(want.find(saved), std::string::npos) << place.saved;
    want.replace(want.find(saved), saved.size(), std::string(place.changed) + "\r\n");
    EXPECT_EQ(test::read_file(app.config_path), want) << place.saved;
  }
}

}  // namespace
}  // namespace zq
