// What a shell does once it has stopped: explosions, damage, destruction.
#pragma once

#include <cstdint>

void DrawExplosion(int16_t x, int16_t y);
void DrawScatteredExplosion(int16_t x, int16_t y);
void DrawWreckFire(int16_t x, int16_t y);
void DrawNuclearCloud(int16_t x, int16_t y);
void ApplyShellDamage(int16_t impactX);
void ApplySplash(int16_t impactX);
void MarkDestroyed();
