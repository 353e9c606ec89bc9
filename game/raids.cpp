// The rest of the enemy's half-turn: the attack plane and bomber raids, the
// advance of moving objects and the spotter truck's mode. Writes PlayerHealth,
// LevelLost, UnitMoving, AdvanceDir, AdvanceStartX, SpotterMode and the x of
// advancing objects.
#include "game/raids.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <initializer_list>

#include "console/console.hpp"
#include "game/arith.hpp"
#include "game/effects.hpp"
#include "game/state.hpp"
#include "game/units.hpp"
#include "graph/graph.hpp"

namespace {

void HitPlayer(int64_t burstX, int64_t radius, int64_t full) {
  const int64_t dist = std::llabs(burstX - PlayerX);
  if (dist < radius) DamagePlayer(full - 2 * dist);
}

// One frame of an aircraft: white, wait, black.
void FlashPlane(void (*draw)(int16_t), int16_t planeX, uint16_t ms) {
  SetColor(15);
  draw(planeX);
  Delay(ms);
  SetColor(0);
  draw(planeX);
}

void SolidDisc(uint16_t colour, int64_t x, int64_t y) {
  SetFillStyle(1, colour);
  FillEllipse(Store16(x), Store16(y), 5, 5);
}

void DrawLines(int16_t x, std::initializer_list<std::array<int, 4>> lines) {
  for (const auto& l : lines)
    Line(Store16(x + l[0]), Store16(l[1]), Store16(x + l[2]), Store16(l[3]));
}

// The bomber drops from this height above the ground line.
constexpr int64_t BombHeight = 430;
constexpr int Bombs = 10;

// Bomb heights are formed wide and held at the 16-bit floor instead of
// wrapping: a bomb that fell long ago must not come back into view.
int16_t FallenHeight(int64_t ticksFalling) {
  return Store16(std::max<int64_t>(BombHeight - 5 * ticksFalling * ticksFalling, INT16_MIN));
}

void BombDash(int16_t planeX, int16_t h) {
  Rectangle(Store16(planeX - 10), Store16(496 - h), Store16(planeX + 10), Store16(496 - h));
}

}  // namespace

void AttackPlaneRaid() {
  const int32_t r = Random(6);
  if (!(r > 2) || ThreatLevel < 10 || SpotterSeen != 1) return;

  int16_t planeX = GetMaxX();
  do {
    FlashPlane(DrawAttackPlane, planeX, 25);
    planeX = Store16(planeX - 50);
  } while (planeX > 900);

  int16_t rx = planeX, ry = 450, nx = 0, ny = 0;
  int16_t vx = 50, vy = 0;
  int32_t q = 0;
  for (;;) {
    nx = Store16(rx - RoundEven(vx / 10.0L));
    ny = Store16(ry + RoundEven(vy / 10.0L));
    SetColor(15);
    Circle(nx, Store16(500 - ny), 3);
    DrawAttackPlane(planeX);
    Delay(2);
    SetColor(0);
    Circle(nx, Store16(500 - ny), 3);
    DrawAttackPlane(planeX);
    vy = Store16(vy - 1);
    rx = nx;
    ry = ny;
    planeX = Store16(planeX - 5);
    // vy is -1 or lower here in every glide (the glide reaches the ground
    // long before vy could wrap); the test keeps a zero vy from drawing
    // forever, since no q satisfies |q| < 0.
    if (vy != 0) {
      do q = Random(20);
      while (!(std::abs(q) < std::abs(static_cast<int32_t>(vy))));
    }
    const long double b1 = std::abs(vy - q) / static_cast<long double>(vx);
    const long double b2 = std::abs(vy + q) / static_cast<long double>(vx);
    // Straight above the gun the slope has no value and the window fails.
    const int64_t run = static_cast<int64_t>(nx) - PlayerX;
    bool inWindow = false;
    if (run != 0) {
      const long double a = static_cast<long double>(ny) / static_cast<long double>(run);
      inWindow = b2 < a && a < b1;
    }
    if (inWindow || ry < 0) break;
  }

  vx = 50;
  do {
    planeX = Store16(planeX - 5);
    SetColor(0);
    nx = Store16(RoundEven(rx - vx / 10.0L));
    ny = Store16(RoundEven(ry + vy / 10.0L));
    vx = Store16(RoundEven(vx * 1.11L));
    int16_t grown = Store16(RoundEven(vy * 1.14L));
    // Below 4 pixels per tick the 14 % growth rounds away and a rocket that
    // left the glide that slowly would hang in the air for ever; it speeds
    // up by at least one instead.
    if (grown == vy) grown = Store16(vy - 1);
    vy = grown;
    SolidDisc(7, rx, 500 - ry);
    SolidDisc(14, nx, 500 - ny);
    FlashPlane(DrawAttackPlane, planeX, 2);
    planeX = Store16(planeX - 5);
    rx = nx;
    ry = ny;
    SetColor(15);
  } while (ry >= 0);

  DrawExplosion(rx, 500);
  HitPlayer(rx, 150, 300);

  do {
    FlashPlane(DrawAttackPlane, planeX, 25);
    planeX = Store16(planeX - 50);
  } while (planeX > 0);
}

void BomberRaid() {
  const int32_t r = Random(40);
  if (!(r > 20) || ThreatLevel != 15 || SpotterSeen != 1) return;

  std::array<int16_t, Bombs + 1> h{};
  std::array<bool, Bombs + 1> exploded{};
  for (int i = 1; i <= Bombs; ++i) h[i] = BombHeight;

  // The plane approaches until it is at most 437 pixels right of the gun:
  // the bombs' throw distance 437.17 for a fall of 430 at this speed.
  int16_t planeX = GetMaxX();
  do {
    FlashPlane(DrawBomber, planeX, 10);
    planeX = Store16(planeX - 25);
  } while (!(static_cast<long double>(planeX - PlayerX) < 437.1708245126284L));

  int64_t tick = 0;
  do {
    for (int i = 1; i <= Bombs; ++i) {
      SetColor(15);
      DrawBomber(planeX);
      if (i <= tick) h[i] = FallenHeight(tick - i);
      if (h[i] > 0 && h[i] <= BombHeight) BombDash(planeX, h[i]);
    }
    Delay(10);
    SetColor(0);
    DrawBomber(planeX);
    for (int i = 1; i <= Bombs; ++i) {
      SetColor(0);
      BombDash(planeX, h[i]);
      if (h[i] <= 0 && !exploded[i]) {
        DrawExplosion(planeX, 500);
        exploded[i] = true;
        HitPlayer(planeX, 150, 600);
      }
    }
    planeX = Store16(planeX - 25);
    ++tick;
  } while (planeX > 0);
}

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
      SetColor(0);
      DrawAllUnits();
      unit.x = Store16(unit.x + AdvanceDir);
      SetColor(15);
      DrawAllUnits();
      Delay(10);
      if (static_cast<int64_t>(unit.x) - PlayerX < 20) {
        DrawExplosion(PlayerX, 500);
        WriteLine("УБИТ");
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

void DrawBomber(int16_t x) {
  DrawLines(x, {{-75, 50, -65, 40}, {-65, 40, 65, 40}, {75, 20, 65, 40}, {75, 20, 95, 20},
                {93, 40, 95, 20}, {93, 40, 100, 40}, {100, 50, 100, 40}, {100, 50, 65, 60},
                {-70, 60, 65, 60}, {-70, 60, -75, 50},
                // wing
                {-30, 47, 30, 47}, {-35, 50, -30, 47}, {-35, 50, -30, 53}, {30, 47, -30, 53}});
}

void DrawAttackPlane(int16_t x) {
  DrawLines(x, {{-30, 50, 30, 50}, {-30, 50, -40, 45}, {-40, 45, -5, 40}, {-5, 40, 20, 40},
                {20, 40, 35, 35}, {35, 35, 40, 35}, {40, 35, 33, 40}, {33, 40, 30, 50}});
}
