// The whole program driven by scripted keys on an in-memory console, from
// start to either end, with the resulting file checked byte for byte.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/command_line.h"
#include "app/setup_flow.h"
#include "app_harness.h"
#include "runtime/file_store.h"
#include "runtime/ini_file.h"

namespace zq {
namespace {

using test::kDown;
using test::kEnter;
using test::kEsc;
using test::kLeft;
using test::kNo;
using test::kRight;
using test::kUp;
using test::kYes;
using test::read_file;
using test::write_file;

using test::kDefaultFile;

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  text.replace(text.find(from), from.size(), to);
  return text;
}

struct SetupRun {
  test::TempDir dir;
  MemoryConsole console;
  test::ScriptedKeys keys;
  AppState app;
  SetupEnd end = SetupEnd::InputEnded;

  SetupRun() { app.config_path = dir.file("zorvikqm.ini"); }
  SetupEnd go(const std::vector<std::string>& script) {
    keys.add(script);
    end = run_setup(console, keys, app);
    return end;
  }
  std::string file() const { return read_file(app.config_path); }
  bool file_exists() const { return std::filesystem::exists(test::native_path(app.config_path)); }
  std::string row(std::uint16_t r, std::uint16_t column = 0, std::uint16_t count = 80) const {
    return console.grid().row_text(r, column, count);
  }
  std::uint16_t attr(std::uint16_t column, std::uint16_t r) const { return console.grid().cell(column, r).attr; }
};

TEST(Flow, TypicalRunSavesTheNewGameSpeed) {
  SetupRun run;
  EXPECT_EQ(run.go({kDown, kDown, kEnter, kDown, kDown, kRight, kEsc, kDown, kDown, kEnter, kYes}),
            SetupEnd::Saved);
  EXPECT_EQ(run.file(), replaced(kDefaultFile, "syncrate=35", "syncrate=40"));
  EXPECT_EQ(run.console.title(), "Zorvik Quelta Marundo Setup");
  EXPECT_FALSE(run.console.created());
}

TEST(Flow, StartsOnTheMainMenuWithDisplaySelected) {
  SetupRun run;
  run.go({});
  EXPECT_EQ(run.end, SetupEnd::InputEnded);
  EXPECT_EQ(run.row(10, 30, 16), "    Display     ");
  EXPECT_EQ(run.attr(30, 10), 79);
  EXPECT_EQ(run.attr(30, 12), 30);
  EXPECT_EQ(run.row(6).substr(0, 30), "  No zorvikqm.ini here yet: th");
  EXPECT_EQ(run.console.grid().cursor().column, 30);
  EXPECT_EQ(run.console.grid().cursor().row, 10);
  EXPECT_FALSE(run.file_exists());
}

TEST(Flow, NoticeSaysWhetherTheFileWasFound) {
  enum class Setup { None, File, Utf16File, Directory };
  struct Case {
    Setup setup;
    std::string notice;
  };
  const Case cases[] = {
      {Setup::None, "  No zorvikqm.ini here yet: these are the defaults. Save & Exit creates it."},
      {Setup::File, "  Settings read from zorvikqm.ini. Save & Exit writes your changes back to it."},
      {Setup::Utf16File, "  Settings read from zorvikqm.ini. Save & Exit writes your changes back to it."},
      // With the system's reason, the one a save of it gives.
      {Setup::Directory, "  Cannot read or save zorvikqm.ini: "},
  };
  for (const Case& c : cases) {
    SetupRun run;
    std::string notice = c.notice;
    if (c.setup == Setup::File) write_file(run.app.config_path, "[CONFIG]\r\nsyncrate=0\r\n");
    if (c.setup == Setup::Utf16File) {
      write_file(run.app.config_path, test::utf16_file(u"[CONFIG]\r\nsyncrate=0\r\n"));
    }
    if (c.setup == Setup::Directory) {
      ASSERT_TRUE(std::filesystem::create_directory(test::native_path(run.app.config_path)));
      const WriteResult refused = write_config_value(run.app.config_path, "CONFIG", "screenmode", "0");
      ASSERT_FALSE(refused.ok);
      notice += refused.error;
    }
    run.go({});
    EXPECT_EQ(run.row(6), notice + std::string(80 - notice.size(), ' '));
    EXPECT_EQ(run.app.settings.syncrate, c.setup == Setup::File || c.setup == Setup::Utf16File ? 7 : 1);
  }
}

TEST(Flow, AbandonWithoutFileCreatesNone) {
  for (const auto& script : std::vector<std::vector<std::string>>{
           {kUp, kUp, kEnter, kYes}, {kEsc, kYes}, {kEsc, test::kYesUpper}}) {
    SetupRun run;
    EXPECT_EQ(run.go(script), SetupEnd::Quit);
    EXPECT_FALSE(run.file_exists());
  }
}

TEST(Flow, QuitAfterChangesLeavesTheFileByteForByte) {
  SetupRun run;
  const std::string before = "; my notes\n[CONFIG]\nscreenmode=1\nSyncRate = 35 \n[OTHER]\nx=1";
  write_file(run.app.config_path, before);
  // Change the screen mode, visit every screen, say N to quit once, then quit.
  EXPECT_EQ(run.go({kEnter, kRight, kEsc, kDown, kEnter, kLeft, kEnter, kDown, kEnter, kRight, kEsc,
                    kEsc, kNo, kEsc, kYes}),
            SetupEnd::Quit);
  EXPECT_EQ(run.app.settings.screenmode, 2);
  EXPECT_EQ(run.file(), before);
}

TEST(Flow, SaveAnsweredNoReturnsToSaveEntryThenYesWritesAll) {
  SetupRun run;
  run.keys.add({kUp, kEnter, kNo});
  run.go({});
  EXPECT_FALSE(run.file_exists());
  EXPECT_EQ(run.app.main_cursor, 4);
  EXPECT_EQ(run.attr(30, 18), 79);
  EXPECT_EQ(run.row(18, 30, 16), "  Save &  Exit  ");

  SetupRun again;
  EXPECT_EQ(again.go({kUp, kEnter, kNo, kEnter, test::kYes}), SetupEnd::Saved);
  EXPECT_EQ(again.file(), kDefaultFile);
  EXPECT_EQ(again.file().size(), 325u);
}

TEST(Flow, PromptIgnoresEveryKeyButYAndN) {
  SetupRun run;
  run.go({kEsc, kEsc, kEnter, kUp, kDown, kLeft, kRight, test::letter('q', 16), "\xff"});
  EXPECT_EQ(run.end, SetupEnd::InputEnded);
  EXPECT_EQ(run.row(12, 18, 42), "  Are you sure you want to quit ? (Y/N)   ");
  EXPECT_EQ(run.console.grid().cursor().column, 57);
  EXPECT_EQ(run.console.grid().cursor().row, 12);
}

TEST(Flow, ChangesSurviveOtherScreensAndPrompts) {
  SetupRun run;
  // Detail to Low; visit Sound and DIP; open and refuse the quit prompt; save.
  EXPECT_EQ(run.go({kEnter, kDown, kDown, kRight, kEnter, kDown, kEnter, kEsc, kDown, kEnter, kEsc,
                    kEsc, kNo, kDown, kDown, kEnter, kYes}),
            SetupEnd::Saved);
  EXPECT_EQ(run.file(), replaced(kDefaultFile, "graphicdetail=0", "graphicdetail=1"));
}

TEST(Flow, ReturningToTheMenuKeepsTheEntryAndScreensOpenOnTheirFirstRow) {
  SetupRun run;
  // Enter DIP, go to the fifth row, leave, come back: the first row is selected.
  run.go({kDown, kDown, kEnter, kDown, kDown, kDown, kDown, kEnter, kEnter});
  EXPECT_EQ(run.app.main_cursor, 2);
  EXPECT_EQ(run.app.screen_cursor, 0);
  EXPECT_EQ(run.attr(8, 8), 79);
  EXPECT_EQ(run.attr(8, 12), 30);
  EXPECT_EQ(run.console.grid().cursor().column, 8);
  EXPECT_EQ(run.console.grid().cursor().row, 8);
  EXPECT_EQ(run.row(22, 8, 45), "  Language                :  < English >     ");
}

TEST(Flow, OutOfRangeValuesAreWrittenBackAsRead) {
  SetupRun run;
  write_file(run.app.config_path, "[CONFIG]\r\nplaymusic=15\r\ngamelevel=-1\r\nsyncrate=33\r\n");
  EXPECT_EQ(run.go({kUp, kEnter, kYes}), SetupEnd::Saved);
  const std::string file = run.file();
  EXPECT_NE(file.find("playmusic=15\r\n"), std::string::npos);
  EXPECT_NE(file.find("gamelevel=-1\r\n"), std::string::npos);
  EXPECT_NE(file.find("syncrate=30\r\n"), std::string::npos);
}

// Another program saves playmusic=4 while the menu is open: an option the
// player left (or changed and changed back) takes the file's value at the
// save, one the player changed is written as set.
TEST(Flow, AnotherProgramsChangeSurvivesTheSave) {
  const struct {
    std::vector<std::string> keys;  // up to the save question
    const char* playmusic;
  } cases[] = {
      {{kDown, kDown, kEnter, kRight, kEsc, kDown, kDown, kEnter}, "playmusic=4"},
      {{kDown, kEnter, kLeft, kEsc, kDown, kEnter, kRight, kEsc, kDown, kDown, kEnter}, "playmusic=9"},
      {{kDown, kEnter, kLeft, kRight, kEsc, kDown, kEnter, kRight, kEsc, kDown, kDown, kEnter}, "playmusic=4"},
  };
  for (const auto& c : cases) {
    SetupRun run;
    write_file(run.app.config_path, kDefaultFile);
    run.keys.add(c.keys);
    run.keys.then([&] { write_file(run.app.config_path, replaced(kDefaultFile, "playmusic=10", "playmusic=4")); });
    EXPECT_EQ(run.go({kYes}), SetupEnd::Saved);
    EXPECT_EQ(run.file(), replaced(replaced(kDefaultFile, "gamemode=0", "gamemode=1"), "playmusic=10", c.playmusic))
        << c.playmusic << " after " << c.keys.size() << " keys";
  }
}

// A save that fails is shown with its reason; the options stay as the player
// set them and Save & Exit is still selected, so a second try can succeed.
TEST(Flow, FailedSaveIsReportedAndCanBeRetried) {
  SetupRun run;
  run.app.config_path = run.dir.file("missing/zorvikqm.ini");
  // The system's own words for it, which differ between systems.
  const std::string missing_reason =
      update_file(run.app.config_path, [](std::string_view, bool) { return std::string("x"); }).error;
  ASSERT_FALSE(missing_reason.empty());
  run.keys.add({kEnter, kRight, kEsc, kUp, kEnter, kYes});
  run.keys.then([&] {
    const std::string box = run.row(12);
    EXPECT_NE(box.find("Could not save zorvikqm.ini: " + missing_reason.substr(0, 30)), std::string::npos) << box;
    EXPECT_NE(run.row(13).find("Press any key"), std::string::npos);
    ASSERT_TRUE(std::filesystem::create_directory(test::native_path(run.dir.file("missing"))));
  });
  EXPECT_EQ(run.go({test::letter('x', 45), kEnter, kYes}), SetupEnd::Saved);
  EXPECT_EQ(run.file(), replaced(kDefaultFile, "screenmode=0", "screenmode=1"));
}

TEST(Flow, AnyKeyOnTheErrorBoxReturnsToTheMenu) {
  SetupRun run;
  run.app.config_path = run.dir.file("missing/zorvikqm.ini");
  run.go({kUp, kEnter, kYes, kLeft});
  EXPECT_EQ(run.row(18, 30, 16), "  Save &  Exit  ");
  EXPECT_EQ(run.attr(30, 18), 79);
  EXPECT_EQ(run.console.grid().cursor().row, 18);
}

// A click or a wheel notch does what its key does: the same screen, cell
// for cell, and the same options. Questions and boxes take no click, nor
// does anything off the entries and rows.
TEST(Flow, MouseDoesWhatItsKeyDoes) {
  using test::click;
  struct Case {
    const char* what;
    std::vector<test::ScriptedKeys::Input> with_mouse;
    std::vector<std::string> keys;
  };
  const Case cases[] = {
      {"a click on Sound selects it", {click(35, 12)}, {kDown}},
      {"a click on the selected entry opens it", {click(30, 12), click(45, 12)}, {kDown, kEnter}},
      {"the wheel moves the selection", {test::wheel_down(0, 0), test::wheel_down(0, 0), test::wheel_up(79, 24)},
       {kDown}},
      {"a click on a row's > is Right", {kDown, kDown, kEnter, click(55, 10)}, {kDown, kDown, kEnter, kDown, kDown, kRight}},
      {"a click on a row's < is Left", {kEnter, click(30, 9)}, {kEnter, kDown, kLeft}},
      {"a click on a row selects it", {kDown, kEnter, click(12, 10), click(13, 10)}, {kDown, kEnter, kDown, kDown}},
      {"the wheel on a screen", {kEnter, test::wheel_up(0, 0)}, {kEnter, kUp}},
      {"clicks on the questions answer nothing", {kEsc, click(40, 12), click(56, 12), kNo, kUp, kEnter, click(60, 12)},
       {kEsc, kNo, kUp, kEnter}},
      {"clicks off the entries and rows do nothing",
       {click(10, 24), click(29, 10), click(46, 10), click(35, 11), kEnter, click(11, 8), click(47, 9), click(20, 11)},
       {kEnter}},
  };
  for (const Case& c : cases) {
    test::TempDir dir;  // one folder, which the notice names, for both runs
    std::string pictures[2];
    SetupSettings settings[2];
    for (int run = 0; run < 2; ++run) {
      MemoryConsole console;
      test::ScriptedKeys keys;
      if (run == 0) {
        for (const test::ScriptedKeys::Input& input : c.with_mouse) {
          if (const auto* key = std::get_if<std::string>(&input)) keys.add({*key});
          if (const auto* mouse = std::get_if<MouseEvent>(&input)) keys.add(*mouse);
        }
      } else {
        keys.add(c.keys);
      }
      AppState app;
      app.config_path = dir.file("zorvikqm.ini");
      EXPECT_EQ(run_setup(console, keys, app), SetupEnd::InputEnded) << c.what;
      pictures[run] = test::picture(console.grid());
      settings[run] = app.settings;
    }
    EXPECT_EQ(pictures[0], pictures[1]) << c.what;
    EXPECT_EQ(settings[0], settings[1]) << c.what;
  }
}

TEST(Flow, ConsoleThatCannotOpenReadsNothing) {
  SetupRun run;
  run.console.fail_create(true);
  EXPECT_EQ(run.go({kEsc, kYes}), SetupEnd::NoConsole);
  EXPECT_EQ(run.app.settings, SetupSettings{});
}

// Only --help or --version as the one argument answers with a text (and no
// run); any other command line runs the program.
TEST(Flow, CommandLineIsIgnoredButForALoneHelpOrVersion) {
  const struct {
    std::vector<const char*> args;
    std::string starts;  // the text's beginning; empty: the program runs
  } cases[] = {
      {{"zorvikqm-setup"}, ""},
      {{"zorvikqm-setup", "--help"}, "Usage: zorvikqm-setup [--help | --version]\n"},
      {{"zorvikqm-setup", "--version"}, "zorvikqm-setup (Zorvik Quelta Marundo Setup) " ZQ_VERSION "\n"},
      {{"zorvikqm-setup", "--help", "-x"}, ""},
      {{"zorvikqm-setup", "foo"}, ""},
      {{"zorvikqm-setup", "-h"}, ""},
      {{"zorvikqm-setup", "--help="}, ""},
      {{"zorvikqm-setup", "--Version"}, ""},
  };
  for (const auto& c : cases) {
    const auto text = command_line_text(static_cast<int>(c.args.size()), c.args.data());
    EXPECT_EQ(std::string(text.value_or("")).substr(0, c.starts.size()), c.starts) << c.args.back();
    EXPECT_EQ(text.has_value(), !c.starts.empty()) << c.args.back();
  }
  const char* help[] = {"zorvikqm-setup", "--help"};
  EXPECT_NE(command_line_text(2, help)->find("zorvikqm.ini in the current folder"), std::string_view::npos);
}

}  // namespace
}  // namespace zq
