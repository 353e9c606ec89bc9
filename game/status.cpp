// The status display below the ground line: frame, shell stocks, threat box
// and the health bars of the gun and every standing object. Writes no game
// state; leaves the colour at white and the fill at the last box or bar.
#include "game/status.hpp"

#include <string>

#include "game/arith.hpp"
#include "game/state.hpp"
#include "graph/graph.hpp"

namespace {

struct StockRow {
  const char* label;
  const int16_t& count;
  int16_t rowAboveBottom;
};

const StockRow StockRows[] = {
    {"f - ", AmmoHE, 40},
    {"b - ", AmmoAP, 30},
    {"t - ", AmmoNuclear, 20},
};

// 0 leaves the fill as it was: a threat outside 1..15 has no colour.
uint16_t ThreatColour(int16_t threat) {
  if (threat >= 1 && threat <= 5) return Green;
  if (threat >= 6 && threat <= 10) return Yellow;
  if (threat >= 11 && threat <= 15) return Red;
  return 0;
}

// The frame's right end is one rounding of xc + F*30/2000, not xc + half: for
// a half-way value it lands one pixel further right for one parity of xc.
void DrawHealthBar(int16_t xc, int16_t full, int16_t now) {
  const long double halfWidth = static_cast<long double>(int32_t{full} * 30) / 2000.0L;
  const int16_t left = Store16(xc - RoundEven(halfWidth));
  const int16_t right = Store16(RoundEven(static_cast<long double>(xc) + halfWidth));
  SetColor(White);
  Rectangle(left, 510, right, 515);
  SetFillStyle(1, Red);
  const int64_t fill = RoundEven(static_cast<long double>(int32_t{now} * 30) / 1000.0L);
  Bar(Store16(left - 1), 511, Store16(left - 1 + fill), 514);
}

}  // namespace

void DrawStatusLine() {
  const int16_t maxX = GetMaxX();
  const int16_t maxY = GetMaxY();
  Rectangle(1, GroundY, Store16(maxX - 1), Store16(maxY - 1));
  for (const StockRow& row : StockRows) {
    if (row.count <= 0) continue;
    const int16_t y = Store16(maxY - row.rowAboveBottom);
    OutTextXY(10, y, row.label);
    OutTextXY(40, y, std::to_string(row.count));
  }
  if (const uint16_t colour = ThreatColour(ThreatLevel); colour != 0) SetFillStyle(1, colour);
  Bar(Store16(maxX - 100), 100, Store16(maxX - 70), 130);
  SetColor(Black);
  OutTextXY(Store16(maxX - 90), 110, std::to_string(ThreatLevel));
  SetColor(White);
}

void DrawHealthBars() {
  DrawHealthBar(PlayerX, PlayerMaxHealth, PlayerHealth);
  const int16_t count = UnitCount;
  for (int i = 1; i <= count && i <= MaxUnits; ++i) {
    const EnemyUnit& u = Units[i];
    if (u.destroyed == 0) DrawHealthBar(u.x, u.maxHealth, u.health);
  }
}
