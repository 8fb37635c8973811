// Test doubles for driving the program without a terminal: scripted keys
// against an in-memory console.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "runtime/keyboard.h"
#include "memory_console.h"
#include "test_files.h"

namespace zq::test {

inline const std::string kUp = key_text(255, kScanUp);
inline const std::string kDown = key_text(255, kScanDown);
inline const std::string kLeft = key_text(255, kScanLeft);
inline const std::string kRight = key_text(255, kScanRight);
inline const std::string kEnter = key_text(13, kScanEnter);
inline const std::string kEsc = key_text(27, kScanEsc);
inline std::string letter(char c, unsigned char scan) { return key_text(static_cast<unsigned char>(c), scan); }
inline const std::string kYes = letter('y', 21);
inline const std::string kYesUpper = letter('Y', 21);
inline const std::string kNo = letter('n', 49);
inline const std::string kNoUpper = letter('N', 49);

// One letter per colour pair the screens use; '?' for any other.
inline constexpr struct {
  std::uint16_t attr;
  char letter;
} kColourLetters[] = {{31, 'F'}, {15, 'S'}, {111, 'B'}, {30, 'N'}, {79, 'H'}};
inline constexpr const char* kLegend =
    "# colours: F frame (white on blue), S shadow (white on black), B banner (white on brown),"
    " N entry (yellow on blue), H selected (white on red), ? other";

inline char letter_of(std::uint16_t attr) {
  for (const auto& c : kColourLetters) {
    if (c.attr == attr) return c.letter;
  }
  return '?';
}

// A grid as the golden screens keep it: the legend, 25 rows of text, 25
// rows of colour letters (each row ends in '|', so no line ends in blanks),
// and the cursor.
inline std::string picture(const ConsoleGrid& console) {
  std::string out = std::string(kLegend) + "\n";
  for (std::uint16_t row = 0; row < console.height(); ++row) {
    for (std::uint16_t column = 0; column < console.width(); ++column) {
      const char32_t ch = console.cell(column, row).ch;
      out += ch >= 0x20 && ch < 0x7F ? static_cast<char>(ch) : '?';
    }
    out += "|\n";
  }
  for (std::uint16_t row = 0; row < console.height(); ++row) {
    for (std::uint16_t column = 0; column < console.width(); ++column) {
      out += letter_of(console.cell(column, row).attr);
    }
    out += "|\n";
  }
  const CellPos cursor = console.cursor();
  out += "cursor " + std::to_string(cursor.column) + "," + std::to_string(cursor.row) +
         (console.cursor_visible() ? " shown\n" : " hidden\n");
  return out;
}

inline MouseEvent click(int column, int row) { return {MouseEvent::Kind::Press, column, row}; }
inline MouseEvent wheel_down(int column, int row) { return {MouseEvent::Kind::WheelDown, column, row}; }
inline MouseEvent wheel_up(int column, int row) { return {MouseEvent::Kind::WheelUp, column, row}; }

// Hands out its keys and mouse events one per poll, with an empty poll
// between them the way a real queue runs dry; input ends when the script does.
class ScriptedKeys : public KeySource {
 public:
  using Input = std::variant<std::string, MouseEvent>;
  ScriptedKeys() = default;
  explicit ScriptedKeys(std::vector<std::string> keys) : keys_(keys.begin(), keys.end()) {}
  void add(const std::vector<std::string>& keys) { keys_.insert(keys_.end(), keys.begin(), keys.end()); }
  void add(const MouseEvent& mouse) { keys_.push_back(mouse); }
  // Runs `action` when the program polls for the key after the ones added so far.
  void then(std::function<void()> action) { actions_.emplace_back(taken_ + keys_.size(), std::move(action)); }

  std::string poll_key() override {
    while (!actions_.empty() && actions_.front().first == taken_) {
      auto action = std::move(actions_.front().second);
      actions_.pop_front();
      action();
    }
    if (keys_.empty() || !std::holds_alternative<std::string>(keys_.front())) return {};
    return std::get<std::string>(take());
  }
  std::optional<MouseEvent> poll_mouse() override {
    if (keys_.empty() || !std::holds_alternative<MouseEvent>(keys_.front())) return std::nullopt;
    return std::get<MouseEvent>(take());
  }
  bool wait_for_input() override {
    ++waits_;
    return !keys_.empty();
  }
  void pause_ms(std::chrono::milliseconds duration) override {
    ++pauses_;
    last_pause_ = duration;
  }

  int pauses() const { return pauses_; }
  std::chrono::milliseconds last_pause() const { return last_pause_; }
  bool done() const { return keys_.empty(); }

 private:
  Input take() {
    Input input = std::move(keys_.front());
    keys_.pop_front();
    ++taken_;
    return input;
  }

  std::deque<Input> keys_;
  std::deque<std::pair<std::size_t, std::function<void()>>> actions_;
  std::size_t taken_ = 0;
  int waits_ = 0;
  int pauses_ = 0;
  std::chrono::milliseconds last_pause_{0};
};

}  // namespace zq::test
