// The headless display mode and the virtual clock of the level checker; the
// mode's device draws nothing but can measure what it is given. Writes the
// mode registry, the CloseGraph handler and the console's test seams
// (DelayClock, DelaySleepUntil, ClockSeconds).
#include "tools/headless.hpp"

#include <algorithm>

#include "console/console.hpp"
#include "graph/graph.hpp"

namespace headless {
namespace {

bool Open = false;
bool Paused = false;
uint64_t SleptMs = 0;
int64_t ClockBase = 0;
int64_t ExtraSeconds = 0;

bool Measuring = false;
Box Measured;

void Widen(int x, int y) {
  if (!Measuring) return;
  if (Measured.Empty()) {
    Measured = {x, y, x, y};
    return;
  }
  Measured.left = std::min(Measured.left, x);
  Measured.right = std::max(Measured.right, x);
  Measured.top = std::min(Measured.top, y);
  Measured.bottom = std::max(Measured.bottom, y);
}

// Every primitive is dropped after widening the measured box. Supplying the
// line and ellipse entries keeps the layer's generic versions (one pixel call
// per pixel) off the path, which is what keeps a whole level well under a
// second.
void NoPixel(int16_t x, int16_t y, uint16_t) { Widen(x, y); }
void NoPutPixel(int16_t x, int16_t y) { Widen(x, y); }
uint16_t NoGetPixel(int16_t, int16_t) { return 0; }
void NoSetPalette(uint16_t, uint16_t, uint16_t, uint16_t) {}
void NoGetPalette(uint16_t, uint16_t& r, uint16_t& g, uint16_t& b) { r = g = b = 0; }
void NoLine(int16_t x1, int16_t y1, int16_t x2, int16_t y2) {
  Widen(x1, y1);
  Widen(x2, y2);
}
void NoEllipse(int16_t x, int16_t y, uint16_t rx, uint16_t ry, int16_t, int16_t, FillRowFn) {
  Widen(x - rx, y - ry);
  Widen(x + rx, y + ry);
}
void NoRow(int16_t x1, int16_t x2, int16_t y) { NoLine(x1, y, x2, y); }
void NoColumn(int16_t x, int16_t y1, int16_t y2) { NoLine(x, y1, x, y2); }
void NoClear() {}

// Like the window device, a second opening while open fails, so a path of
// the game that forgets CloseGraph ends the checker as it would end the game.
void OpenMode() {
  if (Open) {
    Graph.lastError = -11;
    return;
  }
  Open = true;
}

void Close() { Open = false; }

// Delay's clock: virtual time moves only when slept on, so every sleep is
// the delay asked and the game's clock is their sum. Delay reckons its
// deadlines on this one, so it moves while paused too; only the game's
// clock stands still.
int64_t VirtualNs = 0;

int64_t Now() { return VirtualNs; }

void SleepUntil(int64_t deadline) {
  if (deadline <= VirtualNs) return;
  if (!Paused) SleptMs += static_cast<uint64_t>((deadline - VirtualNs) / 1'000'000);
  VirtualNs = deadline;
}

int64_t Clock() { return ClockBase + ExtraSeconds + static_cast<int64_t>(SleptMs / 1000); }

DisplayMode HeadlessMode() {
  DisplayMode m;
  m.driver = 10;
  m.mode = 259;
  m.colours = 256;
  m.paletteSize = 256;
  m.maxX = kMaxX;
  m.maxY = kMaxY;
  m.name = "headless";
  m.device = GraphDevice{
      .plotPixel = NoPixel,
      .putPixel = NoPutPixel,
      .getPixel = NoGetPixel,
      .setPalette = NoSetPalette,
      .getPalette = NoGetPalette,
      .line = NoLine,
      .drawEllipse = NoEllipse,
      .fillRow = NoRow,
      .horizontalLine = NoRow,
      .verticalLine = NoColumn,
      .clearWindow = NoClear,
      .openMode = OpenMode,
  };
  return m;
}

}  // namespace

void Install() {
  ClearModes();
  RegisterMode(HeadlessMode());
  SetCloseGraphHandler(Close);
  DelayClock = Now;
  DelaySleepUntil = SleepUntil;
  ClockSeconds = Clock;
  ResetClock();
}

void OpenWindow() {
  int16_t driver = 0, mode = 30000;
  InitGraph(driver, mode, "");
}

bool WindowOpen() { return Open; }

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
