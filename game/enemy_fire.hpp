// The enemy's fire: every armed object in range shoots once per turn.
#pragma once

#include <cstdint>

enum EnemyWeapon : int16_t {
  NoWeapon = 0, SteepShellWeapon, FlatShellWeapon, GuidedMissileWeapon,
  RocketSalvoWeapon, SpottingWeapon
};

void EnemyFire();
// Shots of object i with launch speed v and aim distance d.
void SteepShell(int16_t i, double v, double d);
void FlatShell(int16_t i, double v, double d);
void GuidedMissile(int16_t i);
void RocketSalvo(int16_t i, double v, double d);
void Spotting();

// Start speeds of a shell aimed a distance d at speed v, before the fixed and
// random terms: round(v*s) along the ground and round(v*u) upwards, with s the
// steep or flat arc factor. Both are 0 when d lies beyond reach.
struct ArcSpeeds {
  int64_t along, up;
};
ArcSpeeds ArcStartSpeeds(double v, double d, bool steep);
