#include "platform/draw2d/drawing_session.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "platform/draw2d/coverage_canvas.h"
#include "platform/draw2d/pixel_blend.h"
#include "platform/text/utf8_text.h"

namespace orelens::platform {
namespace {

// Adds a rectangle with elliptic corners to the path; the radii shrink to fit small boxes.
void RoundedRectanglePath(cairo_t* cr, double x, double y, double width, double height, double radiusX,
                          double radiusY) {
  radiusX = std::min(radiusX, width / 2);
  radiusY = std::min(radiusY, height / 2);
  if (radiusX <= 0 || radiusY <= 0) {
    cairo_rectangle(cr, x, y, width, height);
    return;
  }
  constexpr double kPi = std::numbers::pi;
  auto corner = [&](double centreX, double centreY, double fromAngle, double toAngle) {
    cairo_save(cr);
    cairo_translate(cr, centreX, centreY);
    cairo_scale(cr, radiusX, radiusY);
    cairo_arc(cr, 0, 0, 1, fromAngle, toAngle);
    cairo_restore(cr);
  };
  cairo_new_sub_path(cr);
  corner(x + width - radiusX, y + radiusY, -kPi / 2, 0);
  corner(x + width - radiusX, y + height - radiusY, 0, kPi / 2);
  corner(x + radiusX, y + height - radiusY, kPi / 2, kPi);
  corner(x + radiusX, y + radiusY, kPi, 3 * kPi / 2);
  cairo_close_path(cr);
}

// Boxes given with a negative size extend left or up from (x, y).
void Normalise(int64_t& x, int64_t& y, int64_t& width, int64_t& height) {
  if (width < 0) {
    x += width;
    width = -width;
  }
  if (height < 0) {
    y += height;
    height = -height;
  }
}

}  // namespace

DrawingSession::DrawingSession(Image* target, const FontLibrary& fonts, std::function<void()> onStop)
    : target_(target), fonts_(fonts), onStop_(std::move(onStop)) {
  if (target_ && (target_->width <= 0 || target_->height <= 0 ||
                  target_->pixels.size() != static_cast<size_t>(target_->width) * target_->height)) {
    target_ = nullptr;
  }
  measureSurface_ = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  measureContext_ = cairo_create(measureSurface_);
}

DrawingSession::~DrawingSession() {
  Stop();
  cairo_destroy(measureContext_);
  cairo_surface_destroy(measureSurface_);
}

void DrawingSession::Stop() {
  target_ = nullptr;
  if (onStop_) {
    auto onStop = std::move(onStop_);
    onStop_ = nullptr;
    onStop();
  }
}

void DrawingSession::DrawingFont(int fontNumber) { fontNumber_ = fontNumber; }

const Font& DrawingSession::CurrentFont() const {
  const Font* font = fontNumber_ ? fonts_.Find(*fontNumber_) : nullptr;
  return font ? *font : fonts_.DefaultFont();
}

void DrawingSession::FillRectangle(int64_t x, int64_t y, int64_t width, int64_t height, uint32_t colour, int mode) {
  Normalise(x, y, width, height);
  const int64_t left = std::max<int64_t>(x, 0);
  const int64_t top = std::max<int64_t>(y, 0);
  const int64_t right = std::min<int64_t>(x + width, target_->width);
  const int64_t bottom = std::min<int64_t>(y + height, target_->height);
  for (int64_t row = top; row < bottom; ++row) {
    for (int64_t column = left; column < right; ++column) {
      uint32_t& pixel = target_->at(static_cast<int>(column), static_cast<int>(row));
      pixel = CoverPixel(pixel, colour, 255, mode);
    }
  }
}

void DrawingSession::Box(int x, int y, int width, int height, uint32_t colour) {
  if (!target_) return;
  int64_t left = x, top = y, w = width, h = height;
  Normalise(left, top, w, h);
  if (w == 0 || h == 0) return;
  if (!(mode_ & kDrawOutlined) || w <= 2 || h <= 2) {
    FillRectangle(left, top, w, h, colour, mode_);
    return;
  }
  FillRectangle(left, top, w, 1, colour, mode_);
  FillRectangle(left, top + h - 1, w, 1, colour, mode_);
  FillRectangle(left, top + 1, 1, h - 2, colour, mode_);
  FillRectangle(left + w - 1, top + 1, 1, h - 2, colour, mode_);
}

void DrawingSession::RoundBox(int x, int y, int width, int height, int radiusX, int radiusY, uint32_t colour) {
  if (!target_) return;
  int64_t left = x, top = y, w = width, h = height;
  Normalise(left, top, w, h);
  if (w == 0 || h == 0) return;
  CoverageCanvas canvas(*target_, left, top, w, h);
  cairo_t* cr = canvas.Context();
  if (!cr) return;
  const double rx = std::max(radiusX, 0);
  const double ry = std::max(radiusY, 0);
  if (mode_ & kDrawOutlined) {
    // A 1-pixel line centred half a pixel inside the box covers exactly its edge pixels.
    RoundedRectanglePath(cr, left + 0.5, top + 0.5, w - 1.0, h - 1.0, rx - 0.5, ry - 0.5);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
  } else {
    RoundedRectanglePath(cr, left, top, w, h, rx, ry);
    cairo_fill(cr);
  }
  canvas.ApplyTo(*target_, colour, mode_);
}

void DrawingSession::Plot(int x, int y, uint32_t colour) {
  if (!target_ || !target_->contains(x, y)) return;
  uint32_t& pixel = target_->at(x, y);
  pixel = CoverPixel(pixel, colour, 255, mode_);
}

uint32_t DrawingSession::Point(int x, int y) const {
  if (!target_ || !target_->contains(x, y)) return 0;
  return target_->at(x, y);
}

void DrawingSession::DrawImage(const Image& source, int x, int y) {
  if (!target_ || source.pixels.size() != static_cast<size_t>(source.width) * source.height) return;
  const int64_t firstRow = std::max<int64_t>(0, -static_cast<int64_t>(y));
  const int64_t lastRow = std::min<int64_t>(source.height, static_cast<int64_t>(target_->height) - y);
  const int64_t firstColumn = std::max<int64_t>(0, -static_cast<int64_t>(x));
  const int64_t lastColumn = std::min<int64_t>(source.width, static_cast<int64_t>(target_->width) - x);
  for (int64_t row = firstRow; row < lastRow; ++row) {
    for (int64_t column = firstColumn; column < lastColumn; ++column) {
      uint32_t& pixel = target_->at(static_cast<int>(x + column), static_cast<int>(y + row));
      pixel = CoverPixel(pixel, source.at(static_cast<int>(column), static_cast<int>(row)), 255, mode_);
    }
  }
}

int DrawingSession::DrawText(int x, int y, std::string_view text) {
  return DrawText(x, y, text, frontColour_, backColour_);
}

int DrawingSession::DrawText(int x, int y, std::string_view text, uint32_t frontColour) {
  return DrawText(x, y, text, frontColour, backColour_);
}

int DrawingSession::DrawText(int x, int y, std::string_view text, uint32_t frontColour, uint32_t backColour) {
  const std::string valid = ValidUtf8(text);
  const int width = TextWidth(valid);
  const int end = static_cast<int>(std::clamp<int64_t>(int64_t{x} + width, INT32_MIN, INT32_MAX));
  if (!target_ || valid.empty()) return end;
  const Font& font = CurrentFont();
  const int textMode = mode_ & ~kDrawOutlined;
  if (!(mode_ & kDrawTransparent)) {
    FillRectangle(x, y, width, font.lineHeight, backColour, textMode);
  }
  if (!font.face) return end;
  // Glyphs may reach a little beyond their advance and line box; leave them room.
  const int64_t margin = static_cast<int64_t>(std::ceil(font.pixelSize));
  CoverageCanvas canvas(*target_, int64_t{x} - margin, int64_t{y} - margin, int64_t{width} + 2 * margin,
                        int64_t{font.lineHeight} + 2 * margin);
  cairo_t* cr = canvas.Context();
  if (!cr) return end;
  cairo_set_font_face(cr, font.face.get());
  cairo_set_font_size(cr, font.pixelSize);
  cairo_move_to(cr, x, y + std::round(font.ascent));
  cairo_show_text(cr, valid.c_str());
  canvas.ApplyTo(*target_, frontColour, textMode);
  return end;
}

int DrawingSession::TextWidth(std::string_view text) {
  const Font& font = CurrentFont();
  if (!font.face || text.empty()) return 0;
  const std::string valid = ValidUtf8(text);
  cairo_set_font_face(measureContext_, font.face.get());
  cairo_set_font_size(measureContext_, font.pixelSize);
  cairo_text_extents_t extents{};
  cairo_text_extents(measureContext_, valid.c_str(), &extents);
  return static_cast<int>(std::clamp(std::round(extents.x_advance), 0.0, double{INT32_MAX}));
}

int DrawingSession::TextHeight(std::string_view) const { return CurrentFont().lineHeight; }

}  // namespace orelens::platform
