#include "app/option_screens.h"

#include <string>

#include "runtime/text_convert.h"

namespace zq {
namespace {

constexpr std::uint16_t kFirstRow = 8;

constexpr std::string_view kScreenMode[] = {
    "  Screen Mode  :  < Full Screen >  ",
    "  Screen Mode  :  < Window >       ",
    "  Screen Mode  :  < Desktop >      ",
};
constexpr std::string_view kColorDepth[] = {
    "  Color Depth  :  < 16 bit >  ",
    "  Color Depth  :  < 32 bit >  ",
};
constexpr std::string_view kDetail[] = {
    "  Detail       :  < High >  ",
    "  Detail       :  < Low >   ",
};

constexpr std::string_view kMusicVolume[] = {
    "  Music Volume        :  < 0(Off) >   ",
    "  Music Volume        :  < 1(Min) >   ",
    "  Music Volume        :  < 2 >        ",
    "  Music Volume        :  < 3 >        ",
    "  Music Volume        :  < 4 >        ",
    "  Music Volume        :  < 5 >        ",
    "  Music Volume        :  < 6 >        ",
    "  Music Volume        :  < 7 >        ",
    "  Music Volume        :  < 8 >        ",
    "  Music Volume        :  < 9 >        ",
    "  Music Volume        :  < 10(Max) >  ",
};
constexpr std::string_view kSoundVolume[] = {
    "  Sound Volume        :  < 0(Off) >   ",
    "  Sound Volume        :  < 1(Min) >   ",
    "  Sound Volume        :  < 2 >        ",
    "  Sound Volume        :  < 3 >        ",
    "  Sound Volume        :  < 4 >        ",
    "  Sound Volume        :  < 5 >        ",
    "  Sound Volume        :  < 6 >        ",
    "  Sound Volume        :  < 7 >        ",
    "  Sound Volume        :  < 8 >        ",
    "  Sound Volume        :  < 9 >        ",
    "  Sound Volume        :  < 10(Max) >  ",
};
constexpr std::string_view kAttractSound[] = {
    "  Attract Mode Sound  :  < Off >  ",
    "  Attract Mode Sound  :  < On >   ",
};

constexpr std::string_view kGameMode[] = {
    "  Game Mode               :  < Console >  ",
    "  Game Mode               :  < Arcade >   ",
};
constexpr std::string_view kGameLevel[] = {
    "  Game Level              :  < Easy >     ",
    "  Game Level              :  < Normal >   ",
    "  Game Level              :  < Hard >     ",
    "  Game Level              :  < Ultimate > ",
};
constexpr std::string_view kGameSpeed[] = {
    "  Game Speed              :  < Slow (30 FPS) >      ",
    "  Game Speed              :  < Normal (35 FPS) >    ",
    "  Game Speed              :  < Fast (40 FPS) >      ",
    "  Game Speed              :  < Fast+ (45 FPS) >     ",
    "  Game Speed              :  < Fast++ (50 FPS) >    ",
    "  Game Speed              :  < Fast+++ (55 FPS) >   ",
    "  Game Speed              :  < Fast++++ (60 FPS) >  ",
    "  Game Speed              :  < No Speed Limit >     ",
};
constexpr std::string_view kConsoleCredits[] = {
    "  Console Mode Credits    :  < 0 >  ", "  Console Mode Credits    :  < 1 >  ",
    "  Console Mode Credits    :  < 2 >  ", "  Console Mode Credits    :  < 3 >  ",
    "  Console Mode Credits    :  < 4 >  ", "  Console Mode Credits    :  < 5 >  ",
    "  Console Mode Credits    :  < 6 >  ", "  Console Mode Credits    :  < 7 >  ",
    "  Console Mode Credits    :  < 8 >  ", "  Console Mode Credits    :  < 9 >  ",
};
constexpr std::string_view kArcadeCredits[] = {
    "  Arcade Mode Credits     :  < 1 Coin = 1 Credit >   ",
    "  Arcade Mode Credits     :  < 1 Coin = 2 Credits >  ",
    "  Arcade Mode Credits     :  < 1 Coin = 3 Credits >  ",
    "  Arcade Mode Credits     :  < 1 Coin = 4 Credits >  ",
    "  Arcade Mode Credits     :  < 2 Coins = 1 Credit >  ",
    "  Arcade Mode Credits     :  < 3 Coins = 1 Credit >  ",
    "  Arcade Mode Credits     :  < 4 Coins = 1 Credit >  ",
};
constexpr std::string_view kContinues[] = {
    "  Continues               :  < Disabled >  ",
    "  Continues               :  < Enabled >   ",
};
constexpr std::string_view kExtraLives[] = {
    "  Extra Lives             :  < 0 >  ",
    "  Extra Lives             :  < 1 >  ",
    "  Extra Lives             :  < 2 >  ",
    "  Extra Lives             :  < 3 >  ",
};
constexpr std::string_view kBonusLives[] = {
    "  Bonus Lives             :  < 20K >                   ",
    "  Bonus Lives             :  < 30K, 60K, 120K, 180K >  ",
    "  Bonus Lives             :  < 40K >                   ",
    "  Bonus Lives             :  < 40K, 80K, 160K, 240K >  ",
    "  Bonus Lives             :  < Disabled >              ",
};
constexpr std::string_view kFightStyle[] = {
    "  Default Fighting Style  :  < I >   ",
    "  Default Fighting Style  :  < II >  ",
};
constexpr std::string_view kChangeStyle[] = {
    "  Change Fighting Style   :  < Disabled >  ",
    "  Change Fighting Style   :  < Enabled >   ",
};
constexpr std::string_view kColorSelect[] = {
    "  Color Select            :  < Disabled >  ",
    "  Color Select            :  < Enabled >   ",
};
constexpr std::string_view kPlayerHitPlayer[] = {
    "  Player Hit Player       :  < Disabled >  ",
    "  Player Hit Player       :  < Enabled >   ",
};
constexpr std::string_view kCharacterChange[] = {
    "  Character Change        :  < Disabled >  ",
    "  Character Change        :  < Enabled >   ",
};
constexpr std::string_view kSaveHiscores[] = {
    "  Save Highscores         :  < No >          ",
    "  Save Highscores         :  < Yes >         ",
};
constexpr std::string_view kLanguage[] = {
    "  Language                :  < English >     ",
    "  Language                :  < Portuguese >  ",
};

constexpr OptionRow kDisplayRows[] = {
    {&SetupSettings::screenmode, kScreenMode},
    {&SetupSettings::screendepth, kColorDepth},
    {&SetupSettings::graphicdetail, kDetail},
};
constexpr OptionRow kSoundRows[] = {
    {&SetupSettings::playmusic, kMusicVolume},
    {&SetupSettings::playsound, kSoundVolume},
    {&SetupSettings::attractsound, kAttractSound},
};
constexpr OptionRow kDipRows[] = {
    {&SetupSettings::gamemode, kGameMode},
    {&SetupSettings::gamelevel, kGameLevel},
    {&SetupSettings::syncrate, kGameSpeed},
    {&SetupSettings::consolecredits, kConsoleCredits},
    {&SetupSettings::arcadecredits, kArcadeCredits},
    {&SetupSettings::continues, kContinues},
    {&SetupSettings::extralives, kExtraLives},
    {&SetupSettings::bonuslives, kBonusLives},
    {&SetupSettings::fightstyle, kFightStyle},
    {&SetupSettings::changestyle, kChangeStyle},
    {&SetupSettings::colorselect, kColorSelect},
    {&SetupSettings::playerhitplayer, kPlayerHitPlayer},
    {&SetupSettings::characterchange, kCharacterChange},
    {&SetupSettings::savehiscores, kSaveHiscores},
    {&SetupSettings::language, kLanguage},
};

// All lines of one option share one width, so a redraw overwrites the old value.
constexpr bool same_widths(std::span<const OptionRow> rows) {
  for (const OptionRow& row : rows) {
    for (const std::string_view line : row.lines) {
      if (line.size() != row.lines[0].size()) return false;
    }
  }
  return true;
}
static_assert(same_widths(kDisplayRows) && same_widths(kSoundRows) && same_widths(kDipRows));

std::int32_t last_row(const OptionScreen& screen) {
  return static_cast<std::int32_t>(screen.rows.size()) - 1;
}

std::int32_t last_value(const OptionRow& row) { return static_cast<std::int32_t>(row.lines.size()) - 1; }

// The line a row shows for its option's value: one of the option's own, or
// for a value outside its range, in the width of its lines, the option's
// name, then between "< " and " >" the number as read and a "?" ("< 7 ? >"),
// without the blank where the row is too narrow ("< 12? >"), and the "?"
// alone where even that does not fit ("< ? >").
std::string shown_line(const OptionRow& row, std::int32_t value) {
  if (value >= 0 && value <= last_value(row)) return std::string(row.lines[static_cast<std::size_t>(value)]);
  const std::string_view first = row.lines[0];
  const std::size_t value_at = first.find('<') + 2;
  const std::size_t room = first.size() - value_at - 2;
  const std::string number = int_to_text(value);
  const std::string shown = number.size() + 2 <= room ? number + " ?" : number.size() + 1 <= room ? number + "?" : "?";
  std::string line = std::string(first.substr(0, value_at)) + shown + " >";
  line.resize(first.size(), ' ');
  return line;
}

}  // namespace

const OptionScreen kDisplayScreen{12, kDisplayRows};
const OptionScreen kSoundScreen{8, kSoundRows};
const OptionScreen kDipScreen{8, kDipRows};

void draw_option_screen(Io io, const OptionScreen& screen, std::int32_t screen_cursor,
                        const SetupSettings& settings) {
  ConsoleScreen& s = io.screen;
  set_cursor_shape(s, 0);
  for (std::int32_t i = 0; i <= last_row(screen); ++i) {
    const OptionRow& row = screen.rows[static_cast<std::size_t>(i)];
    locate(s, screen.column, static_cast<std::uint16_t>(kFirstRow + i));
    use_color(s, i == screen_cursor ? kColorSelected : kColorNormal);
    print_text(s, shown_line(row, settings.*row.option));
  }
  locate(s, screen.column, static_cast<std::uint16_t>(kFirstRow + screen_cursor));
  set_cursor_shape(s, 1);
  end_redraw(io);
}

std::optional<RowHit> option_row_at(const OptionScreen& screen, const SetupSettings& settings, int column, int row) {
  const std::int32_t index = row - kFirstRow;
  if (index < 0 || index > last_row(screen) || column < screen.column) return std::nullopt;
  const OptionRow& option = screen.rows[static_cast<std::size_t>(index)];
  const std::string line = shown_line(option, settings.*option.option);
  const auto at = static_cast<std::size_t>(column - screen.column);
  if (at >= line.size()) return std::nullopt;
  if (at == line.find('<')) return RowHit{index, kScanLeft};
  if (at == line.rfind('>')) return RowHit{index, kScanRight};
  return RowHit{index, 0};
}

bool option_screen_key(Io io, const OptionScreen& screen, std::int32_t& screen_cursor,
                       SetupSettings& settings, int scan_code) {
  switch (scan_code) {
    case kScanUp:
      screen_cursor = wrap_value(screen_cursor - 1, 0, last_row(screen));
      break;
    case kScanDown:
      screen_cursor = wrap_value(screen_cursor + 1, 0, last_row(screen));
      break;
    case kScanLeft:
    case kScanRight: {
      const OptionRow& row = screen.rows[static_cast<std::size_t>(screen_cursor)];
      std::int32_t& value = settings.*row.option;
      value = wrap_value(scan_code == kScanLeft ? step_down(value) : step_up(value), 0, last_value(row));
      break;
    }
    case kScanEnter:
    case kScanEsc:
      return true;
    default:
      return false;
  }
  draw_option_screen(io, screen, screen_cursor, settings);
  return false;
}

}  // namespace zq
