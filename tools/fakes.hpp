// Stand-ins for the screen and the wall clock, shared by the level checker,
// the benchmark and the tests: a display mode whose device draws nothing and
// hands every call to an observer, and a virtual clock behind Delay that
// adds up the delays instead of sleeping.
#pragma once

#include <cstdint>

#include "graph/graph.hpp"

namespace fake {

// One call of a device entry, with the layer's state that decides its look.
//   Line     a, b, c, d = x1, y1, x2, y2 (device Line, HorizontalLine, VerticalLine)
//   Pixel    a, b = x, y; colour is PlotPixel's own argument
//   Circle   a, b, c, d = x, y, x radius, y radius (DrawEllipse without fill)
//   Disc     the same with fill (FillEllipse), in fill pattern and fill colour
//   FillRow  a, b, c = x1, x2, y, in fill pattern and fill colour
//   Clear    ClearWindow
//   Delay    a = milliseconds, from the virtual clock
enum class Op : uint8_t { Line, Pixel, Circle, Disc, FillRow, Clear, Delay };
struct Call {
  Op op = Op::Line;
  int a = 0, b = 0, c = 0, d = 0;
  int colour = 0;  // the layer's current colour at the call
  int pattern = 0, fill = 0;
  bool operator==(const Call&) const = default;
};

// A 256-colour mode (driver 10) of the given number and size. Its device
// keeps a palette, reads every pixel as 0, supplies no circle and no text (the
// layer's own are what the game gets on screen) and gives every other call to
// the observer. Like the window device, a second opening while open fails.
DisplayMode Mode(const char* name, int16_t number, uint16_t maxX, uint16_t maxY);
void Observe(void (*observer)(const Call& call));
// Whether the mode's window is open; Close is its CloseGraph handler.
bool WindowOpen();
void Close();

// Puts a virtual clock behind Delay: its time moves only when slept on, so
// every sleep is exactly the delay asked. onSleep, when given, is told each
// sleep's length.
void InstallClock(void (*onSleep)(uint16_t ms));

// RandSeed := seed, and the generator starts over from it even when it took
// the same seed before (it reseeds only when RandSeed changes).
void Reseed(uint32_t seed);

}  // namespace fake
