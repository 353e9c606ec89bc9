// The X11/OpenGL window device. Only this device's files include Xlib or GLX.
#pragma once

#include <cstdint>
#include <vector>

// Size of the X display's default screen, read once by RegisterX11Modes.
inline uint16_t ScreenWidth = 0;
inline uint16_t ScreenHeight = 0;

// Loads libGL.so.1 and libGLU.so.1 and binds the entry points. Stops the
// program (status 1) when a library cannot be loaded.
void LoadGLLibraries();
// Reads the default screen's size and registers the modes that fit it; also
// installs CloseGraph and the console's present hook. Its connection to the
// display stays open until the program ends, so that the server does not
// reset between two windows. When no display can be opened it writes one
// line naming the display and exits with status 1 (the terminal is not
// touched yet), so it only ever returns true.
bool RegisterX11Modes();
// Whether a window is open right now (used by the fatal path and tests).
bool X11WindowOpen();
// Makes everything drawn so far visible, when something was drawn since the
// last time: copies the changed rectangle of the back buffer to the window, or
// flushes front-buffer drawing (see X11PresentsByCopy). The console calls it
// through its present hook.
void X11Present();
// True while something drawn has not been flushed yet.
bool X11NeedsPresent();
// True while the open window is drawn in its back buffer and presented by
// copying the changed rectangle (GLX_MESA_copy_sub_buffer); false when it is
// drawn in the front buffer and presented by a flush.
bool X11PresentsByCopy();
// Windows opened from now on draw in the front buffer and present by a flush
// even where the back buffer could be copied: the way every screen without
// GLX_MESA_copy_sub_buffer is drawn, which the tests must keep honest.
void X11PreferFrontBuffer(bool front);
// The name of the display the open window lives on ("" when closed).
const char* X11DisplayName();

// Entry-point binding: every entry is looked up through the given function;
// LoadGLLibraries passes dlsym on libGL.so.1. MissingGLEntry names the first
// unbound entry (null when all are bound); OpenMode refuses to open then.
void BindGLEntries(void* (*lookup)(const char* name));
const char* MissingGLEntry();

// The device's geometry, free of X and GL.
// Cohen-Sutherland clipping against the inclusive rectangle left..right,
// top..bottom; false when nothing of the segment is left.
bool X11ClipLine(int32_t& x1, int32_t& y1, int32_t& x2, int32_t& y2, int32_t left, int32_t top,
                 int32_t right, int32_t bottom);
// The running angles (radians, single precision) of an arc's vertices.
std::vector<float> X11ArcAngles(int16_t start, int16_t end);
