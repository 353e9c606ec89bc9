// The benchmark's measuring tools: the sleep behind Delay replaced by one that
// adds up the requested milliseconds and then really sleeps, a wall clock,
// medians, and the step that waits until GL has drawn everything.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace pace {

// Puts the counting sleep behind Delay and a timer around the window
// device's present hook (so call it after RegisterX11Modes).
void Install();
// Milliseconds asked of Delay since the last reset.
uint64_t DelayedMs();
void ResetDelays();

double NowMs();
double Median(std::vector<double> values);

// Makes everything drawn so far visible and waits until GL has really drawn
// it (a pixel read is a synchronisation point); nothing without a window.
void Finish();

// Beside wall time and delays, the two parts of the overhead that are not
// drawing: presenting (the flush before each sleep, which waits for GL and
// the X server) and sleeping longer than asked (the scheduler's share).
struct Sample {
  double wallMs = 0;
  double delayMs = 0;
  double presentMs = 0;
  double oversleepMs = 0;
  double Ratio() const { return delayMs > 0 ? wallMs / delayMs : 0; }
};

// One timed run: prepare is not timed; the clock runs from the start of body
// until Finish after it.
Sample Run(const std::function<void()>& prepare, const std::function<void()>& body);

// Several runs summed up as one sample of medians: each figure is the median
// of its own, and the ratio is that of the two medians.
using Summary = Sample;
Summary Repeat(int runs, const std::function<void()>& prepare,
               const std::function<void()>& body);

}  // namespace pace
