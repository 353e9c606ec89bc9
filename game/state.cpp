// The level-start operations over the game state: ResetLevelState,
// ClampHealth, the health preparation and the gun's losses. Writes Units, the
// level flags, the splash constants and PlayerHealth.
#include "game/state.hpp"

#include <algorithm>
#include <cfenv>
#include <cstdint>

#include "game/arith.hpp"
#include "game/units.hpp"

bool RoundingModeIsNearest() { return std::fegetround() == FE_TONEAREST; }

void ResetLevelState() {
  for (int i = 1; i <= UnitCount && i <= MaxUnits; ++i) Units[i].destroyed = 0;
  LevelWon = false;
  LevelLost = false;
  SplashRadius = 60;
  SplashDamage = 1;
  ShellKind = 1;
  SpotterMode = 1;
  ReturnToMenu = 0;
}

void ClampHealth() {
  for (int i = 1; i <= UnitCount && i <= MaxUnits; ++i)
    if (Units[i].health < 0) Units[i].health = 0;
}

void PrepareHealth() {
  SetMaxHealth();
  for (int i = 1; i <= UnitCount && i <= MaxUnits; ++i) Units[i].health = Units[i].maxHealth;
}

void DamagePlayer(int64_t loss) {
  const int64_t health = int64_t{PlayerHealth} - loss;
  PlayerHealth = static_cast<int16_t>(std::clamp<int64_t>(health, INT16_MIN, INT16_MAX));
}
