// The level-start operations and the gun's losses over the program-wide state.
#include "game/state.hpp"

#include <gtest/gtest.h>

namespace {

struct HealthCase {
  int16_t before;
  int64_t loss;
  int16_t after;
};

// Losses are formed wide; the stored sum keeps ordinary values exactly and
// stops at the 16-bit limits instead of wrapping to the other sign.
TEST(DamagePlayer, SubtractsAndSaturates) {
  const HealthCase cases[] = {
      {1000, 0, 1000},          {1000, 200, 800},          {100, 600, -500},
      {-32000, 768, -32768},    {-32000, 769, -32768},     {-32768, 1000, -32768},
      {100, 40000, -32768},     {100, -40000, 32767},      {32767, -1, 32767},
  };
  for (const auto& c : cases) {
    PlayerHealth = c.before;
    DamagePlayer(c.loss);
    EXPECT_EQ(PlayerHealth, c.after) << c.before << " - " << c.loss;
  }
}

TEST(DamagePlayer, RepeatedHeavyLossesNeverReviveTheGun) {
  PlayerHealth = 100;
  for (int i = 0; i < 60; ++i) DamagePlayer(1000);
  EXPECT_EQ(PlayerHealth, -32768);
}

TEST(ClampHealth, RaisesOnlyTheLevelsObjectsAndLeavesTheGun) {
  UnitCount = 2;
  Units[1].health = -5;
  Units[2].health = 7;
  Units[3].health = -9;  // beyond UnitCount: not part of the level
  PlayerHealth = -40;
  ClampHealth();
  EXPECT_EQ(Units[1].health, 0);
  EXPECT_EQ(Units[2].health, 7);
  EXPECT_EQ(Units[3].health, -9);
  EXPECT_EQ(PlayerHealth, -40);
}

TEST(ResetLevelState, ClearsFlagsAndSetsConstantsOnly) {
  UnitCount = 2;
  Units[1].destroyed = 1;
  Units[2].destroyed = 1;
  Units[3].destroyed = 1;
  Units[1].health = 33;
  LevelWon = LevelLost = true;
  SplashRadius = SplashDamage = 0;
  ShellKind = 3;
  SpotterMode = 2;
  ReturnToMenu = 1;
  ResetLevelState();
  EXPECT_EQ(Units[1].destroyed, 0);
  EXPECT_EQ(Units[2].destroyed, 0);
  EXPECT_EQ(Units[3].destroyed, 1);
  EXPECT_EQ(Units[1].health, 33);
  EXPECT_FALSE(LevelWon);
  EXPECT_FALSE(LevelLost);
  EXPECT_EQ(SplashRadius, 60);
  EXPECT_EQ(SplashDamage, 1);
  EXPECT_EQ(ShellKind, 1);
  EXPECT_EQ(SpotterMode, 1);
  EXPECT_EQ(ReturnToMenu, 0);
}

}  // namespace
