#include "platform/draw2d/font_library.h"

#include <cairo-ft.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <cmath>
#include <string>

namespace orelens::platform {
namespace {

constexpr double kPixelsPerPoint = 96.0 / 72.0;
constexpr const char* kDefaultFontName = "sans-serif";
constexpr int kDefaultFontSize = 9;

struct PatternDeleter {
  void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using PatternPtr = std::unique_ptr<FcPattern, PatternDeleter>;

// Asks fontconfig for the installed face that best stands in for `name`; the metric-compatible
// aliases it ships make "Palatino Linotype" come out as P052.
PatternPtr MatchFace(const std::string& name, double pixelSize) {
  PatternPtr pattern(FcPatternCreate());
  if (!pattern) return nullptr;
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
  FcPatternAddDouble(pattern.get(), FC_PIXEL_SIZE, pixelSize);
  FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  PatternPtr matched(FcFontMatch(nullptr, pattern.get(), &result));
  if (result != FcResultMatch) return nullptr;
  return matched;
}

bool MakeFont(const std::string& name, int size, Font& font) {
  if (size <= 0) return false;
  const double pixelSize = size * kPixelsPerPoint;
  PatternPtr matched = MatchFace(name, pixelSize);
  if (!matched) return false;

  cairo_font_face_t* face = cairo_ft_font_face_create_for_pattern(matched.get());
  if (cairo_font_face_status(face) != CAIRO_STATUS_SUCCESS) {
    cairo_font_face_destroy(face);
    return false;
  }
  font.face = std::shared_ptr<cairo_font_face_t>(face, cairo_font_face_destroy);
  font.requestedName = name;
  font.pixelSize = pixelSize;
  FcChar8* family = nullptr;
  if (FcPatternGetString(matched.get(), FC_FAMILY, 0, &family) == FcResultMatch && family) {
    font.resolvedFamily = reinterpret_cast<const char*>(family);
  }

  cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  cairo_t* cr = cairo_create(scratch);
  cairo_set_font_face(cr, face);
  cairo_set_font_size(cr, pixelSize);
  cairo_font_extents_t extents{};
  cairo_font_extents(cr, &extents);
  cairo_destroy(cr);
  cairo_surface_destroy(scratch);
  font.ascent = extents.ascent;
  font.descent = extents.descent;
  font.lineHeight = static_cast<int>(std::ceil(extents.ascent + extents.descent));
  return font.lineHeight > 0;
}

}  // namespace

FontLibrary::FontLibrary() {
  if (!MakeFont(kDefaultFontName, kDefaultFontSize, defaultFont_)) {
    // No face at all on this system: text draws nothing but measures sensibly.
    defaultFont_.pixelSize = kDefaultFontSize * kPixelsPerPoint;
    defaultFont_.ascent = defaultFont_.pixelSize * 0.8;
    defaultFont_.descent = defaultFont_.pixelSize * 0.2;
    defaultFont_.lineHeight = static_cast<int>(std::ceil(defaultFont_.pixelSize));
  }
}

FontLibrary::~FontLibrary() = default;

bool FontLibrary::LoadFont(int number, std::string_view name, int size) {
  Font font;
  if (!MakeFont(std::string(name), size, font)) return false;
  fonts_[number] = std::move(font);
  return true;
}

bool FontLibrary::IsFont(int number) const { return fonts_.count(number) != 0; }

void FontLibrary::FreeFont(int number) { fonts_.erase(number); }

const Font* FontLibrary::Find(int number) const {
  auto it = fonts_.find(number);
  return it == fonts_.end() ? nullptr : &it->second;
}

}  // namespace orelens::platform
