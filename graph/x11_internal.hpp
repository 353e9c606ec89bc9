// What the window device's three files share, and nothing else includes: the
// window and its connection (x11_window.cpp), the GL batch, state cache and
// presenting (x11_batch.cpp), and the primitives (x11_device.cpp).
#pragma once

#include <X11/Xlib.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "graph/graph.hpp"
#include "graph/x11_gl.hpp"

namespace x11 {

// ---- The window (written by x11_window.cpp) ---------------------------------
inline Display* Dpy = nullptr;
inline int Screen = 0;
inline Window Win = 0;
inline GLXContext Context = nullptr;
inline bool WindowOpen = false;
inline std::array<char, 256> DisplayName{};  // kept for the lost-connection report
// Drawn into the back buffer and presented by copying (see x11_batch.cpp).
inline bool BackBuffer = false;
// Nothing but black clears drawn since the window opened on its black
// background: the screen already shows every pixel of the window.
inline bool Blank = false;

// ---- Drawing state the device keeps beside the layer's -----------------------
inline std::vector<std::array<uint16_t, 3>> Palette;  // MaxColor entries while open
inline bool Dirty = false;                            // drawn since the last present

// The projection keeps y upwards: layer row y is GL row MaxY - y.
inline int32_t GlY(int32_t y) { return int32_t{MaxY} - y; }

// ---- GL batch and state cache (x11_batch.cpp) ---------------------------------
void ApplyColour(uint16_t index);
// The cached GL colour is forgotten when it stands for this palette entry.
void PaletteEntryChanged(uint16_t index);
void ApplyWriteMode();
void ApplyLineStyle();
void SetStipple(uint16_t pattern);
void SetWidth(float width);
// A primitive's GL shape: lines and points stay in one open batch.
void BeginShape(GLenum mode);
void EndShape();
// Every GL call outside a shape goes through EndBatch first.
void EndBatch();
// A new context, or none: nothing sent, nothing open, nothing to present.
void ForgetGLState();
// Everything a primitive draws lies within this box (window pixels).
void Mark(int32_t left, int32_t top, int32_t right, int32_t bottom);

// ---- Primitives (x11_device.cpp) -----------------------------------------------
void ClearWindow();

// ---- The window (x11_window.cpp) -----------------------------------------------
// The idle connection that keeps the server from resetting between windows;
// opened on the first call. When no display can be opened the program ends
// with one line naming it.
Display* Anchor();
void OpenMode();
void CloseGraphWindow();

}  // namespace x11
