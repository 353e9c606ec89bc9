// Status display: the frame, the stock rows, the threat box colours and the
// health bars with their rounding (ties to even, one rounding for the right
// end), checked against the recording device's log.
#include "game/status.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/state.hpp"
#include "graph/graph.hpp"
#include "tests/support/recording.hpp"

namespace {

using Log = std::vector<rec::Call>;
using rec::AddBar;
using rec::AddRectangle;
using rec::AddText;

std::string N(int v) { return std::to_string(v); }

class StatusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetGameState();
    ThreatLevel = 1;
    rec::Start();
  }
  void TearDown() override { rec::Stop(); }
};

constexpr int MX = rec::kMaxX, MY = rec::kMaxY;

// ---- DrawStatusLine -------------------------------------------------------

// The whole log for stocks and threat, built independently; the frame and
// the stocks in the colour current before.
Log ExpectedStatus(int he, int ap, int nuc, int threat, int fillColour, int colour = 15) {
  Log log;
  AddRectangle(log, 1, 500, MX - 1, MY - 1, colour);
  const struct { const char* label; int count, row; } rows[] = {
      {"f - ", he, 40}, {"b - ", ap, 30}, {"t - ", nuc, 20}};
  for (const auto& r : rows) {
    if (r.count <= 0) continue;
    AddText(log, 10, MY - r.row, r.label, colour);
    AddText(log, 40, MY - r.row, N(r.count), colour);
  }
  AddBar(log, MX - 100, 100, MX - 70, 130, fillColour);
  AddText(log, MX - 90, 110, N(threat), 0);
  return log;
}

TEST_F(StatusTest, StockRowsKeepTheirPlaces) {
  struct Case { int16_t he, ap, nuc; };
  const Case cases[] = {
      {0, 0, 0},     // no ammunition text at all
      {0, 0, 1},     // only the nuclear row, the rows above stay empty
      {-1, 0, 2},    // a negative stock is not shown
      {10, 5, 1},
      {32767, 1, 0},
  };
  for (const Case& c : cases) {
    AmmoHE = c.he;
    AmmoAP = c.ap;
    AmmoNuclear = c.nuc;
    SetColor(9);
    rec::Clear();
    DrawStatusLine();
    EXPECT_EQ(rec::Calls(), ExpectedStatus(c.he, c.ap, c.nuc, 1, 2, 9))
        << "stocks " << c.he << " " << c.ap << " " << c.nuc;
    EXPECT_EQ(Graph.colour, 15);
  }
}

// A threat outside 1..15 leaves the fill as it was (light grey here).
TEST_F(StatusTest, ThreatBoxColourByLevel) {
  struct Case { int16_t threat; int colour; };
  const Case cases[] = {{1, 2},  {5, 2},  {6, 14}, {10, 14}, {11, 4},
                        {15, 4}, {0, 7}, {16, 7}, {-3, 7}};
  for (const Case& c : cases) {
    ThreatLevel = c.threat;
    SetFillStyle(1, 7);
    rec::Clear();
    DrawStatusLine();
    EXPECT_EQ(rec::Calls(), ExpectedStatus(0, 0, 0, c.threat, c.colour)) << "threat " << c.threat;
    EXPECT_EQ(Graph.colour, 15);
    EXPECT_EQ(Graph.fillPattern, 1);
    EXPECT_EQ(Graph.fillColour, c.colour);
  }
}

// ---- DrawHealthBars -------------------------------------------------------

struct BarEnds { int left, right, fillEnd; };

// Frame and fill of one bar as the layer draws them.
void ExpectBar(Log& log, const BarEnds& b) {
  AddRectangle(log, b.left, 510, b.right, 515, 15);
  AddBar(log, b.left - 1, 511, b.fillEnd, 514, 4);
}

TEST_F(StatusTest, HealthBarRounding) {
  // Expected ends worked out by hand: F*30/2000 and H*30/1000, ties to even,
  // the right end rounded once as xc + F*30/2000.
  struct Case { int16_t xc, full, now; BarEnds bar; };
  const Case cases[] = {
      {300, 1000, 1000, {285, 315, 314}},  // 15 each side, fill xc-16..xc+14
      {301, 1000, 1000, {286, 316, 315}},
      {300, 100, 100, {298, 302, 300}},    // 1.5 -> 2; 301.5 -> 302
      {301, 100, 100, {299, 302, 301}},    // 302.5 -> 302, one pixel shorter
      {300, 1500, 1500, {278, 322, 322}},  // 22.5 -> 22; 322.5 -> 322
      {301, 1500, 1500, {279, 324, 323}},  // 323.5 -> 324
      {300, 1500, 50, {278, 322, 279}},    // fill 1.5 -> 2
      {300, 1500, 150, {278, 322, 281}},   // fill 4.5 -> 4
      {300, 1000, 0, {285, 315, 284}},     // zero-length fill at left-1
      {300, 1000, -100, {285, 315, 281}},  // below zero the fill runs left
      {0, 1, 1, {0, 0, -1}},               // 0.015 and 0.03 round to 0
  };
  for (const Case& c : cases) {
    PlayerX = c.xc;
    PlayerMaxHealth = c.full;
    PlayerHealth = c.now;
    rec::Clear();
    DrawHealthBars();
    Log expected;
    ExpectBar(expected, c.bar);
    EXPECT_EQ(rec::Calls(), expected) << "xc " << c.xc << " F " << c.full << " H " << c.now;
  }
}

TEST_F(StatusTest, PlayerFirstThenStandingObjectsInTableOrder) {
  PlayerX = 40;
  PlayerMaxHealth = 1000;
  PlayerHealth = 500;
  UnitCount = 3;
  Units[1] = {.x = 300, .health = 1200, .maxHealth = 1200};
  Units[2] = {.x = 500, .health = 0, .destroyed = 1, .maxHealth = 1500};
  Units[3] = {.x = 701, .health = 0, .maxHealth = 100};
  Units[4] = {.x = 900, .health = 100, .maxHealth = 100};  // beyond UnitCount
  DrawHealthBars();
  Log expected;
  ExpectBar(expected, {25, 55, 39});     // player: fill 15
  ExpectBar(expected, {282, 318, 317});  // 18 each side, fill 36
  ExpectBar(expected, {699, 702, 698});  // health 0: zero-length fill
  EXPECT_EQ(rec::Calls(), expected);
  EXPECT_EQ(Graph.colour, 15);
  EXPECT_EQ(Graph.fillColour, 4);
}

}  // namespace
