// The counting sleep, the clock and the medians of the benchmark. Writes the
// console's Delay seams.
#include "bench/pace.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "console/console.hpp"
#include "graph/graph.hpp"
#include "graph/x11_device.hpp"

namespace pace {
namespace {

uint64_t Delayed = 0;
double Presenting = 0;  // ms spent making the drawing visible
double Oversleep = 0;   // ms slept beyond what was asked

int64_t LastRead = 0;  // Delay's clock, when it last asked for the time

int64_t CountingClock() {
  LastRead = MonotonicNanoseconds();
  return LastRead;
}

// Delay's own sleep, counted: the ratio is only honest when the program
// really waits as long as it asks. Delay asks for a deadline its delay after
// its clock's time.
void CountingSleep(int64_t deadline) {
  const double ms = static_cast<double>(deadline - LastRead) / 1e6;
  Delayed += static_cast<uint64_t>(std::llround(ms));
  const double start = NowMs();
  SleepUntilNanoseconds(deadline);
  Oversleep += NowMs() - start - ms;
}

// Delay presents before it reads its clock: restarting its pace here makes
// every Delay sleep its whole time, which is what CountingSleep can count.
void TimedPresent() {
  const double start = NowMs();
  X11Present();
  Presenting += NowMs() - start;
  RestartPace();
}

}  // namespace

void Install() {
  DelayClock = CountingClock;
  DelaySleepUntil = CountingSleep;
  SetPresentHook(TimedPresent);
}

uint64_t DelayedMs() { return Delayed; }
void ResetDelays() {
  Delayed = 0;
  Presenting = 0;
  Oversleep = 0;
}

double NowMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t mid = values.size() / 2;
  return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

void Finish() {
  if (!X11WindowOpen()) return;
  TimedPresent();
  Device.getPixel(0, 0);
}

Sample Run(const std::function<void()>& prepare, const std::function<void()>& body) {
  prepare();
  Finish();
  ResetDelays();
  const double start = NowMs();
  body();
  Finish();
  Sample s;
  s.wallMs = NowMs() - start;
  s.delayMs = static_cast<double>(DelayedMs());
  s.presentMs = Presenting;
  s.oversleepMs = Oversleep;
  return s;
}

Summary Repeat(int runs, const std::function<void()>& prepare,
               const std::function<void()>& body) {
  std::vector<double> walls, delays, presents, oversleeps;
  for (int r = 0; r < runs; ++r) {
    const Sample s = Run(prepare, body);
    walls.push_back(s.wallMs);
    delays.push_back(s.delayMs);
    presents.push_back(s.presentMs);
    oversleeps.push_back(s.oversleepMs);
  }
  return {Median(walls), Median(delays), Median(presents), Median(oversleeps)};
}

}  // namespace pace
