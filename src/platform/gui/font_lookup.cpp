#include "platform/gui/font_lookup.h"

#include <fontconfig/fontconfig.h>

#include <memory>

namespace orelens::platform {

std::string FindFontFile(std::string_view family) {
  std::unique_ptr<FcConfig, decltype(&FcConfigDestroy)> config(FcInitLoadConfigAndFonts(), &FcConfigDestroy);
  if (!config) return {};
  std::unique_ptr<FcPattern, decltype(&FcPatternDestroy)> pattern(FcPatternCreate(), &FcPatternDestroy);
  const std::string name(family);
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
  FcConfigSubstitute(config.get(), pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  std::unique_ptr<FcPattern, decltype(&FcPatternDestroy)> match(FcFontMatch(config.get(), pattern.get(), &result),
                                                                &FcPatternDestroy);
  if (!match) return {};
  FcChar8* file = nullptr;
  if (FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch || file == nullptr) return {};
  const std::string path(reinterpret_cast<const char*>(file));
  // The GUI's rasteriser reads TrueType and OpenType files only, not Type 1 copies.
  const bool readable = path.ends_with(".ttf") || path.ends_with(".otf") || path.ends_with(".TTF") ||
                        path.ends_with(".OTF") || path.ends_with(".ttc");
  return readable ? path : std::string();
}

}  // namespace orelens::platform
