// DefaultPalette: the VGA 256-colour start-up palette, 6-bit components
// multiplied by 4. Built at compile time from its rules; writes no globals.
#include "graph/graph.hpp"

namespace {

using Triple = std::array<uint16_t, 3>;

// The 16 standard colours, 6-bit.
constexpr std::array<Triple, 16> kStandard{{
    {0, 0, 0},    {0, 0, 42},   {0, 42, 0},   {0, 42, 42},  {42, 0, 0},   {42, 0, 42},
    {42, 21, 0},  {42, 42, 42}, {21, 21, 21}, {21, 21, 63}, {21, 63, 21}, {21, 63, 63},
    {63, 21, 21}, {63, 21, 63}, {63, 63, 21}, {63, 63, 63},
}};

constexpr std::array<uint16_t, 16> kGreys{0, 5, 8, 11, 14, 17, 20, 24, 28, 32, 36, 40, 45, 50, 56, 63};

// Each hue block walks the colour wheel in 24 steps between a low and a high
// level with three levels in between: intensity sets the high level, the
// saturation how far the low level rises towards it. Blocks in palette order:
// high, medium, low intensity, each with high, medium, low saturation.
constexpr std::array<std::array<uint16_t, 5>, 9> kBlockLevels{{
    {0, 16, 31, 47, 63},
    {31, 39, 47, 55, 63},
    {45, 49, 54, 58, 63},
    {0, 7, 14, 21, 28},
    {14, 17, 21, 24, 28},
    {20, 22, 24, 26, 28},
    {0, 4, 8, 12, 16},
    {8, 10, 12, 14, 16},
    {11, 12, 13, 15, 16},
}};

// Hue h of a block: six sextants of four steps from blue through magenta,
// red, yellow, green and cyan; in each sextant one component moves between
// the low and high levels while the other two stay put.
constexpr Triple Hue(const std::array<uint16_t, 5>& v, int h) {
  const int k = h % 4;
  const uint16_t lo = v[0], hi = v[4], up = v[k], down = v[4 - k];
  switch (h / 4) {
    case 0: return {up, lo, hi};    // blue -> magenta: red rises
    case 1: return {hi, lo, down};  // magenta -> red: blue falls
    case 2: return {hi, up, lo};    // red -> yellow: green rises
    case 3: return {down, hi, lo};  // yellow -> green: red falls
    case 4: return {lo, hi, up};    // green -> cyan: blue rises
    default: return {lo, down, hi}; // cyan -> blue: green falls
  }
}

constexpr std::array<Triple, 256> BuildPalette() {
  std::array<Triple, 256> p{};  // 248..255 stay black
  auto scaled = [](Triple t) { return Triple{static_cast<uint16_t>(t[0] * 4),
                                             static_cast<uint16_t>(t[1] * 4),
                                             static_cast<uint16_t>(t[2] * 4)}; };
  for (size_t i = 0; i < 16; ++i) p[i] = scaled(kStandard[i]);
  for (size_t i = 0; i < 16; ++i) p[16 + i] = scaled({kGreys[i], kGreys[i], kGreys[i]});
  for (size_t b = 0; b < kBlockLevels.size(); ++b) {
    for (int h = 0; h < 24; ++h) p[32 + 24 * b + static_cast<size_t>(h)] = scaled(Hue(kBlockLevels[b], h));
  }
  return p;
}

}  // namespace

constinit const std::array<std::array<uint16_t, 3>, 256> DefaultPalette = BuildPalette();
