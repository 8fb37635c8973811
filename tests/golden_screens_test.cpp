// Every screen as a person sees it at 80x25, text and colour of each cell and
// the cursor, compared with the files in tests/golden/. After an intended
// change of a screen, `make golden` rewrites them (ZQ_UPDATE_GOLDEN=1).
// And every colour pair they use, readable as a 256-colour terminal shows it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/config_notice.h"
#include "app/option_screens.h"
#include "app/prompts.h"
#include "app/screens.h"
#include "app/setup_flow.h"
#include "app_harness.h"
#include "runtime/console_palette.h"

namespace zq {
namespace {

namespace fs = std::filesystem;

// The notice for a file not there yet, in a fixed folder under a fixed home.
const std::string kNotice =
    notice_for({FileState::Absent, ""}, "/home/player/Games/Zorvik Quelta Marundo/zorvikqm.ini", "/home/player");

struct GoldenScreen {
  std::string name;
  std::function<void(Io)> draw;
};

// The main menu with each entry selected; each option screen once per row,
// row i selected and every option at value i (wrapped into its range), so
// every value of every option shows; one with values out of range; the
// prompts and the error box.
std::vector<GoldenScreen> all_screens() {
  std::vector<GoldenScreen> screens;
  for (std::int32_t entry = 0; entry < kMenuEntries; ++entry) {
    screens.push_back({"main_menu_" + std::to_string(entry), [entry](Io io) {
                         draw_frame(io, kNotice);
                         draw_main_menu(io, entry, kMenuColumn);
                       }});
  }
  const struct {
    const char* name;
    const OptionScreen* screen;
  } option_screens[] = {{"display", &kDisplayScreen}, {"sound", &kSoundScreen}, {"dip", &kDipScreen}};
  for (const auto& s : option_screens) {
    std::size_t pictures = s.screen->rows.size();
    for (const OptionRow& row : s.screen->rows) pictures = std::max(pictures, row.lines.size());
    for (std::size_t i = 0; i < pictures; ++i) {
      const OptionScreen* screen = s.screen;
      screens.push_back({std::string(s.name) + "_" + std::to_string(i), [screen, i](Io io) {
                           SetupSettings settings;
                           for (const OptionRow& row : screen->rows) {
                             settings.*row.option = static_cast<std::int32_t>(i % row.lines.size());
                           }
                           draw_frame(io, kNotice);
                           draw_option_screen(io, *screen, static_cast<std::int32_t>(i % screen->rows.size()),
                                              settings);
                         }});
    }
  }
  // Values read from the file outside their ranges, the first one selected.
  screens.push_back({"dip_out_of_range", [](Io io) {
                       SetupSettings settings;
                       settings.gamemode = 7;
                       settings.gamelevel = -350287150;
                       settings.consolecredits = 12;
                       settings.extralives = 5;
                       draw_frame(io, kNotice);
                       draw_option_screen(io, kDipScreen, 0, settings);
                     }});
  screens.push_back({"quit_prompt", [](Io io) { draw_prompt(io, kNotice, kQuitPrompt); }});
  screens.push_back({"save_prompt", [](Io io) { draw_prompt(io, kNotice, kSavePrompt); }});
  screens.push_back({"save_failed", [](Io io) { draw_save_error(io, kNotice, "Permission denied"); }});
  return screens;
}

ConsoleGrid drawn(const GoldenScreen& screen) {
  MemoryConsole console;
  ConsoleScreen s;
  test::ScriptedKeys keys;
  open_console(s, console);
  screen.draw(Io{s, keys});
  return s.grid;
}

std::string read_text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The first line where the two differ, both versions, for the failure message.
std::string first_difference(const std::string& got, const std::string& want) {
  std::istringstream a(got), b(want);
  std::string line_a, line_b;
  for (int line = 1;; ++line) {
    const bool more_a = static_cast<bool>(std::getline(a, line_a));
    const bool more_b = static_cast<bool>(std::getline(b, line_b));
    if (!more_a && !more_b) return "same";
    if (line_a != line_b || more_a != more_b) {
      return "line " + std::to_string(line) + ":\n  got  " + line_a + "\n  want " + line_b;
    }
  }
}

TEST(GoldenScreens, EveryScreenMatchesItsFile) {
  const fs::path dir = ZQ_GOLDEN_DIR;
  const bool update = std::getenv("ZQ_UPDATE_GOLDEN") != nullptr;
  if (update) {
    fs::create_directories(dir);
    for (const auto& entry : fs::directory_iterator(dir)) {
      if (entry.path().extension() == ".txt") fs::remove(entry.path());
    }
  }
  std::set<std::string> expected;
  for (const GoldenScreen& screen : all_screens()) {
    const std::string got = test::picture(drawn(screen));
    const fs::path file = dir / (screen.name + ".txt");
    expected.insert(file.filename().string());
    if (update) {
      std::ofstream(file, std::ios::binary) << got;
      continue;
    }
    const std::string want = read_text(file);
    EXPECT_TRUE(got == want) << file.string() << " differs (make golden updates it after an intended change), "
                             << first_difference(got, want);
  }
  // A file no screen produces is stale.
  for (const auto& entry : fs::directory_iterator(dir)) {
    EXPECT_TRUE(expected.count(entry.path().filename().string()) == 1) << entry.path().string();
  }
}

// WCAG contrast of two 0xRRGGBB colours, from 1 (none) to 21.
double contrast(std::uint32_t a, std::uint32_t b) {
  const auto luminance = [](std::uint32_t rgb) {
    double sum = 0;
    for (const auto& [shift, weight] : {std::pair{16, 0.2126}, {8, 0.7152}, {0, 0.0722}}) {
      const double c = ((rgb >> shift) & 0xFFu) / 255.0;
      sum += weight * (c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
    }
    return sum;
  };
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Every colour pair on the screens can be read as a 256-colour terminal shows
// it, each console colour as its nearest fixed entry.
TEST(GoldenScreens, EveryColourPairIsReadableOn256Colours) {
  std::vector<int> nearest;
  for (std::uint32_t rgb : kClassicPalette) nearest.push_back(nearest_entry(rgb));
  EXPECT_EQ(nearest, (std::vector<int>{16, 19, 34, 37, 124, 127, 130, 248, 240, 63, 83, 87, 203, 207, 227, 231}));
  std::set<std::uint16_t> pairs;
  for (const GoldenScreen& screen : all_screens()) {
    const ConsoleGrid console = drawn(screen);
    for (std::uint16_t row = 0; row < console.height(); ++row) {
      for (std::uint16_t column = 0; column < console.width(); ++column) pairs.insert(console.cell(column, row).attr);
    }
  }
  EXPECT_EQ(pairs.size(), std::size(test::kColourLetters));
  for (std::uint16_t attr : pairs) {
    const std::uint32_t fg = rgb_of_entry(nearest_entry(kClassicPalette[attr & 0xFu]));
    const std::uint32_t bg = rgb_of_entry(nearest_entry(kClassicPalette[(attr >> 4) & 0xFu]));
    EXPECT_GE(contrast(fg, bg), 4.5) << "attribute " << attr << " (" << test::letter_of(attr) << ")";
  }
}

}  // namespace
}  // namespace zq
