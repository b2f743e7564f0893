#pragma once

#include <cstddef>  // image.h uses size_t without including it
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/draw2d/drawing_mode.h"
#include "platform/draw2d/font_library.h"
#include "platform/image/image.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace orelens::platform {

// 2D drawing into a picture (a texture's or a sprite's Image), from construction until Stop()
// or destruction. Colours are packed RGBA (PackRgba: red in the lowest byte); coordinates are
// pixels from the top-left corner, and everything is clipped to the picture.
// A session on a null or empty picture does not start: every call then does nothing.
class DrawingSession {
 public:
  // `onStop` runs once when drawing ends, e.g. to hand a texture back to the engine for upload.
  DrawingSession(Image* target, const FontLibrary& fonts, std::function<void()> onStop = {});
  ~DrawingSession();
  DrawingSession(const DrawingSession&) = delete;
  DrawingSession& operator=(const DrawingSession&) = delete;

  bool Started() const { return target_ != nullptr; }
  // The picture's size; 0 when drawing has not started.
  int OutputWidth() const { return target_ ? target_->width : 0; }
  int OutputHeight() const { return target_ ? target_->height : 0; }
  void Stop();

  void DrawingMode(int mode) { mode_ = mode; }
  int Mode() const { return mode_; }
  // Selects a font of the library; a number without a loaded font selects the default font.
  void DrawingFont(int fontNumber);
  // The default text colours: glyphs in the front colour on a box of the back colour
  // (the box is left out with kDrawTransparent). Opaque white on opaque black at the start.
  void FrontColor(uint32_t colour) { frontColour_ = colour; }
  void BackColor(uint32_t colour) { backColour_ = colour; }

  void Box(int x, int y, int width, int height, uint32_t colour);
  // A box with curved corners; radiusX and radiusY are the corner ellipse's radii.
  void RoundBox(int x, int y, int width, int height, int radiusX, int radiusY, uint32_t colour);
  void Plot(int x, int y, uint32_t colour);
  // The pixel at (x, y), 0 outside the picture.
  uint32_t Point(int x, int y) const;
  // Draws `source` with its top-left corner at (x, y), each pixel as if plotted in the current mode.
  void DrawImage(const Image& source, int x, int y);

  // Text with its top-left corner at (x, y). Returns the x just after the text.
  int DrawText(int x, int y, std::string_view text);
  int DrawText(int x, int y, std::string_view text, uint32_t frontColour);
  int DrawText(int x, int y, std::string_view text, uint32_t frontColour, uint32_t backColour);
  int TextWidth(std::string_view text);
  int TextHeight(std::string_view text) const;

 private:
  void FillRectangle(int64_t x, int64_t y, int64_t width, int64_t height, uint32_t colour, int mode);
  const Font& CurrentFont() const;

  Image* target_;
  const FontLibrary& fonts_;
  std::function<void()> onStop_;
  std::optional<int> fontNumber_;  // looked up on each use, so a font freed meanwhile falls back to the default
  int mode_ = kDrawDefault;
  uint32_t frontColour_ = PackRgba(255, 255, 255);
  uint32_t backColour_ = PackRgba(0, 0, 0);
  cairo_surface_t* measureSurface_ = nullptr;  // a 1x1 surface for measuring text
  cairo_t* measureContext_ = nullptr;
};

}  // namespace orelens::platform
