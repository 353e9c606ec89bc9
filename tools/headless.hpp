// What the level checker puts in place of the screen and the wall clock: a
// display mode whose device draws nowhere, and a virtual clock that adds up
// the game's delays instead of sleeping.
#pragma once

#include <cstdint>

namespace headless {

// The headless window is 800 by 600, the smallest window the campaign is
// laid out for (every object at x <= 780).
inline constexpr uint16_t kMaxX = 799;
inline constexpr uint16_t kMaxY = 599;

// Makes the headless mode the only registered one, installs its CloseGraph
// and the virtual clock. Drawing still needs InitGraph, exactly as in the
// game: a primitive drawn before it ends the program.
void Install();
// Opens the headless window as the game does (driver 0, mode 30000).
void OpenWindow();
bool WindowOpen();

// Virtual milliseconds slept since Install or the last reset.
uint64_t VirtualMs();
void ResetClock();
// Seconds since the epoch as the game's Randomize sees them: a base chosen
// per run plus the virtual time and any time added with AddSeconds (a
// player's thinking between answers).
void SetClockBase(int64_t seconds);
void AddSeconds(int64_t seconds);
// While paused, delays are not counted (trial flights of the aiming search
// must not move the clock the game sees).
void PauseClock(bool paused);

}  // namespace headless
