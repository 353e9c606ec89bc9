// Tests of the 8x8 font: blank and full cells, distinct ASCII glyphs, and
// box-drawing glyphs that meet their neighbours at the cell edges.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "graph/graph.hpp"

namespace {

bool Blank(uint8_t code) {
  for (uint8_t row : Font8x8[code]) {
    if (row != 0) return false;
  }
  return true;
}

TEST(Font8x8, BlankAndFullCells) {
  EXPECT_TRUE(Blank(0));
  EXPECT_TRUE(Blank(' '));
  EXPECT_TRUE(Blank(255));
  EXPECT_FALSE(Blank('#'));
  for (uint8_t row : Font8x8[219]) EXPECT_EQ(row, 0xFF);
}

TEST(Font8x8, PrintableAsciiGlyphsAreDistinctAndInked) {
  std::set<std::array<uint8_t, 8>> seen;
  for (int code = 33; code < 127; ++code) {
    EXPECT_FALSE(Blank(static_cast<uint8_t>(code))) << code;
    EXPECT_TRUE(seen.insert(Font8x8[static_cast<size_t>(code)]).second) << "duplicate " << code;
  }
}

TEST(Font8x8, EveryNonBlankCodeOutsideAsciiIsDrawn) {
  std::set<std::array<uint8_t, 8>> seen;
  for (int code = 1; code < 255; ++code) {
    if (code == 32) continue;
    EXPECT_FALSE(Blank(static_cast<uint8_t>(code))) << code;
    seen.insert(Font8x8[static_cast<size_t>(code)]);
  }
  EXPECT_EQ(seen.size(), 253u);  // 1..254 without the space, all different
}

// Runs of set pixels along one edge of a cell: a single line crosses an edge
// once, a double line twice.
int EdgeRuns(uint8_t code, char edge) {
  int runs = 0;
  bool inRun = false;
  for (int i = 0; i < 8; ++i) {
    const auto& g = Font8x8[code];
    bool set = false;
    switch (edge) {
      case 'u': set = (g[0] >> (7 - i)) & 1; break;
      case 'd': set = (g[7] >> (7 - i)) & 1; break;
      case 'l': set = (g[static_cast<size_t>(i)] >> 7) & 1; break;
      default: set = g[static_cast<size_t>(i)] & 1; break;
    }
    if (set && !inRun) ++runs;
    inRun = set;
  }
  return runs;
}

TEST(Font8x8, BoxDrawingMeetsItsNeighbours) {
  struct Box { uint8_t code; int up, down, left, right; };
  const Box boxes[] = {
      {179, 1, 1, 0, 0}, {180, 1, 1, 1, 0}, {181, 1, 1, 2, 0}, {182, 2, 2, 1, 0},
      {183, 0, 2, 1, 0}, {184, 0, 1, 2, 0}, {185, 2, 2, 2, 0}, {186, 2, 2, 0, 0},
      {187, 0, 2, 2, 0}, {188, 2, 0, 2, 0}, {189, 2, 0, 1, 0}, {190, 1, 0, 2, 0},
      {191, 0, 1, 1, 0}, {192, 1, 0, 0, 1}, {193, 1, 0, 1, 1}, {194, 0, 1, 1, 1},
      {195, 1, 1, 0, 1}, {196, 0, 0, 1, 1}, {197, 1, 1, 1, 1}, {198, 1, 1, 0, 2},
      {199, 2, 2, 0, 1}, {200, 2, 0, 0, 2}, {201, 0, 2, 0, 2}, {202, 2, 0, 2, 2},
      {203, 0, 2, 2, 2}, {204, 2, 2, 0, 2}, {205, 0, 0, 2, 2}, {206, 2, 2, 2, 2},
      {207, 1, 0, 2, 2}, {208, 2, 0, 1, 1}, {209, 0, 1, 2, 2}, {210, 0, 2, 1, 1},
      {211, 2, 0, 0, 1}, {212, 1, 0, 0, 2}, {213, 0, 1, 0, 2}, {214, 0, 2, 0, 1},
      {215, 2, 2, 1, 1}, {216, 1, 1, 2, 2}, {217, 1, 0, 1, 0}, {218, 0, 1, 0, 1},
  };
  for (const Box& b : boxes) {
    EXPECT_EQ(EdgeRuns(b.code, 'u'), b.up) << int{b.code};
    EXPECT_EQ(EdgeRuns(b.code, 'd'), b.down) << int{b.code};
    EXPECT_EQ(EdgeRuns(b.code, 'l'), b.left) << int{b.code};
    EXPECT_EQ(EdgeRuns(b.code, 'r'), b.right) << int{b.code};
  }
  // Lines of neighbouring cells line up: the same columns and rows everywhere.
  EXPECT_EQ(Font8x8[179][0], Font8x8[197][7]);
  EXPECT_EQ(Font8x8[186][0], Font8x8[206][7]);
}

}  // namespace
