// The drawing layer: the mode registry and colour classes, InitGraph with its
// detection, the drawing state and the public operations down to the device
// table. Writes Graph, Device, MaxX, MaxY, MaxColor, PaletteSize, GraphPath.
#include "graph/graph.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <tuple>
#include <utility>
#include <vector>

#include "console/console.hpp"

GraphState Graph;
uint16_t MaxX = 0, MaxY = 0;
int32_t MaxColor = 0;
int32_t PaletteSize = 0;
std::string GraphPath;
uint8_t DirectColour = 0;

namespace {

constexpr int16_t kFirstClass = 11;
constexpr int16_t kLastClass = 21;  // detection scans this far; 19..21 stay empty

struct ClassList {
  std::vector<DisplayMode> modes;  // by width, then height; number = position + 1
  int16_t lowest = 0, highest = 0;
};

std::vector<DisplayMode> AllModeList;
std::array<ClassList, kLastClass - kFirstClass + 1> Classes;

void (*CloseHandler)() = nullptr;

int16_t Wrap16(int32_t v) { return static_cast<int16_t>(v); }

// ---- defaults for the pixel-level entries: no mode, nowhere to draw ----

// How the drawing layer fails: InitGraph and the drawing state record a
// last-error code and never stop the program; only a drawing that reaches a
// pixel with no mode, an OpenGL library that cannot be loaded and a display
// that cannot be opened end it, each through the console's fatal path (the
// terminal restored, one line, ExitFailure). The first two lines read
// as they have always read, without the "zalpomet: " prefix. A window whose
// connection dies is the one exception: Xlib's handler writes its line and
// leaves with _exit, since nothing may touch the dead connection again.
[[noreturn]] void NotInGraphicsMode() {
  FatalLine(ExitFailure,
            "Error: Not in graphics mode (use InitGraph and test GraphResult afterwards)");
}

void NoPlotPixel(int16_t, int16_t, uint16_t) { NotInGraphicsMode(); }
void NoPutPixel(int16_t, int16_t) { NotInGraphicsMode(); }
uint16_t NoGetPixel(int16_t, int16_t) { NotInGraphicsMode(); }
void NoSetPalette(uint16_t, uint16_t, uint16_t, uint16_t) { NotInGraphicsMode(); }
void NoGetPalette(uint16_t, uint16_t&, uint16_t&, uint16_t&) { NotInGraphicsMode(); }

// ---- generic entries: everything reaches the screen through PlotPixel ----

// Bresenham, stepping the line pattern one bit per pixel from its top bit.
void GenericLine(int16_t x1, int16_t y1, int16_t x2, int16_t y2) {
  int32_t x = x1, y = y1;
  const int32_t dx = std::abs(x2 - x1), dy = -std::abs(y2 - y1);
  const int32_t sx = x1 < x2 ? 1 : -1, sy = y1 < y2 ? 1 : -1;
  int32_t err = dx + dy;
  unsigned step = 0;
  for (;;) {
    if (Graph.linePattern & (0x8000u >> (step++ % 16))) {
      Device.plotPixel(Wrap16(x), Wrap16(y), Graph.colour);
    }
    if (x == x2 && y == y2) break;
    const int32_t e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

void GenericHorizontalLine(int16_t x1, int16_t x2, int16_t y) { Device.line(x1, y, x2, y); }
void GenericVerticalLine(int16_t x, int16_t y1, int16_t y2) { Device.line(x, y1, x, y2); }

// Set pattern bits take the fill colour, clear ones the background colour.
void GenericFillRow(int16_t x1, int16_t x2, int16_t y) {
  if (x1 > x2) std::swap(x1, x2);
  const uint8_t bits = FillPatternRow(Graph.fillPattern, y);
  for (int32_t x = x1; x <= x2; ++x) {
    const bool set = bits & (0x80u >> (x & 7));
    Device.plotPixel(Wrap16(x), y, set ? Graph.fillColour : Graph.background);
  }
}

// Same vertex walk as the window device (5-degree steps, single precision),
// joined by lines; the fill is done row by row through the fill request.
void GenericDrawEllipse(int16_t x, int16_t y, uint16_t rx, uint16_t ry, int16_t start,
                        int16_t end, FillRowFn fill) {
  int32_t a = start % 361, b = end % 361;
  if (b < a) std::swap(a, b);
  if (fill != nullptr) {
    for (int32_t dy = -ry; dy <= ry; ++dy) {
      const long double q = ry == 0 ? 0.0L : static_cast<long double>(dy) / ry;
      const auto half = static_cast<int32_t>(std::lround(rx * std::sqrt(std::max(0.0L, 1 - q * q))));
      fill(Wrap16(x - half), Wrap16(x + half), Wrap16(y + dy));
    }
  }
  const float pi = 3.14159265358979f;
  const float stepAngle = pi / 36.0f, last = static_cast<float>(b) * pi / 180.0f;
  bool first = true;
  int16_t px = 0, py = 0;
  for (float t = static_cast<float>(a) * pi / 180.0f; t <= last; t += stepAngle) {
    const auto vx = Wrap16(static_cast<int32_t>(std::lround(x + rx * std::cos(t))));
    const auto vy = Wrap16(static_cast<int32_t>(std::lround(y - ry * std::sin(t))));
    if (first) {
      Device.plotPixel(vx, vy, Graph.colour);
    } else {
      Device.line(px, py, vx, vy);
    }
    first = false;
    px = vx;
    py = vy;
  }
}

void GenericClearWindow() {
  for (int32_t y = 0; y <= MaxY; ++y) {
    for (int32_t x = 0; x <= MaxX; ++x) Device.plotPixel(Wrap16(x), Wrap16(y), Black);
  }
}

void LayerCircle(int16_t x, int16_t y, uint16_t radius);
void LayerOutTextXY(int16_t x, int16_t y, std::string_view text);

constexpr GraphDevice DefaultDevice() {
  return GraphDevice{
      .plotPixel = NoPlotPixel,
      .putPixel = NoPutPixel,
      .getPixel = NoGetPixel,
      .setPalette = NoSetPalette,
      .getPalette = NoGetPalette,
      .line = GenericLine,
      .drawEllipse = GenericDrawEllipse,
      .fillRow = GenericFillRow,
      .horizontalLine = GenericHorizontalLine,
      .verticalLine = GenericVerticalLine,
      .clearWindow = GenericClearWindow,
      .openMode = nullptr,
      .circle = LayerCircle,
      .outTextXY = LayerOutTextXY,
  };
}

void ResetDevice() { Device = DefaultDevice(); }

// Supplied entries replace the defaults; the circle is always the layer's own.
void TakeDeviceEntries(const GraphDevice& from) {
  const auto take = [&](auto entry) {
    if (from.*entry != nullptr) Device.*entry = from.*entry;
  };
  std::apply([&](auto... entries) { (take(entries), ...); },
             std::tuple{&GraphDevice::plotPixel, &GraphDevice::putPixel, &GraphDevice::getPixel,
                        &GraphDevice::setPalette, &GraphDevice::getPalette, &GraphDevice::line,
                        &GraphDevice::drawEllipse, &GraphDevice::fillRow,
                        &GraphDevice::horizontalLine, &GraphDevice::verticalLine,
                        &GraphDevice::clearWindow, &GraphDevice::openMode,
                        &GraphDevice::outTextXY});
}

bool HasRequiredEntries(const GraphDevice& d) {
  return d.putPixel != nullptr && d.plotPixel != nullptr && d.getPixel != nullptr &&
         d.setPalette != nullptr && d.getPalette != nullptr;
}

ClassList* ClassOf(int16_t colourClass) {
  if (colourClass < kFirstClass || colourClass > kLastClass) return nullptr;
  return &Classes[static_cast<size_t>(colourClass - kFirstClass)];
}

// A class driver names its mode by position in the class list; any other
// driver by the driver and mode numbers the device registered.
const DisplayMode* FindMode(int16_t driver, int16_t mode) {
  if (const ClassList* list = ClassOf(driver)) {
    for (const DisplayMode& m : list->modes) {
      if (m.number == mode) return &m;
    }
    return nullptr;
  }
  for (const DisplayMode& m : AllModeList) {
    if (m.driver == driver && m.mode == mode) return &m;
  }
  return nullptr;
}

void SetStartupState() {
  Graph = GraphState{};
  Graph.fillColour = static_cast<uint16_t>(MaxColor - 1);
  Graph.viewport = Viewport{0, 0, static_cast<int16_t>(MaxX), static_cast<int16_t>(MaxY), true};
  Graph.active = true;
}

void StartMode(int16_t driver, int16_t mode) {
  const DisplayMode* found = FindMode(driver, mode);
  if (found == nullptr) {
    Graph.lastError = InvalidModeError;
    return;
  }
  ResetDevice();
  if (!HasRequiredEntries(found->device)) {
    Graph.lastError = InvalidModeError;
    return;
  }
  TakeDeviceEntries(found->device);
  MaxX = found->maxX;
  MaxY = found->maxY;
  Graph.xAspect = found->xAspect;
  Graph.yAspect = found->yAspect;
  MaxColor = found->colours;
  PaletteSize = found->paletteSize;
  DirectColour = found->directColour;
  if (Device.openMode != nullptr) Device.openMode();
  if (Graph.lastError != 0) {
    ResetDevice();
    return;
  }
  SetStartupState();
  const auto& black = DefaultPalette[Black];
  Device.setPalette(Black, black[0], black[1], black[2]);
  // Opening a window takes tens of milliseconds (a new X connection and GL
  // context); the first frame drawn in it must not count them as its own.
  RestartPace();
}

// ---- the layer's own circle and text, never taken over from a device ----

void LayerCircle(int16_t x, int16_t y, uint16_t radius) {
  if (radius == 0) return;
  if (radius == 1) {
    Device.plotPixel(x, y, Graph.colour);
    return;
  }
  // A zero y aspect would divide by zero; such a mode gets round circles.
  const uint32_t ry = Graph.yAspect == 0
                          ? radius
                          : static_cast<uint32_t>(radius) * Graph.xAspect / Graph.yAspect;
  const uint16_t savedMode = Graph.writeMode;
  if (Graph.thickness == 1) Graph.writeMode = CopyPut;
  Device.drawEllipse(x, y, radius, static_cast<uint16_t>(ry), 0, 360, nullptr);
  Graph.writeMode = savedMode;
}

void LayerOutTextXY(int16_t x, int16_t y, std::string_view text) {
  if (text.size() > 255) text = text.substr(0, 255);
  const uint16_t savedMode = Graph.writeMode;
  Graph.writeMode = CopyPut;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto& glyph = Font8x8[static_cast<uint8_t>(text[i])];
    const int32_t left = x + 8 * static_cast<int32_t>(i);
    for (int32_t r = 0; r < 8; ++r) {
      for (int32_t c = 0; c < 8; ++c) {
        if (glyph[static_cast<size_t>(r)] & (0x80u >> c)) {
          Device.plotPixel(Wrap16(left + c), Wrap16(y + r), Graph.colour);
        }
      }
    }
  }
  Graph.writeMode = savedMode;
}

}  // namespace

// Constant-initialised, so drawing before any InitGraph meets the exits even
// from another file's static initialisation.
GraphDevice Device = DefaultDevice();

// ---- mode registry ----

int16_t ColourClass(int32_t colours) {
  switch (colours) {
    case 2: return 11;
    case 4: return 12;
    case 16: return 13;
    case 64: return 14;
    case 256: return 15;
    case 4096: return 16;
    case 32768: return 17;
    case 65536: return 18;
    default: return 0;
  }
}

void RegisterMode(const DisplayMode& mode) {
  AllModeList.push_back(mode);
  ClassList* list = ClassOf(ColourClass(mode.colours));
  if (list == nullptr) return;
  auto& modes = list->modes;
  auto at = modes.begin();
  while (at != modes.end() &&
         (at->maxX < mode.maxX || (at->maxX == mode.maxX && at->maxY < mode.maxY))) {
    ++at;
  }
  if (at != modes.end() && at->maxX == mode.maxX && at->maxY == mode.maxY) {
    *at = mode;
  } else {
    modes.insert(at, mode);
  }
  for (size_t i = 0; i < modes.size(); ++i) modes[i].number = static_cast<int16_t>(i + 1);
  list->lowest = 1;
  list->highest = static_cast<int16_t>(modes.size());
}

void ClearModes() {
  AllModeList.clear();
  for (ClassList& list : Classes) list = ClassList{};
}

const std::vector<DisplayMode>& AllModes() { return AllModeList; }

const std::vector<DisplayMode>& ClassModes(int16_t colourClass) {
  static const std::vector<DisplayMode> kNone;
  const ClassList* list = ClassOf(colourClass);
  return list == nullptr ? kNone : list->modes;
}

// ---- start-up ----

void InitGraph(int16_t& driver, int16_t& mode, std::string_view path) {
  ResetDevice();
  MaxX = MaxY = 0;
  MaxColor = PaletteSize = 0;
  Graph.active = false;
  GraphPath.assign(path.substr(0, 255));
  if (!GraphPath.empty() && GraphPath.back() != '/') GraphPath += '/';

  if (driver == 0 || mode == 30000) {
    int16_t chosen = 0;
    for (int16_t c = kFirstClass; c <= kLastClass; ++c) {
      if (!ClassOf(c)->modes.empty()) chosen = c;
    }
    if (chosen == 0) {
      Graph.lastError = NotDetectedError;
      return;
    }
    driver = chosen;
    mode = ClassOf(chosen)->highest;
    Graph.lastError = 0;
  } else {
    if (FindMode(driver, mode) == nullptr) {
      Graph.lastError = InvalidModeError;
      return;
    }
    // An unread error of an earlier call must not make this start-up fail.
    Graph.lastError = 0;
  }
  StartMode(driver, mode);
}

int16_t GraphResult() {
  const int16_t code = Graph.lastError;
  Graph.lastError = 0;
  return code;
}

std::string GraphErrorMsg(int16_t code) {
  switch (code) {
    case -1: return "Graphics driver not installed";
    case -2: return "Graphics hardware not detected";
    case -5:
    case -6:
    case -7: return "Not enough memory for graphics";
    case -8: return "Font file not found";
    case -9: return "Not enough memory to load font";
    case -10: return "Invalid graphics mode";
    case -11: return "Graphics error";
    case -12: return "Graphics I/O error";
    case -13:
    case -14: return "Invalid font";
    case -18: return "Invalid driver version";
    default: return "";
  }
}

int16_t GetMaxX() { return static_cast<int16_t>(MaxX); }
int16_t GetMaxY() { return static_cast<int16_t>(MaxY); }

// ---- drawing state ----

void SetColor(uint16_t colour) { Graph.colour = colour; }

// Hatch patterns 2..11, one byte per row, bit 7 leftmost; 0, 1 and 12 are
// handled by rule (empty, solid, the user's pattern). The only copy: the
// window device fills by these rows too, so every device shows one hatch.
namespace {

constexpr std::array<std::array<uint8_t, 8>, 10> kHatches{{
    {0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00},  // 2 horizontal lines
    {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},  // 3 thin slashes
    {0x03, 0x06, 0x0C, 0x18, 0x30, 0x60, 0xC0, 0x81},  // 4 thick slashes
    {0xC0, 0x60, 0x30, 0x18, 0x0C, 0x06, 0x03, 0x81},  // 5 thick backslashes
    {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01},  // 6 thin backslashes
    {0xFF, 0x88, 0x88, 0x88, 0xFF, 0x88, 0x88, 0x88},  // 7 square grid
    {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81},  // 8 diagonal cross
    {0xF0, 0x0F, 0xF0, 0x0F, 0xF0, 0x0F, 0xF0, 0x0F},  // 9 interleaved bricks
    {0x80, 0x00, 0x08, 0x00, 0x80, 0x00, 0x08, 0x00},  // 10 sparse dots
    {0x88, 0x00, 0x22, 0x00, 0x88, 0x00, 0x22, 0x00},  // 11 dense dots
}};

}  // namespace

uint8_t FillPatternRow(uint16_t pattern, int32_t y) {
  const auto row = static_cast<size_t>(y & 7);
  if (pattern == 0) return 0x00;
  if (pattern == 1) return 0xFF;
  if (pattern == 12) return Graph.userFill[row];
  if (pattern < 12) return kHatches[pattern - 2u][row];
  return 0x00;
}

void SetFillStyle(uint16_t pattern, uint16_t colour) {
  if (pattern > 12 || colour > static_cast<uint32_t>(MaxColor - 1)) {
    Graph.lastError = GraphicsError;
    return;
  }
  Graph.fillPattern = pattern;
  Graph.fillColour = colour;
}

void SetLineStyle(uint16_t style, uint16_t pattern, uint16_t thickness) {
  if (style > 4 || (thickness != 1 && thickness != 3)) {
    Graph.lastError = GraphicsError;
    return;
  }
  // Devices draw by Graph.linePattern, never by the style number.
  static constexpr std::array<uint16_t, 4> kPatterns{SolidLine, 0xCCCC, 0xFC78, 0xF8F8};
  Graph.thickness = thickness;
  Graph.lineStyle = style;
  Graph.linePattern = style == 4 ? pattern : kPatterns[style];
}

// ---- drawing ----

void ClearDevice() {
  Graph.curX = Graph.curY = 0;
  const Viewport saved = Graph.viewport;
  Graph.viewport = Viewport{0, 0, static_cast<int16_t>(MaxX), static_cast<int16_t>(MaxY), true};
  Device.clearWindow();
  Graph.viewport = saved;
}

void Line(int16_t x1, int16_t y1, int16_t x2, int16_t y2) { Device.line(x1, y1, x2, y2); }

// No corner pixel twice, so an xor rectangle leaves no holes at its corners.
void Rectangle(int16_t x1, int16_t y1, int16_t x2, int16_t y2) {
  Line(x1, y1, Wrap16(x2 - 1), y1);
  Line(x1, Wrap16(y1 + 1), x1, y2);
  Line(x2, y1, x2, Wrap16(y2 - 1));
  Line(Wrap16(x1 + 1), y2, x2, y2);
}

void Bar(int16_t x1, int16_t y1, int16_t x2, int16_t y2) {
  const GraphState saved = Graph;
  if (y1 > y2) std::swap(y1, y2);
  Graph.writeMode = CopyPut;
  Graph.lineStyle = 0;
  Graph.linePattern = SolidLine;
  Graph.thickness = 1;
  Graph.colour = Graph.fillPattern == 0 ? Graph.background : Graph.fillColour;
  const bool plain = Graph.fillPattern <= 1;
  for (int32_t y = y1; y <= y2; ++y) {
    if (plain) {
      Device.horizontalLine(x1, x2, Wrap16(y));
    } else {
      Device.fillRow(x1, x2, Wrap16(y));
    }
  }
  Graph.colour = saved.colour;
  Graph.lineStyle = saved.lineStyle;
  Graph.linePattern = saved.linePattern;
  Graph.thickness = saved.thickness;
  Graph.writeMode = saved.writeMode;
}

void Circle(int16_t x, int16_t y, uint16_t radius) { Device.circle(x, y, radius); }

void LayerFillRow(int16_t x1, int16_t x2, int16_t y) { Device.fillRow(x1, x2, y); }

void FillEllipse(int16_t x, int16_t y, uint16_t rx, uint16_t ry) {
  Device.drawEllipse(x, y, rx, ry, 0, 360, LayerFillRow);
}

void OutTextXY(int16_t x, int16_t y, std::string_view text) { Device.outTextXY(x, y, text); }

void CloseGraph() {
  if (CloseHandler != nullptr) CloseHandler();
}

void SetCloseGraphHandler(void (*handler)()) { CloseHandler = handler; }
