// What the level checker puts in place of the screen and the wall clock: a
// display mode whose device draws nowhere, and a virtual clock that adds up
// the game's delays instead of sleeping.
#pragma once

#include <cstdint>

namespace headless {

// The headless window is 800 by 600, the window of a 1366x768 or 1024x768
// screen: the campaign is laid out for it (every drawing within x 0..799).
inline constexpr uint16_t kMaxX = 799;
inline constexpr uint16_t kMaxY = 599;

// The smallest rectangle holding everything drawn while measuring, in window
// pixels (inclusive); empty when nothing was drawn.
struct Box {
  int left = 0, top = 0, right = -1, bottom = -1;
  bool Empty() const { return right < left; }
  bool Inside(const Box& other) const {
    return !Empty() && left >= other.left && right <= other.right && top >= other.top &&
           bottom <= other.bottom;
  }
};

// Makes the headless mode the only registered one, installs its CloseGraph
// and the virtual clock. Drawing still needs InitGraph, exactly as in the
// game: a primitive drawn before it ends the program.
void Install();
// Opens the headless window as the game does (driver 0, mode 30000).
void OpenWindow();
bool WindowOpen();

// Between these two calls every primitive the device receives widens the box
// (unclipped: a line past the window's edge counts to its end).
void BeginMeasure();
Box EndMeasure();

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
