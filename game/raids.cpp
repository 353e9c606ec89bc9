// The air raids of the enemy's half-turn: the attack plane's rocket and the
// bomber's bombs, each drawn as it flies. Writes PlayerHealth.
#include "game/raids.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <initializer_list>

#include "console/console.hpp"
#include "game/arith.hpp"
#include "game/effects.hpp"
#include "game/ordnance.hpp"
#include "game/state.hpp"
#include "graph/graph.hpp"

namespace {

// One frame of an aircraft: white, wait, black.
void FlashPlane(void (*draw)(int16_t), int16_t planeX, uint16_t ms) {
  SetColor(White);
  draw(planeX);
  Delay(ms);
  SetColor(Black);
  draw(planeX);
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
    SetColor(White);
    Circle(nx, Store16(GroundY - ny), 3);
    DrawAttackPlane(planeX);
    Delay(2);
    SetColor(Black);
    Circle(nx, Store16(GroundY - ny), 3);
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
    if (InDescentWindow(nx, ny, vx, vy, q) || ry < 0) break;
  }

  vx = 50;
  do {
    planeX = Store16(planeX - 5);
    SetColor(Black);
    nx = Store16(RoundEven(rx - vx / 10.0L));
    ny = Store16(RoundEven(ry + vy / 10.0L));
    vx = Store16(RoundEven(vx * 1.11L));
    int16_t grown = Store16(RoundEven(vy * 1.14L));
    // Below 4 pixels per tick the 14 % growth rounds away and a rocket that
    // left the glide that slowly would hang in the air for ever; it speeds
    // up by at least one instead.
    if (grown == vy) grown = Store16(vy - 1);
    vy = grown;
    SolidDisc(LightGray, rx, GroundY - ry);
    SolidDisc(Yellow, nx, GroundY - ny);
    FlashPlane(DrawAttackPlane, planeX, 2);
    planeX = Store16(planeX - 5);
    rx = nx;
    ry = ny;
    SetColor(White);
  } while (ry >= 0);

  DrawExplosion(rx, GroundY);
  HitPlayerFullLessTwiceDistance(rx, 150, 300);

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
      SetColor(White);
      DrawBomber(planeX);
      if (i <= tick) h[i] = FallenHeight(tick - i);
      if (h[i] > 0 && h[i] <= BombHeight) BombDash(planeX, h[i]);
    }
    Delay(10);
    SetColor(Black);
    DrawBomber(planeX);
    for (int i = 1; i <= Bombs; ++i) {
      SetColor(Black);
      BombDash(planeX, h[i]);
      if (h[i] <= 0 && !exploded[i]) {
        DrawExplosion(planeX, GroundY);
        exploded[i] = true;
        HitPlayerFullLessTwiceDistance(planeX, 150, 600);
      }
    }
    planeX = Store16(planeX - 25);
    ++tick;
  } while (planeX > 0);
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
