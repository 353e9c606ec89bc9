// The drawing interface the game calls: drawing state, display modes and
// their detection, InitGraph..OutTextXY, all drawing through a table of device
// operations that the chosen mode supplies. Knows no window system.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The row-fill operation handed to DrawEllipse as its fill request.
using FillRowFn = void (*)(int16_t x1, int16_t x2, int16_t y);

// Last-error codes the layer and its devices set (GraphErrorMsg has all).
inline constexpr int16_t NotDetectedError = -2;  // detection found no mode
inline constexpr int16_t InvalidModeError = -10;
inline constexpr int16_t GraphicsError = -11;
// Write mode 0, the one the layer draws bars, circles and text in.
inline constexpr uint16_t CopyPut = 0;

// The on/off pattern of a solid line, every pixel on.
inline constexpr uint16_t SolidLine = 0xFFFF;

struct GraphDevice {
  void (*plotPixel)(int16_t x, int16_t y, uint16_t colour) = nullptr;
  void (*putPixel)(int16_t x, int16_t y) = nullptr;  // current colour and write mode
  uint16_t (*getPixel)(int16_t x, int16_t y) = nullptr;
  void (*setPalette)(uint16_t index, uint16_t r, uint16_t g, uint16_t b) = nullptr;
  void (*getPalette)(uint16_t index, uint16_t& r, uint16_t& g, uint16_t& b) = nullptr;
  void (*line)(int16_t x1, int16_t y1, int16_t x2, int16_t y2) = nullptr;
  void (*drawEllipse)(int16_t x, int16_t y, uint16_t rx, uint16_t ry, int16_t start,
                      int16_t end, FillRowFn fill) = nullptr;
  void (*fillRow)(int16_t x1, int16_t x2, int16_t y) = nullptr;
  void (*horizontalLine)(int16_t x1, int16_t x2, int16_t y) = nullptr;
  void (*verticalLine)(int16_t x, int16_t y1, int16_t y2) = nullptr;
  void (*clearWindow)() = nullptr;
  void (*openMode)() = nullptr;
  void (*circle)(int16_t x, int16_t y, uint16_t radius) = nullptr;
  void (*outTextXY)(int16_t x, int16_t y, std::string_view text) = nullptr;
};

struct DisplayMode {
  int16_t driver = 0;
  int16_t mode = 0;
  int16_t number = 0;  // number in its colour-class list
  int32_t colours = 0;
  int32_t paletteSize = 0;
  uint16_t xAspect = 10000;
  uint16_t yAspect = 10000;
  uint16_t maxX = 0;
  uint16_t maxY = 0;
  uint8_t directColour = 0;
  uint8_t pages = 0;
  std::string name;
  GraphDevice device;  // entries the mode supplies; null ones keep the default
};

struct Viewport {
  int16_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  bool clip = true;
};

// The sixteen standard colours, entries 0..15 of every palette. The game
// draws in White and erases in Black, the background.
inline constexpr uint16_t Black = 0, Blue = 1, Green = 2, Cyan = 3, Red = 4, Magenta = 5,
                          Brown = 6, LightGray = 7, DarkGray = 8, LightBlue = 9,
                          LightGreen = 10, LightCyan = 11, LightRed = 12, LightMagenta = 13,
                          Yellow = 14, White = 15;

struct GraphState {
  uint16_t colour = White;
  uint16_t background = Black;
  uint16_t fillPattern = 1;
  uint16_t fillColour = 255;
  std::array<uint8_t, 8> userFill{255, 255, 255, 255, 255, 255, 255, 255};
  uint16_t lineStyle = 0;
  uint16_t linePattern = SolidLine;  // what devices draw by
  uint16_t thickness = 1;
  uint16_t writeMode = 0;
  Viewport viewport;
  int16_t curX = 0, curY = 0;
  uint16_t font = 0, direction = 0, charSize = 1, horizJustify = 0, vertJustify = 2;
  uint16_t xAspect = 10000, yAspect = 10000;
  int16_t lastError = 0;
  bool active = false;
};

// Drawing state and device table of the layer; devices read them.
extern GraphState Graph;
extern GraphDevice Device;
// Values of the started mode.
extern uint16_t MaxX, MaxY;
extern int32_t MaxColor;
extern int32_t PaletteSize;

// Standard VGA start-up palette, components 0..252.
extern const std::array<std::array<uint16_t, 3>, 256> DefaultPalette;
// 8x8 code-page-437 font, one bit per pixel, bit 7 is the leftmost column.
extern const std::array<std::array<uint8_t, 8>, 256> Font8x8;

// Mode registry: a device registers its modes at program start.
void RegisterMode(const DisplayMode& mode);
void ClearModes();  // tests only need it to start from an empty registry
// Colour class of a colour count (2 -> 11 .. 65536 -> 18), 0 for none.
int16_t ColourClass(int32_t colours);
// Every registered mode in registration order, and one class's list sorted by
// width then height and numbered 1..n (empty for a class without modes).
const std::vector<DisplayMode>& AllModes();
const std::vector<DisplayMode>& ClassModes(int16_t colourClass);
// Font folder given to InitGraph, "/"-terminated when not empty; no font file
// is ever read from it.
extern std::string GraphPath;
// Direct-colour flag of the started mode.
extern uint8_t DirectColour;
// Row y (taken mod 8) of a fill pattern, bit 7 the leftmost of every eight
// columns: 0 empty, 1 solid, 2..11 the hatches, 12 the user's pattern, none
// beyond. Every device fills by these rows.
uint8_t FillPatternRow(uint16_t pattern, int32_t y);
// The layer's row-fill operation: FillEllipse hands it to DrawEllipse as its
// fill request; it fills through the device's FillRow entry.
void LayerFillRow(int16_t x1, int16_t x2, int16_t y);

void InitGraph(int16_t& driver, int16_t& mode, std::string_view path);
int16_t GraphResult();
std::string GraphErrorMsg(int16_t code);
int16_t GetMaxX();
int16_t GetMaxY();
void ClearDevice();
void SetColor(uint16_t colour);
void SetFillStyle(uint16_t pattern, uint16_t colour);
void SetLineStyle(uint16_t style, uint16_t pattern, uint16_t thickness);
void Line(int16_t x1, int16_t y1, int16_t x2, int16_t y2);
void Rectangle(int16_t x1, int16_t y1, int16_t x2, int16_t y2);
void Bar(int16_t x1, int16_t y1, int16_t x2, int16_t y2);
void Circle(int16_t x, int16_t y, uint16_t radius);
void FillEllipse(int16_t x, int16_t y, uint16_t rx, uint16_t ry);
void OutTextXY(int16_t x, int16_t y, std::string_view text);
// Supplied by the window device; does nothing when no window is open.
void CloseGraph();
// The device that implements CloseGraph registers it here.
void SetCloseGraphHandler(void (*handler)());
