// The window device's GL batch and state cache: the colour, write mode,
// stipple and width last sent, lines and points kept in one open glBegin,
// the rectangle drawn since the last present, and presenting. Writes the
// batch, the cache, Damage and Dirty.
#include <algorithm>
#include <array>
#include <cstdint>

#include "graph/graph.hpp"
#include "graph/x11_device.hpp"
#include "graph/x11_gl.hpp"
#include "graph/x11_internal.hpp"

namespace x11 {
namespace {

constexpr int32_t kNoColour = -1;
int32_t ColourCache = kNoColour;  // palette index of the GL colour (maybe still pending)
bool ColourPending = false;       // ColourCache's colour still to be sent
std::array<float, 3> PendingRgb{};

// ---- Presenting ---------------------------------------------------------------
// NOTE: Mesa's software rasterisers only emulate a front buffer: every glFlush
// after front-buffer drawing copies the whole window to the X server (5 MB at
// 1280x1024, 1.2 ms or more; a quarter of the nuclear cloud's 5 ms frame).
// Where the screen offers GLX_MESA_copy_sub_buffer the device draws into the
// back buffer instead and presents by copying just the rectangle drawn since
// the last present. Nothing is ever swapped, so the back buffer always holds
// the whole picture, and the screen shows the same pixels at the same moments.
// Without the extension it draws into the front buffer and flushes.
struct Box {
  int32_t left, top, right, bottom;  // window pixels, inclusive
};
constexpr Box kNothing{1, 1, 0, 0};
// GL may light a pixel beside a vertex, and a thick line reaches 1.5 pixels
// beside its axis.
constexpr int32_t kDamageMargin = 2;

// NOTE: one box around everything drawn copies whatever lies between
// distant drawings too. A turn's scene puts the threat box near the top of
// the window and the status frame at its bottom, so its first present, the
// dear one (see ClearWindow), copied nine tenths of the window. The damage
// is therefore kept as two boxes, chosen at each drawing to cover the least;
// the second starts only where joining would copy a megabyte more
// (a quarter million pixels). Copying a megabyte that the server has read
// before takes about as long as the second copy's round trip, so later
// presents lose nothing by it; a frame drawn in one place stays one box.
constexpr int64_t kApartPixels = 262144;
std::array<Box, 2> Damage{kNothing, kNothing};  // drawn since the last present (back buffer only)

bool Empty(const Box& b) { return b.left > b.right || b.top > b.bottom; }

int64_t Area(const Box& b) {
  return Empty(b) ? 0 : int64_t{b.right - b.left + 1} * (b.bottom - b.top + 1);
}

Box Join(const Box& a, const Box& b) {
  if (Empty(a)) return b;
  if (Empty(b)) return a;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
          std::max(a.bottom, b.bottom)};
}

// What copying the two as one box would copy that neither holds.
int64_t Between(const Box& a, const Box& b) { return Area(Join(a, b)) - Area(a) - Area(b); }

}  // namespace

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
namespace {

constexpr GLenum kNoEnum = ~GLenum{0};  // no mode or operation yet
GLenum Batch = kNoEnum;

bool Batchable(GLenum mode) { return mode == GL_LINES || mode == GL_POINTS; }

}  // namespace

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

void PaletteEntryChanged(uint16_t index) {
  if (index == ColourCache) ForgetColour();
}

// The GL state last set, so that an unchanged one neither costs a call nor
// ends a batch; forgotten with the context.
namespace {

struct LineState {
  GLenum logicOp = kNoEnum;
  int32_t stipple = -1;
  float width = -1.0f;
};
LineState Sent;

}  // namespace

void ForgetGLState() {
  ForgetColour();
  Batch = kNoEnum;
  Sent = LineState{};
  Damage = {kNothing, kNothing};
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

void Mark(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  Dirty = true;
  Blank = false;
  if (!BackBuffer) return;
  const Box drawn{left, top, right, bottom};
  auto& [first, second] = Damage;
  if (Empty(second)) {
    if (Empty(first) || Between(first, drawn) < kApartPixels) {
      first = Join(first, drawn);
    } else {
      second = drawn;
    }
    return;
  }
  // The two boxes that cover least: the drawing joins either box, or the
  // two join and the drawing stands apart (a frame's first edges can part
  // boxes that the rest of the scene shows to belong together).
  const Box withFirst = Join(first, drawn);
  const Box withSecond = Join(second, drawn);
  const Box both = Join(first, second);
  const int64_t joinFirst = Area(withFirst) + Area(second);
  const int64_t joinSecond = Area(first) + Area(withSecond);
  const int64_t standApart = Area(both) + Area(drawn);
  if (joinFirst <= joinSecond && joinFirst <= standApart) {
    first = withFirst;
  } else if (joinSecond <= standApart) {
    second = withSecond;
  } else {
    first = both;
    second = drawn;
  }
}

namespace {

// The window's part of a box, with the margin; empty when it lies outside.
Box OnWindow(const Box& b) {
  if (Empty(b)) return kNothing;
  return {std::max(b.left - kDamageMargin, 0), std::max(b.top - kDamageMargin, 0),
          std::min(b.right + kDamageMargin, int32_t{MaxX}),
          std::min(b.bottom + kDamageMargin, int32_t{MaxY})};
}

void CopyDamageToWindow() {
  Box first = OnWindow(Damage[0]);
  Box second = OnWindow(Damage[1]);
  Damage = {kNothing, kNothing};
  // Boxes that grew towards each other since they parted go as one.
  if (Between(first, second) < kApartPixels) {
    first = Join(first, second);
    second = kNothing;
  }
  if (Empty(first) && Empty(second)) {  // drawn entirely outside the window
    gl::Flush();
    return;
  }
  // The copy flushes GL itself; a flush of ours before it would hand the
  // frame to llvmpipe's rasteriser threads twice, and waking them is most of
  // what a small frame costs. GLX counts rows from the bottom of the window.
  for (const Box& b : {first, second}) {
    if (Empty(b)) continue;
    gl::XCopySubBufferMESA(Dpy, Win, b.left, int32_t{MaxY} - b.bottom, b.right - b.left + 1,
                           b.bottom - b.top + 1);
  }
}

}  // namespace

}  // namespace x11

using namespace x11;

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

bool X11NeedsPresent() { return WindowOpen && Dirty; }
