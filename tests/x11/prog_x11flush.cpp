// Cost of presenting (a flush, or the copy of the changed rectangle where the
// window is drawn in its back buffer) after every primitive against once per
// frame, on a
// private Xvfb of the given size (default 1920x1080): a frame is 600 lines,
// once long diagonals across the window, once short strokes as the game draws.
// Prints milliseconds per frame for both and their ratio; not a test, as
// timings on shared machines are no pass/fail matter.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "graph/graph.hpp"
#include "graph/x11_device.hpp"
#include "tests/support/xvfb.hpp"

namespace {

constexpr int kPrimitives = 600;
constexpr int kFrames = 20;

// Draws one frame; a pixel read at the end waits until GL has really drawn it.
double FrameMs(bool flushEach, bool longLines) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kPrimitives; ++i) {
    SetColor(static_cast<uint16_t>(1 + i % 15));
    const auto x = static_cast<int16_t>(i);
    if (longLines) {
      Line(x, 0, static_cast<int16_t>(1279 - i), 1023);
    } else {
      Line(x, 400, static_cast<int16_t>(x + 10), 410);
    }
    if (flushEach) X11Present();
  }
  X11Present();
  Device.getPixel(0, 0);
  const auto end = std::chrono::steady_clock::now();
  return std::chrono::duration<double, std::milli>(end - start).count();
}

double AverageMs(bool flushEach, bool longLines) {
  FrameMs(flushEach, longLines);  // warm-up
  double total = 0;
  for (int f = 0; f < kFrames; ++f) total += FrameMs(flushEach, longLines);
  return total / kFrames;
}

void Report(const char* what, bool longLines) {
  const double each = AverageMs(true, longLines);
  const double once = AverageMs(false, longLines);
  std::printf("%s: flush per primitive %.2f ms/frame (%.3f ms per flush), once %.2f ms/frame, "
              "ratio %.1f\n",
              what, each, each / kPrimitives, once, each / once);
}

}  // namespace

int main(int argc, char** argv) {
  const int width = argc > 2 ? std::atoi(argv[1]) : 1920;
  const int height = argc > 2 ? std::atoi(argv[2]) : 1080;
  xvfb::Server server(width, height);
  server.Export();
  LoadGLLibraries();
  RegisterX11Modes();
  int16_t driver = 0;
  int16_t mode = 30000;
  InitGraph(driver, mode, "");
  if (GraphResult() != 0) {
    std::puts("no mode");
    return 1;
  }
  std::printf("%dx%d screen, %dx%d window, %d lines per frame, %d frames\n", width, height,
              GetMaxX() + 1, GetMaxY() + 1, kPrimitives, kFrames);
  Report("long diagonals", true);
  Report("short strokes ", false);
  CloseGraph();
  return 0;
}
