// The window device's arithmetic that needs neither X nor GL: line clipping
// and the angles of arc vertices. Writes no globals.
#include <cmath>
#include <numbers>
#include <utility>

#include "graph/x11_device.hpp"

namespace {

enum Outcode : unsigned { kLeft = 1, kRight = 2, kBelow = 4, kAbove = 8 };

unsigned OutcodeOf(int32_t x, int32_t y, int32_t left, int32_t top, int32_t right,
                   int32_t bottom) {
  unsigned code = 0;
  if (x < left) code |= kLeft;
  if (x > right) code |= kRight;
  if (y > bottom) code |= kBelow;
  if (y < top) code |= kAbove;
  return code;
}

// a + (b - a)(edge - c)/(d - c), the division truncated towards zero as C++
// does; 64 bits because the product of two 16-bit spans overflows 32.
int32_t Crossing(int32_t a, int32_t b, int32_t edge, int32_t c, int32_t d) {
  return static_cast<int32_t>(a + int64_t{b - a} * (edge - c) / (d - c));
}

}  // namespace

bool X11ClipLine(int32_t& x1, int32_t& y1, int32_t& x2, int32_t& y2, int32_t left, int32_t top,
                 int32_t right, int32_t bottom) {
  // Each pass pins one coordinate of one end to an edge, so a handful of
  // passes always settles; the bound only guards against a rounding cycle.
  for (int pass = 0; pass < 16; ++pass) {
    const unsigned c1 = OutcodeOf(x1, y1, left, top, right, bottom);
    const unsigned c2 = OutcodeOf(x2, y2, left, top, right, bottom);
    if ((c1 | c2) == 0) return true;
    if ((c1 & c2) != 0) return false;
    const unsigned code = c1 != 0 ? c1 : c2;
    int32_t x = 0;
    int32_t y = 0;
    // A shared bit was ruled out above, so the divisor is never zero.
    if (code & kLeft) {
      x = left;
      y = Crossing(y1, y2, left, x1, x2);
    } else if (code & kRight) {
      x = right;
      y = Crossing(y1, y2, right, x1, x2);
    } else if (code & kBelow) {
      y = bottom;
      x = Crossing(x1, x2, bottom, y1, y2);
    } else {
      y = top;
      x = Crossing(x1, x2, top, y1, y2);
    }
    if (code == c1) {
      x1 = x;
      y1 = y;
    } else {
      x2 = x;
      y2 = y;
    }
  }
  return false;
}

std::vector<float> X11ArcAngles(int16_t start, int16_t end) {
  int32_t from = start % 361;
  int32_t to = end % 361;
  if (to < from) std::swap(from, to);
  // The running angle lives in single precision, rounded after every step,
  // while the sums and the limit are formed in extended precision: with these
  // roundings a full turn ends on a vertex at 360 degrees (73 in all).
  constexpr long double kPi = std::numbers::pi_v<long double>;
  const long double limit = to * kPi / 180;
  std::vector<float> angles;
  for (auto t = static_cast<float>(from * kPi / 180); t <= limit;
       t = static_cast<float>(t + kPi / 36)) {
    angles.push_back(t);
  }
  return angles;
}
