// Battlefields for the benchmark and the pixel hashes: objects placed by
// kind and x, set up as a loaded level would be.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

struct Placed {
  int16_t x;
  int16_t kind;
};

// A level as LoadLevel leaves it, every other game variable at its start-up
// value, with all three stocks (three status rows) and the gun's hit points
// high enough that no scenario can end the level.
void SetUpLevel(int16_t playerX, const std::vector<Placed>& objects);
// Objects of the kinds in order, from x = first, gap apart.
std::vector<Placed> Spread(int16_t first, int16_t gap, std::initializer_list<int16_t> kinds);
