#include "customblocks/bc3_texel.h"

#include "platform/image/image.h"

namespace orelens::customblocks {

uint8_t Bc3Alpha(uint8_t a0, uint8_t a1, unsigned index) {
  const unsigned i = index & 7u;
  if (i == 0) return a0;
  if (i == 1) return a1;
  if (a0 > a1) return static_cast<uint8_t>(((8 - i) * a0 + (i - 1) * a1) / 7);
  if (i == 6) return 0;
  if (i == 7) return 255;
  return static_cast<uint8_t>(((6 - i) * a0 + (i - 1) * a1) / 5);
}

namespace {

uint8_t Widen5(unsigned v) {
  const unsigned t = v * 255 + 16;
  return static_cast<uint8_t>((t + t / 32) / 32);
}

uint8_t Widen6(unsigned v) {
  const unsigned t = v * 255 + 32;
  return static_cast<uint8_t>((t + t / 64) / 64);
}

uint8_t Mix(uint8_t twice, uint8_t once) { return static_cast<uint8_t>((2u * twice + once) / 3); }

}  // namespace

Rgb8 WidenRgb565(uint16_t packed) {
  return {Widen5((packed >> 11) & 0x1F), Widen6((packed >> 5) & 0x3F), Widen5(packed & 0x1F)};
}

Rgb8 Bc3Colour(Rgb8 c0, Rgb8 c1, unsigned index) {
  switch (index & 3u) {
    case 0: return c0;
    case 1: return c1;
    case 2: return {Mix(c0.red, c1.red), Mix(c0.green, c1.green), Mix(c0.blue, c1.blue)};
    default: return {Mix(c1.red, c0.red), Mix(c1.green, c0.green), Mix(c1.blue, c0.blue)};
  }
}

uint32_t DecodeBc3FirstTexel(Bc3Block block) {
  const auto byte = [&](size_t i) { return std::to_integer<unsigned>(block[i]); };
  const uint8_t alpha = Bc3Alpha(static_cast<uint8_t>(byte(0)), static_cast<uint8_t>(byte(1)), byte(2) & 7u);
  const Rgb8 c0 = WidenRgb565(static_cast<uint16_t>(byte(8) | (byte(9) << 8)));
  const Rgb8 c1 = WidenRgb565(static_cast<uint16_t>(byte(10) | (byte(11) << 8)));
  const Rgb8 colour = Bc3Colour(c0, c1, byte(12) & 3u);
  return platform::PackRgba(colour.red, colour.green, colour.blue, alpha);
}

}  // namespace orelens::customblocks
