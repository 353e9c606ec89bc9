// The window device on a bare X server, which resets whenever its last
// client leaves and refuses connections while it does, with another client
// coming and going all the while; no window may leave a descriptor behind. A
// process of its own: the device must be started on this server alone.
// gtest first: Xlib's macros (None, Bool, Status) would break its templates.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>

#include "graph/graph.hpp"
#include "graph/x11_device.hpp"
#include "tests/support/xvfb.hpp"

namespace {

size_t OpenDescriptors() {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                           std::filesystem::directory_iterator()));
}

TEST(ResettingServer, EveryWindowOpensWhileAnotherClientComesAndGoes) {
  xvfb::Server server(1024, 768);
  server.Export();
  LoadGLLibraries();
  ClearModes();
  RegisterX11Modes();
  xvfb::ComingAndGoing other(server.Display());
  // Counted after the first window, which leaves the GL driver loaded for
  // the program's life.
  size_t descriptors = 0;
#if defined(__SANITIZE_ADDRESS__)
  // The sanitisers look for memory faults, which the first windows already
  // show; the run without them opens all 300.
  constexpr int kWindows = 60;
#else
  constexpr int kWindows = 300;
#endif
  for (int cycle = 0; cycle < kWindows; ++cycle) {
    if (cycle == 1) descriptors = OpenDescriptors();
    int16_t driver = 0, mode = 30000;
    InitGraph(driver, mode, "");
    ASSERT_EQ(GraphResult(), 0) << "window " << cycle;
    SetColor(14);
    Line(10, 20, 200, 20);
    // Read back from the window's own buffer: a connection of the test's
    // would keep the server from resetting.
    ASSERT_EQ(Device.getPixel(100, 20), 14) << "window " << cycle;
    CloseGraph();
  }
  EXPECT_EQ(OpenDescriptors(), descriptors);
}

}  // namespace
