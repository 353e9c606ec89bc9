// The device and clock that stand in for the window and the wall clock.
// Writes the console's Delay seams (DelayClock, DelaySleepUntil).
#include "tools/fakes.hpp"

#include <array>

#include "console/console.hpp"

namespace fake {
namespace {

void (*Observer)(const Call&) = nullptr;
bool Open = false;
std::array<std::array<uint16_t, 3>, 256> Palette{};

void Tell(const Call& call) {
  if (Observer != nullptr) Observer(call);
}

int Colour() { return Graph.colour; }

void FakeLine(int16_t x1, int16_t y1, int16_t x2, int16_t y2) {
  Tell({.op = Op::Line, .a = x1, .b = y1, .c = x2, .d = y2, .colour = Colour()});
}
void FakeHorizontalLine(int16_t x1, int16_t x2, int16_t y) { FakeLine(x1, y, x2, y); }
void FakeVerticalLine(int16_t x, int16_t y1, int16_t y2) { FakeLine(x, y1, x, y2); }
void FakePlotPixel(int16_t x, int16_t y, uint16_t colour) {
  Tell({.op = Op::Pixel, .a = x, .b = y, .colour = colour});
}
void FakePutPixel(int16_t x, int16_t y) { FakePlotPixel(x, y, Graph.colour); }
uint16_t FakeGetPixel(int16_t, int16_t) { return 0; }

void FakeSetPalette(uint16_t index, uint16_t r, uint16_t g, uint16_t b) {
  if (index < Palette.size()) Palette[index] = {r, g, b};
}

void FakeGetPalette(uint16_t index, uint16_t& r, uint16_t& g, uint16_t& b) {
  const auto& entry = Palette[index < Palette.size() ? index : 0];
  r = entry[0];
  g = entry[1];
  b = entry[2];
}

void FakeDrawEllipse(int16_t x, int16_t y, uint16_t rx, uint16_t ry, int16_t, int16_t,
                     FillRowFn fill) {
  Call call{.op = fill == nullptr ? Op::Circle : Op::Disc, .a = x, .b = y, .c = rx, .d = ry,
            .colour = Colour()};
  if (fill != nullptr) call.pattern = Graph.fillPattern, call.fill = Graph.fillColour;
  Tell(call);
}

void FakeFillRow(int16_t x1, int16_t x2, int16_t y) {
  Tell({.op = Op::FillRow, .a = x1, .b = x2, .c = y, .pattern = Graph.fillPattern,
        .fill = Graph.fillColour});
}

void FakeClearWindow() { Tell({.op = Op::Clear}); }

// A path of the game that forgets CloseGraph then ends the program as it
// would end the game.
void FakeOpenMode() {
  if (Open) {
    Graph.lastError = -11;
    return;
  }
  Palette = DefaultPalette;
  Open = true;
}

int64_t VirtualNs = 0;
void (*OnSleep)(uint16_t ms) = nullptr;

int64_t VirtualNow() { return VirtualNs; }

void VirtualSleepUntil(int64_t deadline) {
  if (deadline <= VirtualNs) return;
  const auto ms = static_cast<uint16_t>((deadline - VirtualNs) / 1'000'000);
  VirtualNs = deadline;
  if (OnSleep != nullptr) OnSleep(ms);
}

}  // namespace

DisplayMode Mode(const char* name, int16_t number, uint16_t maxX, uint16_t maxY) {
  DisplayMode m;
  m.driver = 10;
  m.mode = number;
  m.colours = 256;
  m.paletteSize = 256;
  m.maxX = maxX;
  m.maxY = maxY;
  m.name = name;
  m.device = GraphDevice{
      .plotPixel = FakePlotPixel, .putPixel = FakePutPixel, .getPixel = FakeGetPixel,
      .setPalette = FakeSetPalette, .getPalette = FakeGetPalette,
      .line = FakeLine, .drawEllipse = FakeDrawEllipse, .fillRow = FakeFillRow,
      .horizontalLine = FakeHorizontalLine, .verticalLine = FakeVerticalLine,
      .clearWindow = FakeClearWindow, .openMode = FakeOpenMode,
  };
  return m;
}

void Observe(void (*observer)(const Call& call)) { Observer = observer; }
bool WindowOpen() { return Open; }
void Close() { Open = false; }

void InstallClock(void (*onSleep)(uint16_t ms)) {
  DelayClock = VirtualNow;
  DelaySleepUntil = VirtualSleepUntil;
  OnSleep = onSleep;
}

void Reseed(uint32_t seed) {
  RandSeed = seed + 1;
  (void)Random(1);
  RandSeed = seed;
}

}  // namespace fake
