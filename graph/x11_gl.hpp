// The OpenGL and GLX entry points of the window device, bound at run time from
// libGL.so.1 by x11_gl.cpp (which writes every pointer below). The headers
// give only types and constants: nothing here links against libGL.
#pragma once

#include <GL/gl.h>
#include <GL/glx.h>

namespace gl {

// decltype of the header's own declarations keeps each pointer's type exactly
// the library's, without a reference to the symbol at link time.
inline decltype(&::glXChooseFBConfig) XChooseFBConfig = nullptr;
inline decltype(&::glXGetFBConfigAttrib) XGetFBConfigAttrib = nullptr;
inline decltype(&::glXGetVisualFromFBConfig) XGetVisualFromFBConfig = nullptr;
inline decltype(&::glXCreateNewContext) XCreateNewContext = nullptr;
inline decltype(&::glXMakeContextCurrent) XMakeContextCurrent = nullptr;
inline decltype(&::glXDestroyContext) XDestroyContext = nullptr;
inline decltype(&::glXQueryExtensionsString) XQueryExtensionsString = nullptr;
inline decltype(&::glXGetProcAddressARB) XGetProcAddress = nullptr;
// Optional, and not in the binding table: looked up through XGetProcAddress
// when a window opens on a screen that offers GLX_MESA_copy_sub_buffer.
inline PFNGLXCOPYSUBBUFFERMESAPROC XCopySubBufferMESA = nullptr;

inline decltype(&::glViewport) Viewport = nullptr;
inline decltype(&::glClearColor) ClearColor = nullptr;
inline decltype(&::glClear) Clear = nullptr;
inline decltype(&::glMatrixMode) MatrixMode = nullptr;
inline decltype(&::glLoadIdentity) LoadIdentity = nullptr;
inline decltype(&::glOrtho) Ortho = nullptr;
inline decltype(&::glEnable) Enable = nullptr;
inline decltype(&::glLogicOp) LogicOp = nullptr;
inline decltype(&::glLineStipple) LineStipple = nullptr;
inline decltype(&::glLineWidth) LineWidth = nullptr;
inline decltype(&::glColor3f) Color3f = nullptr;
inline decltype(&::glBegin) Begin = nullptr;
inline decltype(&::glEnd) End = nullptr;
inline decltype(&::glVertex2i) Vertex2i = nullptr;
inline decltype(&::glVertex2f) Vertex2f = nullptr;
inline decltype(&::glFlush) Flush = nullptr;
inline decltype(&::glFinish) Finish = nullptr;
inline decltype(&::glReadBuffer) ReadBuffer = nullptr;
inline decltype(&::glDrawBuffer) DrawBuffer = nullptr;
inline decltype(&::glReadPixels) ReadPixels = nullptr;
inline decltype(&::glPixelStorei) PixelStorei = nullptr;

}  // namespace gl
