// The window device's X-free arithmetic: Cohen-Sutherland clipping with its
// integer crossings, and the vertex angles of arcs.
#include <cmath>
#include <cstdint>
#include <numbers>

#include <gtest/gtest.h>

#include "graph/x11_device.hpp"

namespace {

struct Segment {
  int32_t x1, y1, x2, y2;
  bool operator==(const Segment&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Segment& s) {
  return os << "(" << s.x1 << "," << s.y1 << ")-(" << s.x2 << "," << s.y2 << ")";
}

// Clip rectangle of every case: x 0..100, y 0..50, edges inside.
constexpr int32_t kLeft = 0, kTop = 0, kRight = 100, kBottom = 50;

void ExpectClip(Segment in, bool kept, Segment out) {
  Segment s = in;
  const bool result = X11ClipLine(s.x1, s.y1, s.x2, s.y2, kLeft, kTop, kRight, kBottom);
  EXPECT_EQ(result, kept) << in;
  if (kept) {
    EXPECT_EQ(s, out) << in;
  }
}

TEST(X11ClipLine, EdgesBelongToTheRectangle) {
  ExpectClip({0, 0, 100, 50}, true, {0, 0, 100, 50});
  ExpectClip({100, 0, 0, 50}, true, {100, 0, 0, 50});
  ExpectClip({0, 50, 100, 50}, true, {0, 50, 100, 50});
  ExpectClip({37, 12, 37, 12}, true, {37, 12, 37, 12});
}

TEST(X11ClipLine, SegmentsWhollyBeyondOneEdgeAreDropped) {
  ExpectClip({-1, 0, -1, 50}, false, {});
  ExpectClip({101, 0, 150, 50}, false, {});
  ExpectClip({0, 51, 100, 60}, false, {});
  ExpectClip({0, -1, 100, -30}, false, {});
  // Outside two different edges, missing the corner.
  ExpectClip({-10, 5, 5, -10}, false, {});
}

TEST(X11ClipLine, OutsideEndMovesToTheEdgeCrossing) {
  // y = 0 + 20 * (0 - -10) / 20 = 10
  ExpectClip({-10, 0, 10, 20}, true, {0, 10, 10, 20});
  // Right edge, the second end: y = 10 + 20 * (100 - 90) / 20 = 20
  ExpectClip({90, 10, 110, 30}, true, {90, 10, 100, 20});
  // Below: x = 50 + 10 * (50 - 40) / 20 = 55
  ExpectClip({50, 40, 60, 60}, true, {50, 40, 55, 50});
  // Above: x = 20 + -20 * (0 - 10) / -20 = 10
  ExpectClip({20, 10, 0, -10}, true, {20, 10, 10, 0});
  // Both ends outside, across the whole rectangle.
  ExpectClip({-10, 25, 110, 25}, true, {0, 25, 100, 25});
}

TEST(X11ClipLine, CrossingsTruncateTowardsZero) {
  // y = 10 + (3 - 10)(0 - -5)/(5 - -5) = 10 + -35/10 = 10 - 3 (floor would give 6)
  ExpectClip({-5, 10, 5, 3}, true, {0, 7, 5, 3});
  // y = 10 + 7 * 5 / 10 = 13 (35/10 truncated)
  ExpectClip({-5, 10, 5, 17}, true, {0, 13, 5, 17});
  // Corner entry, left first: y = -8 + 16 * 4 / 8 = 0, already on the top edge.
  ExpectClip({-4, -8, 4, 8}, true, {0, 0, 4, 8});
}

TEST(X11ClipLine, ProductsBeyondThirtyTwoBitsDoNotOverflow) {
  // Right: y = 30000000 * 100 / 100000 = 30000 (the product is 3e9); then
  // below: x = 100 * 50 / 30000 = 0.
  ExpectClip({0, 0, 100000, 30000000}, true, {0, 0, 0, 50});
  // Full 16-bit span: y = -32768 + 65535 * 32768 / 65535 = 0.
  ExpectClip({-32768, -32768, 32767, 32767}, true, {0, 0, 50, 50});
}

// ---- Arc vertices: t from start in 5-degree steps while t <= end ----------
TEST(X11ArcAngles, VertexCountsAndOrder) {
  struct Case {
    int16_t start, end;
    size_t count;
    double firstDegrees, lastDegrees;
  };
  const Case cases[] = {
      {0, 0, 1, 0, 0},       // a single vertex
      {0, 4, 1, 0, 0},       // the next step would pass the end
      {0, 5, 2, 0, 5},       //
      {0, 90, 19, 0, 90},    //
      {90, 0, 19, 0, 90},    // end < start: swapped
      {0, 360, 73, 0, 360},  // a full turn ends on 360 degrees
      {361, 0, 1, 0, 0},     // 361 mod 361 is 0
      {0, 721, 73, 0, 360},  // 721 mod 361 is 360
  };
  for (const Case& c : cases) {
    const std::vector<float> angles = X11ArcAngles(c.start, c.end);
    ASSERT_EQ(angles.size(), c.count) << c.start << ".." << c.end;
    constexpr double kDegree = std::numbers::pi / 180;
    EXPECT_NEAR(angles.front(), c.firstDegrees * kDegree, 1e-5) << c.start << ".." << c.end;
    EXPECT_NEAR(angles.back(), c.lastDegrees * kDegree, 1e-5) << c.start << ".." << c.end;
    for (size_t i = 1; i < angles.size(); ++i) {
      EXPECT_NEAR(angles[i] - angles[i - 1], 5 * kDegree, 1e-5);
    }
  }
}

}  // namespace
