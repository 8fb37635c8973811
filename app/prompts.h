// The Y/N prompts (quit, save) and the box that reports a failed save: a box
// with its shadow laid over a fresh frame, and the reading of the answer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/screens.h"

namespace zq {

struct Prompt {
  std::uint16_t column;     // the box's left column
  std::string_view message; // the question row; the box is as wide as it
};

inline constexpr Prompt kQuitPrompt{18, "  Are you sure you want to quit ? (Y/N)   "};
inline constexpr Prompt kSavePrompt{13, "  Do you want to save the setup and exit ? (Y/N)   "};

// The frame, the prompt's box and shadow, and the cursor just after "(Y/N)".
void draw_prompt(Io io, std::string_view notice, const Prompt& prompt);

// "Y" or "N" for a key press typing y/Y or n/N; the empty text for any other.
std::string prompt_answer(std::string_view key_text);

// Leads what the player can do about a save that cannot work, on the
// notice and in the failed-save box.
inline constexpr std::string_view kToSave = "To save, ";

// The frame and a box saying the save failed and why, then what to do about
// it where the system says (`way_out`, after kToSave), asking for any key.
void draw_save_error(Io io, std::string_view notice, std::string_view reason, std::string_view way_out = {});

}  // namespace zq
