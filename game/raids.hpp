// Air raids, the enemy advance and the spotter truck's mode.
#pragma once

#include <cstdint>

inline int16_t AdvanceDir = 0;     // -1 toward the gun, 0 stay
inline int16_t AdvanceStartX = 0;  // x where the moving object started

void AttackPlaneRaid();
void BomberRaid();
void EnemyAdvance();
void UpdateSpotterMode();
void DrawBomber(int16_t x);
void DrawAttackPlane(int16_t x);
