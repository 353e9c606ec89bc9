// The benchmark's measuring tools: the designed pace of a scenario (its delays
// on a virtual clock), timed runs with Delay sleeping either way, the frames'
// intervals, medians, and the step that waits until GL has drawn everything.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace pace {

// How Delay sleeps in a timed run. kWhole: every Delay sleeps its whole time
// after the frame's drawing, as before Delay kept a pace; kPaced: the game's
// own Delay, the drawing counted against the wait.
enum class Sleeping { kWhole, kPaced };

// Wraps Delay's sleep and the window device's present hook with timers (so
// call it after RegisterX11Modes).
void Install();

double NowMs();
double Median(std::vector<double> values);
// The value below which the given share of the values lie (nearest rank).
double Percentile(std::vector<double> values, double share);

// Makes everything drawn so far visible and waits until GL has really drawn
// it (a pixel read is a synchronisation point); nothing without a window.
void Finish();

// The delays a scenario asks for, in order: prepare and body run once with a
// virtual clock behind Delay, so nothing sleeps and nothing is timed.
std::vector<uint16_t> AskedDelays(const std::function<void()>& prepare,
                                  const std::function<void()>& body);

// Beside wall time, the two parts of the overhead that are not drawing:
// presenting (before each sleep; it waits for GL and the X server) and
// sleeping longer than asked (the scheduler's share).
struct Sample {
  double wallMs = 0;
  double presentMs = 0;
  double oversleepMs = 0;
  // The moments each Delay's picture was complete on screen (the end of its
  // present), while the window was open.
  std::vector<double> presentedAtMs;
};

// One timed run: prepare is not timed; the clock runs from the start of body
// until Finish after it.
Sample Run(const std::function<void()>& prepare, const std::function<void()>& body,
           Sleeping sleeping);

// A frame's interval: from one Delay's present to the next one's, the
// designed length being the first Delay's time.
struct Intervals {
  uint16_t askedMs = 0;  // the scenario's most common delay; only its frames count
  size_t frames = 0;     // intervals of that length, over all runs
  double medianMs = 0;
  double p95Ms = 0;
};

// Runs of one way of sleeping summed up: each figure is the median of its
// own; the intervals are pooled over the runs.
struct Summary {
  double wallMs = 0;
  double presentMs = 0;
  double oversleepMs = 0;
  Intervals intervals;
};

// Both ways of sleeping over the same runs, whole and paced alternating so
// that a change in the machine's load falls on both.
struct Comparison {
  std::vector<uint16_t> asked;
  double delayMs = 0;  // the sum of the asked delays: the designed time
  Summary whole, paced;
};
Comparison Compare(int runs, const std::function<void()>& prepare,
                   const std::function<void()>& body);

// Runs timed with the game's own Delay, without frames: medians only.
Summary Repeat(int runs, const std::function<void()>& prepare, const std::function<void()>& body);

}  // namespace pace
