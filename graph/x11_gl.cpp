// Run-time binding of OpenGL: loads libGL.so.1 and libGLU.so.1 by name and
// fills the gl:: entry points from one table of {name, pointer} pairs, so that
// every report names the symbol concerned. Writes the gl:: pointers.
#include <dlfcn.h>

#include <array>
#include <cstring>
#include <string>

#include "console/console.hpp"
#include "graph/graph.hpp"
#include "graph/x11_device.hpp"
#include "graph/x11_gl.hpp"

namespace {

constexpr const char* kGLName = "libGL.so.1";
constexpr const char* kGLUName = "libGLU.so.1";

void* GLHandle = nullptr;
void* GLUHandle = nullptr;

struct Entry {
  const char* name;
  void* slot;  // address of a gl:: function pointer
};

template <typename F>
constexpr Entry Bind(const char* name, F* slot) {
  return {name, static_cast<void*>(slot)};
}

// Every entry is needed on the way from OpenMode to CloseGraph; the window
// refuses to open while any of them is unbound.
const std::array kEntries{
    Bind("glXChooseFBConfig", &gl::XChooseFBConfig),
    Bind("glXGetFBConfigAttrib", &gl::XGetFBConfigAttrib),
    Bind("glXGetVisualFromFBConfig", &gl::XGetVisualFromFBConfig),
    Bind("glXCreateNewContext", &gl::XCreateNewContext),
    Bind("glXMakeContextCurrent", &gl::XMakeContextCurrent),
    Bind("glXDestroyContext", &gl::XDestroyContext),
    Bind("glXQueryExtensionsString", &gl::XQueryExtensionsString),
    Bind("glXGetProcAddressARB", &gl::XGetProcAddress),
    Bind("glViewport", &gl::Viewport),
    Bind("glClearColor", &gl::ClearColor),
    Bind("glClear", &gl::Clear),
    Bind("glMatrixMode", &gl::MatrixMode),
    Bind("glLoadIdentity", &gl::LoadIdentity),
    Bind("glOrtho", &gl::Ortho),
    Bind("glEnable", &gl::Enable),
    Bind("glLogicOp", &gl::LogicOp),
    Bind("glLineStipple", &gl::LineStipple),
    Bind("glLineWidth", &gl::LineWidth),
    Bind("glColor3f", &gl::Color3f),
    Bind("glBegin", &gl::Begin),
    Bind("glEnd", &gl::End),
    Bind("glVertex2i", &gl::Vertex2i),
    Bind("glVertex2f", &gl::Vertex2f),
    Bind("glFlush", &gl::Flush),
    Bind("glFinish", &gl::Finish),
    Bind("glReadBuffer", &gl::ReadBuffer),
    Bind("glDrawBuffer", &gl::DrawBuffer),
    Bind("glReadPixels", &gl::ReadPixels),
    Bind("glPixelStorei", &gl::PixelStorei),
};

static_assert(sizeof(void*) == sizeof(void (*)()), "dlsym results must fit a function pointer");

void* LookUpInGL(const char* name) { return dlsym(GLHandle, name); }

// The drawing layer's fatal path (see graph.cpp); the line keeps its old
// words, with no prefix.
[[noreturn]] void LoadFailure(const char* what, const char* library) {
  const char* cause = dlerror();
  FatalLine(ExitFailure, std::string("Could not load ") + what + " from " + library + ": " +
                                    (cause != nullptr ? cause : "unknown error"));
}

}  // namespace

void BindGLEntries(void* (*lookup)(const char* name)) {
  for (const Entry& entry : kEntries) {
    void* symbol = lookup(entry.name);
    std::memcpy(entry.slot, &symbol, sizeof symbol);
  }
}

const char* MissingGLEntry() {
  for (const Entry& entry : kEntries) {
    void* symbol = nullptr;
    std::memcpy(&symbol, entry.slot, sizeof symbol);
    if (symbol == nullptr) return entry.name;
  }
  return nullptr;
}

void LoadGLLibraries() {
  if (GLHandle == nullptr) {
    GLHandle = dlopen(kGLName, RTLD_NOW | RTLD_LOCAL);
    if (GLHandle == nullptr) LoadFailure("OpenGL", kGLName);
  }
  // NOTE: no GLU function is ever called, but a system without GLU is one the
  // program refuses to start on, so the library is still required.
  if (GLUHandle == nullptr) {
    GLUHandle = dlopen(kGLUName, RTLD_NOW | RTLD_LOCAL);
    if (GLUHandle == nullptr) LoadFailure("GLu", kGLUName);
  }
  BindGLEntries(LookUpInGL);
}
