// The window device on a private 1920x1080 Xvfb: the window itself, pixels
// read back from the screen for lines, bars, discs and colours, the colour
// cache, presenting, the close/open life cycle and the ways it ends.
// gtest first: Xlib's macros (None, Bool, Status) would break its templates.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dlfcn.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "console/console.hpp"
#include "graph/graph.hpp"
#include "graph/x11_device.hpp"
#include "tests/support/screenshot.hpp"
#include "tests/support/xvfb.hpp"

namespace {

using namespace shot;

void Open() {
  int16_t driver = 0;
  int16_t mode = 30000;
  InitGraph(driver, mode, "");
}

class X11Window : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Death tests re-run the test in a fresh process; GL's threads rule out fork alone.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    server = new xvfb::Server(1920, 1080);
    server->Export();
    LoadGLLibraries();
    ClearModes();
    RegisterX11Modes();
  }
  static void TearDownTestSuite() {
    CloseGraph();
    delete server;
    server = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(server, nullptr) << "no X server";
    Open();
    ASSERT_EQ(GraphResult(), 0);
  }
  void TearDown() override { CloseGraph(); }

  static shot::Image Screen(int x, int y, int width, int height) {
    X11Present();
    return shot::Grab(server->Display(), x, y, width, height);
  }
  static Rgb Pixel(int x, int y) { return Screen(x, y, 1, 1).At(0, 0); }

  static inline xvfb::Server* server = nullptr;
};

struct DisplayCloser {
  void operator()(Display* d) const { XCloseDisplay(d); }
};
using Connection = std::unique_ptr<Display, DisplayCloser>;

// ---- The window ------------------------------------------------------------
TEST_F(X11Window, PlainWindowAtTheOriginInTheModeSize) {
  EXPECT_EQ(GetMaxX(), 1279);
  EXPECT_EQ(GetMaxY(), 1023);
  EXPECT_EQ(ScreenWidth, 1920);
  EXPECT_EQ(ScreenHeight, 1080);
  EXPECT_TRUE(X11WindowOpen());
  EXPECT_EQ(std::string(X11DisplayName()), server->Display());

  Connection other(xvfb::Connect(server->Display()));
  ASSERT_TRUE(other);
  const std::vector<Window> windows = xvfb::TopWindows(other.get());
  ASSERT_EQ(windows.size(), 1u);
  XWindowAttributes a{};
  ASSERT_TRUE(XGetWindowAttributes(other.get(), windows[0], &a));
  EXPECT_EQ(a.x, 0);
  EXPECT_EQ(a.y, 0);
  EXPECT_EQ(a.width, 1280);
  EXPECT_EQ(a.height, 1024);
  EXPECT_EQ(a.border_width, 0);
  EXPECT_EQ(a.map_state, IsViewable);
  EXPECT_EQ(a.all_event_masks, KeyPressMask | KeyReleaseMask | StructureNotifyMask);
  // No title, no size hints, no window-manager protocols: the one property
  // is WM_HINTS, saying the window takes no keyboard input, so that a window
  // manager leaves the focus with the terminal.
  int count = 0;
  Atom* properties = XListProperties(other.get(), windows[0], &count);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(properties[0], XA_WM_HINTS);
  XFree(properties);
  XWMHints* hints = XGetWMHints(other.get(), windows[0]);
  ASSERT_NE(hints, nullptr);
  EXPECT_EQ(hints->flags, InputHint);
  EXPECT_EQ(hints->input, False);
  XFree(hints);
  for (const Rgb& p : Screen(0, 0, 1280, 1024).pixels) ASSERT_EQ(p, kBlack) << "opens black";
}

// ---- Lines and colours ---------------------------------------------------------
TEST_F(X11Window, LineAlongRowZeroLightsTheTopRow) {
  Line(0, 0, GetMaxX(), 0);
  const shot::Image image = Screen(0, 0, 1280, 2);
  for (int x = 0; x < 1280; ++x) {
    ASSERT_TRUE(IsColour(image.At(x, 0), kWhite)) << "x " << x;
    ASSERT_EQ(image.At(x, 1), kBlack) << "x " << x;
  }
}

TEST_F(X11Window, StandardColoursComeOutAsTheirPaletteValues) {
  // White first under every bar, so that colour 0 shows as a black bar.
  SetFillStyle(1, 15);
  Bar(0, 100, 16 * 40, 140);
  for (uint16_t c = 0; c < 16; ++c) {
    SetFillStyle(1, c);
    Bar(static_cast<int16_t>(c * 40 + 5), 105, static_cast<int16_t>(c * 40 + 35), 135);
  }
  const shot::Image image = Screen(0, 100, 16 * 40, 41);
  for (int c = 0; c < 16; ++c) {
    EXPECT_TRUE(IsColour(image.At(c * 40 + 20, 20), kStandard[c])) << "colour " << c;
    EXPECT_TRUE(IsColour(image.At(c * 40 + 2, 20), kWhite)) << "beside colour " << c;
  }
}

TEST_F(X11Window, ColourBeyondThePaletteKeepsThePreviousColour) {
  struct Case {
    uint16_t colour;
    Rgb expected;
  };
  const Case cases[] = {
      {255, kBlack},  // last entry of the 256-colour palette
      {256, kRed},    // first index beyond it: the line stays red
      {300, kRed},
      {65535, kRed},
  };
  for (const Case& c : cases) {
    ClearDevice();
    SetFillStyle(1, 15);
    Bar(0, 600, 300, 620);
    SetColor(4);
    Line(0, 590, 300, 590);
    SetColor(c.colour);
    Line(0, 610, 300, 610);
    EXPECT_TRUE(IsColour(Pixel(150, 610), c.expected)) << "SetColor(" << c.colour << ")";
  }
}

TEST_F(X11Window, NewWindowSendsItsFirstColourEvenWhenTheIndexRepeats) {
  struct Case {
    uint16_t colour;
    Rgb expected;
  };
  // A fresh GL context starts in (1, 1, 1): a stale cache would show 255s.
  for (const Case& c : {Case{15, kWhite}, Case{4, kRed}}) {
    SetColor(c.colour);
    Line(0, 700, 300, 700);
    CloseGraph();
    Open();
    ASSERT_EQ(GraphResult(), 0);
    SetColor(c.colour);
    Line(0, 700, 300, 700);
    EXPECT_TRUE(IsColour(Pixel(150, 700), c.expected)) << "colour " << c.colour;
  }
}

TEST_F(X11Window, PaletteEntriesAndPixelsReadBackAndWritesTakeEffect) {
  uint16_t r = 999, g = 999, b = 999;
  Device.getPalette(14, r, g, b);
  EXPECT_EQ((std::array{r, g, b}), (std::array<uint16_t, 3>{252, 252, 84}));
  Device.setPalette(255, 1, 2, 3);
  Device.getPalette(255, r, g, b);
  EXPECT_EQ((std::array{r, g, b}), (std::array<uint16_t, 3>{1, 2, 3}));
  // Beyond the palette: nothing stored, zeros read.
  Device.setPalette(256, 7, 7, 7);
  r = g = b = 999;
  Device.getPalette(256, r, g, b);
  EXPECT_EQ((std::array{r, g, b}), (std::array<uint16_t, 3>{0, 0, 0}));

  SetFillStyle(1, 12);
  Bar(400, 400, 440, 440);
  EXPECT_EQ(Device.getPixel(420, 420), 12);
  EXPECT_EQ(Device.getPixel(460, 420), 0);
  // A write to the entry of the colour in use takes effect at once.
  SetColor(4);
  Line(0, 300, 300, 300);
  Device.setPalette(4, 0, 0, 252);
  Line(0, 310, 300, 310);
  EXPECT_TRUE(IsColour(Pixel(150, 300), kRed));
  EXPECT_TRUE(IsColour(Pixel(150, 310), Rgb{0, 0, 252}));
}

// Lines and points are sent to GL in runs; whatever comes between two of
// them (a new style, width or write mode, a read, a disc) must still act on
// exactly the primitives after it.
TEST_F(X11Window, StateBetweenRunsOfLinesActsFromItsPlaceOn) {
  SetColor(15);
  Line(100, 300, 300, 300);
  EXPECT_EQ(Device.getPixel(200, 300), 15) << "a read sees the line just drawn";
  SetLineStyle(1, 0, 1);  // dotted: 0xCCCC, two on, two off
  Line(100, 310, 131, 310);
  SetLineStyle(0, 0, 3);
  Line(100, 320, 300, 320);
  SetLineStyle(0, 0, 1);
  Line(100, 330, 300, 330);
  // Exclusive or: the same line twice within one run cancels out.
  Graph.writeMode = 1;
  Line(100, 340, 300, 340);
  Line(100, 340, 300, 340);
  Graph.writeMode = 0;
  Device.plotPixel(100, 350, 14);
  Line(110, 350, 300, 350);  // the current colour again, after the pixel's own
  SetFillStyle(1, 4);
  FillEllipse(200, 360, 3, 3);
  Line(100, 370, 300, 370);

  EXPECT_TRUE(IsColour(Pixel(200, 300), kWhite));
  int lit = 0;
  for (int x = 100; x < 132; ++x) lit += Near(Pixel(x, 310), kWhite) ? 1 : 0;
  EXPECT_TRUE(lit > 8 && lit < 24) << lit << " of 32 pixels lit: dotted lights about half";
  EXPECT_TRUE(Near(Pixel(200, 319), kWhite) && Near(Pixel(200, 321), kWhite)) << "thick";
  EXPECT_TRUE(IsColour(Pixel(200, 330), kWhite));
  EXPECT_FALSE(Near(Pixel(200, 329), kWhite) || Near(Pixel(200, 331), kWhite)) << "thin again";
  EXPECT_TRUE(IsColour(Pixel(200, 340), kBlack)) << "xor twice";
  EXPECT_TRUE(IsColour(Pixel(100, 350), kYellow));
  EXPECT_TRUE(IsColour(Pixel(200, 350), kWhite));
  EXPECT_TRUE(IsColour(Pixel(200, 360), kRed)) << "disc between runs";
  EXPECT_TRUE(IsColour(Pixel(200, 370), kWhite));
}

// ---- Fills: the window and the layer's own pixel-by-pixel fill agree -----------
std::vector<uint16_t> Canvas;  // palette index of every pixel of the canvas mode

// Every pattern over a white bar, to show unset bits; 12 gets a pattern of its own.
void DrawEveryFill() {
  Graph.userFill = {0x55, 0xAA, 0x0F, 0xF0, 0x33, 0xCC, 0x81, 0x7E};
  for (uint16_t p = 0; p <= 12; ++p) {
    const auto x = static_cast<int16_t>(20 + p * 51);
    SetFillStyle(1, 15);
    Bar(x, 100, static_cast<int16_t>(x + 44), 140);
    SetFillStyle(p, static_cast<uint16_t>(p + 1));
    Bar(static_cast<int16_t>(x + 2), static_cast<int16_t>(137 - p), static_cast<int16_t>(x + 41), 103);
  }
}

TEST_F(X11Window, EveryFillPatternPutsTheLayersOwnPixels) {
  DrawEveryFill();
  const shot::Image window = Screen(0, 0, 700, 160);
  // The same on a mode of only the required entries, so that the layer's
  // generic lines and fills draw it pixel by pixel.
  CloseGraph();
  ClearModes();
  DisplayMode canvas;
  canvas.colours = canvas.paletteSize = 256;
  canvas.maxX = 1279;
  canvas.maxY = 1023;
  canvas.device = GraphDevice{
      .plotPixel = [](int16_t x, int16_t y, uint16_t c) { Canvas.at(y * 1280u + x) = c; },
      .putPixel = [](int16_t, int16_t) {},
      .getPixel = [](int16_t, int16_t) -> uint16_t { return 0; },
      .setPalette = [](uint16_t, uint16_t, uint16_t, uint16_t) {},
      .getPalette = [](uint16_t, uint16_t&, uint16_t&, uint16_t&) {}};
  RegisterMode(canvas);
  Canvas.assign(1280 * 1024, 0);
  Open();
  DrawEveryFill();
  ClearModes();
  RegisterX11Modes();
  // Inside each patterned bar; GL leaves out the last pixel of a line, so a
  // plain bar (patterns 0 and 1) ends one short, where a hatch row does not.
  for (int p = 0; p <= 12; ++p) {
    const int left = 22 + p * 51, right = left + (p <= 1 ? 38 : 39);
    for (int y = 103; y <= 137 - p; ++y) {
      for (int x = left; x <= right; ++x) {
        ASSERT_TRUE(IsColour(window.At(x, y), kStandard[Canvas[y * 1280u + x]]))
            << "pattern " << p << " at (" << x << "," << y << ")";
      }
    }
  }
}

// ---- Ellipses ---------------------------------------------------------------------
// Pattern 0 paints the disc in the current colour, 1 in the fill colour;
// either way the outline is in the current colour.
TEST_F(X11Window, FillEllipseFillsByPatternAndOutlinesInTheCurrentColour) {
  const std::tuple<int, int, Rgb> cases[] = {{0, 14, kYellow}, {1, 15, kGreen}};
  for (const auto& [pattern, current, inside] : cases) {
    SetColor(static_cast<uint16_t>(current));
    SetFillStyle(static_cast<uint16_t>(pattern), 2);
    FillEllipse(200, 300, 40, 25);
    EXPECT_EQ(Graph.colour, current);
    const shot::Image image = Screen(150, 260, 101, 81);  // (x - 150, y - 260)
    EXPECT_TRUE(IsColour(image.At(50, 40), inside)) << "centre, pattern " << pattern;
    EXPECT_TRUE(IsColour(image.At(50 + 30, 40), inside)) << "inside, right";
    EXPECT_TRUE(IsColour(image.At(50, 40 - 18), inside)) << "inside, top";
    // The outline passes within a pixel of (x + rx, y), (x, y - ry), (x - rx, y).
    EXPECT_TRUE(ColourAround(image, 50 + 40, 40, kStandard[current])) << "outline, right";
    EXPECT_TRUE(ColourAround(image, 50, 40 - 25, kStandard[current])) << "outline, top";
    EXPECT_TRUE(ColourAround(image, 50 - 40, 40, kStandard[current])) << "outline, left";
    EXPECT_EQ(image.At(50 + 45, 40), kBlack) << "outside, right";
    EXPECT_EQ(image.At(50, 40 - 30), kBlack) << "outside, top";
    ClearDevice();
  }
}

// A circle is an outline only. The device keeps the vertex angles of the arc
// it drew last: an arc of other angles after a whole ellipse, and a whole one
// after it, each get their own.
TEST_F(X11Window, ArcAndWholeEllipseKeepTheirOwnAngles) {
  SetColor(15);
  Circle(700, 300, 30);
  Device.drawEllipse(800, 300, 30, 30, 0, 90, nullptr);  // right, round to the top
  Circle(900, 300, 30);
  const shot::Image image = Screen(660, 260, 280, 81);  // (x - 660, y - 260)
  const auto lit = [&](int left) {
    int n = 0;
    for (int y = 0; y < 81; ++y)
      for (int x = left; x < left + 80; ++x) n += Near(image.At(x, y), kWhite) ? 1 : 0;
    return n;
  };
  // About 2 pi r pixels of outline; a filled disc would be about pi r^2 = 2827.
  EXPECT_GT(lit(0), 150) << "whole circle before the arc";
  EXPECT_LT(lit(0), 260) << "an outline only";
  EXPECT_EQ(image.At(40, 40), kBlack) << "centre stays empty";
  EXPECT_GT(lit(200), 150) << "whole circle after the arc";
  EXPECT_GT(lit(100), 30) << "quarter arc";
  EXPECT_LT(lit(100), 70) << "quarter arc";
  EXPECT_EQ(image.At(140 - 30, 40), kBlack) << "no arc on the left";
  EXPECT_EQ(image.At(140, 40 + 30), kBlack) << "no arc at the bottom";
}

// Mesa's software renderer offers GLX_MESA_copy_sub_buffer, so the window is
// drawn in the back buffer and each present copies only what changed: every
// primitive drawn since the last present must reach the screen, wherever it
// lies, and nothing drawn before is lost.
TEST_F(X11Window, PresentShowsEverythingDrawnSinceTheLastOneWhereverItLies) {
  EXPECT_TRUE(X11PresentsByCopy());
  X11Present();
  SetColor(15);
  Device.plotPixel(1, 1, 14);         // by a corner
  Line(1279, 1000, 1279, 1023);       // the opposite edge
  Circle(640, 512, 100);
  X11Present();
  SetLineStyle(0, 0, 3);
  Line(100, 800, 300, 800);  // thick: reaches the rows beside its axis
  SetLineStyle(0, 0, 1);
  SetFillStyle(1, 4);
  Bar(1000, 100, 1010, 110);
  Line(100, 820, 300, 820);  // beside the thick line, far from the bar
  X11Present();
  // GL may put a vertex's pixel one row or column off.
  const auto around = [](int x, int y, Rgb colour) {
    const shot::Image near = Screen(x - 1, y - 1, 3, 3);
    for (const Rgb& p : near.pixels)
      if (Near(p, colour)) return true;
    return false;
  };
  EXPECT_TRUE(around(1, 1, kYellow)) << "corner";
  EXPECT_TRUE(around(1278, 1010, kWhite)) << "right edge";
  EXPECT_TRUE(around(740, 512, kWhite)) << "circle";
  EXPECT_TRUE(Near(Pixel(200, 799), kWhite) && Near(Pixel(200, 801), kWhite)) << "thick line";
  EXPECT_TRUE(Near(Pixel(200, 820), kWhite)) << "line beside it";
  EXPECT_TRUE(IsColour(Pixel(1005, 105), kRed)) << "bar";
  // A clear repaints the whole window at the next present.
  ClearDevice();
  X11Present();
  EXPECT_FALSE(around(1, 1, kYellow));
  EXPECT_TRUE(IsColour(Pixel(200, 800), kBlack));
}

// ---- Clipping to the viewport -------------------------------------------------------
TEST_F(X11Window, LinesAndPixelsStayInsideTheViewport) {
  Graph.viewport = Viewport{100, 100, 200, 200, true};
  Line(-100, 50, 400, 50);  // absolute y 150, x from 0 to 500
  Device.plotPixel(150, 60, 15);  // absolute (250, 160): outside, skipped
  Device.plotPixel(90, 70, 15);   // absolute (190, 170): inside
  const shot::Image image = Screen(0, 0, 400, 300);
  EXPECT_TRUE(IsColour(image.At(150, 150), kWhite));
  EXPECT_EQ(image.At(95, 150), kBlack);
  EXPECT_EQ(image.At(205, 150), kBlack);
  EXPECT_EQ(image.At(250, 160), kBlack);
  EXPECT_TRUE(IsColour(image.At(190, 170), kWhite));
}

// ---- Presenting -------------------------------------------------------------------------
TEST_F(X11Window, DrawingMarksTheWindowUntilPresented) {
  // A new window shows its black background already: neither its own clear
  // nor a black one before any drawing leaves anything to present.
  EXPECT_FALSE(X11NeedsPresent());
  ClearDevice();
  EXPECT_FALSE(X11NeedsPresent());
  Line(10, 10, 20, 20);
  EXPECT_TRUE(X11NeedsPresent());
  X11Present();
  EXPECT_FALSE(X11NeedsPresent());
  // The console presents before it sleeps.
  Circle(50, 50, 10);
  EXPECT_TRUE(X11NeedsPresent());
  Delay(1);
  EXPECT_FALSE(X11NeedsPresent());
  // A clear in another colour is shown, blank window or not.
  CloseGraph();
  Open();
  Device.setPalette(Black, 0, 0, 168);
  ClearDevice();
  EXPECT_TRUE(X11NeedsPresent());
  EXPECT_TRUE(IsColour(Pixel(640, 512), Rgb{0, 0, 168}));
}

// ---- Life cycle ---------------------------------------------------------------------------
TEST_F(X11Window, CloseGraphTwiceClosesOnce) {
  CloseGraph();
  EXPECT_FALSE(X11WindowOpen());
  EXPECT_FALSE(X11NeedsPresent());
  CloseGraph();
  EXPECT_FALSE(X11WindowOpen());
  Connection other(xvfb::Connect(server->Display()));
  ASSERT_TRUE(other);
  EXPECT_TRUE(xvfb::TopWindows(other.get()).empty());
  Open();
  EXPECT_EQ(GraphResult(), 0);
  EXPECT_TRUE(X11WindowOpen());
}

// Looks entry points up in libGL.so.1 like the loader, except one name.
const char* HiddenEntry = nullptr;
void* LookUpAllBut(const char* name) {
  if (std::string_view(name) == HiddenEntry) return nullptr;
  static void* gl = dlopen("libGL.so.1", RTLD_NOW | RTLD_LOCAL);
  return dlsym(gl, name);
}

// A window that cannot be opened is named at once; the game, which never
// reads GraphResult, meets the failure at its first drawing.
TEST_F(X11Window, MissingEntryPointRefusesTheWindowByName) {
  // The first and the last entry of the table, and one drawing call.
  for (const char* entry : {"glXChooseFBConfig", "glBegin", "glPixelStorei"}) {
    EXPECT_EXIT(
        {
          CloseGraph();
          HiddenEntry = entry;
          BindGLEntries(LookUpAllBut);
          Open();
          if (GraphResult() != -11) std::exit(3);
          Line(0, 0, 10, 10);
        },
        ::testing::ExitedWithCode(1),
        std::string("^zalpomet: GLX: missing entry point ") + entry +
            "\nError: Not in graphics mode \\(use InitGraph and test GraphResult afterwards\\)\n$");
  }
}

}  // namespace
