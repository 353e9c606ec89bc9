// The window device's window: the display connections (the idle anchor and
// one per window, with retries while a server resets), X errors, the GLX
// configuration and context, OpenMode and CloseGraph. Writes the window
// state of x11_internal.hpp and the anchor connection.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "console/console.hpp"
#include "graph/graph.hpp"
#include "graph/x11_device.hpp"
#include "graph/x11_gl.hpp"
#include "graph/x11_internal.hpp"

namespace x11 {
namespace {

// ---- The server's life ---------------------------------------------------------
// NOTE: an X server started without -noreset (a bare Xvfb, an xinit or startx
// session without a desktop) resets when its last client leaves and refuses
// connections while it does. Every CloseGraph closes the window's connection
// and the next InitGraph opens one moments later, so the game would race the
// reset it caused itself. The connection of the start-up check is therefore
// kept, idle, until the program ends: the server never sees its last client
// leave. Each window still gets a connection of its own, so nothing of one
// window (its GL driver state, its queued key events) outlives it.
Display* AnchorConnection = nullptr;

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

// NOTE: Mesa loads its GL driver for a connection when GLX is first used on
// it and unloads it when the last such connection closes, so every window,
// on a connection of its own, would load the driver afresh: on llvmpipe
// about a third of what opening a window costs. Using GLX once on the
// idle start-up connection keeps the driver loaded; by then the window has
// loaded it, so this costs little. Not done at start-up, where it would
// slow the way to the menu for a game that may never open a window.
void KeepDriverLoaded() {
  static bool kept = false;
  if (kept || AnchorConnection == nullptr) return;
  kept = true;
  gl::XQueryExtensionsString(AnchorConnection, DefaultScreen(AnchorConnection));
}

// The display a report names: the one XOpenDisplay was asked for.
std::string QuotedDisplayName() {
  const char* name = XDisplayName(nullptr);
  return std::string("\"") + (name != nullptr ? name : "") + "\"";
}

std::string OnDisplay() { return " on display " + QuotedDisplayName(); }

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
  _exit(ExitFailure);
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
  const bool trueColour = visual->c_class == TrueColor;
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
  // The server painted the background on mapping; on a true-colour visual
  // pixel 0 is the black a GL clear to (0, 0, 0) writes.
  Blank = trueColour;
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
  Blank = false;
  WindowOpen = false;
}

// The window cannot be had. The player is told why now; the layer records
// the failure, and the game, which never asks, meets it at its first drawing.
void GiveUp(const std::string& cause) {
  TearDown();
  Report(cause);
  Graph.lastError = GraphicsError;
}

}  // namespace

void OpenMode() {
  if (WindowOpen) {
    Graph.lastError = GraphicsError;
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
  KeepDriverLoaded();
}

void CloseGraphWindow() {
  if (!WindowOpen) return;
  // What was drawn since the last present is shown before the window goes,
  // as at every other moment a person can see it.
  X11Present();
  EndBatch();
  gl::Finish();
  TearDown();
}


// Without a display the program cannot show a single picture, so it stops
// before the terminal is even set up, naming the display it was given.
Display* Anchor() {
  if (AnchorConnection == nullptr) AnchorConnection = OpenDisplayPatiently();
  if (AnchorConnection == nullptr) {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') Fatal(ExitFailure, "cannot open an X display: DISPLAY is unset");
    Fatal(ExitFailure, std::string("cannot open X display \"") + name + "\"");
  }
  return AnchorConnection;
}

}  // namespace x11

using namespace x11;

bool X11WindowOpen() { return WindowOpen; }

void X11PreferFrontBuffer(bool front) { PreferFront = front; }

const char* X11DisplayName() { return DisplayName.data(); }
