// Level files ./level/<n>.lvl: the numbers, the closing text shown as the
// briefing, and the level-start preparation.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

std::string LevelFileName(int16_t number);
// A line of closing text as it may reach the terminal: every control byte
// but tab, and C1 controls raw or UTF-8 encoded, shown as "?".
std::string SanitiseBriefing(std::string_view line);
// Reads the file for LevelNumber, shows its closing text, prepares health.
// Ends the program with status 217 when the file cannot be read.
void LoadLevel();
