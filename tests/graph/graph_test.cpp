// Tests of the drawing layer: primitives on the recording device, drawing
// state checks, the mode registry and detection, InitGraph failures and the
// not-in-graphics-mode exit.
#include "graph/graph.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "console/console.hpp"
#include "tests/support/recording.hpp"

namespace {

using Lines = std::vector<std::string>;
using Calls = std::vector<rec::Call>;
using rec::LineCall;

// ---- a probe device: only the required entries, each call logged ----

Lines Probe;
int16_t ProbeOpenError = 0;

void ProbePlot(int16_t x, int16_t y, uint16_t c) {
  Probe.push_back("P " + std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(c));
}
void ProbePut(int16_t, int16_t) {}
uint16_t ProbeGet(int16_t, int16_t) { return 0; }
void ProbeSetPalette(uint16_t i, uint16_t r, uint16_t g, uint16_t b) {
  Probe.push_back("SetPalette " + std::to_string(i) + " " + std::to_string(r) + "," +
                  std::to_string(g) + "," + std::to_string(b));
}
void ProbeGetPalette(uint16_t, uint16_t&, uint16_t&, uint16_t&) {}
void ProbeOpen() {
  Probe.push_back("Open");
  if (ProbeOpenError != 0) Graph.lastError = ProbeOpenError;
}
void ProbeCircle(int16_t, int16_t, uint16_t) { Probe.push_back("DeviceCircle"); }

DisplayMode ProbeMode(int16_t driver, int16_t mode, int32_t colours, uint16_t maxX,
                      uint16_t maxY, std::string name = "") {
  DisplayMode m;
  m.driver = driver;
  m.mode = mode;
  m.colours = colours;
  m.paletteSize = colours;
  m.maxX = maxX;
  m.maxY = maxY;
  m.name = std::move(name);
  m.device = GraphDevice{.plotPixel = ProbePlot, .putPixel = ProbePut, .getPixel = ProbeGet,
                         .setPalette = ProbeSetPalette, .getPalette = ProbeGetPalette,
                         .openMode = ProbeOpen, .circle = ProbeCircle};
  return m;
}

// Starts a probe mode of the given size as the only registered mode.
void StartProbe(uint16_t maxX, uint16_t maxY) {
  CloseGraph();
  ClearModes();
  RegisterMode(ProbeMode(10, 1, 256, maxX, maxY));
  ProbeOpenError = 0;
  int16_t driver = 0, mode = 30000;
  InitGraph(driver, mode, "");
  ASSERT_EQ(GraphResult(), 0);
  Probe.clear();
}

class RecordingTest : public ::testing::Test {
 protected:
  void SetUp() override { rec::Start(); }
  void TearDown() override { rec::Stop(); }
};

// ---- outlines ----

TEST_F(RecordingTest, RectangleDrawsFourLinesWithoutRepeatingACorner) {
  Rectangle(10, 10, 20, 20);
  EXPECT_EQ(rec::Calls(), (Calls{LineCall(10, 10, 19, 10, 15), LineCall(10, 11, 10, 20, 15),
                                 LineCall(20, 10, 20, 19, 15), LineCall(11, 20, 20, 20, 15)}));
}

TEST_F(RecordingTest, CircleByRadius) {
  Circle(100, 50, 0);
  EXPECT_EQ(rec::Calls(), Calls{});
  SetColor(4);
  Circle(100, 50, 1);
  Circle(100, 50, 2);
  EXPECT_EQ(rec::Calls(), (Calls{rec::PixelCall(100, 50, 4), rec::CircleCall(100, 50, 2, 4)}));
}

TEST_F(RecordingTest, CircleYRadiusFollowsTheAspectInIntegers) {
  struct Case { uint16_t xAspect, yAspect, radius, ry; };
  const Case cases[] = {
      {10000, 10000, 7, 7}, {4500, 10000, 100, 45},
      {8333, 10000, 3, 2},  // 2.4999 truncated
      {10000, 5000, 40, 80},
  };
  for (const Case& c : cases) {
    rec::Clear();
    Graph.xAspect = c.xAspect;
    Graph.yAspect = c.yAspect;
    Circle(0, 0, c.radius);
    const rec::Call ellipse{.op = rec::Op::Circle, .c = c.radius, .d = c.ry, .colour = 15};
    EXPECT_EQ(rec::Calls(), Calls{ellipse}) << c.xAspect << "/" << c.yAspect;
  }
}

uint16_t ModeSeen = 99;
void CaptureEllipseMode(int16_t, int16_t, uint16_t, uint16_t, int16_t, int16_t, FillRowFn) {
  ModeSeen = Graph.writeMode;
}

TEST_F(RecordingTest, CircleDrawsInCopyModeOnlyWhenThin) {
  Device.drawEllipse = CaptureEllipseMode;
  Graph.writeMode = 1;
  Circle(5, 5, 9);
  EXPECT_EQ(ModeSeen, 0);
  EXPECT_EQ(Graph.writeMode, 1);
  SetLineStyle(0, 0, 3);
  Circle(5, 5, 9);
  EXPECT_EQ(ModeSeen, 1);
}

TEST_F(RecordingTest, FillEllipsePassesTheRowFillAndTheFillStyle) {
  SetFillStyle(0, 15);
  SetColor(14);
  FillEllipse(320, 240, 30, 12);
  const rec::Call disc{.op = rec::Op::Disc, .a = 320, .b = 240, .c = 30, .d = 12, .colour = 14,
                       .pattern = 0, .fill = 15};
  EXPECT_EQ(rec::Calls(), Calls{disc});
}

// ---- bars ----

TEST_F(RecordingTest, BarFillsRowsInOrderWhateverTheYOrderAndKeepsTheXOrder) {
  Bar(5, 30, 8, 28);
  const Calls swapped = rec::Calls();
  rec::Clear();
  Bar(5, 28, 8, 30);
  Calls expected;
  rec::AddBar(expected, 5, 28, 8, 30, 255);
  EXPECT_EQ(rec::Calls(), expected);
  EXPECT_EQ(swapped, expected);
  rec::Clear();
  Bar(8, 3, 5, 3);
  EXPECT_EQ(rec::Calls(), Calls{LineCall(8, 3, 5, 3, 255)});
}

GraphState StateSeen;
void CaptureRow(int16_t, int16_t, int16_t) { StateSeen = Graph; }

// Rows are solid thin lines in copy mode; the caller's state comes back.
TEST_F(RecordingTest, BarWithEmptyPatternPaintsBackgroundAndRestoresTheState) {
  SetFillStyle(0, 15);
  SetColor(14);
  SetLineStyle(4, 0x1234, 3);
  Graph.writeMode = 1;
  Bar(0, 0, 3, 1);
  EXPECT_EQ(rec::Calls(), (Calls{LineCall(0, 0, 3, 0, 0), LineCall(0, 1, 3, 1, 0)}));
  EXPECT_EQ(Graph.colour, 14);
  EXPECT_EQ(Graph.lineStyle, 4);
  EXPECT_EQ(Graph.linePattern, 0x1234);
  EXPECT_EQ(Graph.thickness, 3);
  EXPECT_EQ(Graph.writeMode, 1);
  Device.horizontalLine = CaptureRow;
  Bar(0, 0, 1, 0);
  EXPECT_EQ(StateSeen.writeMode, 0);
  EXPECT_EQ(StateSeen.lineStyle, 0);
  EXPECT_EQ(StateSeen.linePattern, 0xFFFF);
  EXPECT_EQ(StateSeen.thickness, 1);
}

TEST_F(RecordingTest, BarWithHatchPatternUsesFillRow) {
  SetFillStyle(2, 4);
  Bar(1, 7, 3, 8);
  SetFillStyle(12, 9);
  Bar(1, 7, 3, 7);
  const auto row = [](int y, int pattern, int fill) {
    return rec::Call{.op = rec::Op::FillRow, .a = 1, .b = 3, .c = y, .pattern = pattern,
                     .fill = fill};
  };
  EXPECT_EQ(rec::Calls(), (Calls{row(7, 2, 4), row(8, 2, 4), row(7, 12, 9)}));
}

// ---- text ----

TEST_F(RecordingTest, OutTextStaysInsideItsCellsAndTakesAtMost255Bytes) {
  OutTextXY(10, 20, "f - ");
  ASSERT_FALSE(rec::Calls().empty());
  for (const rec::Call& call : rec::Calls()) {
    EXPECT_EQ(call.op, rec::Op::Pixel) << call;
    EXPECT_TRUE(call.a >= 10 && call.a <= 41 && call.b >= 20 && call.b <= 27) << call;
    EXPECT_EQ(call.colour, 15);
  }
  rec::Clear();
  OutTextXY(0, 0, std::string(300, '#'));
  for (const rec::Call& call : rec::Calls()) ASSERT_LT(call.a, 255 * 8) << call;
}

TEST_F(RecordingTest, OutTextDrawsBytesNotUtf8Characters) {
  SetColor(2);
  OutTextXY(-3, 7, "\xD0\xAF#");  // one Cyrillic letter in UTF-8: two glyphs
  Calls expected;
  rec::AddText(expected, -3, 7, "\xD0", 2);
  rec::AddText(expected, 5, 7, "\xAF", 2);
  rec::AddText(expected, 13, 7, "#", 2);
  EXPECT_EQ(rec::Calls(), expected);
}

uint16_t PixelModeSeen = 99;
void CapturePixelMode(int16_t, int16_t, uint16_t) { PixelModeSeen = Graph.writeMode; }

TEST_F(RecordingTest, OutTextUsesCopyModeAndKeepsThePosition) {
  Device.plotPixel = CapturePixelMode;
  Graph.writeMode = 1;
  Graph.curX = 3;
  OutTextXY(0, 0, "A");
  EXPECT_EQ(PixelModeSeen, 0);
  EXPECT_EQ(Graph.writeMode, 1);
  EXPECT_EQ(Graph.curX, 3);
}

// ---- clearing ----

TEST_F(RecordingTest, ClearDeviceClearsTheWholeWindowAndKeepsTheViewport) {
  Graph.curX = 5;
  Graph.curY = 6;
  Graph.viewport = Viewport{1, 2, 3, 4, false};
  ClearDevice();
  EXPECT_EQ(rec::Calls(), Calls{{.op = rec::Op::Clear}});
  EXPECT_EQ(Graph.curX, 0);
  EXPECT_EQ(Graph.curY, 0);
  EXPECT_EQ(Graph.viewport.x2, 3);
  EXPECT_FALSE(Graph.viewport.clip);
}

// ---- style arguments ----

TEST_F(RecordingTest, SetLineStyleRefusesAndTakes) {
  struct Case { uint16_t style, pattern, thickness; int16_t error; uint16_t linePattern; };
  const Case cases[] = {
      {0, 0, 0, -11, 0xFFFF},  {0, 0, 2, -11, 0xFFFF},     {5, 0, 1, -11, 0xFFFF},
      {65535, 0, 1, -11, 0xFFFF}, {0, 0x1234, 1, 0, 0xFFFF}, {1, 0, 3, 0, 0xCCCC},
      {2, 0, 1, 0, 0xFC78},    {3, 0, 1, 0, 0xF8F8},       {4, 0x1234, 1, 0, 0x1234},
  };
  for (const Case& c : cases) {
    SetLineStyle(0, 0, 1);
    SetLineStyle(c.style, c.pattern, c.thickness);
    EXPECT_EQ(GraphResult(), c.error) << c.style << "," << c.thickness;
    EXPECT_EQ(GraphResult(), 0);
    EXPECT_EQ(Graph.linePattern, c.linePattern) << c.style;
    EXPECT_EQ(Graph.lineStyle, c.error ? 0 : c.style);
    EXPECT_EQ(Graph.thickness, c.error ? 1 : c.thickness);
  }
}

TEST_F(RecordingTest, SetFillStyleRefusesAndTakes) {
  struct Case { uint16_t pattern, colour; int16_t error; };
  const Case cases[] = {
      {13, 1, -11}, {65535, 1, -11}, {1, 256, -11}, {1, 65535, -11},
      {12, 255, 0}, {0, 0, 0},       {1, 14, 0},
  };
  for (const Case& c : cases) {
    SetFillStyle(1, 7);
    SetFillStyle(c.pattern, c.colour);
    EXPECT_EQ(GraphResult(), c.error) << c.pattern << "," << c.colour;
    EXPECT_EQ(Graph.fillPattern, c.error ? 1 : c.pattern);
    EXPECT_EQ(Graph.fillColour, c.error ? 7 : c.colour);
  }
}

TEST_F(RecordingTest, SetColorHasNoCheck) {
  SetColor(300);
  EXPECT_EQ(Graph.colour, 300);
  EXPECT_EQ(GraphResult(), 0);
}

// ---- start-up ----

TEST(InitGraph, StartUpSetsEveryStateField) {
  Graph = GraphState{};
  Graph.colour = 3;
  Graph.fillPattern = 5;
  Graph.fillColour = 2;
  Graph.userFill[3] = 0;
  Graph.lineStyle = 4;
  Graph.linePattern = 1;
  Graph.thickness = 3;
  Graph.writeMode = 2;
  Graph.background = 9;
  Graph.viewport = Viewport{4, 4, 5, 5, false};
  Graph.curX = 8;
  Graph.horizJustify = 2;
  Graph.xAspect = 1;
  StartProbe(799, 599);
  EXPECT_TRUE(Graph.active);
  EXPECT_EQ(Graph.colour, 15);
  EXPECT_EQ(Graph.background, 0);
  EXPECT_EQ(Graph.fillPattern, 1);
  EXPECT_EQ(Graph.fillColour, 255);
  EXPECT_EQ(Graph.userFill[3], 255);
  EXPECT_EQ(Graph.lineStyle, 0);
  EXPECT_EQ(Graph.linePattern, 0xFFFF);
  EXPECT_EQ(Graph.thickness, 1);
  EXPECT_EQ(Graph.writeMode, 0);
  EXPECT_EQ(Graph.viewport.x1, 0);
  EXPECT_EQ(Graph.viewport.y1, 0);
  EXPECT_EQ(Graph.viewport.x2, 799);
  EXPECT_EQ(Graph.viewport.y2, 599);
  EXPECT_TRUE(Graph.viewport.clip);
  EXPECT_EQ(Graph.curX, 0);
  EXPECT_EQ(Graph.horizJustify, 0);
  EXPECT_EQ(Graph.vertJustify, 2);
  EXPECT_EQ(Graph.xAspect, 10000);
  EXPECT_EQ(GetMaxX(), 799);
  EXPECT_EQ(GetMaxY(), 599);
  EXPECT_EQ(MaxColor, 256);
}

TEST(InitGraph, OpensTheModeThenWritesPaletteEntryZero) {
  CloseGraph();
  ClearModes();
  RegisterMode(ProbeMode(10, 1, 16, 639, 349));
  Probe.clear();
  int16_t driver = 0, mode = 30000;
  InitGraph(driver, mode, "");
  EXPECT_EQ(Probe, (Lines{"Open", "SetPalette 0 0,0,0"}));
  EXPECT_EQ(Graph.fillColour, 15);
}

TEST(InitGraph, StoresThePathWithATrailingSlash) {
  struct Case { std::string in, stored; };
  const Case cases[] = {{"", ""}, {"/", "/"}, {"fonts", "fonts/"}, {"a/b/", "a/b/"}};
  ClearModes();
  for (const Case& c : cases) {
    int16_t driver = 0, mode = 30000;
    InitGraph(driver, mode, c.in);
    EXPECT_EQ(GraphPath, c.stored) << c.in;
  }
  GraphResult();
}

TEST(InitGraph, DeviceCircleIsNeverTakenOver) {
  StartProbe(99, 99);
  Circle(10, 10, 1);
  EXPECT_EQ(Probe, Lines{"P 10,10 15"});
}

// The window device's mode table, registered where a screen of the given size
// strictly exceeds the mode in both directions.
struct TableMode { int16_t driver, mode; int32_t colours; uint16_t maxX, maxY, xAspect; };
constexpr TableMode kWindowModes[] = {
    {9, 2, 16, 639, 479, 10000},     {9, 0, 16, 639, 199, 4500},
    {9, 1, 16, 639, 349, 7750},      {10, 256, 256, 639, 399, 8333},
    {10, 257, 256, 639, 479, 10000}, {10, 258, 16, 799, 599, 10000},
    {10, 259, 256, 799, 599, 10000}, {10, 260, 16, 1023, 767, 10000},
    {10, 261, 256, 1023, 767, 10000}, {10, 262, 16, 1279, 1023, 10000},
    {10, 263, 256, 1279, 1023, 10000},
};

void RegisterForScreen(int width, int height) {
  CloseGraph();
  ClearModes();
  for (const TableMode& t : kWindowModes) {
    if (width > t.maxX + 1 && height > t.maxY + 1) {
      DisplayMode m = ProbeMode(t.driver, t.mode, t.colours, t.maxX, t.maxY);
      m.xAspect = t.xAspect;
      RegisterMode(m);
    }
  }
}

TEST(Detection, ChoosesTheLargestModeOfTheRichestClass) {
  struct Case { int width, height; int16_t error, driver, mode, maxX, maxY; };
  const Case cases[] = {
      {1920, 1080, 0, 15, 5, 1279, 1023}, {1366, 768, 0, 15, 3, 799, 599},
      {1280, 1024, 0, 15, 4, 1023, 767},  {1024, 768, 0, 15, 3, 799, 599},
      {800, 600, 0, 15, 2, 639, 479},     {641, 401, 0, 15, 1, 639, 399},
      {700, 380, 0, 13, 2, 639, 349},     {641, 201, 0, 13, 1, 639, 199},
      {640, 480, -2, 0, 30000, 0, 0},     {640, 400, -2, 0, 30000, 0, 0},
      {640, 300, -2, 0, 30000, 0, 0},     {600, 400, -2, 0, 30000, 0, 0},
  };
  for (const Case& c : cases) {
    RegisterForScreen(c.width, c.height);
    int16_t driver = 0, mode = 30000;
    InitGraph(driver, mode, "");
    EXPECT_EQ(GraphResult(), c.error) << c.width << "x" << c.height;
    EXPECT_EQ(driver, c.driver) << c.width << "x" << c.height;
    EXPECT_EQ(mode, c.mode) << c.width << "x" << c.height;
    EXPECT_EQ(GetMaxX(), c.maxX) << c.width << "x" << c.height;
    EXPECT_EQ(GetMaxY(), c.maxY) << c.width << "x" << c.height;
    EXPECT_EQ(Graph.active, c.error == 0);
  }
}

TEST(ModeLists, ClassesSortByWidthThenHeightAndRenumber) {
  RegisterForScreen(1920, 1080);
  EXPECT_EQ(AllModes().size(), 11u);
  const auto& sixteen = ClassModes(13);
  const uint16_t widths[] = {639, 639, 639, 799, 1023, 1279};
  const uint16_t heights[] = {199, 349, 479, 599, 767, 1023};
  ASSERT_EQ(sixteen.size(), 6u);
  for (size_t i = 0; i < sixteen.size(); ++i) {
    EXPECT_EQ(sixteen[i].maxX, widths[i]) << i;
    EXPECT_EQ(sixteen[i].maxY, heights[i]) << i;
    EXPECT_EQ(sixteen[i].number, static_cast<int16_t>(i + 1));
  }
  EXPECT_EQ(ClassModes(15).size(), 5u);
  EXPECT_TRUE(ClassModes(14).empty());
}

TEST(ModeLists, SameSizeReplacesWithinItsClass) {
  ClearModes();
  RegisterMode(ProbeMode(1, 1, 256, 799, 599, "first"));
  RegisterMode(ProbeMode(1, 2, 256, 639, 479, "small"));
  RegisterMode(ProbeMode(1, 3, 256, 799, 599, "second"));
  RegisterMode(ProbeMode(1, 4, 16, 799, 599, "other class"));
  const auto& list = ClassModes(15);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].name, "small");
  EXPECT_EQ(list[1].name, "second");
  EXPECT_EQ(list[1].number, 2);
  EXPECT_EQ(AllModes().size(), 4u);
}

TEST(ModeLists, ColourClassByColourCount) {
  const std::pair<int32_t, int16_t> cases[] = {
      {2, 11}, {4, 12}, {16, 13}, {64, 14}, {256, 15}, {4096, 16}, {32768, 17}, {65536, 18},
      {0, 0},  {3, 0},  {255, 0}, {257, 0}, {16777216, 0},
  };
  for (const auto& [colours, cls] : cases) EXPECT_EQ(ColourClass(colours), cls) << colours;
}

TEST(ModeLists, ModesOfNoClassAreNeverDetected) {
  ClearModes();
  RegisterMode(ProbeMode(1, 1, 16777216, 799, 599));
  int16_t driver = 0, mode = 30000;
  InitGraph(driver, mode, "");
  EXPECT_EQ(GraphResult(), -2);
}

// ---- failed start-ups leave the defaults ----

TEST(InitGraph, ExplicitModesAreLookedUp) {
  RegisterForScreen(1920, 1080);
  struct Case { int16_t driver, mode, error; uint16_t maxX; };
  const Case cases[] = {
      {10, 261, 0, 1023}, {9, 1, 0, 639}, {13, 4, 0, 799},  // class driver: list number
      {10, 264, -10, 0},  {13, 7, -10, 0}, {14, 1, -10, 0},
  };
  for (const Case& c : cases) {
    CloseGraph();
    Graph.lastError = -11;  // an unread earlier error must not spoil the start-up
    int16_t driver = c.driver, mode = c.mode;
    InitGraph(driver, mode, "");
    EXPECT_EQ(GraphResult(), c.error) << c.driver << "/" << c.mode;
    EXPECT_EQ(GetMaxX(), c.maxX) << c.driver << "/" << c.mode;
    EXPECT_EQ(driver, c.driver);
  }
}

bool TableHoldsDefaults() {
  return Device.plotPixel != ProbePlot && Device.setPalette != ProbeSetPalette &&
         Device.openMode == nullptr;
}

TEST(InitGraph, FailedOpenLeavesTheDefaults) {
  ClearModes();
  RegisterMode(ProbeMode(10, 1, 256, 639, 479));
  ProbeOpenError = -11;
  Probe.clear();
  int16_t driver = 0, mode = 30000;
  InitGraph(driver, mode, "");
  ProbeOpenError = 0;
  EXPECT_EQ(GraphResult(), -11);
  EXPECT_EQ(Probe, Lines{"Open"});  // no palette write after the failure
  EXPECT_TRUE(TableHoldsDefaults());
  EXPECT_FALSE(Graph.active);
}

TEST(InitGraph, MissingRequiredEntryIsAnInvalidMode) {
  for (int missing = 0; missing < 5; ++missing) {
    DisplayMode m = ProbeMode(10, 1, 256, 639, 479);
    switch (missing) {
      case 0: m.device.plotPixel = nullptr; break;
      case 1: m.device.putPixel = nullptr; break;
      case 2: m.device.getPixel = nullptr; break;
      case 3: m.device.setPalette = nullptr; break;
      default: m.device.getPalette = nullptr; break;
    }
    ClearModes();
    RegisterMode(m);
    Probe.clear();
    int16_t driver = 0, mode = 30000;
    InitGraph(driver, mode, "");
    EXPECT_EQ(GraphResult(), -10) << missing;
    EXPECT_EQ(Probe, Lines{}) << missing;  // never opened
    EXPECT_TRUE(TableHoldsDefaults()) << missing;
  }
}

TEST(RecordingDevice, SecondInitGraphWhileOpenFails) {
  rec::Start();
  int16_t driver = 0, mode = 30000;
  InitGraph(driver, mode, "");
  EXPECT_EQ(GraphResult(), -11);
  EXPECT_TRUE(TableHoldsDefaults());
  rec::Stop();
}

// ---- the generic entries draw through PlotPixel ----

TEST(GenericEntries, LinesFollowBresenhamAndTheLinePattern) {
  StartProbe(99, 99);
  Line(0, 0, 3, 1);
  EXPECT_EQ(Probe, (Lines{"P 0,0 15", "P 1,0 15", "P 2,1 15", "P 3,1 15"}));
  Probe.clear();
  SetLineStyle(1, 0, 1);  // 0xCCCC: two on, two off
  Line(0, 5, 6, 5);
  EXPECT_EQ(Probe, (Lines{"P 0,5 15", "P 1,5 15", "P 4,5 15", "P 5,5 15"}));
}

TEST(GenericEntries, ClearWindowPaintsEveryPixelInColourZero) {
  StartProbe(2, 1);
  ClearDevice();
  EXPECT_EQ(Probe, (Lines{"P 0,0 0", "P 1,0 0", "P 2,0 0", "P 0,1 0", "P 1,1 0", "P 2,1 0"}));
}

// ---- drawing with no mode ends the program ----

constexpr char kNotInGraphicsMode[] =
    "^Error: Not in graphics mode \\(use InitGraph and test GraphResult afterwards\\)\n$";

void FailInitGraph() {
  CloseGraph();
  ClearModes();
  int16_t driver = 0, mode = 30000;
  InitGraph(driver, mode, "");
}

TEST(NotInGraphicsMode, EveryPixelPathExitsWithStatusOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  FailInitGraph();
  EXPECT_EXIT(Line(0, 0, 5, 5), ::testing::ExitedWithCode(1), kNotInGraphicsMode);
  EXPECT_EXIT(OutTextXY(0, 0, "A"), ::testing::ExitedWithCode(1), kNotInGraphicsMode);
  EXPECT_EXIT(Circle(9, 9, 4), ::testing::ExitedWithCode(1), kNotInGraphicsMode);
  EXPECT_EXIT(Bar(0, 0, 1, 1), ::testing::ExitedWithCode(1), kNotInGraphicsMode);
  EXPECT_EXIT(FillEllipse(9, 9, 4, 3), ::testing::ExitedWithCode(1), kNotInGraphicsMode);
  EXPECT_EXIT(ClearDevice(), ::testing::ExitedWithCode(1), kNotInGraphicsMode);
  EXPECT_EXIT(Device.putPixel(0, 0), ::testing::ExitedWithCode(1), kNotInGraphicsMode);
  EXPECT_EXIT(Device.getPixel(0, 0), ::testing::ExitedWithCode(1), kNotInGraphicsMode);
}

TEST(NotInGraphicsMode, AfterAFailedOpenTheNextDrawingExits) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ClearModes();
  RegisterMode(ProbeMode(10, 1, 256, 639, 479));
  ProbeOpenError = -11;
  int16_t driver = 0, mode = 30000;
  InitGraph(driver, mode, "");
  ProbeOpenError = 0;
  EXPECT_EXIT(Rectangle(1, 1, 4, 4), ::testing::ExitedWithCode(1), kNotInGraphicsMode);
}

// ---- error texts ----

TEST(GraphErrorMsg, TextsByCode) {
  const std::pair<int16_t, const char*> cases[] = {
      {0, ""},
      {1, ""},
      {-1, "Graphics driver not installed"},
      {-2, "Graphics hardware not detected"},
      {-3, ""},
      {-4, ""},
      {-5, "Not enough memory for graphics"},
      {-6, "Not enough memory for graphics"},
      {-7, "Not enough memory for graphics"},
      {-8, "Font file not found"},
      {-9, "Not enough memory to load font"},
      {-10, "Invalid graphics mode"},
      {-11, "Graphics error"},
      {-12, "Graphics I/O error"},
      {-13, "Invalid font"},
      {-14, "Invalid font"},
      {-15, ""},
      {-17, ""},
      {-18, "Invalid driver version"},
      {-19, ""},
      {-32768, ""},
  };
  for (const auto& [code, text] : cases) EXPECT_EQ(GraphErrorMsg(code), text) << code;
}

TEST(GraphResult, ReturnsOnceThenZero) {
  Graph.lastError = -12;
  EXPECT_EQ(GraphResult(), -12);
  EXPECT_EQ(GraphResult(), 0);
}

}  // namespace
