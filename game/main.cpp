// zalpomet: binds OpenGL, learns the screen, takes the terminal over, then
// hands control to the game's main loop.
#include "console/console.hpp"
#include "game/flow.hpp"
#include "graph/x11_device.hpp"

int main() {
  // Libraries and the display come first: a failure here must leave the
  // terminal exactly as it was, so the console is not touched yet.
  LoadGLLibraries();
  RegisterX11Modes();
  ConsoleInit();
  return GameMain();
}
