#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orelens::platform {

// A picture in memory: textures, sprites and grabbed screen regions all hold one.
// Pixels are straight (not premultiplied) RGBA, one uint32 each: red in the lowest byte,
// then green, blue, and alpha in the highest byte. Rows run top to bottom.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // width * height

  Image() = default;
  Image(int w, int h, uint32_t fill = 0) : width(w), height(h), pixels(static_cast<size_t>(w) * h, fill) {}

  uint32_t& at(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
};

constexpr uint32_t PackRgba(uint32_t r, uint32_t g, uint32_t b, uint32_t a = 255) {
  return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16) | ((a & 0xFF) << 24);
}
constexpr uint32_t RedOf(uint32_t p) { return p & 0xFF; }
constexpr uint32_t GreenOf(uint32_t p) { return (p >> 8) & 0xFF; }
constexpr uint32_t BlueOf(uint32_t p) { return (p >> 16) & 0xFF; }
constexpr uint32_t AlphaOf(uint32_t p) { return (p >> 24) & 0xFF; }

// Colours handed to the engine are packed RGB integers: red + green * 256 + blue * 65536.
constexpr int PackRgb(int r, int g, int b) { return r + g * 256 + b * 65536; }

}  // namespace orelens::platform
