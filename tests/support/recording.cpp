// The recording device for tests: the fake display mode with an observer
// that appends one Call per call, the virtual clock behind Delay and
// Randomize, and seeds. Writes the log, the virtual time, the console's clock
// seams (DelayClock, DelaySleepUntil, ClockSeconds) and RandSeed.
#include "tests/support/recording.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>

#include "console/console.hpp"
#include "graph/graph.hpp"

namespace rec {
namespace {

std::vector<Call> TheCalls;
uint64_t TheVirtualMs = 0;
int64_t FrozenSeconds = 0;
uint16_t RegisteredMaxX = 0, RegisteredMaxY = 0;
bool Registered = false;
void (*OnSleep)(uint16_t ms) = nullptr;

void Record(const Call& call) { TheCalls.push_back(call); }

void Slept(uint16_t ms) {
  TheVirtualMs += ms;
  TheCalls.push_back(DelayCall(ms));
  if (OnSleep != nullptr) OnSleep(ms);
}

int64_t FrozenClock() { return FrozenSeconds; }

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
    RegisterMode(fake::Mode("recording", 263, maxX, maxY));
    Registered = true;
    RegisteredMaxX = maxX;
    RegisteredMaxY = maxY;
  }
  InstallVirtualClock();
  fake::Observe(Record);
  SetCloseGraphHandler(fake::Close);
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
  fake::InstallClock(Slept);
  ClockSeconds = FrozenClock;
  OnSleep = onSleep;
  TheVirtualMs = 0;
}

uint32_t FreshSeed() {
  static uint32_t next = 20260000;
  return ++next;
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

}  // namespace rec

std::ostream& fake::operator<<(std::ostream& out, const Call& call) { return out << rec::Text(call); }
