// Tests of DefaultPalette: the standard colours, the grey ramp, the anchors of
// the hue blocks and the order of intensities and saturations between blocks.
#include <gtest/gtest.h>

#include <algorithm>

#include "graph/graph.hpp"

namespace {

using Triple = std::array<uint16_t, 3>;

TEST(DefaultPalette, StandardColours) {
  const Triple expected[16] = {
      {0, 0, 0},      {0, 0, 168},    {0, 168, 0},    {0, 168, 168},
      {168, 0, 0},    {168, 0, 168},  {168, 84, 0},   {168, 168, 168},
      {84, 84, 84},   {84, 84, 252},  {84, 252, 84},  {84, 252, 252},
      {252, 84, 84},  {252, 84, 252}, {252, 252, 84}, {252, 252, 252},
  };
  for (size_t i = 0; i < 16; ++i) EXPECT_EQ(DefaultPalette[i], expected[i]) << i;
}

TEST(DefaultPalette, GreyRampAndBlackTail) {
  const uint16_t greys[16] = {0, 20, 32, 44, 56, 68, 80, 96, 112, 128, 144, 160, 180, 200, 224, 252};
  for (size_t i = 0; i < 16; ++i) {
    EXPECT_EQ(DefaultPalette[16 + i], (Triple{greys[i], greys[i], greys[i]})) << 16 + i;
  }
  for (size_t i = 248; i < 256; ++i) EXPECT_EQ(DefaultPalette[i], (Triple{0, 0, 0})) << i;
}

TEST(DefaultPalette, HueAnchors) {
  EXPECT_EQ(DefaultPalette[32], (Triple{0, 0, 252}));
  EXPECT_EQ(DefaultPalette[40], (Triple{252, 0, 0}));
  EXPECT_EQ(DefaultPalette[48], (Triple{0, 252, 0}));
  EXPECT_EQ(DefaultPalette[36], (Triple{252, 0, 252}));  // magenta halfway to red
  EXPECT_EQ(DefaultPalette[44], (Triple{252, 252, 0}));  // yellow halfway to green
  EXPECT_EQ(DefaultPalette[52], (Triple{0, 252, 252}));  // cyan halfway back to blue
}

TEST(DefaultPalette, ComponentsAreSixBitTimesFour) {
  for (size_t i = 0; i < 256; ++i) {
    for (uint16_t c : DefaultPalette[i]) {
      EXPECT_LE(c, 252) << i;
      EXPECT_EQ(c % 4, 0) << i;
    }
  }
}

// Every block starts at blue and passes red and green at the same steps; the
// three intensities fall block group by group, and within a group the
// saturation falls, so the weakest component rises.
TEST(DefaultPalette, BlocksOrderIntensityAndSaturation) {
  for (size_t b = 0; b < 9; ++b) {
    const size_t base = 32 + 24 * b;
    const Triple blue = DefaultPalette[base], red = DefaultPalette[base + 8],
                 green = DefaultPalette[base + 16];
    EXPECT_TRUE(blue[2] > blue[0] && blue[0] == blue[1]) << b;
    EXPECT_TRUE(red[0] > red[1] && red[1] == red[2]) << b;
    EXPECT_TRUE(green[1] > green[0] && green[0] == green[2]) << b;
    if (b % 3 != 0) {
      EXPECT_EQ(blue[2], DefaultPalette[base - 24][2]) << b;
      EXPECT_GT(blue[0], DefaultPalette[base - 24][0]) << b;
    }
    if (b >= 3) {
      EXPECT_LT(blue[2], DefaultPalette[base - 72][2]) << b;
    }
    for (size_t h = 0; h < 24; ++h) {
      const Triple c = DefaultPalette[base + h];
      EXPECT_EQ(*std::max_element(c.begin(), c.end()), blue[2]) << base + h;
      EXPECT_EQ(*std::min_element(c.begin(), c.end()), blue[0]) << base + h;
    }
  }
}

}  // namespace
