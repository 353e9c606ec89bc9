// The recording device for tests: a display mode whose device entries append
// one text line per call to the log, and the virtual clock behind Delay.
// Writes the log, the virtual time and the console's two Delay seams
// (DelayClock, DelaySleepUntil).
#include "tests/support/recording.hpp"

#include <array>
#include <string_view>
#include <utility>

#include "console/console.hpp"
#include "graph/graph.hpp"

namespace rec {
namespace {

std::vector<std::string> TheLog;
uint64_t TheVirtualMs = 0;
bool WindowOpen = false;
uint16_t RegisteredMaxX = 0, RegisteredMaxY = 0;
bool Registered = false;
std::array<std::array<uint16_t, 3>, 256> Palette{};

std::string Num(long long v) { return std::to_string(v); }

void Append(std::string line) { TheLog.push_back(std::move(line)); }

std::string ColourTail() { return ") colour " + Num(Graph.colour); }

std::string FillTail() {
  return " fill " + Num(Graph.fillPattern) + "/" + Num(Graph.fillColour);
}

void RecLine(int16_t x1, int16_t y1, int16_t x2, int16_t y2) {
  Append("Line(" + Num(x1) + "," + Num(y1) + "," + Num(x2) + "," + Num(y2) + ColourTail());
}

void RecHorizontalLine(int16_t x1, int16_t x2, int16_t y) { RecLine(x1, y, x2, y); }
void RecVerticalLine(int16_t x, int16_t y1, int16_t y2) { RecLine(x, y1, x, y2); }

void RecPlotPixel(int16_t x, int16_t y, uint16_t colour) {
  Append("Pixel(" + Num(x) + "," + Num(y) + ") colour " + Num(colour));
}

void RecPutPixel(int16_t x, int16_t y) { RecPlotPixel(x, y, Graph.colour); }

uint16_t RecGetPixel(int16_t, int16_t) { return 0; }

void RecSetPalette(uint16_t index, uint16_t r, uint16_t g, uint16_t b) {
  if (index < Palette.size()) Palette[index] = {r, g, b};
}

void RecGetPalette(uint16_t index, uint16_t& r, uint16_t& g, uint16_t& b) {
  const auto& entry = Palette[index < Palette.size() ? index : 0];
  r = entry[0];
  g = entry[1];
  b = entry[2];
}

void RecDrawEllipse(int16_t x, int16_t y, uint16_t rx, uint16_t ry, int16_t, int16_t,
                    FillRowFn fill) {
  const std::string args = "(" + Num(x) + "," + Num(y) + "," + Num(rx) + "," + Num(ry) + ")";
  if (fill == nullptr) {
    Append("Ellipse" + args + " colour " + Num(Graph.colour));
  } else {
    Append("FillEllipse" + args + FillTail() + " colour " + Num(Graph.colour));
  }
}

void RecFillRow(int16_t x1, int16_t x2, int16_t y) {
  Append("FillRow(" + Num(x1) + "," + Num(x2) + "," + Num(y) + ")" + FillTail());
}

void RecClearWindow() { Append("Clear"); }

// Like the window device: a second opening while open fails.
void RecOpenMode() {
  if (WindowOpen) {
    Graph.lastError = -11;
    return;
  }
  Palette = DefaultPalette;
  WindowOpen = true;
}

void RecCloseGraph() { WindowOpen = false; }

// Virtual time moves only when slept on, so each sleep is the delay asked.
int64_t TheVirtualNs = 0;
void (*OnSleep)(uint16_t ms) = nullptr;

int64_t VirtualNow() { return TheVirtualNs; }

void VirtualSleepUntil(int64_t deadline) {
  if (deadline <= TheVirtualNs) return;
  const auto ms = static_cast<uint16_t>((deadline - TheVirtualNs) / 1'000'000);
  TheVirtualNs = deadline;
  TheVirtualMs += ms;
  Append("Delay(" + Num(ms) + ")");
  if (OnSleep != nullptr) OnSleep(ms);
}

DisplayMode RecordingMode(uint16_t maxX, uint16_t maxY) {
  DisplayMode m;
  m.driver = 10;
  m.mode = 263;
  m.colours = 256;
  m.paletteSize = 256;
  m.maxX = maxX;
  m.maxY = maxY;
  m.name = "recording";
  // No circle and no text: the layer's own are what the game gets on screen.
  m.device = GraphDevice{
      .plotPixel = RecPlotPixel,
      .putPixel = RecPutPixel,
      .getPixel = RecGetPixel,
      .setPalette = RecSetPalette,
      .getPalette = RecGetPalette,
      .line = RecLine,
      .drawEllipse = RecDrawEllipse,
      .fillRow = RecFillRow,
      .horizontalLine = RecHorizontalLine,
      .verticalLine = RecVerticalLine,
      .clearWindow = RecClearWindow,
      .openMode = RecOpenMode,
  };
  return m;
}

}  // namespace

void Start(uint16_t maxX, uint16_t maxY) {
  // The registry holds only the recording mode, so detection always finds it,
  // also after a test has registered modes of its own.
  const bool present = Registered && RegisteredMaxX == maxX && RegisteredMaxY == maxY &&
                       AllModes().size() == 1 && AllModes()[0].name == "recording";
  if (!present) {
    ClearModes();
    RegisterMode(RecordingMode(maxX, maxY));
    Registered = true;
    RegisteredMaxX = maxX;
    RegisteredMaxY = maxY;
  }
  InstallVirtualClock();
  SetCloseGraphHandler(RecCloseGraph);
  CloseGraph();
  int16_t driver = 0, mode = 30000;
  InitGraph(driver, mode, "");
  ClearLog();
}

void Stop() { CloseGraph(); }

std::vector<std::string>& Log() { return TheLog; }

void ClearLog() { TheLog.clear(); }

std::vector<std::string> Filter(const std::string& prefix) {
  std::vector<std::string> out;
  for (const std::string& line : TheLog) {
    if (line.starts_with(prefix)) out.push_back(line);
  }
  return out;
}

uint64_t& VirtualMs() { return TheVirtualMs; }

void InstallVirtualClock(void (*onSleep)(uint16_t ms)) {
  DelayClock = VirtualNow;
  DelaySleepUntil = VirtualSleepUntil;
  OnSleep = onSleep;
  TheVirtualMs = 0;
}

}  // namespace rec
