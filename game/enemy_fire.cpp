// The enemy's fire: every armed object in range shoots once per turn, by
// weapon kind, and each shot is animated. Writes AimSpread, ThreatLevel
// (spotting) and PlayerHealth (hits near the gun).
#include "game/enemy_fire.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "console/console.hpp"
#include "game/arith.hpp"
#include "game/effects.hpp"
#include "game/ordnance.hpp"
#include "game/state.hpp"
#include "graph/graph.hpp"

namespace {

// The aim assumes gravity 9.8; the flights themselves fall with 10.
constexpr long double AimGravity = 9.8L;
// Time step of the missile and the rockets. A long double constant, so that
// an odd multiple of 5 times it lands exactly on .5 and ties go to even
// (-45 x 0.1 gives -4, 65 x 0.1 gives 6).
constexpr long double Tick = 0.1L;

int64_t Scaled(int64_t speed, long double factor) {
  return RoundEven(static_cast<long double>(speed) * factor);
}

// Draw a circle of radius 3, wait, erase it.
void BlinkCircle(int64_t x, int64_t y, uint16_t ms) {
  SetColor(White);
  Circle(Store16(x), Store16(y), 3);
  Delay(ms);
  SetColor(Black);
  Circle(Store16(x), Store16(y), 3);
}

// Weapons 1 and 2 differ only in the arc.
void FireShell(int16_t i, double v, double d, bool steep) {
  const ArcSpeeds arc = ArcStartSpeeds(v, d, steep);
  const int64_t x = Units[i].x;
  const int16_t vx = Store16(Random(20) - arc.along - 10);
  const int16_t vy = Store16(Random(10) + arc.up - 5);
  int16_t ox = 0;
  int16_t oy = 5;
  long double t = 0;
  do {
    BlinkCircle(x + ox, GroundY - oy, 50);
    ox = Store16(RoundEven(vx * t));
    oy = Store16(RoundEven(vy * t - 5 * t * t));
    t += 1;
  } while (oy >= 0);
  DrawExplosion(Store16(x + ox), GroundY);
  HitPlayerFullLessDistance(x + ox, 200, 200);
}

}  // namespace

ArcSpeeds ArcStartSpeeds(double v, double d, bool steep) {
  const long double v2 = static_cast<long double>(v) * v;
  const long double v4 = v2 * v2;
  const long double dd = d;
  const long double q = std::sqrt((v4 - dd * dd * AimGravity * AimGravity) / v4);
  const double s = static_cast<double>(std::sqrt((steep ? 1 - q : 1 + q) / 2));
  const double u = static_cast<double>(std::sqrt(1 - static_cast<long double>(s) * s));
  // Beyond reach the factors are NaN and RoundEven gives 0 for both.
  return {RoundEven(static_cast<long double>(v) * s), RoundEven(static_cast<long double>(v) * u)};
}

void EnemyFire() {
  Randomize();
  const int count = std::min<int>(UnitCount, MaxUnits);
  for (int i = 1; i <= count; ++i) {
    const EnemyUnit& unit = Units[i];
    if (ThreatLevel >= 1 && ThreatLevel <= 5) AimSpread = 200;
    else if (ThreatLevel >= 6 && ThreatLevel <= 10) AimSpread = 130;
    else if (ThreatLevel >= 11 && ThreatLevel <= 15) AimSpread = 50;
    const double v = static_cast<double>(std::sqrt(unit.range * AimGravity));
    const int64_t gap = static_cast<int64_t>(unit.x) - PlayerX;
    // Drawn for every object, armed or not, so the sequence of numbers does
    // not depend on which objects fire.
    const int64_t error = Random(AimSpread) - RoundEven(AimSpread / 2.0L);
    const double d = static_cast<double>(gap + error);
    const int64_t distance = std::llabs(gap);
    if (!(unit.weapon > 0 && unit.range > distance && distance > 100 && unit.health > 0)) continue;
    const auto index = static_cast<int16_t>(i);
    switch (unit.weapon) {
      case SteepShellWeapon: SteepShell(index, v, d); break;
      case FlatShellWeapon: FlatShell(index, v, d); break;
      case GuidedMissileWeapon: GuidedMissile(index); break;
      case RocketSalvoWeapon: RocketSalvo(index, v, d); break;
      case SpottingWeapon: Spotting(); break;
      default: break;
    }
  }
}

void SteepShell(int16_t i, double v, double d) { FireShell(i, v, d, true); }

void FlatShell(int16_t i, double v, double d) { FireShell(i, v, d, false); }

void GuidedMissile(int16_t i) {
  const int64_t x = Units[i].x;
  int16_t px = 10, py = 5, nx = 0, ny = 0;
  int16_t vx = -45, vy = 65;
  int16_t q = 0;  // only read once vy < 0, and drawn from then on
  SetColor(White);
  // Climb until the line from the gun (taken as if the gun stood at offset
  // PlayerX from the shooter) falls inside the window around the descent.
  for (;;) {
    nx = Store16(Scaled(vx, Tick) + px);
    ny = Store16(Scaled(vy, Tick) + py);
    BlinkCircle(x + nx, GroundY - ny, 10);
    vy = Store16(vy - RoundEven(10 * Tick));
    px = nx;
    py = ny;
    if (vy < 0) {
      do q = Store16(Random(40) - 10);
      while (!(std::abs(vy) > q));
    }
    SetColor(Black);
    if ((InDescentWindow(nx, ny, vx, vy, q) && vy < 0) || py <= 1) break;
  }
  // Dive with growing speed, leaving a grey trail.
  do {
    SetColor(Black);
    nx = Store16(Scaled(vx, Tick) + px);
    ny = Store16(Scaled(vy, Tick) + py);
    vx = Store16(Scaled(vx, 1.11L));
    vy = Store16(Scaled(vy, 1.13L));
    SolidDisc(LightGray, x + px, GroundY - py);
    SolidDisc(Yellow, x + nx, GroundY - ny);
    Delay(10);
    px = nx;
    py = ny;
  } while (!(ny < 0 || nx < -2000));
  DrawExplosion(Store16(x + px), GroundY);
  HitPlayerFullLessDistance(x + px, 200, 200);
}

void RocketSalvo(int16_t i, double v, double d) {
  const int64_t x = Units[i].x;
  // The rails stand 40 pixels right of the launcher's x; the hit test below
  // measures from x itself, as the launcher's crew would.
  constexpr int64_t Rails = 40;
  for (int j = 1; j <= 5; ++j) {
    int16_t px = 0, py = 20;
    const ArcSpeeds arc = ArcStartSpeeds(v, d, true);
    const int16_t vx = Store16(2 - arc.along - j);
    int16_t vy = Store16(arc.up + 1 - j);
    do {
      SetColor(Black);
      const int16_t nx = Store16(Scaled(vx, Tick) + px);
      const int16_t ny = Store16(Scaled(vy, Tick) + py);
      SolidDisc(Yellow, x + nx + Rails, GroundY - ny);
      SolidDisc(LightGray, x + px + Rails, GroundY - py);
      Delay(5);
      vy = Store16(vy - 1);
      px = nx;
      py = ny;
    } while (py > 1);
    DrawExplosion(Store16(x + px + Rails), GroundY);
    HitPlayerFullLessDistance(x + px, 80, 200);
  }
  Delay(100);
}

void Spotting() {
  if (ThreatLevel < 15) ++ThreatLevel;
}
