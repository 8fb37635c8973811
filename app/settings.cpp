#include "app/settings.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/ini_file.h"
#include "runtime/text_convert.h"

namespace zq {
namespace {

constexpr std::string_view kSection = "CONFIG";
constexpr std::string_view kFileName = "zorvikqm.ini";

// How an option's value and its text in the file map onto each other.
enum class Conversion {
  Number,       // decimal text
  ColorDepth,   // "16" or "32"
  FrameRate,    // one of kFrameRateTexts
};

// Frame-rate texts of the game speed values 0 to 7; "0" means no limit.
constexpr std::array<std::string_view, 8> kFrameRateTexts = {"30", "35", "40", "45",
                                                             "50", "55", "60", "0"};

using Member = std::int32_t SetupSettings::*;

struct OptionKey {
  std::string_view key;
  std::string_view default_text;  // what a read gives for an absent key
  Member member;
  Conversion conversion;
};

// In the order a save writes them, which is the order the file lists them in.
constexpr std::array<OptionKey, 21> kOptions = {{
    {"screenmode", "0", &SetupSettings::screenmode, Conversion::Number},
    {"screendepth", "16", &SetupSettings::screendepth, Conversion::ColorDepth},
    {"syncrate", "35", &SetupSettings::syncrate, Conversion::FrameRate},
    {"graphicdetail", "0", &SetupSettings::graphicdetail, Conversion::Number},
    {"playsound", "10", &SetupSettings::playsound, Conversion::Number},
    {"playmusic", "10", &SetupSettings::playmusic, Conversion::Number},
    {"attractsound", "1", &SetupSettings::attractsound, Conversion::Number},
    {"gamemode", "0", &SetupSettings::gamemode, Conversion::Number},
    {"gamelevel", "1", &SetupSettings::gamelevel, Conversion::Number},
    {"consolecredits", "3", &SetupSettings::consolecredits, Conversion::Number},
    {"arcadecredits", "0", &SetupSettings::arcadecredits, Conversion::Number},
    {"continues", "1", &SetupSettings::continues, Conversion::Number},
    {"extralives", "2", &SetupSettings::extralives, Conversion::Number},
    {"bonuslives", "1", &SetupSettings::bonuslives, Conversion::Number},
    {"fightstyle", "0", &SetupSettings::fightstyle, Conversion::Number},
    {"changestyle", "1", &SetupSettings::changestyle, Conversion::Number},
    {"colorselect", "1", &SetupSettings::colorselect, Conversion::Number},
    {"playerhitplayer", "1", &SetupSettings::playerhitplayer, Conversion::Number},
    {"characterchange", "1", &SetupSettings::characterchange, Conversion::Number},
    {"savehiscores", "1", &SetupSettings::savehiscores, Conversion::Number},
    {"language", "0", &SetupSettings::language, Conversion::Number},
}};

// The game reads the keys in another fixed order.
constexpr std::array<Member, 21> kLoadOrder = {
    &SetupSettings::screenmode,     &SetupSettings::playsound,       &SetupSettings::playmusic,
    &SetupSettings::attractsound,   &SetupSettings::gamemode,        &SetupSettings::gamelevel,
    &SetupSettings::consolecredits, &SetupSettings::arcadecredits,   &SetupSettings::continues,
    &SetupSettings::extralives,     &SetupSettings::bonuslives,      &SetupSettings::fightstyle,
    &SetupSettings::changestyle,    &SetupSettings::colorselect,     &SetupSettings::playerhitplayer,
    &SetupSettings::characterchange, &SetupSettings::savehiscores,   &SetupSettings::language,
    &SetupSettings::screendepth,    &SetupSettings::syncrate,        &SetupSettings::graphicdetail,
};

constexpr const OptionKey* find_key(Member member) {
  for (const OptionKey& row : kOptions) {
    if (row.member == member) return &row;
  }
  return nullptr;
}

// Every option appears exactly once in the order.
constexpr bool covers_all_options(const std::array<Member, 21>& order) {
  for (const OptionKey& row : kOptions) {
    int seen = 0;
    for (Member m : order) seen += m == row.member ? 1 : 0;
    if (seen != 1) return false;
  }
  return true;
}
static_assert(covers_all_options(kLoadOrder));

// Applies the text read for an option; an unknown frame rate changes nothing.
void apply_text(SetupSettings& settings, const OptionKey& row, std::string_view text) {
  std::int32_t& option = settings.*row.member;
  switch (row.conversion) {
    case Conversion::Number:
      option = text_to_int(text);
      return;
    case Conversion::ColorDepth:
      option = text_equals(text, "32") ? 1 : 0;
      return;
    case Conversion::FrameRate:
      if (const auto known = std::ranges::find_if(kFrameRateTexts, [&](auto rate) { return text_equals(text, rate); });
          known != kFrameRateTexts.end()) {
        option = static_cast<std::int32_t>(known - kFrameRateTexts.begin());
      }
      return;
  }
}

// The option's text for the file, or nothing for a game speed outside the
// eight known ones, which has no text that would read back as itself.
std::optional<std::string> option_text(const SetupSettings& settings, const OptionKey& row) {
  const std::int32_t option = settings.*row.member;
  switch (row.conversion) {
    case Conversion::Number:
      return int_to_text(option);
    case Conversion::ColorDepth:
      return option == 1 ? "32" : "16";
    case Conversion::FrameRate:
      if (option < 0 || option >= static_cast<std::int32_t>(kFrameRateTexts.size())) {
        return std::nullopt;
      }
      return std::string(kFrameRateTexts[static_cast<std::size_t>(option)]);
  }
  return std::nullopt;
}

// Every option's text for the file, in the save order; a game speed with no
// text of its own is left out, and so keeps the file's.
std::vector<ConfigValue> writes_for(const SetupSettings& settings) {
  std::vector<ConfigValue> writes;
  writes.reserve(kOptions.size());
  for (const OptionKey& row : kOptions) {
    if (std::optional<std::string> text = option_text(settings, row)) {
      writes.push_back({std::string(row.key), std::move(*text)});
    }
  }
  return writes;
}

}  // namespace

std::string config_path() { return file_in_current_directory(kFileName); }

void load_settings(SetupSettings& settings, const std::string& path) {
  for (Member member : kLoadOrder) {
    const OptionKey& row = *find_key(member);
    apply_text(settings, row, read_config_value(path, kSection, row.key, row.default_text));
  }
}

SaveResult save_settings(const SetupSettings& settings, const std::string& path) {
  // The 21 writes are applied in order to the content and the file is
  // replaced once, so a save lands whole or not at all.
  return write_config_values(path, kSection, writes_for(settings));
}

SaveResult save_settings(const SetupSettings& settings, const SetupSettings& loaded, const std::string& path) {
  return write_config_values(path, kSection, [&](std::string_view content) {
    SetupSettings saved = settings;
    for (const OptionKey& row : kOptions) {
      // Still as loaded (an unknown game speed text keeps it so).
      if (settings.*row.member == loaded.*row.member) {
        apply_text(saved, row, ini_value(content, kSection, row.key, row.default_text));
      }
    }
    return writes_for(saved);
  });
}

}  // namespace zq
