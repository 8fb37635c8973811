#include "runtime/key_decoder.h"

#include <array>
#include <algorithm>
#include <charconv>
#include <cstdint>

namespace zq {

namespace {

constexpr unsigned char kEsc = 0x1B;
constexpr unsigned char kExtended = 0;  // extended keys carry no character
constexpr int kPasteStartNumber = 200;  // ESC [ 200 ~ opens a bracketed paste
constexpr std::string_view kPasteEnd = "\x1b[201~";

struct CharRow {
  const char* chars;  // every character the key types, shifted or not
  std::uint8_t scan;
};

// PC set-1 make codes of the keys that type printable characters.
constexpr CharRow kCharRows[] = {
    {"1!", 2},   {"2@", 3},   {"3#", 4},   {"4$", 5},   {"5%", 6},  {"6^", 7},  {"7&", 8},
    {"8*", 9},   {"9(", 10},  {"0)", 11},  {"-_", 12},  {"=+", 13}, {"qQ", 16}, {"wW", 17},
    {"eE", 18},  {"rR", 19},  {"tT", 20},  {"yY", 21},  {"uU", 22}, {"iI", 23}, {"oO", 24},
    {"pP", 25},  {"[{", 26},  {"]}", 27},  {"aA", 30},  {"sS", 31}, {"dD", 32}, {"fF", 33},
    {"gG", 34},  {"hH", 35},  {"jJ", 36},  {"kK", 37},  {"lL", 38}, {";:", 39}, {"'\"", 40},
    {"`~", 41},  {"\\|", 43}, {"zZ", 44},  {"xX", 45},  {"cC", 46}, {"vV", 47}, {"bB", 48},
    {"nN", 49},  {"mM", 50},  {",<", 51},  {".>", 52},  {"/?", 53}, {" ", 57},
};

struct ByteKey {
  unsigned char character = 0;
  std::uint8_t scan = 0;
};

// One row per byte below 128: what a single byte typed on its own means.
constexpr std::array<ByteKey, 128> make_byte_table() {
  std::array<ByteKey, 128> table{};
  for (const CharRow& row : kCharRows) {
    for (const char* c = row.chars; *c != '\0'; ++c) {
      table[static_cast<unsigned char>(*c)] = {static_cast<unsigned char>(*c), row.scan};
    }
  }
  // Ctrl+letter types the control byte on the letter's key.
  for (unsigned char b = 1; b <= 26; ++b) table[b] = {b, table['a' + b - 1].scan};
  table[0] = {0, 3};                        // Ctrl+@ on the 2 key
  table[8] = {8, 14};                       // Backspace
  table[127] = {8, 14};                     // Backspace as most terminals send it
  table[9] = {9, 15};                       // Tab
  table['\r'] = {'\r', kScanEnter};         // Enter, and keypad Enter
  table['\n'] = {'\r', kScanEnter};         // Enter where the tty turns CR into LF
  table[28] = {28, 43};
  table[29] = {29, 27};
  table[30] = {30, 7};
  table[31] = {31, 12};
  return table;
}

constexpr std::array<ByteKey, 128> kByteKeys = make_byte_table();

struct FinalRow {
  char final;
  ByteKey key;
};

// CSI sequences told apart by their final byte (parameters, such as the
// modifiers of ESC [ 1 ; 5 A, are not looked at).
constexpr FinalRow kCsiFinals[] = {
    {'A', {kExtended, kScanUp}},   {'B', {kExtended, kScanDown}}, {'C', {kExtended, kScanRight}},
    {'D', {kExtended, kScanLeft}}, {'H', {kExtended, 71}},        {'F', {kExtended, 79}},
    {'E', {kExtended, 76}},        {'Z', {kExtended, 15}},
};

// SS3 sequences: cursor keys and the keypad in application mode.
constexpr FinalRow kSs3Finals[] = {
    {'A', {kExtended, kScanUp}},   {'B', {kExtended, kScanDown}}, {'C', {kExtended, kScanRight}},
    {'D', {kExtended, kScanLeft}}, {'H', {kExtended, 71}},        {'F', {kExtended, 79}},
    {'E', {kExtended, 76}},        {'M', {'\r', kScanEnter}},     {'P', {kExtended, 59}},
    {'Q', {kExtended, 60}},        {'R', {kExtended, 61}},        {'S', {kExtended, 62}},
    {'p', {'0', 82}},              {'q', {'1', 79}},              {'r', {'2', 80}},
    {'s', {'3', 81}},              {'t', {'4', 75}},              {'u', {'5', 76}},
    {'v', {'6', 77}},              {'w', {'7', 71}},              {'x', {'8', 72}},
    {'y', {'9', 73}},              {'j', {'*', 55}},              {'k', {'+', 78}},
    {'m', {'-', 74}},              {'n', {'.', 83}},              {'o', {'/', 53}},
};

struct TildeRow {
  int number;
  std::uint8_t scan;
};

// ESC [ n ~ editing and function keys (vt220 numbering).
constexpr TildeRow kTildeKeys[] = {
    {1, 71},  {2, 82},  {3, 83},  {4, 79},  {5, 73},  {6, 81},  {7, 71},  {8, 79},
    {11, 59}, {12, 60}, {13, 61}, {14, 62}, {15, 63}, {17, 64}, {18, 65}, {19, 66},
    {20, 67}, {21, 68}, {23, 87}, {24, 88},
};

// Linux console F1 to F5: ESC [ [ A to ESC [ [ E.
constexpr FinalRow kLinuxFunctionKeys[] = {
    {'A', {kExtended, 59}}, {'B', {kExtended, 60}}, {'C', {kExtended, 61}},
    {'D', {kExtended, 62}}, {'E', {kExtended, 63}},
};

template <std::size_t N>
std::string lookup_final(const FinalRow (&rows)[N], char final) {
  for (const FinalRow& row : rows) {
    if (row.final == final) return key_text(row.key.character, row.key.scan);
  }
  return {};
}

bool is_final(char c) { return c >= 0x40 && c <= 0x7E; }

// The event of a mouse report's button byte, less its 32 offset, at the
// terminal's 1-based cell: left press or a wheel notch; none for releases,
// moves and other buttons. Shift, Alt and Ctrl (4, 8, 16) do not matter.
std::optional<MouseEvent> mouse_event(int button, int column, int row) {
  if (column < 1 || row < 1) return std::nullopt;
  constexpr int kModifiers = 4 | 8 | 16;
  switch (button & ~kModifiers) {
    case 0: return MouseEvent{MouseEvent::Kind::Press, column - 1, row - 1};
    case 64: return MouseEvent{MouseEvent::Kind::WheelUp, column - 1, row - 1};
    case 65: return MouseEvent{MouseEvent::Kind::WheelDown, column - 1, row - 1};
    default: return std::nullopt;
  }
}

// ESC [ < b ; x ; y, then M for a press or m for a release.
std::optional<MouseEvent> sgr_mouse(std::string_view params, char final) {
  int numbers[3] = {};
  const char* p = params.data() + 1;  // past the <
  const char* end = params.data() + params.size();
  for (int i = 0; i < 3; ++i) {
    const auto parsed = std::from_chars(p, end, numbers[i]);
    if (parsed.ec != std::errc() || (i < 2 ? parsed.ptr == end || *parsed.ptr != ';' : parsed.ptr != end)) {
      return std::nullopt;
    }
    p = parsed.ptr + 1;
  }
  if (final == 'm') return std::nullopt;
  return mouse_event(numbers[0], numbers[1], numbers[2]);
}

// An escape sequence cut short: wait for its rest, or drop it once input
// has been idle long enough that no rest is coming.
DecodedKey wait_or_drop(std::string_view input, std::chrono::milliseconds idle) {
  if (idle < kEscDelay) return {};
  return {input.size(), {}};
}

// input starts with ESC [ and holds at least those two bytes.
DecodedKey decode_csi(std::string_view input, std::chrono::milliseconds idle) {
  if (input.size() >= 3 && input[2] == '[') {
    if (input.size() < 4) return wait_or_drop(input, idle);
    if (!is_final(input[3])) return {3, {}};
    return {4, lookup_final(kLinuxFunctionKeys, input[3])};
  }
  std::size_t i = 2;
  while (i < input.size() && input[i] >= 0x20 && input[i] <= 0x3F) ++i;
  if (i == input.size()) return wait_or_drop(input, idle);
  const char final = input[i];
  // A byte that cannot end a sequence: drop what came before it, keep it.
  if (!is_final(final)) return {i, {}};
  const std::string_view params = input.substr(2, i - 2);
  if (final == 'M' && params.empty()) {
    // ESC [ M and three bytes: the button and the cell, each plus 32.
    if (input.size() < 6) return wait_or_drop(input, idle);
    const auto byte = [&input](std::size_t at) { return static_cast<unsigned char>(input[at]) - 32; };
    return {6, {}, false, mouse_event(byte(3), byte(4), byte(5))};
  }
  if ((final == 'M' || final == 'm') && params.starts_with('<')) return {i + 1, {}, false, sgr_mouse(params, final)};
  if (final != '~') return {i + 1, lookup_final(kCsiFinals, final)};
  int number = 0;
  const auto parsed = std::from_chars(params.data(), params.data() + params.size(), number);
  if (number == kPasteStartNumber && parsed.ptr == params.data() + params.size()) return {i + 1, {}, true};
  for (const TildeRow& row : kTildeKeys) {
    if (row.number == number) return {i + 1, key_text(kExtended, row.scan)};
  }
  return {i + 1, {}};
}

// Inside a paste: every byte up to and including the end marker is dropped.
// A tail that may be the start of the end marker waits for the rest, but not
// past kPasteTimeout, so a paste whose end never comes cannot eat the keys.
DecodedKey skip_paste(std::string_view input, std::chrono::milliseconds idle) {
  if (const std::size_t end = input.find(kPasteEnd); end != std::string_view::npos) {
    return {end + kPasteEnd.size(), {}, false};
  }
  std::size_t tail = std::min(input.size(), kPasteEnd.size() - 1);
  while (tail > 0 && !kPasteEnd.starts_with(input.substr(input.size() - tail))) --tail;
  if (tail < input.size()) return {input.size() - tail, {}, true};
  if (idle < kPasteTimeout) return {};
  return {input.size(), {}, false};
}

// One key without the Alt rule: Esc followed by a byte that starts no
// sequence is the Esc key alone.
DecodedKey decode_plain(std::string_view input, std::chrono::milliseconds idle) {
  if (input.empty()) return {};
  const auto first = static_cast<unsigned char>(input[0]);
  if (first >= 0x80) return {1, {}};  // no single-byte key; dropped
  if (first != kEsc) return {1, key_text(kByteKeys[first].character, kByteKeys[first].scan)};

  if (input.size() == 1) {
    if (idle < kEscDelay) return {};
    return {1, key_text(kEsc, kScanEsc)};
  }
  if (input[1] == '[') return decode_csi(input, idle);
  if (input[1] == 'O') {
    if (input.size() < 3) return wait_or_drop(input, idle);
    if (!is_final(input[2])) return {2, {}};
    return {3, lookup_final(kSs3Finals, input[2])};
  }
  return {1, key_text(kEsc, kScanEsc)};
}

}  // namespace

DecodedKey decode_key(std::string_view input, std::chrono::milliseconds idle, bool in_paste) {
  if (in_paste) return skip_paste(input, idle);
  // Esc with another key close behind is how terminals send Alt+key: one key
  // press, the key itself, never Esc and then the key (Alt+Y would otherwise
  // open the quit prompt and answer it). ESC [ and ESC O start sequences.
  if (input.size() >= 2 && static_cast<unsigned char>(input[0]) == kEsc && input[1] != '[' && input[1] != 'O') {
    DecodedKey key = decode_plain(input.substr(1), idle);
    if (key.consumed == 0) return {};
    key.consumed += 1;
    return key;
  }
  return decode_plain(input, idle);
}

}  // namespace zq
