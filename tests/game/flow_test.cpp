// The skirmish draw-up against a reference generator and the launch values.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "console/console.hpp"
#include "game/flow.hpp"
#include "game/state.hpp"
#include "game/turn.hpp"
#include "tests/support/recording.hpp"

namespace {

// Every entry holds the kind before the draw-up; the kinds not drawn keep it.
void DrawUp(uint32_t seed, int skill, int16_t kindBefore) {
  for (auto& u : Units) u.kind = kindBefore;
  EnemySkill = static_cast<int16_t>(skill);
  rec::Reseed(seed);
  GenerateSkirmish();
}

void ExpectDrawUp(uint32_t seed, int skill, const rec::ReferenceField& f) {
  SCOPED_TRACE(testing::Message() << "seed " << seed << " skill " << skill);
  ASSERT_EQ(UnitCount + 1, static_cast<int>(f.xs.size()));
  for (int i = 1; i <= UnitCount; ++i) {
    EXPECT_EQ(Units[i].kind, f.kinds[i]) << "object " << i;
    EXPECT_EQ(Units[i].x, f.xs[i]) << "object " << i;
  }
  EXPECT_EQ((std::array<int, 6>{AmmoHE, AmmoAP, AmmoNuclear, PlayerMaxHealth, PlayerHealth, PlayerX}),
            (std::array{f.he, f.ap, f.nuclear, f.maxHealth, f.maxHealth, f.playerX}));
}

// ---- Draw order for ordinary seeds at every skill ----
TEST(GenerateSkirmish, MatchesTheDrawOrderForFixedSeeds) {
  for (uint32_t seed : {1u, 42u, 1767225600u, 4000000000u}) {
    for (int skill = 1; skill <= 5; ++skill) {
      DrawUp(seed, skill, 3);
      ExpectDrawUp(seed, skill, rec::ReferenceSkirmish(seed, skill, 3));
    }
  }
}

// ---- Skill 1 with a first draw of 10: one object whose kind is not set ----
TEST(GenerateSkirmish, SkillOneFirstDrawOfTenLeavesTheKindAndEndsTheDrawUp) {
  uint32_t seed = 1;
  while (ReferenceRandom(seed)(11) != 10) ++seed;
  DrawUp(seed, 1, 7);
  EXPECT_EQ(UnitCount, 1);
  EXPECT_EQ(Units[1].kind, 7) << "budget 10 is not greater than 10";
  EXPECT_EQ(SkirmishBudget, 0);
}

// ---- A draw of 0 places an object with its old kind and spends nothing ----
TEST(GenerateSkirmish, DrawOfZeroKeepsTheEntrysKind) {
  uint32_t seed = 1;
  while (ReferenceRandom(seed)(11) != 0) ++seed;
  DrawUp(seed, 2, 9);
  EXPECT_GE(UnitCount, 2);
  EXPECT_EQ(Units[1].kind, 9);
}

// ---- Skill 5: a long run of small draws stops at the table's 20 entries ----
TEST(GenerateSkirmish, StopsAtTwentyObjects) {
  uint32_t seed = 1;
  while (!rec::ReferenceSkirmish(seed, 5).capped) ASSERT_LT(++seed, 5000000u) << "no seed reaches the cap";
  DrawUp(seed, 5, 0);
  EXPECT_EQ(UnitCount, 20);
  ExpectDrawUp(seed, 5, rec::ReferenceSkirmish(seed, 5));
}

// ---- A second draw-up counts only its own objects ----
TEST(GenerateSkirmish, StartsFromAnEmptyCount) {
  UnitCount = 17;
  DrawUp(99, 1, 0);
  EXPECT_EQ(UnitCount + 1, static_cast<int>(rec::ReferenceSkirmish(99, 1).xs.size()));
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
