// Delay and its clock: sleeping until a deadline and keeping the pace of an
// animation. Writes the pace of Delay.
#include <sys/prctl.h>

#include <cerrno>
#include <ctime>

#include "console/console.hpp"
#include "console/internal.hpp"

namespace {

constexpr int64_t kNanosecondsPerMs = 1'000'000;
constexpr int64_t kNanosecondsPerSecond = 1'000'000'000;

// The pace of a running animation: when the previous Delay returned, and
// whether the next one may count from then. False at the start, after a wait
// for the player and after a window was opened.
bool PaceKept = false;
int64_t PreviousDelayEnd = 0;

// Linux lets a sleep run up to 50 us late by default so that wake-ups can be
// batched; across the hundreds of 5 and 10 ms sleeps of an animation that
// adds up to a visible share of its pace. A nanosecond of slack makes each
// sleep end when asked.
bool AskForPunctualSleeps() { return prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL) == 0; }

}  // namespace

int64_t MonotonicNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * kNanosecondsPerSecond + now.tv_nsec;
}

// A relative sleep for what is left, not an absolute clock_nanosleep: a
// time-faking preload (libfaketime, as the end-to-end tests use) makes
// absolute monotonic deadlines fail at once, and a frozen fake clock would
// never reach one, while a relative sleep still takes the time asked.
void SleepUntilNanoseconds(int64_t deadline) {
  const int64_t left = deadline - MonotonicNanoseconds();
  if (left <= 0) return;
  timespec rest{left / kNanosecondsPerSecond, static_cast<long>(left % kNanosecondsPerSecond)};
  while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
  }
}

void RestartPace() { PaceKept = false; }

// Sleeping for ms after each frame's drawing would stretch every frame by its
// drawing and presenting (1 to 2.5 ms under a software renderer, a quarter of
// a 5 ms frame), so an animation counts its frames from the end of the
// previous Delay instead. A frame that took longer than its delay is not made
// up by shortening the next ones: the pace then starts again from now. After
// a wait for the player or the opening of a window the time since the last
// Delay is no frame's drawing, so the pace starts again there too.
void Delay(uint16_t ms) {
  if (ms == 0) return;
  [[maybe_unused]] static const bool punctual = AskForPunctualSleeps();
  // The present belongs to the frame: its time counts against the wait.
  console::Present();
  const int64_t now = DelayClock();
  const int64_t deadline = (PaceKept ? PreviousDelayEnd : now) + ms * kNanosecondsPerMs;
  if (deadline > now) {
    DelaySleepUntil(deadline);
    // The real end, not the deadline: a late wake-up is not taken back from
    // the next frame either.
    PreviousDelayEnd = DelayClock();
  } else {
    PreviousDelayEnd = now;
  }
  PaceKept = true;
}
