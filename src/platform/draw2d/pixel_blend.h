#pragma once

#include <cstddef>  // image.h uses size_t without including it
#include <cstdint>

#include "platform/draw2d/drawing_mode.h"
#include "platform/image/image.h"

namespace orelens::platform {

// The pixel maths of every drawing mode, on straight (not premultiplied) RGBA.
// `coverage` (0..255) is how much of the pixel the shape covers; antialiased edges and glyphs
// give values in between.

inline uint32_t RoundedDivide(uint32_t numerator, uint32_t denominator) {
  return (numerator + denominator / 2) / denominator;
}

inline uint32_t Lerp8(uint32_t from, uint32_t to, uint32_t coverage) {
  return from + static_cast<uint32_t>(static_cast<int>(coverage) * (static_cast<int>(to) - static_cast<int>(from)) +
                                      (to >= from ? 127 : -127)) / 255;
}

// Porter-Duff source-over of `source` with opacity `sourceAlpha` (0..255) onto `dest`.
inline uint32_t SourceOver(uint32_t dest, uint32_t source, uint32_t sourceAlpha) {
  if (sourceAlpha == 0) return dest;
  const uint32_t destAlpha = AlphaOf(dest);
  const uint32_t destWeight = destAlpha * (255 - sourceAlpha);  // both weights are scaled by 255
  const uint32_t sourceWeight = sourceAlpha * 255;
  const uint32_t outAlpha255 = sourceWeight + destWeight;
  auto channel = [&](uint32_t s, uint32_t d) { return RoundedDivide(s * sourceWeight + d * destWeight, outAlpha255); };
  return PackRgba(channel(RedOf(source), RedOf(dest)), channel(GreenOf(source), GreenOf(dest)),
                  channel(BlueOf(source), BlueOf(dest)), RoundedDivide(outAlpha255, 255));
}

inline uint32_t CoverPixel(uint32_t dest, uint32_t colour, uint32_t coverage, int mode) {
  if (coverage == 0) return dest;
  if (mode & kDrawAlphaChannel) {
    return (dest & 0x00FFFFFFu) | (Lerp8(AlphaOf(dest), AlphaOf(colour), coverage) << 24);
  }
  if (mode & kDrawAlphaBlend) {
    return SourceOver(dest, colour, RoundedDivide(AlphaOf(colour) * coverage, 255));
  }
  if (coverage == 255) return colour;
  return PackRgba(Lerp8(RedOf(dest), RedOf(colour), coverage), Lerp8(GreenOf(dest), GreenOf(colour), coverage),
                  Lerp8(BlueOf(dest), BlueOf(colour), coverage), Lerp8(AlphaOf(dest), AlphaOf(colour), coverage));
}

}  // namespace orelens::platform
