// The headless display mode and the virtual clock of the level checker, on
// the shared fake device and clock; the device draws nothing but can measure
// what it is given. Writes the mode registry, the CloseGraph handler and the
// console's test seams (DelayClock, DelaySleepUntil, ClockSeconds).
#include "tools/headless.hpp"

#include <algorithm>

#include "console/console.hpp"
#include "graph/graph.hpp"
#include "tools/fakes.hpp"

namespace headless {
namespace {

bool Paused = false;
uint64_t SleptMs = 0;
int64_t ClockBase = 0;
int64_t ExtraSeconds = 0;

bool Measuring = false;
Box Measured;

void Widen(int x, int y) {
  if (Measured.Empty()) {
    Measured = {x, y, x, y};
    return;
  }
  Measured.left = std::min(Measured.left, x);
  Measured.right = std::max(Measured.right, x);
  Measured.top = std::min(Measured.top, y);
  Measured.bottom = std::max(Measured.bottom, y);
}

// Every primitive widens the measured box by its ends, or by the box around
// an ellipse. The device supplies its own line and ellipse, which keeps the
// layer's generic versions (one pixel call per pixel) off the path: that is
// what keeps a whole level well under a second.
void Measure(const fake::Call& c) {
  if (!Measuring) return;
  switch (c.op) {
    case fake::Op::Line:
      Widen(c.a, c.b);
      Widen(c.c, c.d);
      break;
    case fake::Op::Pixel: Widen(c.a, c.b); break;
    case fake::Op::Circle:
    case fake::Op::Disc:
      Widen(c.a - c.c, c.b - c.d);
      Widen(c.a + c.c, c.b + c.d);
      break;
    case fake::Op::FillRow:
      Widen(c.a, c.c);
      Widen(c.b, c.c);
      break;
    case fake::Op::Clear:
    case fake::Op::Delay: break;
  }
}

// Every sleep is the delay asked and the game's clock is their sum. Delay
// reckons its deadlines on the virtual clock, which moves while paused too;
// only the game's clock stands still.
void Slept(uint16_t ms) {
  if (!Paused) SleptMs += ms;
}

int64_t Clock() { return ClockBase + ExtraSeconds + static_cast<int64_t>(SleptMs / 1000); }

}  // namespace

void Install() {
  ClearModes();
  RegisterMode(fake::Mode("headless", 259, kMaxX, kMaxY));
  fake::Observe(Measure);
  SetCloseGraphHandler(fake::Close);
  fake::InstallClock(Slept);
  ClockSeconds = Clock;
  ResetClock();
}

void OpenWindow() {
  int16_t driver = 0, mode = 30000;
  InitGraph(driver, mode, "");
}

bool WindowOpen() { return fake::WindowOpen(); }

void BeginMeasure() {
  Measuring = true;
  Measured = Box{};
}

Box EndMeasure() {
  Measuring = false;
  return Measured;
}

uint64_t VirtualMs() { return SleptMs; }

void ResetClock() {
  SleptMs = 0;
  ExtraSeconds = 0;
}

void SetClockBase(int64_t seconds) { ClockBase = seconds; }
void AddSeconds(int64_t seconds) { ExtraSeconds += seconds; }
void PauseClock(bool paused) { Paused = paused; }

}  // namespace headless
