// The skirmish draw-up against a reference generator and the launch values.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "console/console.hpp"
#include "game/flow.hpp"
#include "game/state.hpp"
#include "game/turn.hpp"
#include "tests/support/recording.hpp"

namespace {

struct Expected {
  std::vector<int16_t> kinds, xs;
  int16_t he, ap, nuclear, maxHealth, playerX;
};

// The draw-up as the rules state it, with the table's size of 20 as the stop.
Expected Model(uint32_t seed, int skill, const std::vector<int16_t>& kindsBefore, bool* capped) {
  ReferenceRandom r(seed);
  Expected e;
  int budget = 10 * skill;
  *capped = false;
  for (;;) {
    const int i = static_cast<int>(e.xs.size()) + 1;
    const int d = r(11);
    int16_t kind = kindsBefore[i];
    if (d != 0) {
      if (budget > d) kind = static_cast<int16_t>(d);
      budget -= d;
    }
    e.kinds.push_back(kind);
    e.xs.push_back(static_cast<int16_t>(r(800) + 200));
    if (budget < 5) break;
    if (e.xs.size() == 20) {
      *capped = true;
      break;
    }
  }
  e.he = static_cast<int16_t>(r(20) + 20);
  e.ap = static_cast<int16_t>(r(10) + 10);
  e.nuclear = static_cast<int16_t>(r(3));
  e.maxHealth = static_cast<int16_t>(r(600) + 700);
  e.playerX = static_cast<int16_t>(r(100) + 10);
  return e;
}

std::vector<int16_t> PresetKinds(int16_t kind) {
  std::vector<int16_t> kinds(MaxUnits + 1, kind);
  for (int i = 1; i <= MaxUnits; ++i) Units[i].kind = kind;
  return kinds;
}

void ExpectDrawUp(uint32_t seed, int skill, const Expected& e) {
  SCOPED_TRACE(testing::Message() << "seed " << seed << " skill " << skill);
  ASSERT_EQ(UnitCount, static_cast<int16_t>(e.xs.size()));
  for (int i = 1; i <= UnitCount; ++i) {
    EXPECT_EQ(Units[i].kind, e.kinds[i - 1]) << "object " << i;
    EXPECT_EQ(Units[i].x, e.xs[i - 1]) << "object " << i;
  }
  EXPECT_EQ(AmmoHE, e.he);
  EXPECT_EQ(AmmoAP, e.ap);
  EXPECT_EQ(AmmoNuclear, e.nuclear);
  EXPECT_EQ(PlayerMaxHealth, e.maxHealth);
  EXPECT_EQ(PlayerHealth, e.maxHealth);
  EXPECT_EQ(PlayerX, e.playerX);
}

// ---- Draw order for ordinary seeds at every skill ----
TEST(GenerateSkirmish, MatchesTheDrawOrderForFixedSeeds) {
  for (uint32_t seed : {1u, 42u, 1767225600u, 4000000000u}) {
    for (int skill = 1; skill <= 5; ++skill) {
      const auto before = PresetKinds(3);
      bool capped = false;
      const Expected e = Model(seed, skill, before, &capped);
      EnemySkill = static_cast<int16_t>(skill);
      rec::Reseed(seed);
      GenerateSkirmish();
      ExpectDrawUp(seed, skill, e);
    }
  }
}

// ---- Skill 1 with a first draw of 10: one object whose kind is not set ----
TEST(GenerateSkirmish, SkillOneFirstDrawOfTenLeavesTheKindAndEndsTheDrawUp) {
  uint32_t seed = 1;
  while (ReferenceRandom(seed)(11) != 10) ++seed;
  PresetKinds(7);
  EnemySkill = 1;
  rec::Reseed(seed);
  GenerateSkirmish();
  EXPECT_EQ(UnitCount, 1);
  EXPECT_EQ(Units[1].kind, 7) << "budget 10 is not greater than 10";
  EXPECT_EQ(SkirmishBudget, 0);
}

// ---- A draw of 0 places an object with its old kind and spends nothing ----
TEST(GenerateSkirmish, DrawOfZeroKeepsTheEntrysKind) {
  uint32_t seed = 1;
  while (ReferenceRandom(seed)(11) != 0) ++seed;
  PresetKinds(9);
  EnemySkill = 2;
  rec::Reseed(seed);
  GenerateSkirmish();
  EXPECT_GE(UnitCount, 2);
  EXPECT_EQ(Units[1].kind, 9);
}

// ---- Skill 5: a long run of small draws stops at the table's 20 entries ----
TEST(GenerateSkirmish, StopsAtTwentyObjects) {
  const auto before = PresetKinds(0);
  uint32_t seed = 1;
  bool capped = false;
  Expected e;
  for (;; ++seed) {
    e = Model(seed, 5, before, &capped);
    if (capped) break;
    ASSERT_LT(seed, 5000000u) << "no seed reaches the cap";
  }
  EnemySkill = 5;
  rec::Reseed(seed);
  GenerateSkirmish();
  EXPECT_EQ(UnitCount, 20);
  ExpectDrawUp(seed, 5, e);
}

// ---- A second draw-up counts only its own objects ----
TEST(GenerateSkirmish, StartsFromAnEmptyCount) {
  UnitCount = 17;
  EnemySkill = 1;
  rec::Reseed(99);
  GenerateSkirmish();
  bool capped = false;
  EXPECT_EQ(UnitCount, static_cast<int16_t>(Model(99, 1, PresetKinds(Units[1].kind), &capped).xs.size()));
}

// ---- Launch values: divisor 57, ties to even, 16-bit store ----
TEST(LaunchValues, SpeedAndAngle) {
  struct Case { int16_t speed, angle, vx, vy; };
  const Case cases[] = {
      {100, 45, 70, 71}, {100, 90, -1, 100}, {100, 0, 100, 0},
      {0, 30, 0, 0},     {-100, 0, -100, 0}, {50, -45, 35, -35},
  };
  for (const Case& c : cases) {
    LaunchSpeed = c.speed;
    LaunchAngle = c.angle;
    ShellVX = ShellVY = 12345;
    ComputeLaunchValues();
    EXPECT_EQ(ShellVX, c.vx) << c.speed << " at " << c.angle;
    EXPECT_EQ(ShellVY, c.vy) << c.speed << " at " << c.angle;
  }
}

// ---- Huge speeds keep the low 16 bits ----
TEST(LaunchValues, WrapToSixteenBits) {
  LaunchSpeed = 32767;
  LaunchAngle = 0;
  ComputeLaunchValues();
  EXPECT_EQ(ShellVX, 32767);
  LaunchSpeed = -32768;
  ComputeLaunchValues();
  EXPECT_EQ(ShellVX, -32768);
}

}  // namespace
