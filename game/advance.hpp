// The enemy advance and the spotter truck's mode.
#pragma once

void EnemyAdvance();
void UpdateSpotterMode();
