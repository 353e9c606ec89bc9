// The unit catalogue: every kind's outline as a list of primitives relative to
// the object's x, the values each drawing writes into its record, full hit
// points, and the player's gun. Writes Units[i].maxHealth/width/height/step/
// weapon/range, PlayerHealth, SpotterSeen and SpotterIndex.
#include "game/units.hpp"

#include <span>

#include "game/arith.hpp"
#include "game/state.hpp"
#include "graph/graph.hpp"

const int16_t KindFullHealth[12] = {100,  450,  1500, 3000, 1000, 1200,
                                    1500, 1500, 150,  1000, 500,  500};

const KindValues KindTable[12] = {
    {20, 60, 0, 0, 0},       {40, 40, 0, 0, 0},       {80, 50, 0, 0, 0},
    {80, 60, 0, 0, 0},       {90, 40, 40, 0, 2000},   {60, 50, 35, 2, 1000},
    {60, 50, 20, 2, 1000},   {60, 50, 35, 1, 1000},   {10, 10, 5, 3, 1000},
    {60, 50, 35, 4, 1000},   {60, 50, 0, 1, 1000},    {30, 30, 50, 0, 0},
};
const KindValues DeployedSpotterValues = {50, 50, 0, 5, 800};

namespace {

// x values in a primitive are offsets from the object's x; y values are
// absolute window rows. Pixel is a line whose ends coincide, which is how the
// outlines put single dots.
enum class Op : uint8_t { Line, Pixel, Circle, Rect, Colour, Fill, Bar };

struct Prim {
  Op op;
  int16_t a, b, c, d;  // Line/Rect/Bar: dx1 y1 dx2 y2; Circle: dx y radius; Pixel: dx y;
                       // Colour: colour; Fill: pattern colour
};

constexpr Prim L(int16_t dx1, int16_t y1, int16_t dx2, int16_t y2) { return {Op::Line, dx1, y1, dx2, y2}; }
constexpr Prim P(int16_t dx, int16_t y) { return {Op::Pixel, dx, y, 0, 0}; }
constexpr Prim C(int16_t dx, int16_t y, int16_t r) { return {Op::Circle, dx, y, r, 0}; }
constexpr Prim R(int16_t dx1, int16_t y1, int16_t dx2, int16_t y2) { return {Op::Rect, dx1, y1, dx2, y2}; }

constexpr Prim TargetPrims[] = {L(0, 500, 0, 460), C(0, 450, 10), C(0, 450, 7), C(0, 450, 5),
                                C(0, 450, 2)};

constexpr Prim HutPrims[] = {R(-20, 480, 20, 500), L(-20, 480, 0, 460), L(0, 460, 20, 480)};

constexpr Prim HousePrims[] = {R(-40, 450, 30, 500), R(-35, 455, -25, 475), R(25, 455, 5, 475)};

// The flag's stripes and canton have colours of their own whatever the caller
// chose, so in an erase pass it stays visible and leaves white current.
constexpr Prim FlagPrims[] = {
    R(-40, 480, 30, 500), L(0, 480, 0, 440), R(0, 440, 20, 450),
    {Op::Colour, 4, 0, 0, 0},
    L(0, 441, 20, 441), L(0, 443, 20, 443), L(0, 445, 20, 445), L(0, 447, 20, 447), L(0, 449, 20, 449),
    {Op::Colour, 15, 0, 0, 0},
    L(0, 442, 20, 442), L(0, 444, 20, 444), L(0, 446, 20, 446), L(0, 448, 20, 448),
    {Op::Fill, 1, 9, 0, 0},
    {Op::Bar, 1, 441, 7, 447},
};

constexpr Prim ArmouredCarPrims[] = {
    C(-19, 493, 6),       C(19, 493, 6),        C(0, 493, 6),
    L(-13, 493, -6, 493), L(13, 493, 6, 493),   L(25, 493, 31, 487),  L(-25, 493, -31, 487),
    L(-31, 487, -25, 479), L(31, 487, 25, 479), L(-25, 479, 25, 479), L(-19, 479, -14, 473),
    L(-14, 473, -5, 473), L(0, 479, -5, 473),
};

constexpr Prim TankPrims[] = {
    C(-30, 489, 5),       C(30, 489, 5),        C(-20, 494, 5),       C(-10, 494, 5),
    C(0, 494, 5),         C(10, 494, 5),        C(20, 494, 5),
    L(-20, 499, -30, 494), L(20, 499, 30, 494), L(-30, 484, 30, 484), L(-20, 499, 20, 499),
    L(-20, 484, -10, 474), L(10, 474, -10, 474), L(10, 474, 20, 484), L(-15, 479, -25, 474),
};

constexpr Prim HeavyTankPrims[] = {
    C(-30, 494, 5), C(-20, 494, 5), C(-10, 494, 5), C(0, 494, 5),
    C(10, 494, 5),  C(20, 494, 5),  C(30, 494, 5),
    L(-33, 499, 33, 499),  L(-33, 499, -47, 479), L(33, 499, 40, 489),  L(40, 489, -40, 489),
    L(-40, 489, 45, 489),  L(45, 489, 45, 479),   L(45, 489, 45, 476),  L(45, 476, 25, 476),
    L(25, 476, 22, 479),   L(22, 479, 47, 479),   L(-47, 479, 22, 479), L(25, 476, 20, 469),
    L(20, 469, -10, 469),  L(-10, 469, -20, 479), L(-15, 474, -50, 469),
};

constexpr Prim SelfPropelledGunPrims[] = {
    C(-30, 495, 5), C(-20, 495, 5), C(-10, 495, 5), C(0, 495, 5),  C(10, 495, 5),
    C(20, 495, 5),  C(30, 495, 5),  C(-40, 492, 5), C(40, 492, 5),
    L(-30, 500, 30, 500),  L(-40, 497, -33, 500), L(40, 497, 33, 500),  L(-40, 487, 40, 487),
    L(-45, 492, -45, 485), L(-45, 492, -45, 480), L(-45, 480, -25, 470), L(-25, 470, 40, 470),
    L(40, 470, 40, 487),   L(-10, 470, 0, 460),   L(0, 460, 45, 460),
    P(45, 496),            P(45, 496),
    L(45, 460, 45, 470),   L(45, 470, 40, 470),   L(-5, 465, -30, 462),
};

constexpr Prim SoldierPrims[] = {
    C(0, 489, 3),
    L(-2, 491, -2, 499),  L(2, 491, 2, 499),     L(2, 499, -2, 499),  P(-8, 493),
    L(-2, 493, -14, 489), L(-14, 489, -12, 485), L(-12, 485, -3, 489), L(2, 493, 8, 496),
    L(-2, 499, -5, 494),  L(-5, 494, -10, 499),
};

constexpr Prim RocketLauncherPrims[] = {
    C(-25, 494, 5), C(-15, 494, 5), C(-5, 494, 5), C(5, 494, 5),
    C(15, 494, 5),  C(25, 494, 5),  C(35, 491, 5), C(-35, 491, 5),
    L(-25, 499, 25, 499),  L(-35, 486, 35, 486),  L(-35, 496, -28, 499), L(35, 496, 28, 499),
    L(40, 491, 40, 479),   P(-45, 499),           L(-40, 491, -40, 479), L(-40, 479, -30, 469),
    L(-30, 469, -20, 469), L(-20, 469, -20, 479), L(-20, 479, 40, 479),  L(40, 479, 50, 474),
    L(20, 439, 40, 479),   L(30, 434, 50, 474),   L(30, 434, 20, 439),   L(30, 459, 10, 479),
};

constexpr Prim FieldGunPrims[] = {
    C(0, 492, 5),
    L(0, 497, 10, 500),    L(0, 497, -10, 500),   L(5, 492, 13, 500),    L(13, 500, 16, 497),
    L(13, 500, 18, 495),   L(18, 495, -15, 460),  L(-15, 460, -20, 465), L(-20, 465, 0, 485),
    L(-18, 462, -28, 452), L(-17, 463, -27, 453), L(-19, 462, -29, 452), L(-20, 462, -30, 452),
};

constexpr Prim SpotterDrivingPrims[] = {
    C(-15, 494, 5),     C(10, 494, 5),     C(20, 494, 5),
    L(-10, 494, 5, 494), L(25, 494, 30, 494),
    L(30, 494, 30, 470), L(30, 470, 0, 470), L(0, 470, 0, 494),
};

constexpr Prim SpotterDeployedPrims[] = {
    C(-15, 494, 5), C(10, 494, 5), C(20, 494, 5), C(80, 494, 5), C(90, 494, 5),
    L(-10, 494, 5, 494),
    L(0, 485, 100, 485), L(0, 475, 100, 475), L(0, 465, 100, 465), L(0, 455, 100, 455),
    L(0, 445, 100, 445),
    L(0, 485, 0, 445),   L(20, 485, 20, 445), L(40, 485, 40, 445), L(60, 485, 60, 445),
    L(80, 485, 80, 445), L(100, 485, 100, 445),
};

// Drawn after either spotter truck body.
constexpr Prim SpotterCabPrims[] = {
    L(-20, 494, -25, 494), L(-20, 494, -30, 494), L(-30, 494, -30, 485), L(-30, 494, -30, 480),
    L(-30, 480, -20, 480), L(-20, 480, -10, 470), L(-10, 470, -2, 470),  L(-2, 470, -2, 494),
};

constexpr Prim PlayerGunPrims[] = {
    C(0, 495, 5),
    L(-10, 490, 20, 480), L(20, 480, 17, 475), L(17, 475, -13, 485), L(-10, 490, -13, 485),
    L(-3, 495, -20, 500), L(-6, 490, -23, 495), L(-20, 500, -23, 495),
};

struct Drawing {
  std::span<const Prim> body;
  std::span<const Prim> cab;  // empty except for the spotter truck
};

// Kinds 0..10 and the driving spotter truck at 11; the deployed truck apart.
const Drawing KindDrawings[12] = {
    {TargetPrims, {}},      {HutPrims, {}},         {HousePrims, {}},
    {FlagPrims, {}},        {ArmouredCarPrims, {}}, {TankPrims, {}},
    {HeavyTankPrims, {}},   {SelfPropelledGunPrims, {}}, {SoldierPrims, {}},
    {RocketLauncherPrims, {}}, {FieldGunPrims, {}}, {SpotterDrivingPrims, SpotterCabPrims},
};
const Drawing DeployedSpotterDrawing = {SpotterDeployedPrims, SpotterCabPrims};

// Offsets are added in wide arithmetic and kept to 16 bits like every game
// coordinate, so an object near the edge of the 16-bit range wraps instead of
// overflowing.
int16_t At(int16_t x, int16_t dx) { return Store16(int32_t{x} + dx); }

void DrawPrims(std::span<const Prim> prims, int16_t x) {
  for (const Prim& p : prims) {
    switch (p.op) {
      case Op::Line: Line(At(x, p.a), p.b, At(x, p.c), p.d); break;
      case Op::Pixel: Line(At(x, p.a), p.b, At(x, p.a), p.b); break;
      case Op::Circle: Circle(At(x, p.a), p.b, static_cast<uint16_t>(p.c)); break;
      case Op::Rect: Rectangle(At(x, p.a), p.b, At(x, p.c), p.d); break;
      case Op::Colour: SetColor(static_cast<uint16_t>(p.a)); break;
      case Op::Fill: SetFillStyle(static_cast<uint16_t>(p.a), static_cast<uint16_t>(p.b)); break;
      case Op::Bar: Bar(At(x, p.a), p.b, At(x, p.c), p.d); break;
    }
  }
}

void DrawAndAssign(EnemyUnit& u, const Drawing& d, const KindValues& v) {
  DrawPrims(d.body, u.x);
  DrawPrims(d.cab, u.x);
  u.width = v.width;
  u.height = v.height;
  u.step = v.step;
  u.weapon = v.weapon;
  u.range = v.range;
}

}  // namespace

void SetMaxHealth() {
  const int16_t count = UnitCount;
  for (int i = 1; i <= count && i <= MaxUnits; ++i) {
    EnemyUnit& u = Units[i];
    if (u.kind >= Target && u.kind <= SpotterTruck) u.maxHealth = KindFullHealth[u.kind];
  }
  PlayerHealth = PlayerMaxHealth;
}

void DrawUnit(int16_t i) {
  if (i < 1 || i > MaxUnits) return;
  EnemyUnit& u = Units[i];
  if (u.kind < 0 || u.kind > 11) return;
  if (u.kind == SpotterTruck && SpotterMode != 1)
    DrawAndAssign(u, DeployedSpotterDrawing, DeployedSpotterValues);
  else
    DrawAndAssign(u, KindDrawings[u.kind], KindTable[u.kind]);
}

void DrawAllUnits() {
  const int16_t count = UnitCount;
  for (int16_t i = 1; i <= count && i <= MaxUnits; ++i) {
    const EnemyUnit& u = Units[i];
    if (u.destroyed != 0) continue;
    if (u.kind < 0 || u.kind > 11) continue;
    if (u.kind == SpotterTruck) {
      SpotterSeen = 1;
      SpotterIndex = i;
    }
    DrawUnit(i);
  }
}

void DrawPlayerGun() { DrawPrims(PlayerGunPrims, PlayerX); }
