#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>

typedef struct _cairo_font_face cairo_font_face_t;

namespace orelens::platform {

// One loaded font: a face resolved through fontconfig, at a pixel size.
struct Font {
  std::shared_ptr<cairo_font_face_t> face;
  std::string requestedName;
  std::string resolvedFamily;  // the family fontconfig picked, e.g. "P052" for "Palatino Linotype"
  double pixelSize = 0;
  double ascent = 0;   // pixels above the baseline
  double descent = 0;  // pixels below the baseline
  int lineHeight = 0;  // what TextHeight reports: ascent + descent, rounded up
};

// The fonts of 2D drawing, addressed by the numbers the program chooses. Sizes are points at
// 96 dots per inch, so size 12 gives a 16-pixel em. Holds a default font for drawing outputs
// that select none. Used from the main thread only.
class FontLibrary {
 public:
  FontLibrary();
  ~FontLibrary();
  FontLibrary(const FontLibrary&) = delete;
  FontLibrary& operator=(const FontLibrary&) = delete;

  // Loads (or replaces) font `number`. Returns false when fontconfig finds no face for it.
  bool LoadFont(int number, std::string_view name, int size);
  bool IsFont(int number) const;
  void FreeFont(int number);

  // The font of `number`, or nullptr when none is loaded under it.
  const Font* Find(int number) const;
  const Font& DefaultFont() const { return defaultFont_; }

 private:
  std::map<int, Font> fonts_;
  Font defaultFont_;
};

}  // namespace orelens::platform
