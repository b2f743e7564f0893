#pragma once

// Decoding one texel of a BC3 (DXT5) block. Kept inline: the thumbnail decoder calls it once
// per block of a texture, 262,144 times for a 2048 x 2048 file.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/image/image.h"

namespace orelens::customblocks {

constexpr size_t kBc3BlockSize = 16;
using Bc3Block = std::span<const std::byte, kBc3BlockSize>;

// Alpha of a texel from the block's two alpha endpoints and its 3-bit index.
constexpr unsigned Bc3Alpha(unsigned a0, unsigned a1, unsigned index) {
  const unsigned i = index & 7u;
  if (i == 0) return a0;
  if (i == 1) return a1;
  if (a0 > a1) return ((8 - i) * a0 + (i - 1) * a1) / 7;
  if (i == 6) return 0;
  if (i == 7) return 255;
  return ((6 - i) * a0 + (i - 1) * a1) / 5;
}

// A colour with 8-bit channel values (0..255), held in full-width integers: byte-sized fields
// make the compiler pack and unpack them through memory.
struct RgbChannels {
  unsigned red = 0;
  unsigned green = 0;
  unsigned blue = 0;
};

// A 5:6:5 endpoint widened to 8 bits per channel.
constexpr RgbChannels WidenRgb565(uint16_t packed) {
  const auto widen5 = [](unsigned v) {
    const unsigned t = v * 255 + 16;
    return (t + t / 32) / 32;
  };
  const auto widen6 = [](unsigned v) {
    const unsigned t = v * 255 + 32;
    return (t + t / 64) / 64;
  };
  return {widen5((packed >> 11) & 0x1Fu), widen6((packed >> 5) & 0x3Fu), widen5(packed & 0x1Fu)};
}

// Colour of a texel from the widened endpoints and its 2-bit index, always by the four-colour
// rule: 0 is c0, 1 is c1, 2 is (2 c0 + c1) / 3, 3 is (c0 + 2 c1) / 3. Written as weights out of 3
// to spare a branch per texel on an index that follows no pattern.
constexpr RgbChannels Bc3Colour(RgbChannels c0, RgbChannels c1, unsigned index) {
  constexpr std::array<unsigned, 4> kWeight0{3, 0, 2, 1};
  constexpr std::array<unsigned, 4> kWeight1{0, 3, 1, 2};
  const unsigned w0 = kWeight0[index & 3u];
  const unsigned w1 = kWeight1[index & 3u];
  return {(w0 * c0.red + w1 * c1.red) / 3, (w0 * c0.green + w1 * c1.green) / 3,
          (w0 * c0.blue + w1 * c1.blue) / 3};
}

// Texel 0 (top-left) of a BC3 block as a packed RGBA pixel (red lowest, alpha highest).
inline uint32_t DecodeBc3FirstTexel(Bc3Block block) {
  const auto byte = [&](size_t i) { return std::to_integer<unsigned>(block[i]); };
  const unsigned alpha = Bc3Alpha(byte(0), byte(1), byte(2));
  const RgbChannels c0 = WidenRgb565(static_cast<uint16_t>(byte(8) | (byte(9) << 8)));
  const RgbChannels c1 = WidenRgb565(static_cast<uint16_t>(byte(10) | (byte(11) << 8)));
  const RgbChannels colour = Bc3Colour(c0, c1, byte(12));
  return platform::PackRgba(colour.red, colour.green, colour.blue, alpha);
}

}  // namespace orelens::customblocks
