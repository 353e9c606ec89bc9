// Air raids: the attack plane and the bomber, and their drawings.
#pragma once

#include <cstdint>

void AttackPlaneRaid();
void BomberRaid();
void DrawBomber(int16_t x);
void DrawAttackPlane(int16_t x);
