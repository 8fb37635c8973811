// The screens drawn on an in-memory console and driven by key presses:
// positions, colours, cursor and wrap-around, checked cell by cell.
#include <gtest/gtest.h>

#include <climits>
#include <clocale>

#include "app/option_screens.h"
#include "app/prompts.h"
#include "app/screens.h"
#include "app_harness.h"
#include "runtime/console_screen.h"
#include "runtime/console_view.h"

namespace zq {
namespace {

using test::ScriptedKeys;

constexpr std::uint16_t kFrameAttr = 31, kShadowAttr = 15, kBannerAttr = 111, kNormalAttr = 30,
                        kSelectedAttr = 79;

struct Screen {
  MemoryConsole console;
  ConsoleScreen screen;
  ScriptedKeys keys;
  Screen() { open_console(screen, console); }
  Io io() { return Io{screen, keys}; }
  std::string text(std::uint16_t row, std::uint16_t column, std::uint16_t count) const {
    return screen.grid.row_text(row, column, count);
  }
  // Attribute shared by `count` cells from (column, row); -1 when they differ.
  int attr(std::uint16_t column, std::uint16_t row, std::uint16_t count = 1) const {
    const std::uint16_t first = screen.grid.cell(column, row).attr;
    for (std::uint16_t c = column; c < column + count; ++c) {
      if (screen.grid.cell(c, row).attr != first) return -1;
    }
    return first;
  }
  bool cursor_at(std::uint16_t column, std::uint16_t row) const {
    const ConsoleGrid& grid = screen.grid;
    return grid.cursor_visible() && grid.cursor().column == column && grid.cursor().row == row;
  }
};

TEST(WrapValue, Table) {
  struct Case {
    std::int32_t x, lo, hi, want;
  };
  const Case cases[] = {
      {-1, 0, 4, 4},  {5, 0, 4, 0},   {-6, 0, 4, 4},  {12, 0, 4, 2},   {7, 3, 3, 3},
      {-1, 4, 0, 4},  {11, 0, 10, 0}, {-1, 0, 1, 1},  {2, 0, 4, 2},    {16, 0, 10, 5},
      {14, 0, 10, 3}, {-2, 0, 3, 2},  {13, 0, 9, 3},  {11, 0, 9, 1},   {6, 0, 2, 0},
      {4, 0, 2, 1},   {INT_MAX, 0, 10, 1}, {INT_MIN, 0, 10, 9},
      {INT_MIN, INT_MIN, INT_MAX, INT_MIN}, {INT_MAX, INT_MIN, INT_MAX, INT_MAX},
      {0, INT_MIN, INT_MAX, 0}, {INT_MIN, -1, 1, 1}, {INT_MAX, -5, 5, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(wrap_value(c.x, c.lo, c.hi), c.want) << c.x << " in " << c.lo << ".." << c.hi;
  }
}

TEST(WrapValue, StepsWrapAroundIn32Bits) {
  EXPECT_EQ(step_down(INT_MIN), INT_MAX);
  EXPECT_EQ(step_up(INT_MAX), INT_MIN);
  EXPECT_EQ(step_down(0), -1);
}

TEST(ScanCode, IsTheSecondByteOrZero) {
  EXPECT_EQ(scan_code_of(""), 0);
  EXPECT_EQ(scan_code_of("y"), 0);
  EXPECT_EQ(scan_code_of(test::kUp), 72);
  EXPECT_EQ(scan_code_of(std::string("\xff\x50", 2)), 80);
  // Any key that delivers 72 is Up, whatever it types (keypad 8).
  EXPECT_EQ(scan_code_of(std::string("8\x48", 2)), 72);
}

TEST(Frame, BannerShadowNoticeAndHelpLine) {
  Screen s;
  draw_frame(s.io(), "  A notice");
  EXPECT_FALSE(s.screen.grid.cursor_visible());
  EXPECT_EQ(s.text(0, 0, 80), std::string(80, ' '));
  EXPECT_EQ(s.attr(0, 0, 80), kFrameAttr);
  EXPECT_EQ(s.attr(0, 24, 80), kFrameAttr);
  EXPECT_EQ(s.text(2, 11, 54), "  Z O R V I K  Q U E L T A  M A R U N D O  S E T U P  ");
  for (std::uint16_t row = 1; row <= 3; ++row) EXPECT_EQ(s.attr(11, row, 54), kBannerAttr) << row;
  EXPECT_EQ(s.attr(10, 2), kFrameAttr);
  // The shadow shows one column right of the box and one row below it.
  EXPECT_EQ(s.attr(65, 1), kFrameAttr);
  EXPECT_EQ(s.attr(65, 2), kShadowAttr);
  EXPECT_EQ(s.attr(65, 3), kShadowAttr);
  EXPECT_EQ(s.attr(12, 4, 54), kShadowAttr);
  EXPECT_EQ(s.attr(11, 4), kFrameAttr);
  EXPECT_EQ(s.attr(66, 4), kFrameAttr);
  EXPECT_EQ(s.text(6, 0, 12), "  A notice  ");
  EXPECT_EQ(s.attr(0, 6, 80), kFrameAttr);
  EXPECT_EQ(s.text(24, 0, 80),
            "     UP/DOWN=Select | LEFT/RIGHT=Change Values | ENTER=Accept | ESC=Quit        ");
}

TEST(MainMenu, EntriesHighlightAndCursor) {
  const char* entries[] = {"    Display     ", "     Sound      ", "  DIP Switches  ",
                           "    Abandon     ", "  Save &  Exit  "};
  for (std::int32_t selected = 0; selected < 5; ++selected) {
    Screen s;
    draw_frame(s.io(), "");
    draw_main_menu(s.io(), selected, kMenuColumn);
    for (std::uint16_t i = 0; i < 5; ++i) {
      const auto row = static_cast<std::uint16_t>(10 + 2 * i);
      EXPECT_EQ(s.text(row, 30, 16), entries[i]);
      EXPECT_EQ(s.attr(30, row, 16), i == selected ? kSelectedAttr : kNormalAttr);
      EXPECT_EQ(s.attr(29, row), kFrameAttr);
      EXPECT_EQ(s.attr(46, row), kFrameAttr);
    }
    EXPECT_TRUE(s.cursor_at(30, static_cast<std::uint16_t>(10 + 2 * selected)));
    EXPECT_EQ(s.screen.grid.cursor_size(), 10u);
    EXPECT_EQ(s.keys.last_pause(), std::chrono::milliseconds(10));
  }
}

TEST(MainMenu, UpAndDownWrapAroundFiveEntries) {
  struct Case {
    std::int32_t from;
    int scan;
    std::int32_t to;
  };
  const Case cases[] = {{0, kScanUp, 4}, {4, kScanDown, 0}, {0, kScanDown, 1}, {3, kScanUp, 2}};
  for (const Case& c : cases) {
    Screen s;
    std::int32_t cursor = c.from;
    EXPECT_EQ(main_menu_key(s.io(), cursor, kMenuColumn, c.scan), MenuChoice::Stay);
    EXPECT_EQ(cursor, c.to);
    EXPECT_TRUE(s.cursor_at(30, static_cast<std::uint16_t>(10 + 2 * c.to)));
    EXPECT_EQ(s.attr(30, static_cast<std::uint16_t>(10 + 2 * c.to), 16), kSelectedAttr);
  }
}

TEST(MainMenu, OtherKeysChangeNothingAndDrawNothing) {
  Screen s;
  std::int32_t cursor = 2;
  draw_main_menu(s.io(), cursor, kMenuColumn);
  const auto writes = s.screen.grid.cell_writes();
  for (int scan : {0, kScanLeft, kScanRight, 21, 49, 42}) {
    EXPECT_EQ(main_menu_key(s.io(), cursor, kMenuColumn, scan), MenuChoice::Stay);
  }
  EXPECT_EQ(cursor, 2);
  EXPECT_EQ(s.screen.grid.cell_writes(), writes);
  EXPECT_EQ(main_menu_key(s.io(), cursor, kMenuColumn, kScanEnter), MenuChoice::Open);
  EXPECT_EQ(main_menu_key(s.io(), cursor, kMenuColumn, kScanEsc), MenuChoice::Quit);
}

// Every display line of an option has one width; the widths are fixed.
TEST(OptionScreens, LayoutOfEveryRow) {
  struct Expect {
    const OptionScreen* screen;
    std::uint16_t column;
    std::vector<std::size_t> widths;
  };
  const Expect expects[] = {
      {&kDisplayScreen, 12, {35, 30, 28}},
      {&kSoundScreen, 8, {38, 38, 34}},
      {&kDipScreen, 8, {42, 42, 52, 36, 53, 43, 36, 55, 37, 43, 43, 43, 43, 45, 45}},
  };
  for (const Expect& e : expects) {
    ASSERT_EQ(e.screen->column, e.column);
    ASSERT_EQ(e.screen->rows.size(), e.widths.size());
    for (std::size_t i = 0; i < e.widths.size(); ++i) {
      for (const auto line : e.screen->rows[i].lines) {
        EXPECT_EQ(line.size(), e.widths[i]) << line;
        if (e.screen == &kDipScreen) {
          EXPECT_EQ(line[26], ':') << line;
          EXPECT_EQ(line[29], '<') << line;
        }
      }
    }
  }
}

TEST(OptionScreens, RangesFollowTheOptions) {
  struct Range {
    std::int32_t SetupSettings::*option;
    std::size_t values;
  };
  const Range ranges[] = {
      {&SetupSettings::screenmode, 3},     {&SetupSettings::screendepth, 2},
      {&SetupSettings::graphicdetail, 2},  {&SetupSettings::playmusic, 11},
      {&SetupSettings::playsound, 11},     {&SetupSettings::attractsound, 2},
      {&SetupSettings::gamemode, 2},       {&SetupSettings::gamelevel, 4},
      {&SetupSettings::syncrate, 8},       {&SetupSettings::consolecredits, 10},
      {&SetupSettings::arcadecredits, 7},  {&SetupSettings::continues, 2},
      {&SetupSettings::extralives, 4},     {&SetupSettings::bonuslives, 5},
      {&SetupSettings::fightstyle, 2},     {&SetupSettings::changestyle, 2},
      {&SetupSettings::colorselect, 2},    {&SetupSettings::playerhitplayer, 2},
      {&SetupSettings::characterchange, 2}, {&SetupSettings::savehiscores, 2},
      {&SetupSettings::language, 2},
  };
  // Each option once: a row naming another row's option would still add up to 21.
  for (const Range& r : ranges) {
    int found = 0;
    for (const OptionScreen* screen : {&kDisplayScreen, &kSoundScreen, &kDipScreen}) {
      for (const OptionRow& row : screen->rows) {
        if (r.option != row.option) continue;
        EXPECT_EQ(row.lines.size(), r.values);
        ++found;
      }
    }
    EXPECT_EQ(found, 1) << r.values;
  }
}

TEST(OptionScreens, DrawsSelectedRowAndValues) {
  Screen s;
  SetupSettings settings;
  settings.playmusic = 10;
  settings.playsound = 0;
  settings.attractsound = 1;
  draw_frame(s.io(), "");
  draw_option_screen(s.io(), kSoundScreen, 1, settings);
  EXPECT_EQ(s.text(8, 8, 38), "  Music Volume        :  < 10(Max) >  ");
  EXPECT_EQ(s.text(9, 8, 38), "  Sound Volume        :  < 0(Off) >   ");
  EXPECT_EQ(s.text(10, 8, 34), "  Attract Mode Sound  :  < On >   ");
  EXPECT_EQ(s.attr(8, 8, 38), kNormalAttr);
  EXPECT_EQ(s.attr(8, 9, 38), kSelectedAttr);
  EXPECT_EQ(s.attr(46, 9), kFrameAttr);
  EXPECT_EQ(s.attr(8, 10, 34), kNormalAttr);
  EXPECT_TRUE(s.cursor_at(8, 9));
  EXPECT_EQ(s.keys.last_pause(), std::chrono::milliseconds(10));
}

// Left or Right on a row of a screen holding `value`: the option becomes `want`.
struct OptionKeyCase {
  const OptionScreen* screen;
  std::int32_t row;
  std::int32_t SetupSettings::*option;
  std::int32_t value;
  int scan;
  std::int32_t want;
};

// A value read from the file outside its range shows as read, with a "?",
// in its row's width and colours, and the first Left or Right brings it into
// range.
TEST(OptionScreens, OutOfRangeValueShowsAsReadUntilWrappedIn) {
  const struct {
    OptionKeyCase key;
    std::string shown;
  } cases[] = {
      {{&kDisplayScreen, 0, &SetupSettings::screenmode, 5, kScanLeft, 1}, "  Screen Mode  :  < 5 ? >          "},
      {{&kDisplayScreen, 0, &SetupSettings::screenmode, 5, kScanRight, 0}, "  Screen Mode  :  < 5 ? >          "},
      {{&kSoundScreen, 0, &SetupSettings::playmusic, -1, kScanRight, 0}, "  Music Volume        :  < -1 ? >     "},
      {{&kSoundScreen, 0, &SetupSettings::playmusic, -1, kScanLeft, 9}, "  Music Volume        :  < -1 ? >     "},
      {{&kSoundScreen, 0, &SetupSettings::playmusic, 15, kScanRight, 5}, "  Music Volume        :  < 15 ? >     "},
      {{&kSoundScreen, 0, &SetupSettings::playmusic, 15, kScanLeft, 3}, "  Music Volume        :  < 15 ? >     "},
      {{&kDipScreen, 1, &SetupSettings::gamelevel, -1, kScanRight, 0}, "  Game Level              :  < -1 ? >     "},
      {{&kDipScreen, 1, &SetupSettings::gamelevel, -1, kScanLeft, 2}, "  Game Level              :  < -1 ? >     "},
      // Too long for the row, as the 32-bit wrap of a 20-digit number.
      {{&kDipScreen, 1, &SetupSettings::gamelevel, -350287150, kScanRight, 3}, "  Game Level              :  < ? >        "},
      // The narrowest rows: the blank goes first.
      {{&kDipScreen, 3, &SetupSettings::consolecredits, 12, kScanLeft, 1}, "  Console Mode Credits    :  < 12? >"},
      {{&kDipScreen, 3, &SetupSettings::consolecredits, 12, kScanRight, 3}, "  Console Mode Credits    :  < 12? >"},
      {{&kDipScreen, 6, &SetupSettings::extralives, 5, kScanRight, 2}, "  Extra Lives             :  < 5 ? >"},
      {{&kDipScreen, 3, &SetupSettings::consolecredits, INT_MIN, kScanLeft, 7}, "  Console Mode Credits    :  < ? >  "},
      {{&kDipScreen, 3, &SetupSettings::consolecredits, INT_MAX, kScanRight, 2}, "  Console Mode Credits    :  < ? >  "},
      {{&kDipScreen, 14, &SetupSettings::language, 2, kScanRight, 1}, "  Language                :  < 2 ? >         "},
  };
  for (const auto& [c, shown] : cases) {
    Screen s;
    SetupSettings settings;
    settings.*c.option = c.value;
    std::int32_t cursor = c.row;
    const auto row = static_cast<std::uint16_t>(8 + c.row);
    const auto& line = c.screen->rows[static_cast<std::size_t>(c.row)].lines[static_cast<std::size_t>(c.want)];
    const auto width = static_cast<std::uint16_t>(line.size());
    draw_frame(s.io(), "");
    draw_option_screen(s.io(), *c.screen, cursor, settings);
    EXPECT_EQ(s.text(row, c.screen->column, static_cast<std::uint16_t>(width + 1)), shown + " ") << c.value;
    EXPECT_EQ(s.attr(c.screen->column, row, width), kSelectedAttr) << c.value;
    EXPECT_TRUE(s.cursor_at(c.screen->column, row));

    EXPECT_FALSE(option_screen_key(s.io(), *c.screen, cursor, settings, c.scan));
    EXPECT_EQ(settings.*c.option, c.want) << c.value;
    EXPECT_EQ(s.text(row, c.screen->column, width), line);
    EXPECT_EQ(s.attr(c.screen->column, row, width), kSelectedAttr);
  }
}

TEST(OptionScreens, ValuesWrapAtBothEnds) {
  const OptionKeyCase cases[] = {
      {&kSoundScreen, 0, &SetupSettings::playmusic, 10, kScanRight, 0},
      {&kSoundScreen, 1, &SetupSettings::playsound, 0, kScanLeft, 10},
      {&kDisplayScreen, 0, &SetupSettings::screenmode, 2, kScanRight, 0},
      {&kDisplayScreen, 0, &SetupSettings::screenmode, 0, kScanLeft, 2},
      {&kDipScreen, 2, &SetupSettings::syncrate, 7, kScanRight, 0},
      {&kDipScreen, 2, &SetupSettings::syncrate, 0, kScanLeft, 7},
      {&kDipScreen, 7, &SetupSettings::bonuslives, 4, kScanRight, 0},
      {&kDipScreen, 4, &SetupSettings::arcadecredits, 6, kScanRight, 0},
      {&kDipScreen, 14, &SetupSettings::language, 0, kScanRight, 1},
  };
  for (const OptionKeyCase& c : cases) {
    Screen s;
    SetupSettings settings;
    settings.*c.option = c.value;
    std::int32_t cursor = c.row;
    option_screen_key(s.io(), *c.screen, cursor, settings, c.scan);
    EXPECT_EQ(settings.*c.option, c.want);
    EXPECT_EQ(cursor, c.row);
  }
}

TEST(OptionScreens, SelectionWrapsAndWalksEveryRow) {
  for (const OptionScreen* screen : {&kDisplayScreen, &kSoundScreen, &kDipScreen}) {
    Screen s;
    SetupSettings settings;
    const auto rows = static_cast<std::int32_t>(screen->rows.size());
    std::int32_t cursor = 0;
    option_screen_key(s.io(), *screen, cursor, settings, kScanUp);
    EXPECT_EQ(cursor, rows - 1);
    EXPECT_TRUE(s.cursor_at(screen->column, static_cast<std::uint16_t>(8 + rows - 1)));
    for (std::int32_t step = 0; step < rows; ++step) {
      option_screen_key(s.io(), *screen, cursor, settings, kScanDown);
      EXPECT_EQ(cursor, step);
    }
  }
}

TEST(OptionScreens, EnterAndEscLeaveOtherKeysDoNothing) {
  Screen s;
  SetupSettings settings;
  std::int32_t cursor = 1;
  draw_option_screen(s.io(), kDisplayScreen, cursor, settings);
  const auto writes = s.screen.grid.cell_writes();
  for (int scan : {0, 21, 49, 42}) EXPECT_FALSE(option_screen_key(s.io(), kDisplayScreen, cursor, settings, scan));
  EXPECT_EQ(s.screen.grid.cell_writes(), writes);
  EXPECT_TRUE(option_screen_key(s.io(), kDisplayScreen, cursor, settings, kScanEnter));
  EXPECT_TRUE(option_screen_key(s.io(), kDisplayScreen, cursor, settings, kScanEsc));
  EXPECT_EQ(settings, SetupSettings{});
}

TEST(Prompts, BoxShadowAndCursor) {
  struct Case {
    const Prompt* prompt;
    std::uint16_t column, width, cursor_column;
  };
  const Case cases[] = {{&kQuitPrompt, 18, 42, 57}, {&kSavePrompt, 13, 51, 61}};
  for (const Case& c : cases) {
    Screen s;
    draw_main_menu(s.io(), 0, kMenuColumn);
    draw_prompt(s.io(), "", *c.prompt);
    EXPECT_EQ(c.prompt->message.size(), c.width);
    EXPECT_EQ(s.text(12, c.column, c.width), c.prompt->message);
    for (std::uint16_t row = 11; row <= 13; ++row) EXPECT_EQ(s.attr(c.column, row, c.width), kSelectedAttr);
    EXPECT_EQ(s.text(11, c.column, c.width), std::string(c.width, ' '));
    const auto right = static_cast<std::uint16_t>(c.column + c.width);
    EXPECT_EQ(s.attr(right, 11), kFrameAttr);
    EXPECT_EQ(s.attr(right, 12), kShadowAttr);
    EXPECT_EQ(s.attr(right, 13), kShadowAttr);
    EXPECT_EQ(s.attr(static_cast<std::uint16_t>(c.column + 1), 14, c.width), kShadowAttr);
    EXPECT_EQ(s.attr(c.column, 14), kFrameAttr);
    EXPECT_EQ(s.attr(static_cast<std::uint16_t>(right + 1), 14), kFrameAttr);
    EXPECT_TRUE(s.cursor_at(c.cursor_column, 12));
    // The menu underneath is gone.
    EXPECT_EQ(s.text(10, 30, 16), std::string(16, ' '));
    EXPECT_EQ(s.text(18, 30, 16), std::string(16, ' '));
  }
}

TEST(Prompts, AnswerIsYOrNInEitherCase) {
  struct Case {
    std::string key;
    std::string want;
  };
  const Case cases[] = {
      {test::kYes, "Y"},   {test::kYesUpper, "Y"}, {test::kNo, "N"},   {test::kNoUpper, "N"},
      {"y", "Y"},          {"", ""},               {test::kEsc, ""},   {test::kEnter, ""},
      {test::kUp, ""},     {test::letter('x', 45), ""}, {"\xff", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(prompt_answer(c.key), c.want);
}

TEST(Prompts, SaveErrorBoxShowsTheReason) {
  const std::string first = "  Could not save zorvikqm.ini: Permission denied";
  const std::string ask = "  Press any key to return to the menu.";
  const struct {
    std::string way_out;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {first, ask}},
      {"run as administrator", {first, "  To save, run as administrator.", ask}},  // what to do, between
  };
  for (const auto& c : cases) {
    Screen s;
    draw_save_error(s.io(), "", "Permission denied", c.way_out);
    const std::uint16_t width = static_cast<std::uint16_t>(first.size() + 3);
    const auto column = static_cast<std::uint16_t>((80 - width) / 2);
    const auto last = static_cast<std::uint16_t>(11 + c.lines.size());
    for (std::uint16_t i = 0; i < c.lines.size(); ++i) {
      EXPECT_EQ(s.text(12 + i, column, width), c.lines[i] + std::string(width - c.lines[i].size(), ' '));
    }
    EXPECT_EQ(s.attr(column, 11, width), kSelectedAttr);
    EXPECT_EQ(s.attr(column, last + 1, width), kSelectedAttr);
    EXPECT_EQ(s.attr(static_cast<std::uint16_t>(column + 1), last + 2, width), kShadowAttr);
    EXPECT_TRUE(s.cursor_at(static_cast<std::uint16_t>(column + ask.size()), last)) << c.way_out;
  }
}

// The reason is the system's: long, with a control byte shown as '?', or in
// letters two cells wide, cut between two of them.
TEST(Prompts, LongSaveErrorStaysOnTheScreen) {
  std::setlocale(LC_CTYPE, "C.UTF-8");  // a terminal in UTF-8
  std::string wide;
  for (int i = 0; i < 100; ++i) wide += "\xE3\x82\xB2";
  const struct {
    std::string reason, line;  // the box's first line, 76 cells from column 2
  } cases[] = {
      {"\x1b" + std::string(300, 'x'), "  Could not save zorvikqm.ini: ?" + std::string(44, 'x')},
      {wide, "  Could not save zorvikqm.ini: " + wide.substr(0, 22 * 3) + " "},
  };
  for (const auto& c : cases) {
    Screen s;
    draw_save_error(s.io(), "", c.reason);
    for (std::uint16_t row = 11; row <= 15; ++row) {
      EXPECT_EQ(s.attr(0, row), kFrameAttr) << row;
      EXPECT_EQ(s.attr(79, row), kFrameAttr) << row;
    }
    EXPECT_EQ(s.text(12, 2, 76), c.line);
    EXPECT_EQ(s.attr(2, 12, 76), kSelectedAttr);
  }
}

// A short terminal leaves out the spared rows; every screen must leave them
// blank in the frame's colours, or something would go missing there.
TEST(ShortView, SparedRowsAreBlankOnEveryScreen) {
  const std::string notice(80, 'n');  // a notice as long as the row
  SetupSettings settings;
  const std::vector<std::function<void(Io)>> screens = {
      [&](Io io) { draw_frame(io, notice); draw_main_menu(io, kEntrySave, kMenuColumn); },
      [&](Io io) { draw_frame(io, notice); draw_option_screen(io, kDisplayScreen, 0, settings); },
      [&](Io io) { draw_frame(io, notice); draw_option_screen(io, kSoundScreen, 0, settings); },
      [&](Io io) { draw_frame(io, notice); draw_option_screen(io, kDipScreen, 0, settings); },
      [&](Io io) { draw_prompt(io, notice, kQuitPrompt); },
      [&](Io io) { draw_prompt(io, notice, kSavePrompt); },
      [&](Io io) { draw_save_error(io, notice, std::string(300, 'x')); },
  };
  for (std::size_t i = 0; i < screens.size(); ++i) {
    Screen s;
    screens[i](s.io());
    for (const int row : kSparedRows) {
      const auto r = static_cast<std::uint16_t>(row);
      EXPECT_EQ(s.text(r, 0, 80), std::string(80, ' ')) << "screen " << i << ", row " << row;
      EXPECT_EQ(s.attr(0, r, 80), kFrameAttr) << "screen " << i << ", row " << row;
    }
  }
}

}  // namespace
}  // namespace zq
