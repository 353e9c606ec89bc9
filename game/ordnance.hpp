// What the enemy's shells, missiles, rockets and bombs share: the solid discs
// of their heads and trails, the descent window that ends a climb or a glide,
// and the gun's losses near a burst.
#pragma once

#include <cstdint>

// A solid disc of radius 5 in the colour; its outline keeps the current one.
void SolidDisc(uint16_t colour, int64_t x, int64_t y);

// Whether the line from the gun to (x, y) is steep enough to dive along: its
// slope lies strictly between |vy + q| / vx and |vy - q| / vx, q being the
// weapon's random margin. Straight above the gun the slope has no value and
// the window fails.
bool InDescentWindow(int16_t x, int16_t y, int16_t vx, int32_t vy, int32_t q);

// A burst dist pixels from the gun, dist below the radius, costs the gun
// full - dist (shells, missile, rockets) or full - 2 dist (the aircraft's
// rocket and bombs).
void HitPlayerFullLessDistance(int64_t burstX, int64_t radius, int64_t full);
void HitPlayerFullLessTwiceDistance(int64_t burstX, int64_t radius, int64_t full);
