// The level-start operations and the gun's losses over the program-wide state.
#include "game/state.hpp"

#include <gtest/gtest.h>

#include <array>

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
  EXPECT_EQ((std::array{Units[1].destroyed, Units[2].destroyed, Units[3].destroyed, Units[1].health}),
            (std::array<int16_t, 4>{0, 0, 1, 33}));
  EXPECT_FALSE(LevelWon || LevelLost);
  EXPECT_EQ((std::array{SplashRadius, SplashDamage, ShellKind, SpotterMode, ReturnToMenu}),
            (std::array<int16_t, 5>{60, 1, 1, 1, 0}));
}

}  // namespace
