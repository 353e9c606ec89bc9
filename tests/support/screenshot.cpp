#include "tests/support/screenshot.hpp"

namespace shot {

bool Near(Rgb got, Rgb want, int slack) {
  const auto close = [slack](int a, int b) { return a - b <= slack && b - a <= slack; };
  return close(got.r, want.r) && close(got.g, want.g) && close(got.b, want.b);
}

::testing::AssertionResult IsColour(Rgb got, Rgb want, int slack) {
  if (Near(got, want, slack)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got " << int{got.r} << "," << int{got.g} << ","
                                       << int{got.b} << " want " << int{want.r} << ","
                                       << int{want.g} << "," << int{want.b};
}

bool Inside(const Image& image, int x, int y) {
  return x >= 0 && y >= 0 && x < image.width && y < image.height;
}

::testing::AssertionResult PixelIs(const Image& image, int x, int y, Rgb want) {
  if (!Inside(image, x, y))
    return ::testing::AssertionFailure() << "(" << x << "," << y << ") lies outside the picture";
  return IsColour(image.At(x, y), want) << " at (" << x << "," << y << ")";
}

::testing::AssertionResult ColourAround(const Image& image, int x, int y, Rgb want, int slack) {
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx)
      if (Inside(image, x + dx, y + dy) && Near(image.At(x + dx, y + dy), want, slack))
        return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "no pixel of the colour around (" << x << "," << y << ")";
}

int CountColour(const Image& image, int x1, int y1, int x2, int y2, Rgb want) {
  int n = 0;
  for (int y = y1; y <= y2; ++y)
    for (int x = x1; x <= x2; ++x) n += Inside(image, x, y) && Near(image.At(x, y), want) ? 1 : 0;
  return n;
}

}  // namespace shot
