// The enemy advance, one moving object after another, and the spotter
// truck's mode for the next turn. Writes UnitMoving, AdvanceDir,
// AdvanceStartX, the x of advancing objects, LevelLost and SpotterMode.
#include "game/advance.hpp"

#include <algorithm>
#include <cstdlib>

#include "console/console.hpp"
#include "game/arith.hpp"
#include "game/effects.hpp"
#include "game/state.hpp"
#include "game/texts.hpp"
#include "game/units.hpp"
#include "graph/graph.hpp"

void EnemyAdvance() {
  const int count = std::min<int>(UnitCount, MaxUnits);
  for (int i = 1; i <= count; ++i) {
    EnemyUnit& unit = Units[i];
    UnitMoving = unit.step > 0 && unit.health > 0;
    if (!UnitMoving) continue;
    AdvanceDir = Store16(Random(2) - 1);
    AdvanceStartX = unit.x;
    // The goal is formed wide. Moving left, the object meets the contact
    // test (at least PlayerX + 19 > -32768) before x could wrap, so the
    // walk always ends.
    while (unit.x != static_cast<int64_t>(AdvanceStartX) + int64_t{unit.step} * AdvanceDir) {
      SetColor(Black);
      DrawAllUnits();
      unit.x = Store16(unit.x + AdvanceDir);
      SetColor(White);
      DrawAllUnits();
      Delay(10);
      if (static_cast<int64_t>(unit.x) - PlayerX < 20) {
        DrawExplosion(PlayerX, GroundY);
        WriteLine(texts::Killed);
        LevelLost = true;
        WaitKey();
        return;
      }
    }
  }
}

void UpdateSpotterMode() {
  if (SpotterIndex < 0 || SpotterIndex > MaxUnits) return;
  const int64_t dist = std::llabs(static_cast<int64_t>(Units[SpotterIndex].x) - PlayerX);
  if (SpotterMode == 1) {
    if (dist < 800) SpotterMode = 2;
  } else if (SpotterMode == 2) {
    if (dist > 800) SpotterMode = 1;
  }
}
