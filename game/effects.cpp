// What a player's shell does once it has stopped: the explosion drawings (also
// used by the enemy side), hit-point losses by shell kind and distance, the
// fixed splash, and marking burnt-out objects. Writes the health, destroyed,
// width and height of Units entries and PlayerHealth.
#include "game/effects.hpp"

#include <array>
#include <cstdint>
#include <cstdlib>

#include "console/console.hpp"
#include "game/arith.hpp"
#include "game/state.hpp"
#include "graph/graph.hpp"

namespace {

// Losses within the radius are base - factor * d, d being the horizontal
// distance from the impact; at d = radius nothing is lost.
struct ShellDamage {
  int32_t radius;
  int32_t unitBase, unitFactor;
  int32_t playerBase, playerFactor;
};

// Indexed by ShellKind; row 0 is unused.
constexpr std::array<ShellDamage, 4> DamageByKind{{
    {0, 0, 0, 0, 0},
    {80, 500, 2, 200, 2},      // 1 high-explosive
    {40, 1000, 3, 1000, 3},    // 2 armour-piercing
    {250, 2000, 3, 1000, 3},   // 3 tactical nuclear
}};

EnemyUnit& Unit(int i) { return Units[static_cast<std::size_t>(i)]; }

// Centres are formed wide and keep their low 16 bits, like every game integer.
void Disc(int32_t x, int32_t y, uint16_t rx, uint16_t ry) {
  FillEllipse(Store16(x), Store16(y), rx, ry);
}

}  // namespace

void DrawExplosion(int16_t x, int16_t y) {
  SetColor(White);
  SetFillStyle(0, White);  // pattern 0 fills in the current colour: three solid discs
  Disc(x - 15, y + 20, 30, 30);
  Delay(150);
  SetColor(Red);
  Disc(x + 10, y - 10, 20, 20);
  Delay(150);
  SetColor(Yellow);
  Disc(x - 5, y - 15, 20, 20);
}

void DrawScatteredExplosion(int16_t x, int16_t y) {
  struct Burst {
    uint16_t colour;
    int32_t spreadY, spreadX;
    uint16_t radius;
  };
  static constexpr std::array<Burst, 3> Bursts{{
      {White, 40, 60, 20},
      {Red, 20, 40, 15},
      {Yellow, 30, 10, 10},
  }};
  SetFillStyle(0, White);  // as in DrawExplosion: solid discs in the current colour
  for (std::size_t i = 0; i < Bursts.size(); ++i) {
    const Burst& b = Bursts[i];
    SetColor(b.colour);
    // The vertical offset is drawn first; the order is part of the random sequence.
    const int32_t oy = Random(b.spreadY) - b.spreadY / 2;
    const int32_t ox = Random(b.spreadX) - b.spreadX / 2;
    Disc(x + ox, y + oy, b.radius, b.radius);
    if (i + 1 < Bursts.size()) Delay(150);
  }
}

// The outline keeps the caller's colour: yellow after an ordinary explosion,
// white after the nuclear cloud.
void DrawWreckFire(int16_t x, int16_t y) {
  const int32_t n = Random(5) + 5;
  for (int32_t i = 0; i < n; ++i) {
    const int32_t ox = Random(100) - 50;
    const int32_t oy = Random(100) - 50;
    SetFillStyle(1, Yellow);
    Disc(x + ox, y + oy, 25, 25);
    Delay(50);
  }
}

void DrawNuclearCloud(int16_t x, int16_t y) {
  int32_t rx = 20;
  int32_t ry = 10;
  int32_t cx = 0;
  int32_t cy = 0;
  for (int32_t k = 1; k <= 100; ++k) {
    if (k > 1) {
      // Erasing the old cap also blackens the stem discs beneath it.
      SetColor(Black);
      SetFillStyle(1, Black);
      Disc(cx, cy - ry - 15, static_cast<uint16_t>(rx), static_cast<uint16_t>(ry));
    }
    SetColor(LightGray);
    SetFillStyle(1, LightGray);
    ry += static_cast<int32_t>(RoundEven(k / 120.0L));
    rx += static_cast<int32_t>(RoundEven(k / 60.0L));
    cy = y - k;
    // The stem narrows as it rises: its spread is 200 / k pixels.
    const auto spread = static_cast<int32_t>(RoundEven(200.0L / k));
    const auto shift = static_cast<int32_t>(RoundEven(100.0L / k));
    for (int disc = 0; disc < 40; ++disc) {
      cx = x + Random(spread) - shift;
      Disc(cx, cy, 5, 5);
    }
    SetColor(White);
    SetFillStyle(1, Yellow);
    Disc(cx, cy - ry - 15, static_cast<uint16_t>(rx), static_cast<uint16_t>(ry));
    Delay(5);
  }
}

// The player's check sits inside the loop over the entries, so a gun within
// the radius loses its share once per entry, destroyed entries included.
void ApplyShellDamage(int16_t impactX) {
  if (ShellKind < 1 || ShellKind >= static_cast<int16_t>(DamageByKind.size())) return;
  const ShellDamage& k = DamageByKind[static_cast<std::size_t>(ShellKind)];
  for (int i = 1; i <= UnitCount; ++i) {
    EnemyUnit& u = Unit(i);
    const int32_t d = std::abs(int32_t{impactX} - u.x);
    if (d < k.radius) u.health = Store16(int64_t{u.health} - (k.unitBase - k.unitFactor * d));
    const int32_t dp = std::abs(int32_t{impactX} - PlayerX);
    if (dp < k.radius)
      DamagePlayer(k.playerBase - k.playerFactor * dp);
  }
}

void ApplySplash(int16_t impactX) {
  for (int i = 1; i <= UnitCount; ++i) {
    EnemyUnit& u = Unit(i);
    if (std::abs(int32_t{impactX} - u.x) < SplashRadius)
      u.health = Store16(int64_t{u.health} - SplashDamage);
  }
}

void MarkDestroyed() {
  for (int i = 1; i <= UnitCount; ++i) {
    EnemyUnit& u = Unit(i);
    if (u.health > 0) continue;
    if (u.destroyed == 0) DrawWreckFire(u.x, GroundY);
    u.destroyed = 1;
    u.width = 0;
    u.height = 0;
  }
}
