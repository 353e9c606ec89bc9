// A drawing device for tests: registered through the same mode table as the
// window device, it records every device call as a line of text, and a
// virtual clock records every Delay in the same log, so a drawing can be
// checked against its list of primitives without X.
//
// Log lines (coordinates as the device receives them, colour = the layer's
// current colour at the call unless stated):
//   "Line(x1,y1,x2,y2) colour C"            device Line, HorizontalLine, VerticalLine
//   "Pixel(x,y) colour C"                   PlotPixel with its colour argument
//   "Ellipse(x,y,rx,ry) colour C"           DrawEllipse without fill (Circle)
//   "FillEllipse(x,y,rx,ry) fill P/F colour C"  DrawEllipse with fill; P pattern, F fill colour
//   "FillRow(x1,x2,y) fill P/F"
//   "Clear"                                 ClearWindow
//   "Delay(ms)"                             from the virtual clock
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rec {

inline constexpr uint16_t kMaxX = 1279;
inline constexpr uint16_t kMaxY = 1023;

// Registers a 1280x1024 256-colour mode served by the recording device (once),
// installs the virtual clock, calls InitGraph(0, 30000, "") and clears the log.
void Start(uint16_t maxX = kMaxX, uint16_t maxY = kMaxY);
// Closes the recording "window" (CloseGraph) and leaves the clock installed.
void Stop();

std::vector<std::string>& Log();
void ClearLog();
// Lines of the log that start with the prefix ("Line", "Delay", ...).
std::vector<std::string> Filter(const std::string& prefix);
// Sum of all Delay(ms) since the clock was installed or last reset.
uint64_t& VirtualMs();

// Installs only the virtual clock (Delay adds up, never sleeps); onSleep,
// when given, is told the length of every sleep as it happens.
void InstallVirtualClock(void (*onSleep)(uint16_t ms) = nullptr);

}  // namespace rec
