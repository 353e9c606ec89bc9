// Reading the screen of an X display back for tests: areas, checks of their
// pixels, and PNG files under the build's artifacts directory. The game window
// sits at (0, 0) of the root window (no window manager), so root coordinates
// are window coordinates. Writes only the files it is asked to.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct _XDisplay;  // Xlib's Display, without Xlib's macros in every test

namespace shot {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

// An area of the screen, row by row from the top.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<Rgb> pixels;
  Rgb At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

// One connection to a display kept for many readings, for a caller that
// watches the screen closely (a connection per reading would flood the
// server). Throws std::runtime_error when the display cannot be opened.
class Screen {
 public:
  explicit Screen(const std::string& display);
  ~Screen();
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;
  Image Grab(int x, int y, int width, int height) const;

 private:
  ::_XDisplay* display_;
};

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

// Throw std::runtime_error when the display cannot be opened or read.
Image Grab(const std::string& display, int x, int y, int width, int height);
// Saves the top-left width x height area as an 8-bit RGB PNG at path.
void SavePng(const std::string& display, const std::string& path, int width, int height);
void SavePng(const Image& image, const std::string& path);

#ifdef ZALPOMET_ARTIFACTS
// Where a test's pictures go: <build>/artifacts/<name>.
inline std::string ArtifactPath(std::string_view name) {
  return std::string(ZALPOMET_ARTIFACTS) + "/" + std::string(name);
}
#endif

}  // namespace shot
