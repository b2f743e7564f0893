#pragma once

// Procedural block textures for the demo assets: tileable noise and a painter per texture.
// Everything is computed from fixed seeds, so the assets come out the same on every run.

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/image/image.h"

namespace orelens::tools {

using platform::Image;
using platform::PackRgba;

struct Colour {
  float r, g, b, a = 255;
};

inline Colour Mix(Colour from, Colour to, float t) {
  t = std::clamp(t, 0.0f, 1.0f);
  return {from.r + (to.r - from.r) * t, from.g + (to.g - from.g) * t, from.b + (to.b - from.b) * t,
          from.a + (to.a - from.a) * t};
}

inline Colour Shade(Colour c, float factor) { return {c.r * factor, c.g * factor, c.b * factor, c.a}; }

inline uint32_t Pack(Colour c) {
  auto channel = [](float v) { return static_cast<uint32_t>(std::clamp(std::lround(v), 0l, 255l)); };
  return PackRgba(channel(c.r), channel(c.g), channel(c.b), channel(c.a));
}

// A pseudo-random value in [0, 1) for a lattice point.
inline float Hash(int x, int y, uint32_t seed) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return static_cast<float>(h & 0xFFFFFF) / 16777216.0f;
}

inline int Wrap(int value, int period) { return ((value % period) + period) % period; }

// Smooth value noise over a lattice of `period` cells across the unit square; wraps at the edges,
// so a texture made from it tiles without seams.
inline float ValueNoise(float u, float v, int period, uint32_t seed) {
  const float x = u * period;
  const float y = v * period;
  const int x0 = static_cast<int>(std::floor(x));
  const int y0 = static_cast<int>(std::floor(y));
  float fx = x - x0;
  float fy = y - y0;
  fx = fx * fx * (3 - 2 * fx);
  fy = fy * fy * (3 - 2 * fy);
  auto at = [&](int dx, int dy) { return Hash(Wrap(x0 + dx, period), Wrap(y0 + dy, period), seed); };
  const float top = at(0, 0) + (at(1, 0) - at(0, 0)) * fx;
  const float bottom = at(0, 1) + (at(1, 1) - at(0, 1)) * fx;
  return top + (bottom - top) * fy;
}

inline float Fractal(float u, float v, int basePeriod, int octaves, uint32_t seed) {
  float sum = 0;
  float weight = 0.5f;
  float total = 0;
  for (int octave = 0; octave < octaves; ++octave) {
    sum += weight * ValueNoise(u, v, basePeriod << octave, seed + octave * 101);
    total += weight;
    weight *= 0.5f;
  }
  return sum / total;
}

// Distance to the nearest and second-nearest of a tileable set of cell points: stones, pebbles.
struct CellDistance {
  float nearest;
  float second;
  int cell;
};

inline CellDistance Cells(float u, float v, int period, uint32_t seed) {
  const float x = u * period;
  const float y = v * period;
  const int cx = static_cast<int>(std::floor(x));
  const int cy = static_cast<int>(std::floor(y));
  CellDistance result{1e9f, 1e9f, 0};
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) {
      const int gx = Wrap(cx + dx, period);
      const int gy = Wrap(cy + dy, period);
      const float px = cx + dx + Hash(gx, gy, seed);
      const float py = cy + dy + Hash(gx, gy, seed + 7);
      const float d = std::hypot(px - x, py - y);
      if (d < result.nearest) {
        result.second = result.nearest;
        result.nearest = d;
        result.cell = gy * period + gx;
      } else if (d < result.second) {
        result.second = d;
      }
    }
  }
  return result;
}

template <typename Painter>
Image Paint(int size, Painter painter) {
  Image image(size, size);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      image.at(x, y) = Pack(painter((x + 0.5f) / size, (y + 0.5f) / size, x, y));
    }
  }
  return image;
}

constexpr int kSize = 64;

inline Image Stone() {
  return Paint(kSize, [](float u, float v, int, int) {
    const float n = Fractal(u, v, 4, 4, 11);
    const float crack = std::abs(ValueNoise(u, v, 6, 12) - 0.5f) < 0.02f ? 0.75f : 1.0f;
    return Shade(Mix({95, 95, 100}, {150, 150, 152}, n), crack);
  });
}

inline Colour DirtAt(float u, float v) {
  const float n = Fractal(u, v, 4, 4, 21);
  const float speck = Hash(static_cast<int>(u * 64), static_cast<int>(v * 64), 22) > 0.93f ? 0.8f : 1.0f;
  return Shade(Mix({100, 68, 42}, {140, 100, 64}, n), speck);
}

inline Image Dirt() {
  return Paint(kSize, [](float u, float v, int, int) { return DirtAt(u, v); });
}

inline Colour GrassAt(float u, float v) {
  const float n = Fractal(u, v, 4, 4, 31);
  const float blade = Hash(static_cast<int>(u * 64), static_cast<int>(v * 64), 32);
  return Shade(Mix({62, 128, 44}, {104, 170, 70}, n), 0.88f + 0.2f * blade);
}

inline Image GrassTop() {
  return Paint(kSize, [](float u, float v, int, int) { return GrassAt(u, v); });
}

// A side face with a band of `top` hanging over dirt, its lower edge ragged.
template <typename TopColour>
Image BandedSide(TopColour top, uint32_t seed) {
  return Paint(kSize, [&](float u, float v, int x, int) {
    const float edge = 0.16f + 0.1f * ValueNoise(u, 0.5f, 8, seed) + 0.05f * Hash(x, 0, seed + 1);
    return v < edge ? top(u, v) : DirtAt(u, v);
  });
}

inline Image GrassSide() { return BandedSide(GrassAt, 41); }

inline Colour SnowAt(float u, float v) {
  return Mix({225, 232, 240}, {250, 252, 255}, Fractal(u, v, 4, 3, 51));
}

inline Image SnowTop() {
  return Paint(kSize, [](float u, float v, int, int) { return SnowAt(u, v); });
}

inline Image SnowSide() { return BandedSide(SnowAt, 52); }

inline Image Sand() {
  return Paint(kSize, [](float u, float v, int x, int y) {
    const float n = Fractal(u, v, 8, 3, 61);
    return Shade(Mix({214, 196, 140}, {232, 218, 170}, n), 0.95f + 0.08f * Hash(x, y, 62));
  });
}

inline Image Bark() {
  return Paint(kSize, [](float u, float v, int, int) {
    const float streak = ValueNoise(u * 1.0f, v * 0.125f, 16, 71);
    const float n = Fractal(u, v, 4, 3, 72);
    return Shade(Mix({72, 50, 30}, {112, 80, 50}, streak), 0.85f + 0.3f * n);
  });
}

inline Image LogEnd() {
  return Paint(kSize, [](float u, float v, int, int) {
    const float dx = u - 0.5f;
    const float dy = v - 0.5f;
    const float radius = std::hypot(dx, dy);
    if (radius > 0.44f || std::max(std::abs(dx), std::abs(dy)) > 0.45f) return Colour{80, 56, 34};
    const float ring = 0.5f + 0.5f * std::sin(radius * 70.0f + 2.0f * ValueNoise(u, v, 4, 81));
    return Mix({170, 128, 78}, {196, 156, 100}, ring);
  });
}

inline Image Planks() {
  return Paint(kSize, [](float u, float v, int x, int y) {
    const int board = y / 16;
    const bool seam = y % 16 == 15 || (x + board * 23) % 64 == 0;
    const float grain = ValueNoise(u * 0.25f + board * 0.3f, v, 16, 91);
    const Colour wood = Mix({160, 120, 70}, {190, 150, 95}, grain);
    return seam ? Shade(wood, 0.6f) : Shade(wood, 0.94f + 0.08f * Hash(board, 0, 92));
  });
}

inline Image Bricks() {
  return Paint(kSize, [](float u, float v, int x, int y) {
    const int row = y / 16;
    const int shifted = x + (row % 2) * 16;
    const bool mortar = y % 16 >= 14 || shifted % 32 >= 30;
    if (mortar) return Mix({180, 175, 165}, {200, 195, 185}, Hash(x, y, 101));
    const int brick = row * 4 + (shifted / 32);
    const float tone = Hash(brick, 0, 102);
    return Shade(Mix({150, 58, 40}, {180, 80, 55}, tone), 0.92f + 0.12f * Fractal(u, v, 8, 2, 103));
  });
}

inline Image Cobblestone() {
  return Paint(kSize, [](float u, float v, int, int) {
    const CellDistance cell = Cells(u, v, 5, 111);
    const float gap = cell.second - cell.nearest;
    const float tone = Hash(cell.cell, 0, 112);
    const Colour stone = Mix({105, 105, 108}, {160, 158, 155}, tone);
    if (gap < 0.12f) return Shade(stone, 0.45f + 3.0f * gap);
    return Shade(stone, 0.9f + 0.2f * Fractal(u, v, 8, 2, 113));
  });
}

inline Image Gravel() {
  return Paint(kSize, [](float u, float v, int, int) {
    const CellDistance cell = Cells(u, v, 9, 121);
    const float tone = Hash(cell.cell, 0, 122);
    const Colour pebble = Mix({110, 104, 100}, {175, 168, 160}, tone);
    return Shade(pebble, std::clamp(1.1f - cell.nearest * 0.6f, 0.5f, 1.0f));
  });
}

inline Image GoldOre() {
  const Image stone = Stone();
  return Paint(kSize, [&](float u, float v, int x, int y) {
    const CellDistance cell = Cells(u, v, 4, 131);
    const Colour base{static_cast<float>(platform::RedOf(stone.at(x, y))),
                      static_cast<float>(platform::GreenOf(stone.at(x, y))),
                      static_cast<float>(platform::BlueOf(stone.at(x, y)))};
    if (cell.nearest < 0.22f && Hash(cell.cell, 1, 132) > 0.3f) {
      return Mix({250, 214, 90}, {196, 150, 40}, cell.nearest / 0.22f);
    }
    return base;
  });
}

// Mostly clear, with a bright rim and two streaks of reflection.
inline Image Glass() {
  return Paint(kSize, [](float, float, int x, int y) {
    const bool rim = x < 2 || y < 2 || x >= kSize - 2 || y >= kSize - 2;
    if (rim) return Colour{220, 240, 245, 230};
    const int diagonal = x + y;
    if ((diagonal > 20 && diagonal < 24) || (diagonal > 30 && diagonal < 32)) return Colour{255, 255, 255, 120};
    return Colour{190, 225, 235, 40};
  });
}

inline Image Leaves() {
  return Paint(kSize, [](float u, float v, int x, int y) {
    const float n = Fractal(u, v, 8, 3, 141);
    if (Hash(x / 2, y / 2, 142) > 0.82f) return Colour{0, 0, 0, 0};
    return Shade(Mix({40, 100, 32}, {80, 150, 56}, n), 0.9f + 0.2f * Hash(x, y, 143));
  });
}

inline Image Water() {
  return Paint(kSize, [](float u, float v, int, int) {
    const float wave = 0.5f + 0.5f * std::sin((v + 0.08f * ValueNoise(u, v, 4, 151)) * 6.2831853f * 4);
    Colour c = Mix({30, 80, 170}, {60, 120, 200}, wave);
    c.a = 160;
    return c;
  });
}

inline Image Ice() {
  return Paint(kSize, [](float u, float v, int, int) {
    const bool crack = std::abs(ValueNoise(u, v, 4, 161) - 0.5f) < 0.015f;
    Colour c = Mix({170, 210, 240}, {210, 235, 250}, Fractal(u, v, 4, 3, 162));
    c.a = crack ? 230 : 190;
    return crack ? Mix(c, {255, 255, 255, 230}, 0.7f) : c;
  });
}

// Grass blades on a clear background, for the crossed quads.
inline Image TallGrass() {
  Image image(kSize, kSize, 0);
  for (int blade = 0; blade < 14; ++blade) {
    const float base = 4 + 56 * Hash(blade, 0, 171);
    const float lean = (Hash(blade, 1, 171) - 0.5f) * 18;
    const float height = 26 + 34 * Hash(blade, 2, 171);
    const Colour colour = Mix({50, 120, 36}, {120, 180, 70}, Hash(blade, 3, 171));
    for (int y = kSize - 1; y > kSize - 1 - height; --y) {
      const float t = (kSize - 1 - y) / height;
      const float centre = base + lean * t * t;
      const float halfWidth = 1.6f * (1 - t) + 0.4f;
      for (int x = static_cast<int>(centre - halfWidth); x <= static_cast<int>(centre + halfWidth); ++x) {
        if (x >= 0 && x < kSize) image.at(x, y) = Pack(Shade(colour, 0.8f + 0.3f * t));
      }
    }
  }
  return image;
}

inline Image Flower() {
  Image image(kSize, kSize, 0);
  auto put = [&](int x, int y, Colour c) {
    if (image.contains(x, y)) image.at(x, y) = Pack(c);
  };
  for (int y = 24; y < kSize; ++y) {
    put(31, y, {60, 130, 40});
    put(32, y, {50, 115, 35});
  }
  for (int i = 0; i < 10; ++i) {  // two leaves
    for (int w = 0; w <= (i < 5 ? i : 10 - i) / 2; ++w) {
      put(30 - i, 50 - i / 2 + w, {70, 150, 50});
      put(33 + i, 46 - i / 2 + w, {70, 150, 50});
    }
  }
  for (int y = 6; y < 34; ++y) {
    for (int x = 18; x < 46; ++x) {
      const float dx = x + 0.5f - 32;
      const float dy = y + 0.5f - 20;
      const float radius = std::hypot(dx, dy);
      const float angle = std::atan2(dy, dx);
      const float petal = 9 + 4 * std::cos(angle * 5);
      if (radius < 4) {
        put(x, y, Mix({250, 210, 60}, {220, 160, 30}, radius / 4));
      } else if (radius < petal) {
        put(x, y, Mix({235, 60, 70}, {190, 30, 50}, radius / petal));
      }
    }
  }
  return image;
}

// The torch's texture: wood on the left half, the flame's colours on the right half.
inline Image Torch() {
  return Paint(kSize, [](float u, float v, int, int) {
    if (u < 0.5f) return Mix({120, 84, 48}, {150, 110, 64}, ValueNoise(u, v * 0.25f, 8, 181));
    return Mix({255, 245, 160}, {240, 120, 30}, v);
  });
}

// A face of the selection cube: a frame with a faint fill; the active one glows orange.
inline Image ToolFrame(Colour frame) {
  return Paint(kSize, [&](float, float, int x, int y) {
    const int edge = std::min({x, y, kSize - 1 - x, kSize - 1 - y});
    if (edge < 3) return frame;
    if (edge < 5) return Colour{frame.r, frame.g, frame.b, 120};
    return Colour{frame.r, frame.g, frame.b, 28};
  });
}

// A sky of soft clouds that tiles in both directions: the sky dome repeats it over the cloud
// layer, so any edge that did not wrap would show as a seam across the sky.
inline Image Clouds(int width, int height) {
  Image image(width, height);
  const Colour sky = Mix({70, 130, 210}, {175, 210, 240}, 0.45f);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const float u = (x + 0.5f) / width;
      const float v = (y + 0.5f) / height;
      const float density = Fractal(u, v, 4, 5, 191);
      const float cloud = std::clamp((density - 0.48f) * 4.0f, 0.0f, 1.0f) * 0.8f;
      image.at(x, y) = Pack(Mix(sky, Mix({250, 250, 252}, {200, 205, 215}, density), cloud));
    }
  }
  return image;
}

}  // namespace orelens::tools
