// XGetImage of the root window on a connection of its own, pixels decoded by
// the visual's channel masks, PNG through libpng.
#include "tests/support/picture.hpp"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>

#include <cstdio>
#include <stdexcept>

#include "tests/support/xvfb.hpp"

namespace shot {
namespace {

// The 8 bits of a channel, whatever its position and width in the pixel.
uint8_t Channel(unsigned long pixel, unsigned long mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1u) == 0) ++shift;
  const unsigned long max = mask >> shift;
  const unsigned long value = (pixel & mask) >> shift;
  return static_cast<uint8_t>(value * 255 / max);
}

}  // namespace

Screen::Screen(const std::string& display) : display_(xvfb::Connect(display)) {
  if (display_ == nullptr) throw std::runtime_error("cannot open X display " + display);
}

Screen::~Screen() { XCloseDisplay(display_); }

Image Screen::Grab(int x, int y, int width, int height) const {
  XImage* raw = XGetImage(display_, DefaultRootWindow(display_), x, y, static_cast<unsigned>(width),
                          static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (raw == nullptr) throw std::runtime_error("XGetImage failed on " + std::string(DisplayString(display_)));
  Image image{width, height, {}};
  image.pixels.reserve(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int row = 0; row < height; ++row) {
    for (int col = 0; col < width; ++col) {
      const unsigned long p = XGetPixel(raw, col, row);
      image.pixels.push_back({Channel(p, raw->red_mask), Channel(p, raw->green_mask),
                              Channel(p, raw->blue_mask)});
    }
  }
  XDestroyImage(raw);
  return image;
}

Image Grab(const std::string& display, int x, int y, int width, int height) {
  return Screen(display).Grab(x, y, width, height);
}

void SavePng(const Image& image, const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) throw std::runtime_error("cannot write " + path);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (png == nullptr || info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    throw std::runtime_error("libpng failed writing " + path);
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
               static_cast<png_uint_32>(image.height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  static_assert(sizeof(Rgb) == 3, "rows are written straight from the pixel vector");
  for (int row = 0; row < image.height; ++row) {
    auto* bytes = const_cast<Rgb*>(&image.pixels[static_cast<size_t>(row * image.width)]);
    png_write_row(png, reinterpret_cast<png_bytep>(bytes));
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(file);
}

void SavePng(const std::string& display, const std::string& path, int width, int height) {
  SavePng(Grab(display, 0, 0, width, height), path);
}

}  // namespace shot
