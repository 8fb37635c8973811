// Fuzz target for the key decoder. Input: a count P, then P pieces as
// {length, idle gap in ms}, then the bytes the terminal sends; the pieces cut
// the bytes where the reader would see them arrive, and the remainder comes
// last. Checks what any sound decoder owes the key loop: every byte is
// consumed in the end, no key_text is longer than two bytes, pasted text
// makes no key, once input has been idle for the decoder's deadline something
// is always decided, and pieces that follow each other within the Esc delay
// give the keys of the whole string.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/key_decoder.h"
#include "runtime/keyboard.h"

namespace {

using std::chrono::milliseconds;

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

struct Piece {
  std::string_view bytes;
  milliseconds gap{0};  // idle time after it, before the next piece
};

// The key loop's view: bytes pending and the keys decoded so far.
struct Reader {
  std::string pending;
  bool in_paste = false;
  std::vector<std::string> keys;

  // Decodes as the key loop does when it looks at the input `idle` after the
  // last byte arrived: keys off the front until the decoder asks to wait.
  void consult(milliseconds idle) {
    while (!pending.empty()) {
      const zq::DecodedKey d = zq::decode_key(pending, idle, in_paste);
      check(d.consumed <= pending.size(), "consumed more than the input");
      check(d.key_text.size() <= 2, "key_text longer than two bytes");
      const auto first = static_cast<unsigned char>(pending[0]);
      if (!in_paste && first >= 0x20 && first < 0x7F) {
        // A printable byte at a key boundary is that character's key.
        check(d.consumed == 1 && !d.key_text.empty() && d.key_text[0] == pending[0],
              "printable byte not its own key");
      }
      if (d.consumed == 0) {
        check(d.key_text.empty(), "a key without consuming a byte");
        // The loop sleeps at most until the decoder's deadline (the Esc
        // delay, or a paste's timeout) and then asks again; a decoder still
        // waiting then would stall it for good.
        check(idle < zq::decode_deadline(in_paste), "still waiting after the deadline");
        return;
      }
      if (!in_paste && pending == "\x1b" && idle >= zq::kEscDelay) {
        check(d.key_text == zq::key_text(27, zq::kScanEsc), "lone Esc after the delay is not Esc");
      }
      check(!in_paste || d.key_text.empty(), "a key out of pasted text");
      if (!d.key_text.empty()) keys.push_back(d.key_text);
      pending.erase(0, d.consumed);
      in_paste = d.in_paste;
    }
  }
};

// Feeds the pieces as they arrive: looked at when each lands, again when its
// gap is over (a timeout or any other wake-up), and once input has gone
// quiet for good: that last look, past every deadline, must use up every byte.
std::vector<std::string> read_keys(const std::vector<Piece>& pieces) {
  Reader reader;
  for (const Piece& piece : pieces) {
    reader.pending.append(piece.bytes);
    reader.consult(milliseconds(0));
    reader.consult(piece.gap);
  }
  reader.consult(std::max(zq::kEscDelay, zq::kPasteTimeout));
  return reader.keys;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t plans = std::min<std::size_t>(data[0], (size - 1) / 2);
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1 + 2 * plans, size - 1 - 2 * plans);

  std::vector<Piece> pieces;
  std::string_view rest = bytes;
  bool within_delay = true;
  for (std::size_t i = 0; i < plans && !rest.empty(); ++i) {
    const milliseconds gap(data[2 + 2 * i]);
    pieces.push_back({rest.substr(0, data[1 + 2 * i]), gap});
    rest.remove_prefix(pieces.back().bytes.size());
    within_delay = within_delay && gap < zq::kEscDelay;
  }
  pieces.push_back({rest, milliseconds(0)});

  const std::vector<std::string> split_keys = read_keys(pieces);
  const std::vector<std::string> whole_keys = read_keys({{bytes, milliseconds(0)}});
  if (within_delay) check(split_keys == whole_keys, "a split within the Esc delay changed the keys");
  return 0;
}
