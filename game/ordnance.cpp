// The helpers every enemy weapon draws and hits with. Writes PlayerHealth.
#include "game/ordnance.hpp"

#include <cstdlib>

#include "game/arith.hpp"
#include "game/state.hpp"
#include "graph/graph.hpp"

namespace {

void HitPlayer(int64_t burstX, int64_t radius, int64_t full, int64_t lossPerPixel) {
  const int64_t dist = std::llabs(burstX - PlayerX);
  if (dist < radius) DamagePlayer(full - lossPerPixel * dist);
}

}  // namespace

void SolidDisc(uint16_t colour, int64_t x, int64_t y) {
  SetFillStyle(1, colour);
  FillEllipse(Store16(x), Store16(y), 5, 5);
}

bool InDescentWindow(int16_t x, int16_t y, int16_t vx, int32_t vy, int32_t q) {
  const long double low = std::abs(vy + q) / static_cast<long double>(vx);
  const long double high = std::abs(vy - q) / static_cast<long double>(vx);
  const int64_t run = static_cast<int64_t>(x) - PlayerX;
  if (run == 0) return false;
  const long double slope = static_cast<long double>(y) / static_cast<long double>(run);
  return low < slope && slope < high;
}

void HitPlayerFullLessDistance(int64_t burstX, int64_t radius, int64_t full) {
  HitPlayer(burstX, radius, full, 1);
}

void HitPlayerFullLessTwiceDistance(int64_t burstX, int64_t radius, int64_t full) {
  HitPlayer(burstX, radius, full, 2);
}
