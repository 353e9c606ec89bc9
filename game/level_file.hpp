// Level files ./level/<n>.lvl: the numbers, the closing text shown as the
// briefing, and the level-start preparation.
#pragma once

#include <cstdint>
#include <string>

std::string LevelFileName(int16_t number);
// Reads the file for LevelNumber, shows its closing text, prepares health.
// Ends the program with status 217 when the file cannot be read.
void LoadLevel();
