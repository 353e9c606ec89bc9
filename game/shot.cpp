// The flight of the player's shell: a small circle stepped along a parabola
// from the gun until it enters an object's box or falls below the ground.
// Writes ShellY, ShellDX, ShellStep and ShellStopped.
#include "game/shot.hpp"

#include <cstdint>

#include "console/console.hpp"
#include "game/arith.hpp"
#include "game/state.hpp"
#include "graph/graph.hpp"

namespace {

constexpr uint16_t ShellRadius = 3;
constexpr uint16_t StepMs = 50;

void DrawShell(uint16_t colour, int16_t x, int16_t y) {
  SetColor(colour);
  Circle(x, y, ShellRadius);
}

// Strict on every side: a shell exactly on a box edge, or exactly at the box
// height, passes. A destroyed object has a zero box and can never qualify.
bool InsideAnyBox(int32_t shellX, int16_t shellY) {
  bool inside = false;
  for (int i = 1; i <= UnitCount; ++i) {
    const EnemyUnit& u = Units[static_cast<std::size_t>(i)];
    const int64_t half = RoundEven(u.width / 2.0L);
    if (u.x - half < shellX && shellX < u.x + half && shellY < u.height) inside = true;
  }
  return inside;
}

}  // namespace

// The stored height keeps 16 bits. That is also what bounds the flight: the
// true height of a launch steeper than 362 pixels per step overflows, and its
// wrapped value turns negative before the true apex (170 steps at most), so no
// launch flies longer than the 364 steps of ShellVY = 362 (about 18 seconds).
// Wider storage would let ShellVY = 32767 fly for 27 minutes.
void FlyShell() {
  ShellY = 5;
  ShellDX = 0;
  ShellStopped = 0;
  ShellStep = 0;
  do {
    const int16_t screenX = Store16(int32_t{PlayerX} + ShellDX);
    const int16_t screenY = Store16(int32_t{GroundY} - ShellY);
    DrawShell(15, screenX, screenY);
    Delay(StepMs);
    DrawShell(0, screenX, screenY);

    const int64_t t = ShellStep;
    ShellDX = Store16(int64_t{ShellVX} * t);
    ShellY = Store16(int64_t{ShellVY} * t - t * t);
    ShellStep = Store16(t + 1);

    if (InsideAnyBox(int32_t{PlayerX} + ShellDX, ShellY)) ShellStopped = 1;
    if (ShellY < 0) ShellStopped = 1;
  } while (ShellStopped != 1);
}
