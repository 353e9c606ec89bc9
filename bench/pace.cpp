// The timers, the virtual clock and the medians of the benchmark. Writes the
// console's Delay seams and present hook.
#include "bench/pace.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>
#include <string>

#include "console/console.hpp"
#include "graph/graph.hpp"
#include "graph/x11_device.hpp"
#include "tools/fakes.hpp"

namespace pace {
namespace {

constexpr double kNanosecondsPerMs = 1e6;

Sleeping Mode = Sleeping::kPaced;
bool Timing = false;    // inside a timed body
double Presenting = 0;  // ms spent making the drawing visible
double Oversleep = 0;   // ms slept beyond the deadline
std::vector<double> PresentedAt;

// Delay's own sleep, timed: the ratio is only honest when the program really
// waits as long as it asks.
void TimedSleep(int64_t deadline) {
  SleepUntilNanoseconds(deadline);
  const double late = static_cast<double>(MonotonicNanoseconds() - deadline) / kNanosecondsPerMs;
  if (late > 0) Oversleep += late;
}

// Delay presents before it reads its clock, so restarting the pace here
// makes every Delay sleep its whole time: the sleeping before pacing.
void TimedPresent() {
  const double start = NowMs();
  X11Present();
  const double end = NowMs();
  Presenting += end - start;
  if (Timing && X11WindowOpen()) PresentedAt.push_back(end);
  if (Mode == Sleeping::kWhole) RestartPace();
}

std::vector<uint16_t> VirtualAsked;

void Asked(uint16_t ms) { VirtualAsked.push_back(ms); }

uint16_t MostCommon(const std::vector<uint16_t>& values) {
  std::map<uint16_t, size_t> counts;
  for (const uint16_t v : values) ++counts[v];
  uint16_t best = 0;
  size_t most = 0;
  for (const auto& [value, count] : counts) {
    if (count > most) {
      best = value;
      most = count;
    }
  }
  return best;
}

// The intervals after each Delay of the most common length, over all runs.
Intervals FrameIntervals(const std::vector<uint16_t>& asked, const std::vector<Sample>& samples) {
  Intervals out;
  out.askedMs = MostCommon(asked);
  std::vector<double> lengths;
  for (const Sample& s : samples) {
    for (size_t i = 0; i + 1 < s.presentedAtMs.size(); ++i) {
      if (asked[i] == out.askedMs) lengths.push_back(s.presentedAtMs[i + 1] - s.presentedAtMs[i]);
    }
  }
  out.frames = lengths.size();
  out.medianMs = Median(lengths);
  out.p95Ms = Percentile(lengths, 0.95);
  return out;
}

Summary Summarise(const std::vector<Sample>& samples) {
  std::vector<double> walls, presents, oversleeps;
  for (const Sample& s : samples) {
    walls.push_back(s.wallMs);
    presents.push_back(s.presentMs);
    oversleeps.push_back(s.oversleepMs);
  }
  return {Median(walls), Median(presents), Median(oversleeps), {}};
}

}  // namespace

void Install() {
  DelayClock = MonotonicNanoseconds;
  DelaySleepUntil = TimedSleep;
  SetPresentHook(TimedPresent);
}

double NowMs() { return static_cast<double>(MonotonicNanoseconds()) / kNanosecondsPerMs; }

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t mid = values.size() / 2;
  return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

double Percentile(std::vector<double> values, double share) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto rank = static_cast<size_t>(std::ceil(share * static_cast<double>(values.size())));
  return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}

void Finish() {
  if (!X11WindowOpen()) return;
  TimedPresent();
  Device.getPixel(0, 0);
}

std::vector<uint16_t> AskedDelays(const std::function<void()>& prepare,
                                  const std::function<void()>& body) {
  VirtualAsked.clear();
  fake::InstallClock(Asked);
  prepare();
  VirtualAsked.clear();
  body();
  Finish();
  Install();
  return VirtualAsked;
}

Sample Run(const std::function<void()>& prepare, const std::function<void()>& body,
           Sleeping sleeping) {
  Mode = sleeping;
  prepare();
  Finish();
  Presenting = 0;
  Oversleep = 0;
  PresentedAt.clear();
  Timing = true;
  const double start = NowMs();
  body();
  Timing = false;
  Finish();
  Sample s;
  s.wallMs = NowMs() - start;
  s.presentMs = Presenting;
  s.oversleepMs = Oversleep;
  s.presentedAtMs = PresentedAt;
  Mode = Sleeping::kPaced;
  return s;
}

Comparison Compare(int runs, const std::function<void()>& prepare,
                   const std::function<void()>& body) {
  Comparison c;
  c.asked = AskedDelays(prepare, body);
  for (const uint16_t ms : c.asked) c.delayMs += ms;
  std::vector<Sample> whole, paced;
  for (int r = 0; r < runs; ++r) {
    whole.push_back(Run(prepare, body, Sleeping::kWhole));
    paced.push_back(Run(prepare, body, Sleeping::kPaced));
  }
  // One present per Delay, or the runs did not make the calls counted.
  for (const auto* samples : {&whole, &paced}) {
    for (const Sample& s : *samples) {
      if (s.presentedAtMs.size() != c.asked.size()) {
        throw std::runtime_error("a timed run presented " + std::to_string(s.presentedAtMs.size()) +
                                 " times for " + std::to_string(c.asked.size()) + " delays");
      }
    }
  }
  c.whole = Summarise(whole);
  c.whole.intervals = FrameIntervals(c.asked, whole);
  c.paced = Summarise(paced);
  c.paced.intervals = FrameIntervals(c.asked, paced);
  return c;
}

Summary Repeat(int runs, const std::function<void()>& prepare, const std::function<void()>& body) {
  std::vector<Sample> samples;
  for (int r = 0; r < runs; ++r) samples.push_back(Run(prepare, body, Sleeping::kPaced));
  return Summarise(samples);
}

}  // namespace pace
