#include "platform/draw2d/coverage_canvas.h"

#include <cairo.h>

#include <algorithm>

#include "platform/draw2d/pixel_blend.h"

namespace orelens::platform {

CoverageCanvas::CoverageCanvas(const Image& target, int64_t x, int64_t y, int64_t width, int64_t height) {
  const int64_t left = std::max<int64_t>(x, 0);
  const int64_t top = std::max<int64_t>(y, 0);
  const int64_t right = std::min<int64_t>(x + width, target.width);
  const int64_t bottom = std::min<int64_t>(y + height, target.height);
  if (right <= left || bottom <= top) return;
  left_ = static_cast<int>(left);
  top_ = static_cast<int>(top);
  surface_ = cairo_image_surface_create(CAIRO_FORMAT_A8, static_cast<int>(right - left), static_cast<int>(bottom - top));
  if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface_);
    surface_ = nullptr;
    return;
  }
  context_ = cairo_create(surface_);
  cairo_translate(context_, -left, -top);
  cairo_set_source_rgba(context_, 0, 0, 0, 1);
}

CoverageCanvas::~CoverageCanvas() {
  if (context_) cairo_destroy(context_);
  if (surface_) cairo_surface_destroy(surface_);
}

void CoverageCanvas::ApplyTo(Image& target, uint32_t colour, int mode) const {
  if (!surface_) return;
  cairo_surface_flush(surface_);
  const unsigned char* data = cairo_image_surface_get_data(surface_);
  const int stride = cairo_image_surface_get_stride(surface_);
  const int width = cairo_image_surface_get_width(surface_);
  const int height = cairo_image_surface_get_height(surface_);
  for (int row = 0; row < height; ++row) {
    const unsigned char* coverage = data + static_cast<size_t>(row) * stride;
    for (int column = 0; column < width; ++column) {
      if (coverage[column] == 0) continue;
      uint32_t& pixel = target.at(left_ + column, top_ + row);
      pixel = CoverPixel(pixel, colour, coverage[column], mode);
    }
  }
}

}  // namespace orelens::platform
