#include "runtime/key_decoder.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "runtime/input_queue.h"
#include "runtime/keyboard.h"

namespace zq {
namespace {

using std::chrono::milliseconds;

std::string K(unsigned char character, unsigned char scan) { return key_text(character, scan); }

// A mouse event as the tables write it: "press 35,12", "wheel up 0,0".
std::string M(const MouseEvent& event) {
  constexpr const char* kKinds[] = {"press ", "wheel up ", "wheel down "};
  return kKinds[static_cast<int>(event.kind)] + std::to_string(event.column) + "," + std::to_string(event.row);
}

struct Decoded {
  std::vector<std::string> keys;  // key_texts in order, dropped bytes left out
  std::size_t pending = 0;        // bytes left waiting for more input
  bool in_paste = false;          // a paste still open after the last byte
};

// Decodes keys off the front of `input` until it is used up or waits,
// carrying the paste state from key to key as the terminal's reader does.
Decoded decode_all(std::string_view input, milliseconds idle, bool in_paste = false) {
  Decoded out;
  out.in_paste = in_paste;
  while (!input.empty()) {
    const DecodedKey d = decode_key(input, idle, out.in_paste);
    if (d.consumed == 0) break;
    if (!d.key_text.empty()) out.keys.push_back(d.key_text);
    if (d.mouse) out.keys.push_back(M(*d.mouse));
    out.in_paste = d.in_paste;
    input.remove_prefix(d.consumed);
  }
  out.pending = input.size();
  return out;
}

struct KeyCase {
  const char* name;
  std::string bytes;
  int idle_ms;
  std::vector<std::string> keys;
  std::size_t pending;
};

const std::string kUp = K(255, 72), kDown = K(255, 80), kLeft = K(255, 75), kRight = K(255, 77);
const std::string kEnter = K(13, 28), kEscKey = K(27, 1);

const KeyCase kCases[] = {
    {"up", "\x1b[A", 0, {kUp}, 0},
    {"down", "\x1b[B", 0, {kDown}, 0},
    {"right", "\x1b[C", 0, {kRight}, 0},
    {"left", "\x1b[D", 0, {kLeft}, 0},
    {"up_application_mode", "\x1bOA", 0, {kUp}, 0},
    {"down_application_mode", "\x1bOB", 0, {kDown}, 0},
    {"right_application_mode", "\x1bOC", 0, {kRight}, 0},
    {"left_application_mode", "\x1bOD", 0, {kLeft}, 0},
    {"up_with_ctrl_modifier", "\x1b[1;5A", 0, {kUp}, 0},
    {"enter_cr", "\r", 0, {kEnter}, 0},
    {"enter_lf", "\n", 0, {kEnter}, 0},
    {"keypad_enter_application_mode", "\x1bOM", 0, {kEnter}, 0},
    {"keypad_8_application_mode_is_up", "\x1bOx", 0, {K('8', 72)}, 0},
    {"lone_esc_waits", "\x1b", 0, {}, 1},
    {"lone_esc_waits_just_below_delay", "\x1b", 24, {}, 1},
    {"lone_esc_after_delay", "\x1b", 25, {kEscKey}, 0},
    {"alt_y_is_one_key_y", "\x1by", 0, {K('y', 21)}, 0},
    {"alt_y_decided_after_the_delay_too", "\x1by", 30, {K('y', 21)}, 0},
    {"alt_enter_is_enter", "\x1b\r", 0, {kEnter}, 0},
    {"alt_up_as_esc_then_sequence", "\x1b\x1b[A", 0, {kUp}, 0},
    {"alt_high_byte_dropped_whole", "\x1b\xc3x", 0, {K('x', 45)}, 0},
    {"alt_letters_in_a_row", "\x1by\x1bn", 0, {K('y', 21), K('n', 49)}, 0},
    {"esc_esc_waits_for_more", "\x1b\x1b", 0, {}, 2},
    {"esc_esc_after_delay_is_one_esc", "\x1b\x1b", 25, {kEscKey}, 0},
    {"esc_esc_esc_is_alt_esc_then_waits", "\x1b\x1b\x1b", 0, {kEscKey}, 1},
    {"paste_is_no_keys", "\x1b[200~\r\ry\rrm -rf x\r\x1b[201~", 0, {}, 0},
    {"paste_between_keys", "\x1b[B\x1b[200~y\r\x1b[A\x1b[201~\r", 0, {kDown, kEnter}, 0},
    {"paste_end_marker_alone_dropped", "\x1b[201~n", 0, {K('n', 49)}, 0},
    {"paste_end_cut_off_waits", "\x1b[200~yy\x1b[20", 0, {}, 4},
    {"paste_end_cut_off_waits_beyond_esc_delay", "\x1b[200~yy\x1b[20", 499, {}, 4},
    {"paste_end_cut_off_dropped_after_timeout", "\x1b[200~yy\x1b[20", 500, {}, 0},
    {"letters_for_prompts", "yYnN", 0, {K('y', 21), K('Y', 21), K('n', 49), K('N', 49)}, 0},
    {"digits_and_punctuation", "1!0-=[;'`,./ ", 0,
     {K('1', 2), K('!', 2), K('0', 11), K('-', 12), K('=', 13), K('[', 26), K(';', 39), K('\'', 40),
      K('`', 41), K(',', 51), K('.', 52), K('/', 53), K(' ', 57)}, 0},
    {"backspace_del_and_bs", "\x7f\x08", 0, {K(8, 14), K(8, 14)}, 0},
    {"tab", "\t", 0, {K(9, 15)}, 0},
    {"ctrl_letter", "\x01", 0, {K(1, 30)}, 0},
    {"ctrl_at_character_zero_becomes_255", std::string(1, '\0'), 0, {K(255, 3)}, 0},
    {"unknown_csi_then_keys_survive", "\x1b[99~ab", 0, {K('a', 30), K('b', 48)}, 0},
    {"insert_then_keys", "\x1b[2~ab", 0, {K(255, 82), K('a', 30), K('b', 48)}, 0},
    {"unknown_ss3_dropped", "\x1bOzq", 0, {K('q', 16)}, 0},
    {"linux_console_f1", "\x1b[[A", 0, {K(255, 59)}, 0},
    {"csi_cut_by_another_sequence", "\x1b[1\x1b[B", 0, {kDown}, 0},
    {"csi_split_waits_for_rest", "\x1b[1;", 0, {}, 4},
    {"csi_cut_short_dropped_after_delay", "\x1b[1;", 30, {}, 0},
    {"ss3_split_waits_for_rest", "\x1bO", 0, {}, 2},
    {"utf8_bytes_dropped", "\xc3\xa9x", 0, {K('x', 45)}, 0},
    {"burst_of_arrows", "\x1b[B\x1b[B\x1b[A\r", 0, {kDown, kDown, kUp, kEnter}, 0},
    {"sgr_click_press_only", "\x1b[<0;36;13M\x1b[<0;36;13m", 0, {"press 35,12"}, 0},
    {"sgr_wheel_and_modifiers", "\x1b[<64;1;1M\x1b[<65;2;3M\x1b[<16;4;5M", 0,
     {"wheel up 0,0", "wheel down 1,2", "press 3,4"}, 0},
    {"sgr_other_buttons_and_drags_dropped", "\x1b[<1;5;5M\x1b[<2;5;5M\x1b[<32;6;5M\x1b[<0;0;5Mq", 0, {K('q', 16)}, 0},
    {"sgr_past_column_223", "\x1b[<0;300;2M", 0, {"press 299,1"}, 0},
    {"sgr_malformed_dropped", "\x1b[<0;5M\x1b[<0;5;5;5Mn", 0, {K('n', 49)}, 0},
    {"x10_click_then_release", "\x1b[M !(\x1b[M#!(y", 0, {"press 0,7", K('y', 21)}, 0},
    {"x10_wheel", "\x1b[Ma\x22\x22", 0, {"wheel down 1,1"}, 0},
    {"x10_cut_short_waits", "\x1b[M !", 0, {}, 5},
    {"x10_cut_short_dropped_after_delay", "\x1b[M !", 30, {}, 0},
    {"mouse_report_in_a_paste_is_pasted", "\x1b[200~\x1b[<0;5;5M\x1b[M !!\x1b[201~", 0, {}, 0},
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.name; }

class DecodeKey : public testing::TestWithParam<KeyCase> {};

TEST_P(DecodeKey, MapsTerminalBytesToKeyTexts) {
  const KeyCase& c = GetParam();
  const Decoded d = decode_all(c.bytes, milliseconds(c.idle_ms));
  EXPECT_EQ(d.keys, c.keys);
  EXPECT_EQ(d.pending, c.pending);
}

INSTANTIATE_TEST_SUITE_P(Table, DecodeKey, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<KeyCase>& info) { return std::string(info.param.name); });

TEST(DecodeKey, PasteStateCarriesAcrossReads) {
  const Decoded first = decode_all("\x1b[200~y\r", milliseconds(0));
  EXPECT_TRUE(first.keys.empty());
  EXPECT_EQ(first.pending, 0u);
  EXPECT_TRUE(first.in_paste);
  const Decoded rest = decode_all("n\r\x1b[201~y", milliseconds(0), true);
  EXPECT_EQ(rest.keys, std::vector<std::string>{K('y', 21)});
  EXPECT_FALSE(rest.in_paste);
  // A paste whose end never came lets keys through once it has been silent.
  const Decoded unended = decode_all("\x1b[20", milliseconds(500), true);
  EXPECT_EQ(unended.pending, 0u);
  EXPECT_FALSE(unended.in_paste);
}

// Bytes arriving in two reads within the Esc delay make the same keys as in
// one read, wherever the cut falls.
TEST(DecodeKey, CutAnywhereGivesTheSameKeys) {
  const std::string inputs[] = {
      "\x1by\x1b[B\r",
      "\x1b[200~\ry\r\x1b[201~\x1bn\x1b\x1b[A",
      "a\x1b[200~\x1b[20\x1b[201~b",
      "\x1bOA\x1b[[B\x1b[2~\x1b\x1b\x1bq",
  };
  for (const std::string& input : inputs) {
    const Decoded whole = decode_all(input, milliseconds(0));
    for (std::size_t cut = 0; cut <= input.size(); ++cut) {
      const Decoded head = decode_all(input.substr(0, cut), milliseconds(0));
      const std::string rest = input.substr(cut - head.pending);
      const Decoded tail = decode_all(rest, milliseconds(0), head.in_paste);
      std::vector<std::string> keys = head.keys;
      keys.insert(keys.end(), tail.keys.begin(), tail.keys.end());
      EXPECT_EQ(keys, whole.keys) << "cut at " << cut << " of " << testing::PrintToString(input);
      EXPECT_EQ(tail.pending, whole.pending) << "cut at " << cut;
    }
  }
}

TEST(DecodeKey, SequenceSplitAcrossReadsCompletesAsOneKey) {
  std::string input = "\x1b";
  EXPECT_EQ(decode_key(input, milliseconds(0)).consumed, 0u);
  input += "[";
  EXPECT_EQ(decode_key(input, milliseconds(0)).consumed, 0u);
  input += "B";
  const DecodedKey d = decode_key(input, milliseconds(0));
  EXPECT_EQ(d.consumed, 3u);
  EXPECT_EQ(d.key_text, kDown);
}

TEST(DecodeKey, EveryPrintableByteYieldsItsOwnCharacter) {
  for (int b = 0x20; b < 0x7F; ++b) {
    const DecodedKey d = decode_key(std::string(1, static_cast<char>(b)), milliseconds(0));
    ASSERT_EQ(d.consumed, 1u) << b;
    ASSERT_FALSE(d.key_text.empty()) << b;
    EXPECT_EQ(static_cast<unsigned char>(d.key_text[0]), b);
  }
}

TEST(DecodeKey, LetterCaseSharesTheScanCode) {
  for (char c = 'a'; c <= 'z'; ++c) {
    const std::string lower = decode_key(std::string(1, c), milliseconds(0)).key_text;
    const std::string upper = decode_key(std::string(1, static_cast<char>(c - 32)), milliseconds(0)).key_text;
    ASSERT_EQ(lower.size(), 2u) << c;
    EXPECT_EQ(lower[1], upper[1]) << c;
  }
}

// Input reaching the queue at a time: terminal bytes, or a console's key press.
struct Arrival {
  int at_ms;
  std::string bytes;
  std::string key = {};
  std::optional<MouseEvent> mouse = {};
};

struct QueueCase {
  const char* name;
  std::vector<Arrival> arrivals;
  std::vector<std::string> taken;  // "repaint" for a repaint request
  int hidden_until_ms = 0;         // the screen is hidden (too small) before then
};

// What polls give, looking as a key loop does: as input arrives, and again
// whenever the queue says it will decide.
std::vector<std::string> take_all(const QueueCase& c) {
  using Clock = InputQueue::Clock;
  InputQueue queue;
  Clock::time_point now{};
  std::vector<std::string> taken;
  const auto look_until = [&](Clock::time_point until) {
    for (;;) {
      const TakenInput t = queue.take(now, now < Clock::time_point{} + milliseconds(c.hidden_until_ms));
      if (t.repaint || !t.key_text.empty() || t.mouse) {
        taken.push_back(t.repaint ? "repaint" : t.mouse ? M(*t.mouse) : t.key_text);
        continue;
      }
      const auto decide = queue.time_to_decide(now);
      if (!decide || now + *decide > until) return;
      now += std::max(*decide, milliseconds(1));
    }
  };
  for (const Arrival& a : c.arrivals) {
    look_until(Clock::time_point{} + milliseconds(a.at_ms));
    now = Clock::time_point{} + milliseconds(a.at_ms);
    queue.add_bytes(a.bytes, now);
    queue.add_key(a.key, now);
    if (a.mouse) queue.add_mouse(*a.mouse);
  }
  look_until(Clock::time_point::max());
  EXPECT_TRUE(queue.empty()) << c.name;
  return taken;
}

const std::string kShift = K(255, 42), kY = K('y', 21), kN = K('n', 49);
constexpr MouseEvent kClick{MouseEvent::Kind::Press, 35, 12};

const QueueCase kQueueCases[] = {
    {"terminal: a sequence split across reads", {{0, "\x1b"}, {10, "[B"}}, {kDown}},
    {"terminal: a paste across reads", {{0, "\x1b[200~y\r"}, {5, "n\x1b[201~"}, {10, "y"}}, {kY}},
    {"terminal: a paste whose end never came", {{0, "\x1b[200~y"}, {600, "n"}}, {kN}},
    {"terminal: Ctrl+L repaints", {{0, "\x0cy"}}, {"repaint", kY}},
    {"terminal: typed while hidden", {{0, "y"}, {100, "n"}}, {kN}, 50},
    {"console: typing, keys 15 ms apart", {{0, "", kY}, {15, "", kEnter}, {30, "", kN}}, {kY, kEnter, kN}},
    {"console: a paste, keys at once", {{0, "", kY}, {0, "", kEnter}, {0, "", K(0, 1)}}, {}},
    {"console: a paste across reads", {{0, "", kY}, {4, "", kEnter}, {9, "", kN}, {17, "", kY}}, {}},
    {"console: keys before and after a paste", {{0, "", kN}, {50, "", kY}, {50, "", kEnter}, {80, "", kY}},
     {kN, kY}},
    {"console: a held arrow", {{0, "", kDown}, {33, "", kDown}, {66, "", kDown}}, {kDown, kDown, kDown}},
    {"console: a held arrow's repeats read together", {{0, "", kDown}, {0, "", kDown}}, {kDown, kDown}},
    {"console: a key repeated, then another at once", {{0, "", kY}, {0, "", kY}, {0, "", kEnter}}, {}},
    {"console: Shift and a letter at once", {{0, "", kShift}, {0, "", K('Y', 21)}, {1, "", kShift}},
     {kShift, K('Y', 21), kShift}},
    {"console: Down and Enter read together", {{0, "", kDown}, {0, "", kEnter}}, {kDown, kEnter}},
    {"console: Down, Down, Enter read together", {{0, "", kDown}, {0, "", kDown}, {0, "", kEnter}},
     {kDown, kDown, kEnter}},
    {"console: Down and Right read together", {{0, "", kDown}, {0, "", kRight}}, {kDown, kRight}},
    {"console: a paste of yy", {{0, "", kY}, {0, "", kY}}, {}},
    {"console: a paste of y and Enter", {{0, "", kY}, {0, "", kEnter}}, {}},
    {"console: a paste of yes and Enter", {{0, "", kY}, {0, "", K('e', 18)}, {0, "", K('s', 31)}, {0, "", kEnter}},
     {}},
    {"console: a paste of Yy, Shift kept", {{0, "", kShift}, {0, "", K('Y', 21)}, {0, "", kShift}, {0, "", kY}},
     {kShift, kShift}},
    {"console: Down, then a paste in the same read", {{0, "", kDown}, {0, "", kN}, {0, "", kN}}, {kDown}},
    {"console: a click between keys keeps its place", {{0, "", kDown}, {0, "", "", kClick}, {0, "", kEnter}},
     {kDown, M(kClick), kEnter}},
    {"console: a click in a paste stays", {{0, "", kY}, {0, "", "", kClick}, {0, "", kY}}, {M(kClick)}},
    {"console: typed while hidden", {{0, "", kY}, {100, "", kN}}, {kN}, 50},
    {"console: clicked while hidden", {{0, "", "", kClick}, {100, "", kN}}, {kN}, 50},
    {"console: Ctrl+L repaints", {{0, "", K(12, 38)}}, {"repaint"}},
};

TEST(InputQueue, Table) {
  for (const QueueCase& c : kQueueCases) EXPECT_EQ(take_all(c), c.taken) << c.name;
}

TEST(InputQueue, PendingBytesAreBounded) {
  InputQueue queue;
  queue.add_bytes(std::string(1023, 'x'), {});
  EXPECT_TRUE(queue.has_room());
  queue.add_bytes("x", {});
  EXPECT_FALSE(queue.has_room());
}

struct KeyTextCase {
  unsigned char character, scan;
  std::string text;
};

TEST(KeyText, FormOfCharacterAndScanCode) {
  const KeyTextCase cases[] = {
      {0, 0, ""}, {0, 72, "\xff\x48"}, {'y', 21, "y\x15"}, {'y', 0, "y"}, {27, 1, "\x1b\x01"}};
  for (const KeyTextCase& c : cases) EXPECT_EQ(key_text(c.character, c.scan), c.text);
}

}  // namespace
}  // namespace zq
