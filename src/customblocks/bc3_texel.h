#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace orelens::customblocks {

constexpr size_t kBc3BlockSize = 16;
using Bc3Block = std::span<const std::byte, kBc3BlockSize>;

// Alpha of a texel from the block's two alpha endpoints and its 3-bit index.
uint8_t Bc3Alpha(uint8_t a0, uint8_t a1, unsigned index);

// A 5:6:5 endpoint widened to 8 bits per channel, as packed RGB (red in the lowest byte).
struct Rgb8 {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
};
Rgb8 WidenRgb565(uint16_t packed);

// Colour of a texel from the widened endpoints and its 2-bit index; always the four-colour rule.
Rgb8 Bc3Colour(Rgb8 c0, Rgb8 c1, unsigned index);

// Texel 0 (top-left) of a BC3 block as a packed RGBA pixel (red lowest, alpha highest).
uint32_t DecodeBc3FirstTexel(Bc3Block block);

}  // namespace orelens::customblocks
