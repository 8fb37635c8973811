#include "app/prompts.h"

#include <algorithm>
#include <vector>

#include "runtime/characters.h"
#include "runtime/display_text.h"
#include "runtime/text_convert.h"

namespace zq {
namespace {

constexpr std::uint16_t kBoxTop = 11;
constexpr std::size_t kScreenWidth = 80;

// Draws a box of the given lines from row kBoxTop on, framed by a blank line
// above and below, with its shadow one column right and one row down.
void draw_box(ConsoleScreen& s, std::uint16_t column, const std::vector<std::string>& lines) {
  const std::string blank = blank_text(static_cast<std::int32_t>(cells_of(lines.front())));
  const auto rows = static_cast<std::uint16_t>(lines.size() + 2);
  use_color(s, kColorShadow);
  for (std::uint16_t r = 1; r <= rows; ++r) print_at(s, column + 1, kBoxTop + r, blank);
  use_color(s, kColorSelected);
  print_at(s, column, kBoxTop, blank);
  for (std::uint16_t r = 0; r < lines.size(); ++r) print_at(s, column, kBoxTop + 1 + r, lines[r]);
  print_at(s, column, static_cast<std::uint16_t>(kBoxTop + rows - 1), blank);
}

}  // namespace

void draw_prompt(Io io, std::string_view notice, const Prompt& prompt) {
  draw_frame(io, notice);
  draw_box(io.screen, prompt.column, {std::string(prompt.message)});
  locate(io.screen, static_cast<std::uint16_t>(prompt.column + prompt.message.size() - 3), kBoxTop + 1);
  set_cursor_shape(io.screen, 1);
}

std::string prompt_answer(std::string_view key_text) {
  const std::string answer = upper_text(mid_text(key_text, 1, 1));
  if (text_equals(answer, "Y") || text_equals(answer, "N")) return answer;
  return {};
}

// The reason comes from the system and may be long, or in a language whose
// letters the console lacks: it is shown as the console can show it, and cut
// to fit the screen.
void draw_save_error(Io io, std::string_view notice, std::string_view reason, std::string_view way_out) {
  constexpr std::string_view kLead = "  Could not save zorvikqm.ini: ";
  constexpr std::string_view kAsk = "  Press any key to return to the menu.";
  constexpr std::size_t kMaxWidth = kScreenWidth - 4;  // room for the shadow and a margin
  std::vector<std::string> lines = {std::string(kLead) + display_text(reason)};
  if (!way_out.empty()) lines.push_back("  " + std::string(kToSave) + display_text(way_out) + ".");
  lines.emplace_back(kAsk);
  std::size_t widest = 0;
  for (const std::string& line : lines) widest = std::max(widest, cells_of(line));
  const std::size_t width = std::min(kMaxWidth, widest + 3);
  // Cut or padded to the box's width in cells, between two characters.
  for (std::string& line : lines) {
    line.resize(bytes_within(line, width));
    line.append(width - cells_of(line), ' ');
  }
  const auto column = static_cast<std::uint16_t>((kScreenWidth - width) / 2);

  draw_frame(io, notice);
  draw_box(io.screen, column, lines);
  locate(io.screen, static_cast<std::uint16_t>(column + kAsk.size()), static_cast<std::uint16_t>(kBoxTop + lines.size()));
  set_cursor_shape(io.screen, 1);
}

}  // namespace zq
