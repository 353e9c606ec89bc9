// The level-start operations over the game state: ResetLevelState,
// ClampHealth and the health preparation. Writes Units, the level flags and
// the splash constants.
#include "game/state.hpp"

#include <cfenv>

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
