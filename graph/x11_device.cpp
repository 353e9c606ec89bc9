// The window device's primitives and its mode table: every drawing entry of
// the device table drawn into the window's buffer through GL, the palette,
// pixel reads, and the registration of the modes that fit the screen.
// Writes ScreenWidth, ScreenHeight and the device's palette entries.
#include "graph/x11_device.hpp"

#include <X11/Xlib.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdint>
#include <vector>

#include "console/console.hpp"
#include "graph/graph.hpp"
#include "graph/x11_gl.hpp"
#include "graph/x11_internal.hpp"

namespace x11 {

// ---- Device operations ----------------------------------------------------------
// Every primitive starts the same way: nothing without a window, then the
// viewport origin, then the clip.

void ClearWindow() {
  EndBatch();
  if (Context == nullptr) return;
  gl::Viewport(0, 0, MaxX + 1, MaxY + 1);
  const auto& colour = Palette.at(Black);
  gl::ClearColor(static_cast<float>(colour[0]) / 255.0f, static_cast<float>(colour[1]) / 255.0f,
                 static_cast<float>(colour[2]) / 255.0f, 1.0f);
  gl::Clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  gl::MatrixMode(GL_PROJECTION);
  gl::LoadIdentity();
  gl::Ortho(0, MaxX, 0, MaxY, 0, 0.1);
  gl::MatrixMode(GL_MODELVIEW);
  gl::LoadIdentity();
  gl::Enable(GL_COLOR_LOGIC_OP);
  gl::Enable(GL_LINE_STIPPLE);
  // NOTE: a black clear of a window that shows only its black background
  // changes nothing on the screen, so it is left out of the next present.
  // The first present of every window (after InitGraph's clear and the
  // game's ClearDevice) then copies only what the scene drew: it is the
  // dear one, since the X server reads a new window's buffer for the first
  // time (each page of it costs a fault: on llvmpipe under a virtual machine
  // 25 ms for the whole window, against under 1 ms for the same copy later).
  if (Blank && colour == std::array<uint16_t, 3>{0, 0, 0}) return;
  Mark(0, 0, MaxX, MaxY);
}

namespace {

bool Clipped(int32_t x, int32_t y) {
  const Viewport& vp = Graph.viewport;
  return vp.clip && (x < vp.x1 || x > vp.x2 || y < vp.y1 || y > vp.y2);
}

void Point(int32_t x, int32_t y) {
  BeginShape(GL_POINTS);
  gl::Vertex2i(x, GlY(y));
  EndShape();
  Mark(x, y, x, y);
}

void PlotPixel(int16_t x, int16_t y, uint16_t colour) {
  if (!WindowOpen) return;
  const int32_t px = x + Graph.viewport.x1;
  const int32_t py = y + Graph.viewport.y1;
  if (Clipped(px, py)) return;
  ApplyColour(colour);
  Point(px, py);
}

void PutPixel(int16_t x, int16_t y) {
  if (!WindowOpen) return;
  ApplyColour(Graph.colour);
  ApplyWriteMode();
  Point(x, y);
}

void Segment(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  BeginShape(GL_LINES);
  gl::Vertex2i(x1, GlY(y1));
  gl::Vertex2i(x2, GlY(y2));
  EndShape();
  Mark(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2));
}

void DrawLine(int16_t x1, int16_t y1, int16_t x2, int16_t y2) {
  if (!WindowOpen) return;
  const Viewport& vp = Graph.viewport;
  int32_t ax = x1 + vp.x1, ay = y1 + vp.y1, bx = x2 + vp.x1, by = y2 + vp.y1;
  if (vp.clip && !X11ClipLine(ax, ay, bx, by, vp.x1, vp.y1, vp.x2, vp.y2)) return;
  ApplyWriteMode();
  ApplyLineStyle();
  ApplyColour(Graph.colour);
  Segment(ax, ay, bx, by);
}

void HorizontalLine(int16_t x1, int16_t x2, int16_t y) { DrawLine(x1, y, x2, y); }
void VerticalLine(int16_t x, int16_t y1, int16_t y2) { DrawLine(x, y1, x, y2); }

// One row of a hatch: the pattern's set bits in the fill colour, the rest in
// the background colour, each as a stippled segment aligned to absolute x.
void FillRow(int16_t x1, int16_t x2, int16_t y) {
  if (!WindowOpen || Graph.fillPattern < 2 || Graph.fillPattern > 12) return;
  const Viewport& vp = Graph.viewport;
  int32_t ax = std::min(x1, x2) + vp.x1, bx = std::max(x1, x2) + vp.x1;
  const int32_t ay = y + vp.y1;
  if (vp.clip) {
    if (ay < vp.y1 || ay > vp.y2) return;
    ax = std::max<int32_t>(ax, vp.x1);
    bx = std::min<int32_t>(bx, vp.x2);
    if (ax > bx) return;
  }
  const uint8_t bits = FillPatternRow(Graph.fillPattern, ay);
  uint16_t stipple = 0;
  for (int i = 0; i < 16; ++i) {
    if (bits & (0x80 >> ((ax + i) & 7))) stipple = static_cast<uint16_t>(stipple | (1u << i));
  }
  ApplyWriteMode();
  SetWidth(1.0f);
  // The end vertex one past the row: GL leaves a segment's last pixel out.
  ApplyColour(Graph.background);
  SetStipple(static_cast<uint16_t>(~stipple));
  Segment(ax, ay, bx + 1, ay);
  ApplyColour(Graph.fillColour);
  SetStipple(stipple);
  Segment(ax, ay, bx + 1, ay);
}

// Cosines and sines of the vertex angles of the arc drawn last. The game
// draws only whole ellipses, so they are computed once rather than twice per
// vertex of every ellipse (146 calls of each, and an allocation, per disc).
struct ArcTable {
  bool made = false;
  int16_t start = 0, end = 0;
  std::vector<double> cosines, sines;
};
ArcTable Arc;

const ArcTable& ArcFor(int16_t start, int16_t end) {
  if (Arc.made && Arc.start == start && Arc.end == end) return Arc;
  Arc.cosines.clear();
  Arc.sines.clear();
  for (const float t : X11ArcAngles(start, end)) {
    Arc.cosines.push_back(std::cos(static_cast<double>(t)));
    Arc.sines.push_back(std::sin(static_cast<double>(t)));
  }
  Arc.made = true;
  Arc.start = start;
  Arc.end = end;
  return Arc;
}

void ArcVertices(int32_t cx, int32_t cy, uint16_t rx, uint16_t ry, const ArcTable& arc) {
  for (size_t i = 0; i < arc.cosines.size(); ++i) {
    gl::Vertex2f(static_cast<float>(cx + rx * arc.cosines[i]),
                 static_cast<float>(GlY(cy) + ry * arc.sines[i]));
  }
}

// Rows of an ellipse for the hatch fills, handed to the layer's row filler
// in layer coordinates (the filler adds the viewport origin itself).
void FillEllipseRows(int16_t x, int16_t y, uint16_t rx, uint16_t ry, FillRowFn fill) {
  for (int32_t dy = -int32_t{ry}; dy <= ry; ++dy) {
    const double k = ry == 0 ? 0.0 : static_cast<double>(dy) / ry;
    const auto half = static_cast<int32_t>(std::lround(rx * std::sqrt(1.0 - k * k)));
    fill(static_cast<int16_t>(x - half), static_cast<int16_t>(x + half),
         static_cast<int16_t>(y + dy));
  }
}

void DrawEllipse(int16_t x, int16_t y, uint16_t rx, uint16_t ry, int16_t start, int16_t end,
                 FillRowFn fill) {
  if (!WindowOpen) return;
  const int32_t cx = x + Graph.viewport.x1;
  const int32_t cy = y + Graph.viewport.y1;
  const ArcTable& arc = ArcFor(start, end);
  if (fill != nullptr && Graph.fillPattern <= 1) {
    ApplyColour(Graph.fillPattern == 0 ? Graph.colour : Graph.fillColour);
    ApplyWriteMode();
    BeginShape(GL_TRIANGLE_FAN);
    gl::Vertex2i(cx, GlY(cy));
    ArcVertices(cx, cy, rx, ry, arc);
    EndShape();
  } else if (fill != nullptr && Graph.fillPattern <= 12) {
    FillEllipseRows(x, y, rx, ry, fill);
  }
  ApplyColour(Graph.colour);
  ApplyWriteMode();
  ApplyLineStyle();
  SetStipple(SolidLine);
  BeginShape(GL_LINE_STRIP);
  ArcVertices(cx, cy, rx, ry, arc);
  EndShape();
  Mark(cx - rx, cy - ry, cx + rx, cy + ry);
}

void SetPaletteEntry(uint16_t index, uint16_t r, uint16_t g, uint16_t b) {
  if (index >= Palette.size()) return;
  Palette[index] = {r, g, b};
  // The cached GL colour no longer matches the entry it stands for.
  PaletteEntryChanged(index);
}

void GetPaletteEntry(uint16_t index, uint16_t& r, uint16_t& g, uint16_t& b) {
  r = g = b = 0;
  if (index >= Palette.size()) return;
  r = Palette[index][0];
  g = Palette[index][1];
  b = Palette[index][2];
}

// The palette index whose colour is nearest the pixel on the screen.
uint16_t GetPixel(int16_t x, int16_t y) {
  if (!WindowOpen) return 0;
  const int32_t px = x + Graph.viewport.x1;
  const int32_t py = y + Graph.viewport.y1;
  if (px < 0 || px > MaxX || py < 0 || py > MaxY) return 0;
  std::array<uint8_t, 3> rgb{};
  EndBatch();
  gl::PixelStorei(GL_PACK_ALIGNMENT, 1);
  gl::ReadPixels(px, GlY(py), 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  uint16_t best = 0;
  int32_t bestDistance = INT32_MAX;
  for (size_t i = 0; i < Palette.size(); ++i) {
    int32_t distance = 0;
    for (size_t c = 0; c < 3; ++c) {
      const int32_t d = int32_t{rgb[c]} - Palette[i][c];
      distance += d * d;
    }
    if (distance < bestDistance) {
      bestDistance = distance;
      best = static_cast<uint16_t>(i);
    }
  }
  return best;
}

// ---- Mode table -------------------------------------------------------------------

struct ModeRow {
  int16_t driver;
  int16_t mode;
  const char* name;
  int32_t colours;
  uint16_t maxX;
  uint16_t maxY;
  uint16_t xAspect;
};

constexpr std::array<ModeRow, 11> kModes{{
    {9, 2, "640 x 480 x 16", 16, 639, 479, 10000},
    {9, 0, "640 x 200 x 16", 16, 639, 199, 4500},
    {9, 1, "640 x 350 x 16", 16, 639, 349, 7750},
    {10, 256, "640 x 400 x 256", 256, 639, 399, 8333},
    {10, 257, "640 x 480 x 256", 256, 639, 479, 10000},
    {10, 258, "800 x 600 x 16", 16, 799, 599, 10000},
    {10, 259, "800 x 600 x 256", 256, 799, 599, 10000},
    {10, 260, "1024 x 768 x 16", 16, 1023, 767, 10000},
    {10, 261, "1024 x 768 x 256", 256, 1023, 767, 10000},
    {10, 262, "1280 x 1024 x 16", 16, 1279, 1023, 10000},
    {10, 263, "1280 x 1024 x 256", 256, 1279, 1023, 10000},
}};

// The circle and text entries stay empty: the layer's own versions serve.
constexpr GraphDevice kWindowDevice{
    .plotPixel = PlotPixel,
    .putPixel = PutPixel,
    .getPixel = GetPixel,
    .setPalette = SetPaletteEntry,
    .getPalette = GetPaletteEntry,
    .line = DrawLine,
    .drawEllipse = DrawEllipse,
    .fillRow = FillRow,
    .horizontalLine = HorizontalLine,
    .verticalLine = VerticalLine,
    .clearWindow = ClearWindow,
    .openMode = OpenMode,
};

uint16_t ClampTo16(int value) { return static_cast<uint16_t>(std::clamp(value, 0, 65535)); }

}  // namespace
}  // namespace x11

using namespace x11;

bool RegisterX11Modes() {
  // The connection stays open, unused, until the program ends (see Anchor).
  Display* probe = Anchor();
  const int screen = DefaultScreen(probe);
  ScreenWidth = ClampTo16(DisplayWidth(probe, screen));
  ScreenHeight = ClampTo16(DisplayHeight(probe, screen));

  for (const ModeRow& row : kModes) {
    if (ScreenWidth <= row.maxX + 1 || ScreenHeight <= row.maxY + 1) continue;
    DisplayMode mode;
    mode.driver = row.driver;
    mode.mode = row.mode;
    mode.colours = row.colours;
    mode.paletteSize = row.colours;
    mode.xAspect = row.xAspect;
    mode.yAspect = 10000;
    mode.maxX = row.maxX;
    mode.maxY = row.maxY;
    mode.name = row.name;
    mode.device = kWindowDevice;
    RegisterMode(mode);
  }
  SetCloseGraphHandler(CloseGraphWindow);
  SetPresentHook(X11Present);
  return true;
}

