// The X11/OpenGL window device: mode registration from the screen size, the
// window with its GLX context, every primitive drawn into the window's buffer,
// presenting on demand and CloseGraph. Writes ScreenWidth, ScreenHeight and
// the device's own window, palette, colour-cache and damage state.
#include "graph/x11_device.hpp"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "console/console.hpp"
#include "graph/graph.hpp"
#include "graph/x11_gl.hpp"

namespace {

// ---- The window ------------------------------------------------------------
Display* Dpy = nullptr;
int Screen = 0;
Window Win = 0;
GLXContext Context = nullptr;
bool WindowOpen = false;
std::array<char, 256> DisplayName{};  // kept for the lost-connection report

// ---- The server's life ---------------------------------------------------------
// NOTE: an X server started without -noreset (a bare Xvfb, an xinit or startx
// session without a desktop) resets when its last client leaves and refuses
// connections while it does. Every CloseGraph closes the window's connection
// and the next InitGraph opens one moments later, so the game would race the
// reset it caused itself. The connection of the start-up check is therefore
// kept, idle, until the program ends: the server never sees its last client
// leave. Each window still gets a connection of its own, so nothing of one
// window (its GL driver state, its queued key events) outlives it.
Display* Anchor = nullptr;

// Another client leaving can still have the server resetting just as we
// connect (at start-up, most likely). A refused connection is tried again
// for about three seconds before it counts as a failure.
Display* OpenDisplayPatiently() {
  const char* name = XDisplayName(nullptr);
  long waitMs = 25;
  for (int attempt = 1;; ++attempt) {
    if (Display* d = XOpenDisplay(nullptr)) return d;
    // Without a display name no retry can help.
    if (name == nullptr || *name == '\0' || attempt == 8) return nullptr;
    timespec pause{waitMs / 1000, waitMs % 1000 * 1000000L};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
    waitMs *= 2;
  }
}

// The display a report names: the one XOpenDisplay was asked for.
std::string QuotedDisplayName() {
  const char* name = XDisplayName(nullptr);
  return std::string("\"") + (name != nullptr ? name : "") + "\"";
}

std::string OnDisplay() { return " on display " + QuotedDisplayName(); }

// ---- Drawing state the device keeps beside the layer's ----------------------
std::vector<std::array<uint16_t, 3>> Palette;  // MaxColor entries while open
constexpr int32_t kNoColour = -1;
int32_t ColourCache = kNoColour;  // palette index of the GL colour (maybe still pending)
bool ColourPending = false;       // ColourCache's colour still to be sent
std::array<float, 3> PendingRgb{};
bool Dirty = false;               // drawn since the last present

// ---- Presenting ---------------------------------------------------------------
// NOTE: Mesa's software rasterisers only emulate a front buffer: every glFlush
// after front-buffer drawing copies the whole window to the X server (5 MB at
// 1280x1024, 1.2 ms or more; a quarter of the nuclear cloud's 5 ms frame).
// Where the screen offers GLX_MESA_copy_sub_buffer the device draws into the
// back buffer instead and presents by copying just the rectangle drawn since
// the last present. Nothing is ever swapped, so the back buffer always holds
// the whole picture, and the screen shows the same pixels at the same moments.
// Without the extension it draws into the front buffer and flushes.
bool BackBuffer = false;
struct Box {
  int32_t left, top, right, bottom;  // window pixels, inclusive
};
constexpr Box kNothing{1, 1, 0, 0};
Box Damage = kNothing;  // drawn since the last present (back buffer only)
// GL may light a pixel beside a vertex, and a thick line reaches 1.5 pixels
// beside its axis.
constexpr int32_t kDamageMargin = 2;

// ---- X errors ----------------------------------------------------------------
int LastXError = Success;
XErrorHandler OuterHandler = nullptr;

// Inside a grabbed section an X error is a result to read back, not the end
// of the program that Xlib's default handler would make of it.
int RecordXError(Display*, XErrorEvent* event) {
  if (LastXError == Success) LastXError = event->error_code;
  return 0;
}

// Xlib gives no way back from a dead connection, so the report is the last
// thing the process does.
int LostDisplay(Display*) {
  // Nothing may touch the dead connection again, not even a present that the
  // terminal restore might ask for.
  WindowOpen = false;
  Dirty = false;
  ConsoleRestore();
  std::string line = "zalpomet: lost the connection to X display ";
  line += DisplayName.data();
  line += '\n';
  ssize_t written = write(STDERR_FILENO, line.data(), line.size());
  (void)written;
  _exit(1);
}

// The handler is ours only around the calls whose errors it checks; the
// requests of a section are made to answer before the section ends.
void GrabXErrors() {
  XSync(Dpy, False);
  LastXError = Success;
  OuterHandler = XSetErrorHandler(RecordXError);
}

bool ReleaseXErrors() {
  XSync(Dpy, False);
  XSetErrorHandler(OuterHandler);
  return LastXError == Success;
}

// Xlib's own words for the error of the last grabbed section.
std::string XErrorText() {
  std::array<char, 160> text{};
  XGetErrorText(Dpy, LastXError, text.data(), static_cast<int>(text.size()));
  return text.data();
}

// ---- Applying the drawing state ---------------------------------------------
// An index beyond the palette leaves the GL colour as it was, which is why
// SetColor(300) keeps drawing in the colour set before.
// NOTE: a colour set outside glBegin/glEnd makes Mesa revalidate its whole
// state at the next glBegin (about 4 us on llvmpipe, the cost of drawing ten
// short lines); set right after glBegin it is only the colour of the vertices
// that follow. So the colour is sent when the next primitive begins, and
// every ApplyColour is followed by one.
void ApplyColour(uint16_t index) {
  if (index == ColourCache || index >= Palette.size()) return;
  const auto& rgb = Palette[index];
  PendingRgb = {static_cast<float>(rgb[0]) / 255.0f, static_cast<float>(rgb[1]) / 255.0f,
                static_cast<float>(rgb[2]) / 255.0f};
  ColourPending = true;
  ColourCache = index;
}

// NOTE: every glBegin/glEnd pair costs Mesa a draw of its own (vertex
// setup, and on llvmpipe a hand-over to the rasteriser threads), and the
// game's outlines are dozens of separate lines and its text hundreds of
// points. Independent lines and points therefore stay in one open
// glBegin until something else has to happen: another kind of shape, a
// state change, a read, a present. GL draws each segment of GL_LINES on its
// own, the stipple restarting at each, so the pixels are those of separate
// pairs. Every other GL call of the device goes through EndBatch first.
constexpr GLenum kNoEnum = ~GLenum{0};  // no mode or operation yet
GLenum Batch = kNoEnum;

bool Batchable(GLenum mode) { return mode == GL_LINES || mode == GL_POINTS; }

void EndBatch() {
  if (Batch == kNoEnum) return;
  gl::End();
  Batch = kNoEnum;
}

void BeginShape(GLenum mode) {
  if (Batch != mode || !Batchable(mode)) {
    EndBatch();
    gl::Begin(mode);
    Batch = mode;
  }
  if (ColourPending) gl::Color3f(PendingRgb[0], PendingRgb[1], PendingRgb[2]);
  ColourPending = false;
}

void EndShape() {
  if (!Batchable(Batch)) EndBatch();
}

void ForgetColour() {
  ColourCache = kNoColour;
  ColourPending = false;
}

// The GL state last set, so that an unchanged one neither costs a call nor
// ends a batch; forgotten with the context.
struct LineState {
  GLenum logicOp = kNoEnum;
  int32_t stipple = -1;
  float width = -1.0f;
};
LineState Sent;

// A new context, or none: nothing of the GL state is known to be sent, no
// shape is open and nothing waits to be presented.
void ForgetGLState() {
  ForgetColour();
  Batch = kNoEnum;
  Sent = LineState{};
  Damage = kNothing;
}

void ApplyWriteMode() {
  static constexpr std::array<GLenum, 5> kOps{GL_COPY, GL_XOR, GL_OR, GL_AND, GL_INVERT};
  const GLenum op = Graph.writeMode < kOps.size() ? kOps[Graph.writeMode] : GL_COPY;
  if (op == Sent.logicOp) return;
  EndBatch();
  gl::LogicOp(op);
  Sent.logicOp = op;
}

void SetStipple(uint16_t pattern) {
  if (pattern == Sent.stipple) return;
  EndBatch();
  gl::LineStipple(1, pattern);
  Sent.stipple = pattern;
}

void SetWidth(float width) {
  if (width == Sent.width) return;
  EndBatch();
  gl::LineWidth(width);
  Sent.width = width;
}

// The layer keeps the pattern of the current style (the user's for style 4).
void ApplyLineStyle() {
  SetStipple(Graph.linePattern);
  if (Graph.thickness == 1) SetWidth(1.0f);
  if (Graph.thickness == 3) SetWidth(3.0f);
}

// The projection keeps y upwards: layer row y is GL row MaxY - y.
int32_t GlY(int32_t y) { return int32_t{MaxY} - y; }

// Everything a primitive draws lies within this box (before the margin).
void Mark(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  Dirty = true;
  if (!BackBuffer) return;
  if (Damage.left > Damage.right) {
    Damage = {left, top, right, bottom};
    return;
  }
  Damage = {std::min(Damage.left, left), std::min(Damage.top, top),
            std::max(Damage.right, right), std::max(Damage.bottom, bottom)};
}

void CopyDamageToWindow() {
  const int32_t left = std::max(Damage.left - kDamageMargin, 0);
  const int32_t top = std::max(Damage.top - kDamageMargin, 0);
  const int32_t right = std::min(Damage.right + kDamageMargin, int32_t{MaxX});
  const int32_t bottom = std::min(Damage.bottom + kDamageMargin, int32_t{MaxY});
  Damage = kNothing;
  if (left > right || top > bottom) {  // drawn entirely outside the window
    gl::Flush();
    return;
  }
  // The copy flushes GL itself; a flush of ours before it would hand the
  // frame to llvmpipe's rasteriser threads twice, and waking them is most of
  // what a small frame costs. GLX counts rows from the bottom of the window.
  gl::XCopySubBufferMESA(Dpy, Win, left, int32_t{MaxY} - bottom, right - left + 1, bottom - top + 1);
}

// ---- Device operations ----------------------------------------------------------
// Every primitive starts the same way: nothing without a window, then the
// viewport origin, then the clip.

void ClearWindow() {
  EndBatch();
  if (Context == nullptr) return;
  gl::Viewport(0, 0, MaxX + 1, MaxY + 1);
  const auto& black = Palette.at(0);
  gl::ClearColor(static_cast<float>(black[0]) / 255.0f, static_cast<float>(black[1]) / 255.0f,
                 static_cast<float>(black[2]) / 255.0f, 1.0f);
  gl::Clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  gl::MatrixMode(GL_PROJECTION);
  gl::LoadIdentity();
  gl::Ortho(0, MaxX, 0, MaxY, 0, 0.1);
  gl::MatrixMode(GL_MODELVIEW);
  gl::LoadIdentity();
  gl::Enable(GL_COLOR_LOGIC_OP);
  gl::Enable(GL_LINE_STIPPLE);
  Mark(0, 0, MaxX, MaxY);
}

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
  if (index == ColourCache) ForgetColour();
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

// ---- Opening and closing ----------------------------------------------------------
bool PreferFront = false;  // X11PreferFrontBuffer

// A window drawn in the back buffer needs a double-buffered configuration;
// where none is offered, a single-buffered one still serves the front-buffer
// way. Every configuration asked for has a visual the window can be made on.
GLXFBConfig ChooseConfig(bool& doubleBuffered) {
  for (const int wantDouble : {True, False}) {
    const std::array<int, 15> attributes{
        GLX_X_RENDERABLE, True,         GLX_DRAWABLE_TYPE, GLX_WINDOW_BIT,
        GLX_RENDER_TYPE,  GLX_RGBA_BIT, GLX_DOUBLEBUFFER,  wantDouble,
        GLX_RED_SIZE,     1,            GLX_GREEN_SIZE,    1,
        GLX_BLUE_SIZE,    1,            None};
    int count = 0;
    GLXFBConfig* configs = gl::XChooseFBConfig(Dpy, Screen, attributes.data(), &count);
    if (configs == nullptr) continue;
    const GLXFBConfig first = count > 0 ? configs[0] : nullptr;
    XFree(configs);
    if (first != nullptr) {
      doubleBuffered = wantDouble == True;
      return first;
    }
  }
  return nullptr;
}

// The window is made on the configuration's own visual, with a colormap of
// that visual: a window on the root's visual may not match the configuration
// (32-bit default visuals, servers with several), and GLX then refuses to
// make the context current on it. Its WM_HINTS say it takes no keyboard
// input, so a window manager leaves the focus with the terminal, where every
// key of the game is read; it has no other property.
bool CreateWindow(GLXFBConfig config, std::string& cause) {
  XVisualInfo* visual = gl::XGetVisualFromFBConfig(Dpy, config);
  if (visual == nullptr) {
    cause = "GLX: the frame-buffer configuration has no visual" + OnDisplay();
    return false;
  }
  const Window root = RootWindow(Dpy, Screen);
  // Black is pixel 0 on any true-colour visual; the default visual says so
  // itself.
  const unsigned long black = visual->visual == DefaultVisual(Dpy, Screen) ? BlackPixel(Dpy, Screen) : 0;
  GrabXErrors();
  XSetWindowAttributes attributes{};
  attributes.colormap = XCreateColormap(Dpy, root, visual->visual, AllocNone);
  attributes.background_pixel = black;
  attributes.border_pixel = black;
  attributes.event_mask = KeyPressMask | KeyReleaseMask | StructureNotifyMask;
  Win = XCreateWindow(Dpy, root, 0, 0, MaxX + 1u, MaxY + 1u, 0, visual->depth, InputOutput,
                      visual->visual, CWColormap | CWBackPixel | CWBorderPixel | CWEventMask,
                      &attributes);
  XFree(visual);
  XWMHints hints{};
  hints.flags = InputHint;
  hints.input = False;
  XSetWMHints(Dpy, Win, &hints);
  XMapWindow(Dpy, Win);
  if (!ReleaseXErrors()) {
    cause = "X11: could not create the window" + OnDisplay() + ": " + XErrorText();
    return false;
  }
  XEvent event;
  do {
    XNextEvent(Dpy, &event);
  } while (event.type != MapNotify || event.xmap.window != Win);
  return true;
}

bool CreateContext(GLXFBConfig config, std::string& cause) {
  GrabXErrors();
  Context = gl::XCreateNewContext(Dpy, config, GLX_RGBA_TYPE, nullptr, True);
  if (!ReleaseXErrors() || Context == nullptr) {
    cause = "GLX: could not create an OpenGL context" + OnDisplay();
    if (LastXError != Success) cause += ": " + XErrorText();
    return false;
  }
  GrabXErrors();
  const Bool current = gl::XMakeContextCurrent(Dpy, Win, Win, Context);
  if (!ReleaseXErrors() || !current) {
    cause = "GLX: could not make the OpenGL context current" + OnDisplay();
    if (LastXError != Success) cause += ": " + XErrorText();
    return false;
  }
  return true;
}

bool CopySubBufferOffered() {
  const char* list = gl::XQueryExtensionsString(Dpy, Screen);
  if (list == nullptr) return false;
  constexpr std::string_view kName = "GLX_MESA_copy_sub_buffer";
  const std::string_view extensions = list;
  bool named = false;
  for (size_t at = extensions.find(kName); at != std::string_view::npos && !named;
       at = extensions.find(kName, at + 1)) {
    const size_t end = at + kName.size();
    named = (at == 0 || extensions[at - 1] == ' ') &&
            (end == extensions.size() || extensions[end] == ' ');
  }
  if (!named) return false;
  if (gl::XCopySubBufferMESA == nullptr) {
    gl::XCopySubBufferMESA = reinterpret_cast<PFNGLXCOPYSUBBUFFERMESAPROC>(
        gl::XGetProcAddress(reinterpret_cast<const GLubyte*>("glXCopySubBufferMESA")));
  }
  return gl::XCopySubBufferMESA != nullptr;
}

// Drops whatever of the window was made; the connection goes last.
void TearDown() {
  if (Dpy != nullptr) {
    if (Context != nullptr) {
      gl::XMakeContextCurrent(Dpy, None, None, nullptr);
      gl::XDestroyContext(Dpy, Context);
    }
    // Closing the connection removes the window and its colormap with it.
    XCloseDisplay(Dpy);
  }
  Dpy = nullptr;
  Context = nullptr;
  Win = 0;
  DisplayName[0] = '\0';
  Palette.clear();
  Palette.shrink_to_fit();
  ForgetGLState();
  Dirty = false;
  BackBuffer = false;
  WindowOpen = false;
}

// The window cannot be had. The player is told why now; the layer records
// the failure, and the game, which never asks, meets it at its first drawing.
void GiveUp(const std::string& cause) {
  TearDown();
  Report(cause);
  Graph.lastError = -11;
}

void OpenMode() {
  if (WindowOpen) {
    Graph.lastError = -11;
    return;
  }
  if (const char* missing = MissingGLEntry()) {
    GiveUp(std::string("GLX: missing entry point ") + missing);
    return;
  }
  const auto entries = static_cast<size_t>(std::clamp<int32_t>(MaxColor, 1, 256));
  Palette.assign(DefaultPalette.begin(), DefaultPalette.begin() + static_cast<long>(entries));

  XSetIOErrorHandler(LostDisplay);
  Dpy = OpenDisplayPatiently();
  if (Dpy == nullptr) {
    GiveUp("X11: cannot open display " + QuotedDisplayName());
    return;
  }
  std::snprintf(DisplayName.data(), DisplayName.size(), "%s", DisplayString(Dpy));
  Screen = DefaultScreen(Dpy);
  bool doubleBuffered = false;
  const GLXFBConfig config = ChooseConfig(doubleBuffered);
  if (config == nullptr) {
    GiveUp("GLX: no matching frame-buffer configuration" + OnDisplay());
    return;
  }
  std::string cause;
  if (!CreateWindow(config, cause) || !CreateContext(config, cause)) {
    GiveUp(cause);
    return;
  }
  ForgetGLState();
  BackBuffer = doubleBuffered && !PreferFront && CopySubBufferOffered();
  gl::ReadBuffer(BackBuffer ? GL_BACK : GL_FRONT);
  gl::DrawBuffer(BackBuffer ? GL_BACK : GL_FRONT);
  ClearWindow();
  WindowOpen = true;
}

void CloseGraphWindow() {
  if (!WindowOpen) return;
  EndBatch();
  gl::Finish();
  TearDown();
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

bool RegisterX11Modes() {
  if (Anchor == nullptr) Anchor = OpenDisplayPatiently();
  if (Anchor == nullptr) {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') {
      std::fputs("zalpomet: cannot open an X display: DISPLAY is unset\n", stderr);
    } else {
      std::fprintf(stderr, "zalpomet: cannot open X display \"%s\"\n", name);
    }
    std::exit(1);
  }
  // The connection stays open, unused, until the program ends (see Anchor).
  Display* probe = Anchor;
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

bool X11WindowOpen() { return WindowOpen; }

void X11Present() {
  if (!WindowOpen || !Dirty) return;
  EndBatch();
  if (BackBuffer) {
    CopyDamageToWindow();
  } else {
    gl::Flush();
  }
  Dirty = false;
}

bool X11PresentsByCopy() { return WindowOpen && BackBuffer; }

void X11PreferFrontBuffer(bool front) { PreferFront = front; }

bool X11NeedsPresent() { return WindowOpen && Dirty; }

const char* X11DisplayName() { return DisplayName.data(); }
