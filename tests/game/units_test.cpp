// Unit catalogue. Every drawing (each kind, the spotter truck in both modes,
// the player's gun) is held to the same properties: it stays inside the
// extent of its outline, moves with x, draws in the caller's colour and
// leaves colour and fill as they were (the flag aside), and writes its five
// values. Its exact calls are kept as data in tests/game/golden/<name>.log;
// after a deliberate change of an outline, rewrite them with
//     ZALPOMET_WRITE_GOLDEN=1 build/tests/units_test
// and review the difference as data (git diff tests/game/golden). Then
// DrawAllUnits' skips, the spotter bookkeeping and full hit points.
#include "game/units.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "game/state.hpp"
#include "graph/graph.hpp"
#include "tests/support/recording.hpp"

namespace {

using rec::Call;
using rec::Op;

constexpr int16_t PlayerGun = -1;

struct Drawing {
  const char* name;
  int16_t kind, mode;
  int left, right, top, bottom;  // the outline's extent: x offsets, window rows
  std::array<int, 5> values;     // width, height, step, weapon, range
};
// Extents and values as the catalogue lists them.
const Drawing kDrawings[] = {
    {"target", Target, 1, -10, 10, 440, 500, {20, 60, 0, 0, 0}},
    {"hut", Hut, 1, -20, 20, 460, 500, {40, 40, 0, 0, 0}},
    {"house", House, 1, -40, 30, 450, 500, {80, 50, 0, 0, 0}},
    {"flag", Flag, 1, -40, 30, 440, 500, {80, 60, 0, 0, 0}},
    {"armoured_car", ArmouredCar, 1, -31, 31, 473, 499, {90, 40, 40, 0, 2000}},
    {"tank", Tank, 1, -35, 35, 474, 499, {60, 50, 35, 2, 1000}},
    {"heavy_tank", HeavyTank, 1, -50, 47, 469, 499, {60, 50, 20, 2, 1000}},
    {"self_propelled_gun", SelfPropelledGun, 1, -45, 45, 460, 500, {60, 50, 35, 1, 1000}},
    {"soldier", Soldier, 1, -14, 8, 485, 499, {10, 10, 5, 3, 1000}},
    {"rocket_launcher", RocketLauncher, 1, -45, 50, 434, 499, {60, 50, 35, 4, 1000}},
    {"field_gun", FieldGun, 1, -30, 18, 452, 500, {60, 50, 0, 1, 1000}},
    {"spotter_driving", SpotterTruck, 1, -30, 30, 470, 499, {30, 30, 50, 0, 0}},
    {"spotter_deployed", SpotterTruck, 2, -30, 100, 445, 499, {50, 50, 0, 5, 800}},
    {"spotter_deployed", SpotterTruck, 0, -30, 100, 445, 499, {50, 50, 0, 5, 800}},
    {"player_gun", PlayerGun, 1, -23, 20, 475, 500, {-1, -1, -1, -1, -1}},
};

// Draws the drawing at x in the colour, with a record whose values no kind has.
std::vector<Call> Draw(const Drawing& d, int16_t x, uint16_t colour) {
  ResetGameState();
  UnitCount = 1;
  Units[1] = {.x = x, .kind = d.kind, .width = -1, .height = -1, .step = -1, .weapon = -1,
              .range = -1};
  PlayerX = x;
  SpotterMode = d.mode;
  SetColor(colour);
  SetFillStyle(1, 2);
  rec::Clear();
  if (d.kind == PlayerGun) DrawPlayerGun();
  else DrawAllUnits();
  return rec::Calls();
}

std::string Golden(const char* name) {
  return std::string(ZALPOMET_SOURCE_DIR) + "/tests/game/golden/" + name + ".log";
}

class UnitsTest : public ::testing::Test {
 protected:
  void SetUp() override { rec::Start(); }
  void TearDown() override { rec::Stop(); }
};

TEST_F(UnitsTest, EveryDrawingKeepsItsPropertiesAndItsGoldenCalls) {
  const bool write = std::getenv("ZALPOMET_WRITE_GOLDEN") != nullptr;
  for (const Drawing& d : kDrawings) {
    SCOPED_TRACE(std::string(d.name) + " mode " + std::to_string(d.mode));
    const std::vector<Call> at500 = Draw(d, 500, 15);
    ASSERT_FALSE(at500.empty());
    for (const Call& c : at500) {
      const int r = c.op == Op::Circle ? c.c : 0;
      const int x2 = c.op == Op::Line ? c.c : c.a, y2 = c.op == Op::Line ? c.d : c.b;
      EXPECT_TRUE(c.op == Op::Line || c.op == Op::Circle) << c;
      EXPECT_TRUE(std::min(c.a, x2) - r >= 500 + d.left && std::max(c.a, x2) + r <= 500 + d.right &&
                  std::min(c.b, y2) - r >= d.top && std::max(c.b, y2) + r <= d.bottom)
          << c;
    }
    if (d.kind != PlayerGun) {
      const EnemyUnit& u = Units[1];
      EXPECT_EQ((std::array<int, 5>{u.width, u.height, u.step, u.weapon, u.range}), d.values);
    }
    // Moved one pixel right, every call moves with it.
    std::vector<Call> moved = at500;
    for (Call& c : moved) c.a += 1, c.c += c.op == Op::Line;
    EXPECT_EQ(Draw(d, 501, 15), moved);
    // Everything in the caller's colour, the flag's own colours aside; in the
    // eraser's colour the same calls in black, and colour and fill left as
    // they were.
    const bool flag = d.kind == Flag;
    std::vector<Call> erased = Draw(d, 500, 3);
    for (Call& c : erased) {
      EXPECT_TRUE(flag || c.colour == 3) << c;
      if (c.colour == 3) c.colour = 0;
    }
    EXPECT_EQ(Draw(d, 500, 0), erased);
    EXPECT_EQ(Graph.colour, flag ? 15 : 0);
    EXPECT_EQ(Graph.fillColour, flag ? 9 : 2);
    EXPECT_EQ(Graph.fillPattern, 1);

    std::ostringstream text;
    for (const Call& c : at500) text << c << "\n";
    if (write) {
      std::ofstream(Golden(d.name)) << text.str();
      continue;
    }
    std::ifstream golden(Golden(d.name));
    ASSERT_TRUE(golden) << "no golden log " << Golden(d.name);
    EXPECT_EQ(text.str(), (std::stringstream() << golden.rdbuf()).str());
  }
}

// ---- what DrawAllUnits skips ---------------------------------------------

TEST_F(UnitsTest, DestroyedAndOutOfRangeKindsAreNeitherDrawnNorGivenValues) {
  struct Case { int16_t kind, destroyed; };
  const Case cases[] = {{-32768, 0}, {-1, 0}, {12, 0}, {32767, 0}, {5, 1}, {11, 1}, {0, -1}};
  for (const Case& c : cases) {
    ResetGameState();
    UnitCount = 1;
    Units[1] = {.kind = c.kind, .health = 500, .destroyed = c.destroyed, .width = -1, .range = -1};
    rec::Clear();
    DrawAllUnits();
    EXPECT_TRUE(rec::Calls().empty()) << "kind " << c.kind << " destroyed " << c.destroyed;
    EXPECT_EQ(Units[1].width, -1) << "kind " << c.kind;
    EXPECT_EQ(Units[1].range, -1) << "kind " << c.kind;
    EXPECT_EQ(SpotterSeen, 0) << "kind " << c.kind;
    EXPECT_EQ(SpotterIndex, 0) << "kind " << c.kind;
  }
}

TEST_F(UnitsTest, OnlyTheLevelsObjectsAreDrawn) {
  ResetGameState();
  UnitCount = 2;
  for (int i = 1; i <= 4; ++i) Units[i].kind = Target, Units[i].x = static_cast<int16_t>(100 * i);
  DrawAllUnits();
  EXPECT_EQ(rec::Only(Op::Line).size(), 2u);
  EXPECT_EQ(rec::Only(Op::Line).back(), rec::LineCall(200, 500, 200, 460, 15));
  rec::Clear();
  UnitCount = 0;
  DrawAllUnits();
  UnitCount = -3;
  DrawAllUnits();
  EXPECT_TRUE(rec::Calls().empty());
}

TEST_F(UnitsTest, TwoSpotterTrucksLeaveTheHigherStandingIndex) {
  ResetGameState();
  SpotterMode = 1;
  UnitCount = 6;
  for (int i = 1; i <= 6; ++i) Units[i].kind = Tank, Units[i].x = static_cast<int16_t>(100 + 50 * i);
  Units[2].kind = SpotterTruck;
  Units[5].kind = SpotterTruck;
  DrawAllUnits();
  EXPECT_EQ(SpotterSeen, 1);
  EXPECT_EQ(SpotterIndex, 5);

  Units[5].destroyed = 1;
  DrawAllUnits();
  EXPECT_EQ(SpotterIndex, 2);

  // Once both are gone nothing updates the index; the flag is never cleared.
  Units[2].destroyed = 1;
  DrawAllUnits();
  EXPECT_EQ(SpotterSeen, 1);
  EXPECT_EQ(SpotterIndex, 2);
}

// The flag leaves white current, so in an erase pass what follows it in the
// table is drawn in white while what comes before it is erased.
TEST_F(UnitsTest, FlagInAnErasePassLeavesLaterObjectsWhite) {
  ResetGameState();
  UnitCount = 3;
  Units[1] = {.x = 300, .kind = Target};
  Units[2] = {.x = 500, .kind = Flag};
  Units[3] = {.x = 700, .kind = Target};
  SetColor(0);
  DrawAllUnits();
  const std::vector<Call>& calls = rec::Calls();
  ASSERT_EQ(calls.size(), 5u + 25u + 5u);
  for (size_t k = 0; k < 5; ++k) EXPECT_EQ(calls[k].colour, 0) << calls[k];
  for (size_t k = 30; k < 35; ++k) EXPECT_EQ(calls[k].colour, 15) << calls[k];
}

// ---- full hit points ------------------------------------------------------

TEST_F(UnitsTest, SetMaxHealthByKindKeepsLeftoversForUnknownKinds) {
  const int16_t full[12] = {100, 450, 1500, 3000, 1000, 1200, 1500, 1500, 150, 1000, 500, 500};
  ResetGameState();
  UnitCount = 16;
  for (int16_t k = 0; k < 12; ++k) Units[k + 1].kind = k;
  Units[13] = {.kind = 12, .maxHealth = 777};
  Units[14] = {.kind = -1, .maxHealth = 4};
  Units[15] = {.kind = 5, .health = 33, .destroyed = 1, .maxHealth = 9};
  Units[16] = {.kind = 32767, .maxHealth = 0};
  Units[17] = {.kind = 0, .maxHealth = 55};  // beyond UnitCount
  PlayerMaxHealth = 1234;
  PlayerHealth = -20;
  SetMaxHealth();
  for (int k = 0; k < 12; ++k) EXPECT_EQ(Units[k + 1].maxHealth, full[k]) << "kind " << k;
  EXPECT_EQ(Units[13].maxHealth, 777);
  EXPECT_EQ(Units[14].maxHealth, 4);
  EXPECT_EQ(Units[15].maxHealth, 1200);
  EXPECT_EQ(Units[15].health, 33);  // health is the next level-start step
  EXPECT_EQ(Units[16].maxHealth, 0);
  EXPECT_EQ(Units[17].maxHealth, 55);
  EXPECT_EQ(PlayerHealth, 1234);
  EXPECT_TRUE(rec::Calls().empty());
}

}  // namespace
