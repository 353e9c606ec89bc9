// Writes the game's state (SetUpLevel).
#include "bench/field.hpp"

#include "game/state.hpp"
#include "game/status.hpp"
#include "game/units.hpp"

void SetUpLevel(int16_t playerX, const std::vector<Placed>& objects) {
  ResetGameState();
  UnitCount = static_cast<int16_t>(objects.size());
  for (size_t i = 0; i < objects.size(); ++i) {
    Units[i + 1].x = objects[i].x;
    Units[i + 1].kind = objects[i].kind;
  }
  PlayerX = playerX;
  AmmoHE = 8;
  AmmoAP = 4;
  AmmoNuclear = 2;
  PlayerMaxHealth = 3000;
  ResetLevelState();
  PrepareHealth();
  ThreatLevel = 1;
}

std::vector<Placed> Spread(int16_t first, int16_t gap, std::initializer_list<int16_t> kinds) {
  std::vector<Placed> out;
  int16_t x = first;
  for (const int16_t kind : kinds) {
    out.push_back({x, kind});
    x = static_cast<int16_t>(x + gap);
  }
  return out;
}
