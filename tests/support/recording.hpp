// What the game and drawing tests share, said once: the fake device recording
// every device call as a Call, the virtual clock behind Delay and Randomize,
// seeds and the count of numbers drawn, and reference loops written from the
// rules for expectations. The device is registered through the same mode
// table as the window device, so a drawing is checked against its primitives
// without X.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/support/reference_random.hpp"
#include "tools/fakes.hpp"

namespace rec {

inline constexpr uint16_t kMaxX = 1279;
inline constexpr uint16_t kMaxY = 1023;

using fake::Call;
using fake::Op;
// "Line(10,10,19,10) colour 15", "Disc(100,520,30,30) fill 0/15 colour 15", "Delay(50)".
std::string Text(const Call& call);

inline Call LineCall(int x1, int y1, int x2, int y2, int colour) {
  return {.op = Op::Line, .a = x1, .b = y1, .c = x2, .d = y2, .colour = colour};
}
inline Call PixelCall(int x, int y, int colour) {
  return {.op = Op::Pixel, .a = x, .b = y, .colour = colour};
}
inline Call CircleCall(int x, int y, int r, int colour) {
  return {.op = Op::Circle, .a = x, .b = y, .c = r, .d = r, .colour = colour};
}
inline Call DiscCall(int x, int y, int r, int pattern, int fill, int colour) {
  return {.op = Op::Disc, .a = x, .b = y, .c = r, .d = r, .colour = colour, .pattern = pattern,
          .fill = fill};
}
inline Call DelayCall(int ms) { return {.op = Op::Delay, .a = ms}; }
// What the layer sends for a Rectangle (four lines, no corner twice), a Bar
// with a plain fill (one line per row in the colour) and text (the font's
// pixels, row by row).
void AddRectangle(std::vector<Call>& calls, int x1, int y1, int x2, int y2, int colour);
void AddBar(std::vector<Call>& calls, int x1, int y1, int x2, int y2, int colour);
void AddText(std::vector<Call>& calls, int x, int y, std::string_view text, int colour);

// Registers a 256-colour mode of the size served by the recording device,
// installs the virtual clock, calls InitGraph(0, 30000, "") and clears the log.
void Start(uint16_t maxX = kMaxX, uint16_t maxY = kMaxY);
// Closes the recording "window" (CloseGraph); the clock stays installed.
void Stop();

const std::vector<Call>& Calls();
void Clear();
std::vector<Call> Only(Op op);
std::vector<Call> Only(Op op, int colour);
size_t Count(const Call& call);
// The x of every DrawExplosion, in order: its first disc lies 15 left of it.
std::vector<int> Bursts();

// The virtual clock: Delay adds up here and never sleeps; Randomize reads a
// frozen time (ArmClock). onSleep, when given, is told the length of every
// sleep as it happens. VirtualMs is the sum of all Delay(ms) since Start or
// the last reset.
uint64_t& VirtualMs();
void InstallVirtualClock(void (*onSleep)(uint16_t ms) = nullptr);

// A seed the generator has not had in this process, so it reseeds.
uint32_t FreshSeed();
using fake::Reseed;
// RandSeed := a fresh seed; returns it.
uint32_t SeedNow();
// The next Randomize seeds with a fresh seed; returns it.
uint32_t ArmClock();
// Expects that exactly `draws` numbers were taken since `seed` was set.
void ExpectDraws(uint32_t seed, int draws);

// Reference arithmetic of the enemy's weapons, written from their rules for
// expectations: n x 0.1 rounded to nearest with ties to even, in integers
// (-45 gives -4); the start speeds round(v s) and round(v u) of a shell aimed
// a distance d with range 1000 (0 and 0 beyond reach); and the five rockets
// of a salvo aimed so, each step the new head offset (nx, ny) and the one it
// left (px, py), from (0, 20) until py <= 1.
int RoundTenth(int n);
std::pair<int, int> ReferenceArc(long double d, bool steep);
struct RocketStep {
  int nx, ny, px, py;
};
std::vector<std::vector<RocketStep>> ReferenceSalvo(long double d);

// The skirmish draw-up from the seed at the skill, as its rules read: the
// objects' kinds and x (index 0 unused; a kind not drawn stays `kindBefore`),
// the stocks, the gun's hit points and x, and whether the table's 20 entries
// stopped it.
struct ReferenceField {
  std::vector<int> kinds = {0}, xs = {0};
  int he = 0, ap = 0, nuclear = 0, maxHealth = 0, playerX = 0;
  bool capped = false;
};
ReferenceField ReferenceSkirmish(uint32_t seed, int skill, int kindBefore = 0);

}  // namespace rec

namespace fake {
// Calls print as rec::Text has them, in every expectation's message.
std::ostream& operator<<(std::ostream& out, const Call& call);
}  // namespace fake
