#include "runtime/console_palette.h"

namespace zq {
namespace {

constexpr int kCubeLevels[6] = {0, 95, 135, 175, 215, 255};

int channel(std::uint32_t rgb, int shift) { return static_cast<int>((rgb >> shift) & 0xFFu); }

}  // namespace

bool colours_refused(const char* no_color) { return no_color != nullptr && *no_color != '\0'; }

bool reversed_without_colours(std::uint16_t attr, std::uint16_t reversed_backgrounds) {
  return ((reversed_backgrounds >> ((attr >> 4) & 0xFu)) & 1u) != 0;
}

std::uint32_t rgb_of_entry(int entry) {
  if (entry >= 232) {
    const auto grey = static_cast<std::uint32_t>(8 + 10 * (entry - 232));
    return grey << 16 | grey << 8 | grey;
  }
  const int cube = entry - 16;
  return static_cast<std::uint32_t>(kCubeLevels[cube / 36] << 16 | kCubeLevels[cube / 6 % 6] << 8 |
                                    kCubeLevels[cube % 6]);
}

int nearest_entry(std::uint32_t rgb) {
  const auto distance = [rgb](int entry) {
    long sum = 0;
    for (int shift : {16, 8, 0}) {
      const long d = channel(rgb, shift) - channel(rgb_of_entry(entry), shift);
      sum += d * d;
    }
    return sum;
  };
  // The first of equally near entries.
  int best = 16;
  for (int entry = 17; entry < 256; ++entry) {
    if (distance(entry) < distance(best)) best = entry;
  }
  return best;
}

}  // namespace zq
