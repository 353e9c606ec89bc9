// Reading the screen of an X display back: areas of the root window and PNG
// files of them. The game window sits at (0, 0) of the root window (no window
// manager), so root coordinates are window coordinates. Writes only the files
// it is asked to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct _XDisplay;  // Xlib's Display, without Xlib's macros in every includer

namespace shot {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

// An area of the screen, row by row from the top.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<Rgb> pixels;
  Rgb At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

// One connection to a display kept for many readings, for a caller that
// watches the screen closely (a connection per reading would flood the
// server). Throws std::runtime_error when the display cannot be opened.
class Screen {
 public:
  explicit Screen(const std::string& display);
  ~Screen();
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;
  Image Grab(int x, int y, int width, int height) const;

 private:
  ::_XDisplay* display_;
};

// Throw std::runtime_error when the display cannot be opened or read.
Image Grab(const std::string& display, int x, int y, int width, int height);
// Saves the top-left width x height area as an 8-bit RGB PNG at path.
void SavePng(const std::string& display, const std::string& path, int width, int height);
void SavePng(const Image& image, const std::string& path);

}  // namespace shot
