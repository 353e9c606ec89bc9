// The recording device for tests: a display mode whose device entries append
// one Call per call, the virtual clock behind Delay and Randomize, seeds and
// the state reset. Writes the log, the virtual time, the console's clock
// seams (DelayClock, DelaySleepUntil, ClockSeconds), RandSeed and
// (ResetGameState) every game variable.
#include "tests/support/recording.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <sstream>

#include "console/console.hpp"
#include "game/enemy_fire.hpp"
#include "game/raids.hpp"
#include "game/state.hpp"
#include "graph/graph.hpp"

namespace rec {
namespace {

std::vector<Call> TheCalls;
uint64_t TheVirtualMs = 0;
int64_t FrozenSeconds = 0;
bool WindowOpen = false;
uint16_t RegisteredMaxX = 0, RegisteredMaxY = 0;
bool Registered = false;
std::array<std::array<uint16_t, 3>, 256> Palette{};

int Colour() { return Graph.colour; }

void RecLine(int16_t x1, int16_t y1, int16_t x2, int16_t y2) {
  TheCalls.push_back(LineCall(x1, y1, x2, y2, Colour()));
}
void RecHorizontalLine(int16_t x1, int16_t x2, int16_t y) { RecLine(x1, y, x2, y); }
void RecVerticalLine(int16_t x, int16_t y1, int16_t y2) { RecLine(x, y1, x, y2); }
void RecPlotPixel(int16_t x, int16_t y, uint16_t colour) {
  TheCalls.push_back(PixelCall(x, y, colour));
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
  Call call{.op = fill == nullptr ? Op::Circle : Op::Disc, .a = x, .b = y, .c = rx, .d = ry,
            .colour = Colour()};
  if (fill != nullptr) call.pattern = Graph.fillPattern, call.fill = Graph.fillColour;
  TheCalls.push_back(call);
}

void RecFillRow(int16_t x1, int16_t x2, int16_t y) {
  TheCalls.push_back({.op = Op::FillRow, .a = x1, .b = x2, .c = y, .pattern = Graph.fillPattern, .fill = Graph.fillColour});
}

void RecClearWindow() { TheCalls.push_back({.op = Op::Clear}); }

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
  TheCalls.push_back(DelayCall(ms));
  if (OnSleep != nullptr) OnSleep(ms);
}

int64_t FrozenClock() { return FrozenSeconds; }

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

std::string Text(const Call& call) {
  const auto n = [](int v) { return std::to_string(v); };
  const std::string colour = " colour " + n(call.colour);
  const std::string fill = " fill " + n(call.pattern) + "/" + n(call.fill);
  const std::string four = "(" + n(call.a) + "," + n(call.b) + "," + n(call.c) + "," + n(call.d) + ")";
  switch (call.op) {
    case Op::Line: return "Line" + four + colour;
    case Op::Pixel: return "Pixel(" + n(call.a) + "," + n(call.b) + ")" + colour;
    case Op::Circle: return "Circle" + four + colour;
    case Op::Disc: return "Disc" + four + fill + colour;
    case Op::FillRow: return "FillRow(" + n(call.a) + "," + n(call.b) + "," + n(call.c) + ")" + fill;
    case Op::Clear: return "Clear";
    case Op::Delay: return "Delay(" + n(call.a) + ")";
  }
  return "?";
}

std::ostream& operator<<(std::ostream& out, const Call& call) { return out << Text(call); }

void AddRectangle(std::vector<Call>& calls, int x1, int y1, int x2, int y2, int colour) {
  calls.push_back(LineCall(x1, y1, x2 - 1, y1, colour));
  calls.push_back(LineCall(x1, y1 + 1, x1, y2, colour));
  calls.push_back(LineCall(x2, y1, x2, y2 - 1, colour));
  calls.push_back(LineCall(x1 + 1, y2, x2, y2, colour));
}

void AddBar(std::vector<Call>& calls, int x1, int y1, int x2, int y2, int colour) {
  for (int y = y1; y <= y2; ++y) calls.push_back(LineCall(x1, y, x2, y, colour));
}

void AddText(std::vector<Call>& calls, int x, int y, std::string_view text, int colour) {
  for (size_t i = 0; i < text.size(); ++i) {
    const auto& glyph = Font8x8[static_cast<unsigned char>(text[i])];
    for (int r = 0; r < 8; ++r)
      for (int c = 0; c < 8; ++c)
        if (glyph[static_cast<size_t>(r)] & (0x80 >> c))
          calls.push_back(PixelCall(x + 8 * static_cast<int>(i) + c, y + r, colour));
  }
}

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
  Clear();
}

void Stop() { CloseGraph(); }

const std::vector<Call>& Calls() { return TheCalls; }

void Clear() { TheCalls.clear(); }

std::vector<Call> Only(Op op) {
  std::vector<Call> out;
  for (const Call& call : TheCalls)
    if (call.op == op) out.push_back(call);
  return out;
}

std::vector<Call> Only(Op op, int colour) {
  std::vector<Call> out;
  for (const Call& call : TheCalls)
    if (call.op == op && call.colour == colour) out.push_back(call);
  return out;
}

size_t Count(const Call& call) { return static_cast<size_t>(std::count(TheCalls.begin(), TheCalls.end(), call)); }

std::vector<int> Bursts() {
  std::vector<int> out;
  for (const Call& call : TheCalls)
    if (call.op == Op::Disc && call.c == 30 && call.d == 30 && call.pattern == 0 && call.fill == 15)
      out.push_back(call.a + 15);
  return out;
}

uint64_t& VirtualMs() { return TheVirtualMs; }

void InstallVirtualClock(void (*onSleep)(uint16_t ms)) {
  DelayClock = VirtualNow;
  DelaySleepUntil = VirtualSleepUntil;
  ClockSeconds = FrozenClock;
  OnSleep = onSleep;
  TheVirtualMs = 0;
}

uint32_t FreshSeed() {
  static uint32_t next = 20260000;
  return ++next;
}

void Reseed(uint32_t seed) {
  RandSeed = seed + 1;
  Random(1);
  RandSeed = seed;
}

uint32_t SeedNow() {
  RandSeed = FreshSeed();
  return RandSeed;
}

uint32_t ArmClock() {
  const uint32_t seed = FreshSeed();
  FrozenSeconds = seed;
  return seed;
}

void ExpectDraws(uint32_t seed, int draws) {
  const int32_t next = Random(1 << 30);
  ReferenceRandom ref(seed);
  for (int k = 0; k < draws; ++k) ref.mt();
  EXPECT_EQ(next, ref(1 << 30)) << "expected " << draws << " numbers drawn";
}

int RoundTenth(int n) {
  int q = n / 10, r = n % 10;
  if (r < 0) r += 10, --q;  // floor division
  if (r > 5 || (r == 5 && q % 2 != 0)) ++q;
  return q;
}

std::pair<int, int> ReferenceArc(long double d, bool steep) {
  const long double v = std::sqrt(1000 * 9.8L), v4 = v * v * v * v;
  if (d * d * 9.8L * 9.8L > v4) return {0, 0};
  const long double q = std::sqrt((v4 - d * d * 9.8L * 9.8L) / v4);
  const long double s = std::sqrt((steep ? 1 - q : 1 + q) / 2), u = std::sqrt(1 - s * s);
  return {static_cast<int>(std::nearbyint(v * s)), static_cast<int>(std::nearbyint(v * u))};
}

std::vector<std::vector<RocketStep>> ReferenceSalvo(long double d) {
  const auto [along, up] = ReferenceArc(d, true);
  std::vector<std::vector<RocketStep>> rockets;
  for (int j = 1; j <= 5; ++j) {
    std::vector<RocketStep>& steps = rockets.emplace_back();
    int px = 0, py = 20, vy = up + 1 - j;
    const int vx = 2 - along - j;
    do {
      const int nx = RoundTenth(vx) + px, ny = RoundTenth(vy) + py;
      steps.push_back({nx, ny, px, py});
      --vy;
      px = nx;
      py = ny;
    } while (py > 1);
  }
  return rockets;
}

ReferenceField ReferenceSkirmish(uint32_t seed, int skill, int kindBefore) {
  ReferenceRandom random(seed);
  ReferenceField f;
  int budget = 10 * skill;
  do {
    const int d = random(11);
    int kind = kindBefore;
    if (d != 0) {
      if (budget > d) kind = d;
      budget -= d;
    }
    f.kinds.push_back(kind);
    f.xs.push_back(random(800) + 200);
    f.capped = budget >= 5 && f.xs.size() == 21;
  } while (budget >= 5 && f.xs.size() < 21);
  f.he = random(20) + 20;
  f.ap = random(10) + 10;
  f.nuclear = random(3);
  f.maxHealth = random(600) + 700;
  f.playerX = random(100) + 10;
  return f;
}

void ResetGameState() {
  Units = {};
  LevelNumber = UnitCount = PlayerX = PlayerHealth = PlayerMaxHealth = 0;
  AmmoHE = AmmoAP = AmmoNuclear = ShellKind = LaunchSpeed = LaunchAngle = 0;
  ShellVX = ShellVY = ShellStep = ShellDX = ShellY = ShellStopped = 0;
  SplashRadius = SplashDamage = 0;
  ThreatLevel = SpotterMode = SpotterSeen = SpotterIndex = 0;
  UnitMoving = false;
  MenuChoice = GameMode = 0;
  QuitRequested = LevelWon = LevelLost = false;
  ReturnToMenu = EnemyHealthSum = EnemySkill = SkirmishBudget = 0;
  RestartAnswer = 0;
  GraphDriver = GraphMode = 0;
  BriefingLine.clear();
  AimSpread = AdvanceDir = AdvanceStartX = 0;
  RandSeed = 0;
}

}  // namespace rec
