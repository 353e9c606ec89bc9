// The X11/OpenGL window device. Only this device's files include Xlib or GLX.
#pragma once

// Loads libGL.so.1 and libGLU.so.1 and binds the entry points. Stops the
// program (status 1) when a library cannot be loaded.
void LoadGLLibraries();
// Reads the default screen's size and registers the modes that fit it.
// Returns false when no display could be opened (the reason in Fatal text).
bool RegisterX11Modes();
// Whether a window is open right now (used by the fatal path and tests).
bool X11WindowOpen();
