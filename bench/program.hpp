// The real zalpomet under a pseudo-terminal, measured as a player meets it:
// how soon the main menu is complete, how much CPU it burns while it waits
// for a key, and how much memory it holds after a turn.
#pragma once

#include <string>

namespace program {

struct Figures {
  double startToMenuMs = 0;  // median over the starts
  double aboutCpuPercent = 0;    // of one core, while the about screen waits
  double openingCpuPercent = 0;  // while the opening view of level 1 waits
  long peakRssKb = 0;            // peak resident memory, the turn included
};

// Runs the program at `binary` in `root` (which holds level/) on `display`.
// Throws std::runtime_error when the program does not answer as expected.
Figures Measure(const std::string& binary, const std::string& root, const std::string& display,
                int starts, double idleSeconds);

}  // namespace program
