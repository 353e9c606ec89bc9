// Static checks of level files, built on the game's own reader, catalogue and
// flight: what a level designer can get wrong before anyone plays.
#pragma once

#include <string>
#include <vector>

namespace checks {

// The longest briefing line that fits the 80-column terminal before the
// console wraps it.
inline constexpr size_t kMaxBriefingBytes = 79;
// Typed speeds the reachability search tries (angles are 1..89).
inline constexpr int kMaxSpeed = 100;

// Every problem of one file, one line each: "<file>: item <n>: <what>" for
// the n-th number of the file, "<file>: line <n>: <what>" for a line of the
// briefing, "<file>: <what>" for the file as a whole. Empty when sound.
std::vector<std::string> Check(const std::string& path);

// Reads the numbers of a level into the game state as the game's LoadLevel
// does (without the terminal) and prepares it for play. Throws the game's
// LevelFileError when the file cannot be read as a level.
void Load(const std::string& path);

}  // namespace checks
