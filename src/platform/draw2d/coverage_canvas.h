#pragma once

#include <cstddef>  // image.h uses size_t without including it
#include <cstdint>

#include "platform/image/image.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace orelens::platform {

// An 8-bit coverage mask over a rectangle of a target picture. Cairo rasterises shapes and
// glyphs into it (in the target's coordinates); the mask is then applied to the target with
// the drawing mode's pixel maths, so every mode works on our straight-alpha pixels exactly.
class CoverageCanvas {
 public:
  // The rectangle is clipped to the target; an empty result makes Context() nullptr.
  CoverageCanvas(const Image& target, int64_t x, int64_t y, int64_t width, int64_t height);
  ~CoverageCanvas();
  CoverageCanvas(const CoverageCanvas&) = delete;
  CoverageCanvas& operator=(const CoverageCanvas&) = delete;

  cairo_t* Context() const { return context_; }
  void ApplyTo(Image& target, uint32_t colour, int mode) const;

 private:
  int left_ = 0;
  int top_ = 0;
  cairo_surface_t* surface_ = nullptr;
  cairo_t* context_ = nullptr;
};

}  // namespace orelens::platform
