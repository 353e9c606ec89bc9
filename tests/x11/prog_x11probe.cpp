// Start-up of the window device as the game does it, with nothing else: binds
// OpenGL, registers the modes of the default display, opens the detected mode
// and prints its size ("1280x1024"); "no mode (<GraphResult>)" when it cannot.
#include <cstdio>

#include "graph/graph.hpp"
#include "graph/x11_device.hpp"

int main() {
  LoadGLLibraries();
  RegisterX11Modes();
  int16_t driver = 0;
  int16_t mode = 30000;
  InitGraph(driver, mode, "");
  if (const int16_t result = GraphResult(); result != 0) {
    std::printf("no mode (%d)\n", result);
    return 0;
  }
  std::printf("%dx%d\n", GetMaxX() + 1, GetMaxY() + 1);
  CloseGraph();
  return 0;
}
