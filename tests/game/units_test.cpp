// Unit catalogue: each kind's primitives as the recording device sees them,
// the values each drawing writes, full hit points, and DrawAllUnits' skips and
// spotter bookkeeping. Expected outlines are written out from the catalogue's
// own listing, not taken from the code's tables.
#include "game/units.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/state.hpp"
#include "graph/graph.hpp"
#include "tests/support/recording.hpp"

namespace {

// Builds the log lines a drawing should produce, in the formats of the
// recording device; a rectangle is the layer's four corner-safe lines and a
// bar one horizontal line per row in the fill colour.
struct Expected {
  std::vector<std::string> log;
  int colour = 15;

  static std::string N(int v) { return std::to_string(v); }
  void L(int x1, int y1, int x2, int y2) {
    log.push_back("Line(" + N(x1) + "," + N(y1) + "," + N(x2) + "," + N(y2) + ") colour " + N(colour));
  }
  void C(int x, int y, int r) {
    log.push_back("Ellipse(" + N(x) + "," + N(y) + "," + N(r) + "," + N(r) + ") colour " + N(colour));
  }
  void R(int x1, int y1, int x2, int y2) {
    L(x1, y1, x2 - 1, y1);
    L(x1, y1 + 1, x1, y2);
    L(x2, y1, x2, y2 - 1);
    L(x1 + 1, y2, x2, y2);
  }
  void Bar(int x1, int y1, int x2, int y2, int fill) {
    const int saved = colour;
    colour = fill;
    for (int y = y1; y <= y2; ++y) L(x1, y, x2, y);
    colour = saved;
  }
};

void ResetState() {
  Units = {};
  UnitCount = 0;
  PlayerX = 0;
  PlayerHealth = 0;
  PlayerMaxHealth = 0;
  SpotterMode = 1;
  SpotterSeen = 0;
  SpotterIndex = 0;
}

// Fills a record with values no kind has, so a drawing that forgets to write
// one cannot pass.
void Prefill(EnemyUnit& u) {
  u.width = u.height = u.step = u.weapon = u.range = -1;
}

class UnitsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetState();
    rec::Start();
  }
  void TearDown() override { rec::Stop(); }

  // Draws a single object of the kind at x through DrawAllUnits.
  static std::vector<std::string> DrawOne(int16_t kind, int16_t x, int16_t mode = 1) {
    UnitCount = 1;
    Units[1].kind = kind;
    Units[1].x = x;
    SpotterMode = mode;
    rec::ClearLog();
    DrawAllUnits();
    return rec::Log();
  }
};

// ---- outlines, primitive by primitive -----------------------------------

TEST_F(UnitsTest, TargetPostAndFourRings) {
  for (int x : {300, 301}) {
    Expected e;
    e.L(x, 500, x, 460);
    for (int r : {10, 7, 5, 2}) e.C(x, 450, r);
    EXPECT_EQ(DrawOne(Target, static_cast<int16_t>(x)), e.log) << "x " << x;
  }
}

TEST_F(UnitsTest, HutAndHouse) {
  const int x = 500;
  Expected hut;
  hut.R(x - 20, 480, x + 20, 500);
  hut.L(x - 20, 480, x, 460);
  hut.L(x, 460, x + 20, 480);
  EXPECT_EQ(DrawOne(Hut, x), hut.log);

  Expected house;
  house.R(x - 40, 450, x + 30, 500);
  house.R(x - 35, 455, x - 25, 475);
  house.R(x + 25, 455, x + 5, 475);  // right window given right-to-left
  EXPECT_EQ(DrawOne(House, x), house.log);
}

TEST_F(UnitsTest, FlagOwnColoursInDrawPass) {
  const int x = 700;
  Expected e;
  e.R(x - 40, 480, x + 30, 500);
  e.L(x, 480, x, 440);
  e.R(x, 440, x + 20, 450);
  e.colour = 4;
  for (int y : {441, 443, 445, 447, 449}) e.L(x, y, x + 20, y);
  e.colour = 15;
  for (int y : {442, 444, 446, 448}) e.L(x, y, x + 20, y);
  e.Bar(x + 1, 441, x + 7, 447, 9);
  EXPECT_EQ(DrawOne(Flag, x), e.log);
  EXPECT_EQ(Graph.colour, 15);
  EXPECT_EQ(Graph.fillPattern, 1);
  EXPECT_EQ(Graph.fillColour, 9);
}

TEST_F(UnitsTest, TankWheelsBeforeHull) {
  const int x = 401;
  Expected e;
  e.C(x - 30, 489, 5);
  e.C(x + 30, 489, 5);
  for (int d : {-20, -10, 0, 10, 20}) e.C(x + d, 494, 5);
  e.L(x - 20, 499, x - 30, 494);
  e.L(x + 20, 499, x + 30, 494);
  e.L(x - 30, 484, x + 30, 484);
  e.L(x - 20, 499, x + 20, 499);
  e.L(x - 20, 484, x - 10, 474);
  e.L(x + 10, 474, x - 10, 474);
  e.L(x + 10, 474, x + 20, 484);
  e.L(x - 15, 479, x - 25, 474);
  EXPECT_EQ(DrawOne(Tank, x), e.log);
}

TEST_F(UnitsTest, SelfPropelledGunDrawsItsPixelTwiceAsALine) {
  const int x = 600;
  Expected e;
  for (int d : {-30, -20, -10, 0, 10, 20, 30}) e.C(x + d, 495, 5);
  e.C(x - 40, 492, 5);
  e.C(x + 40, 492, 5);
  e.L(x - 30, 500, x + 30, 500);
  e.L(x - 40, 497, x - 33, 500);
  e.L(x + 40, 497, x + 33, 500);
  e.L(x - 40, 487, x + 40, 487);
  e.L(x - 45, 492, x - 45, 485);
  e.L(x - 45, 492, x - 45, 480);
  e.L(x - 45, 480, x - 25, 470);
  e.L(x - 25, 470, x + 40, 470);
  e.L(x + 40, 470, x + 40, 487);
  e.L(x - 10, 470, x, 460);
  e.L(x, 460, x + 45, 460);
  e.L(x + 45, 496, x + 45, 496);
  e.L(x + 45, 496, x + 45, 496);
  e.L(x + 45, 460, x + 45, 470);
  e.L(x + 45, 470, x + 40, 470);
  e.L(x - 5, 465, x - 30, 462);
  EXPECT_EQ(DrawOne(SelfPropelledGun, x), e.log);
}

TEST_F(UnitsTest, SoldierWithItsSinglePixel) {
  const int x = 250;
  Expected e;
  e.C(x, 489, 3);
  e.L(x - 2, 491, x - 2, 499);
  e.L(x + 2, 491, x + 2, 499);
  e.L(x + 2, 499, x - 2, 499);
  e.L(x - 8, 493, x - 8, 493);
  e.L(x - 2, 493, x - 14, 489);
  e.L(x - 14, 489, x - 12, 485);
  e.L(x - 12, 485, x - 3, 489);
  e.L(x + 2, 493, x + 8, 496);
  e.L(x - 2, 499, x - 5, 494);
  e.L(x - 5, 494, x - 10, 499);
  EXPECT_EQ(DrawOne(Soldier, x), e.log);
}

void Cab(Expected& e, int x) {
  e.L(x - 20, 494, x - 25, 494);
  e.L(x - 20, 494, x - 30, 494);
  e.L(x - 30, 494, x - 30, 485);
  e.L(x - 30, 494, x - 30, 480);
  e.L(x - 30, 480, x - 20, 480);
  e.L(x - 20, 480, x - 10, 470);
  e.L(x - 10, 470, x - 2, 470);
  e.L(x - 2, 470, x - 2, 494);
}

TEST_F(UnitsTest, SpotterTruckBothModesShareTheCab) {
  const int x = 900;
  Expected driving;
  for (int d : {-15, 10, 20}) driving.C(x + d, 494, 5);
  driving.L(x - 10, 494, x + 5, 494);
  driving.L(x + 25, 494, x + 30, 494);
  driving.L(x + 30, 494, x + 30, 470);
  driving.L(x + 30, 470, x, 470);
  driving.L(x, 470, x, 494);
  Cab(driving, x);
  EXPECT_EQ(DrawOne(SpotterTruck, x, 1), driving.log);

  Expected deployed;
  for (int d : {-15, 10, 20, 80, 90}) deployed.C(x + d, 494, 5);
  deployed.L(x - 10, 494, x + 5, 494);
  for (int y : {485, 475, 465, 455, 445}) deployed.L(x, y, x + 100, y);
  for (int d : {0, 20, 40, 60, 80, 100}) deployed.L(x + d, 485, x + d, 445);
  Cab(deployed, x);
  EXPECT_EQ(DrawOne(SpotterTruck, x, 2), deployed.log);
  // Any mode other than 1 is the deployed drawing.
  EXPECT_EQ(DrawOne(SpotterTruck, x, 0), deployed.log);
}

TEST_F(UnitsTest, PlayerGunAtPlayerX) {
  const int p = 40;
  PlayerX = p;
  Expected e;
  e.C(p, 495, 5);
  e.L(p - 10, 490, p + 20, 480);
  e.L(p + 20, 480, p + 17, 475);
  e.L(p + 17, 475, p - 13, 485);
  e.L(p - 10, 490, p - 13, 485);
  e.L(p - 3, 495, p - 20, 500);
  e.L(p - 6, 490, p - 23, 495);
  e.L(p - 20, 500, p - 23, 495);
  rec::ClearLog();
  DrawPlayerGun();
  EXPECT_EQ(rec::Log(), e.log);
}

// Primitive counts for every drawing: circles and lines one log line each, a
// rectangle four, the flag's canton bar seven rows.
TEST_F(UnitsTest, EveryKindDrawsItsNumberOfPrimitives) {
  struct Case { int16_t kind, mode; size_t circles, lines; };
  const Case cases[] = {
      {Target, 1, 4, 1},           {Hut, 1, 0, 4 + 2},          {House, 1, 0, 12},
      {Flag, 1, 0, 4 + 1 + 4 + 9 + 7}, {ArmouredCar, 1, 3, 10}, {Tank, 1, 7, 8},
      {HeavyTank, 1, 7, 15},       {SelfPropelledGun, 1, 9, 16}, {Soldier, 1, 1, 10},
      {RocketLauncher, 1, 8, 16},  {FieldGun, 1, 1, 12},        {SpotterTruck, 1, 3, 5 + 8},
      {SpotterTruck, 2, 5, 12 + 8},
  };
  for (const Case& c : cases) {
    DrawOne(c.kind, 640, c.mode);
    EXPECT_EQ(rec::Filter("Ellipse").size(), c.circles) << "kind " << c.kind << " mode " << c.mode;
    EXPECT_EQ(rec::Filter("Line").size(), c.lines) << "kind " << c.kind << " mode " << c.mode;
    EXPECT_EQ(rec::Log().size(), c.circles + c.lines) << "kind " << c.kind;
  }
}

TEST_F(UnitsTest, ArmouredCarThreeWheelsNoGun) {
  const int x = 800;
  Expected e;
  for (int d : {-19, 19, 0}) e.C(x + d, 493, 6);
  e.L(x - 13, 493, x - 6, 493);
  e.L(x + 13, 493, x + 6, 493);
  e.L(x + 25, 493, x + 31, 487);
  e.L(x - 25, 493, x - 31, 487);
  e.L(x - 31, 487, x - 25, 479);
  e.L(x + 31, 487, x + 25, 479);
  e.L(x - 25, 479, x + 25, 479);
  e.L(x - 19, 479, x - 14, 473);
  e.L(x - 14, 473, x - 5, 473);
  e.L(x, 479, x - 5, 473);
  EXPECT_EQ(DrawOne(ArmouredCar, x), e.log);
}

TEST_F(UnitsTest, HeavyTankSevenWheelsLongBarrel) {
  const int x = 801;
  Expected e;
  for (int d : {-30, -20, -10, 0, 10, 20, 30}) e.C(x + d, 494, 5);
  e.L(x - 33, 499, x + 33, 499);
  e.L(x - 33, 499, x - 47, 479);
  e.L(x + 33, 499, x + 40, 489);
  e.L(x + 40, 489, x - 40, 489);
  e.L(x - 40, 489, x + 45, 489);
  e.L(x + 45, 489, x + 45, 479);
  e.L(x + 45, 489, x + 45, 476);
  e.L(x + 45, 476, x + 25, 476);
  e.L(x + 25, 476, x + 22, 479);
  e.L(x + 22, 479, x + 47, 479);
  e.L(x - 47, 479, x + 22, 479);
  e.L(x + 25, 476, x + 20, 469);
  e.L(x + 20, 469, x - 10, 469);
  e.L(x - 10, 469, x - 20, 479);
  e.L(x - 15, 474, x - 50, 469);
  EXPECT_EQ(DrawOne(HeavyTank, x), e.log);
}

TEST_F(UnitsTest, RocketLauncherWithItsSinglePixelAndRails) {
  const int x = 800;
  Expected e;
  for (int d : {-25, -15, -5, 5, 15, 25}) e.C(x + d, 494, 5);
  e.C(x + 35, 491, 5);
  e.C(x - 35, 491, 5);
  e.L(x - 25, 499, x + 25, 499);
  e.L(x - 35, 486, x + 35, 486);
  e.L(x - 35, 496, x - 28, 499);
  e.L(x + 35, 496, x + 28, 499);
  e.L(x + 40, 491, x + 40, 479);
  e.L(x - 45, 499, x - 45, 499);
  e.L(x - 40, 491, x - 40, 479);
  e.L(x - 40, 479, x - 30, 469);
  e.L(x - 30, 469, x - 20, 469);
  e.L(x - 20, 469, x - 20, 479);
  e.L(x - 20, 479, x + 40, 479);
  e.L(x + 40, 479, x + 50, 474);
  e.L(x + 20, 439, x + 40, 479);
  e.L(x + 30, 434, x + 50, 474);
  e.L(x + 30, 434, x + 20, 439);
  e.L(x + 30, 459, x + 10, 479);
  EXPECT_EQ(DrawOne(RocketLauncher, x), e.log);
}

TEST_F(UnitsTest, FieldGunOnOneWheelWithFourBarrelLines) {
  const int x = 801;
  Expected e;
  e.C(x, 492, 5);
  e.L(x, 497, x + 10, 500);
  e.L(x, 497, x - 10, 500);
  e.L(x + 5, 492, x + 13, 500);
  e.L(x + 13, 500, x + 16, 497);
  e.L(x + 13, 500, x + 18, 495);
  e.L(x + 18, 495, x - 15, 460);
  e.L(x - 15, 460, x - 20, 465);
  e.L(x - 20, 465, x, 485);
  e.L(x - 18, 462, x - 28, 452);
  e.L(x - 17, 463, x - 27, 453);
  e.L(x - 19, 462, x - 29, 452);
  e.L(x - 20, 462, x - 30, 452);
  EXPECT_EQ(DrawOne(FieldGun, x), e.log);
}

TEST_F(UnitsTest, DrawsInTheCallersColour) {
  SetColor(0);
  for (const auto& line : DrawOne(HeavyTank, 300))
    EXPECT_TRUE(line.ends_with(" colour 0")) << line;
  EXPECT_EQ(Graph.colour, 0);
}

// ---- values written by the drawings -------------------------------------

TEST_F(UnitsTest, EachDrawingWritesItsFiveValues) {
  struct Case { int16_t kind, mode, width, height, step, weapon, range; };
  const Case cases[] = {
      {0, 1, 20, 60, 0, 0, 0},     {1, 1, 40, 40, 0, 0, 0},      {2, 1, 80, 50, 0, 0, 0},
      {3, 1, 80, 60, 0, 0, 0},     {4, 1, 90, 40, 40, 0, 2000},  {5, 1, 60, 50, 35, 2, 1000},
      {6, 1, 60, 50, 20, 2, 1000}, {7, 1, 60, 50, 35, 1, 1000},  {8, 1, 10, 10, 5, 3, 1000},
      {9, 1, 60, 50, 35, 4, 1000}, {10, 1, 60, 50, 0, 1, 1000},  {11, 1, 30, 30, 50, 0, 0},
      {11, 2, 50, 50, 0, 5, 800},
  };
  for (const Case& c : cases) {
    Prefill(Units[1]);
    DrawOne(c.kind, 500, c.mode);
    const EnemyUnit& u = Units[1];
    EXPECT_EQ(u.width, c.width) << "kind " << c.kind << " mode " << c.mode;
    EXPECT_EQ(u.height, c.height) << "kind " << c.kind << " mode " << c.mode;
    EXPECT_EQ(u.step, c.step) << "kind " << c.kind << " mode " << c.mode;
    EXPECT_EQ(u.weapon, c.weapon) << "kind " << c.kind << " mode " << c.mode;
    EXPECT_EQ(u.range, c.range) << "kind " << c.kind << " mode " << c.mode;
  }
}

TEST_F(UnitsTest, SpotterTruckTakesTheValuesOfTheModeItIsDrawnIn) {
  DrawOne(SpotterTruck, 500, 2);
  EXPECT_EQ(Units[1].weapon, 5);
  SpotterMode = 1;
  SetColor(0);
  DrawAllUnits();  // an erase pass rewrites the values too
  EXPECT_EQ(Units[1].step, 50);
  EXPECT_EQ(Units[1].weapon, 0);
  EXPECT_EQ(Units[1].range, 0);
}

// ---- what DrawAllUnits skips ---------------------------------------------

TEST_F(UnitsTest, DestroyedAndOutOfRangeKindsAreNeitherDrawnNorGivenValues) {
  struct Case { int16_t kind, destroyed; };
  const Case cases[] = {{-32768, 0}, {-1, 0}, {12, 0}, {32767, 0}, {5, 1}, {11, 1}, {0, -1}};
  for (const Case& c : cases) {
    UnitCount = 1;
    Units[1].kind = c.kind;
    Units[1].destroyed = c.destroyed;
    Units[1].health = 500;
    Prefill(Units[1]);
    SpotterSeen = 0;
    SpotterIndex = 0;
    rec::ClearLog();
    DrawAllUnits();
    EXPECT_TRUE(rec::Log().empty()) << "kind " << c.kind << " destroyed " << c.destroyed;
    EXPECT_EQ(Units[1].width, -1) << "kind " << c.kind;
    EXPECT_EQ(Units[1].range, -1) << "kind " << c.kind;
    EXPECT_EQ(SpotterSeen, 0) << "kind " << c.kind;
    EXPECT_EQ(SpotterIndex, 0) << "kind " << c.kind;
  }
}

TEST_F(UnitsTest, OnlyTheLevelsObjectsAreDrawn) {
  UnitCount = 2;
  for (int i = 1; i <= 4; ++i) Units[i].kind = Target, Units[i].x = static_cast<int16_t>(100 * i);
  DrawAllUnits();
  EXPECT_EQ(rec::Filter("Line").size(), 2u);
  EXPECT_EQ(rec::Filter("Line").back(), "Line(200,500,200,460) colour 15");
  rec::ClearLog();
  UnitCount = 0;
  DrawAllUnits();
  UnitCount = -3;
  DrawAllUnits();
  EXPECT_TRUE(rec::Log().empty());
}

TEST_F(UnitsTest, TwoSpotterTrucksLeaveTheHigherStandingIndex) {
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
  UnitCount = 3;
  Units[1] = {.x = 300, .kind = Target};
  Units[2] = {.x = 500, .kind = Flag};
  Units[3] = {.x = 700, .kind = Target};
  SetColor(0);
  DrawAllUnits();
  Expected e;
  e.colour = 0;
  e.L(300, 500, 300, 460);
  for (int r : {10, 7, 5, 2}) e.C(300, 450, r);
  e.R(460, 480, 530, 500);
  e.L(500, 480, 500, 440);
  e.R(500, 440, 520, 450);
  e.colour = 4;
  for (int y : {441, 443, 445, 447, 449}) e.L(500, y, 520, y);
  e.colour = 15;
  for (int y : {442, 444, 446, 448}) e.L(500, y, 520, y);
  e.Bar(501, 441, 507, 447, 9);
  e.L(700, 500, 700, 460);
  for (int r : {10, 7, 5, 2}) e.C(700, 450, r);
  EXPECT_EQ(rec::Log(), e.log);
}

// ---- full hit points ------------------------------------------------------

TEST_F(UnitsTest, SetMaxHealthByKindKeepsLeftoversForUnknownKinds) {
  const int16_t full[12] = {100, 450, 1500, 3000, 1000, 1200, 1500, 1500, 150, 1000, 500, 500};
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
  EXPECT_TRUE(rec::Log().empty());
}

}  // namespace
