// Checks of screen pictures for tests: colours with the slack a screen's
// depth allows, pixels and counts in an area, and where a test's pictures go.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "tests/support/picture.hpp"

namespace shot {

// The 16 standard colours as a 24-bit screen shows them.
inline constexpr Rgb kStandard[16] = {
    {0, 0, 0},      {0, 0, 168},     {0, 168, 0},   {0, 168, 168},  {168, 0, 0},    {168, 0, 168},
    {168, 84, 0},   {168, 168, 168}, {84, 84, 84},  {84, 84, 252},  {84, 252, 84},  {84, 252, 252},
    {252, 84, 84},  {252, 84, 252},  {252, 252, 84}, {252, 252, 252},
};
inline constexpr Rgb kBlack = kStandard[0], kGreen = kStandard[2], kRed = kStandard[4],
                     kGrey = kStandard[7], kLightBlue = kStandard[9], kYellow = kStandard[14],
                     kWhite = kStandard[15];

// A colour read back is the wanted one within `slack` steps: GL gets
// value / 255 and a 24-bit screen keeps 8 bits (1); a 16-bit screen 5 or 6
// (8). Near is for counting; IsColour says what it got when it fails.
bool Near(Rgb got, Rgb want, int slack = 1);
::testing::AssertionResult IsColour(Rgb got, Rgb want, int slack = 1);
// The pixel at (x, y) is the colour; or one within a pixel of it, where GL's
// rasterisation may put the edge of a thin line either way.
::testing::AssertionResult PixelIs(const Image& image, int x, int y, Rgb want);
::testing::AssertionResult ColourAround(const Image& image, int x, int y, Rgb want, int slack = 1);
// Pixels of the colour in the rectangle x1..x2, y1..y2.
int CountColour(const Image& image, int x1, int y1, int x2, int y2, Rgb want);

#ifdef ZALPOMET_ARTIFACTS
// Where a test's pictures go: <build>/artifacts/<name>.
inline std::string ArtifactPath(std::string_view name) {
  return std::string(ZALPOMET_ARTIFACTS) + "/" + std::string(name);
}
#endif

}  // namespace shot
