// Level files ./level/<n>.lvl: the numbers, the closing text shown as the
// briefing, and the level-start preparation.
#pragma once

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>

// A level file that cannot be read as one; what() names the cause.
struct LevelFileError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::string LevelFileName(int16_t number);
// A line of closing text as it may reach the terminal: every control byte
// but tab, and C1 controls raw or UTF-8 encoded, shown as "?".
std::string SanitiseBriefing(std::string_view line);
// The two halves of the reader on an open stream. The numbers go into
// UnitCount, PlayerX, the stocks, PlayerMaxHealth and the objects' x and
// kind; each line of closing text, made safe for the terminal, goes to show.
// Both throw LevelFileError for a file that cannot be read as a level.
void ReadLevelNumbers(FILE* file);
void ReadClosingText(FILE* file, void (*show)(std::string_view line));
// Reads the file for LevelNumber, shows its closing text, prepares health.
// Ends the program with status 217 when the file cannot be read.
void LoadLevel();
