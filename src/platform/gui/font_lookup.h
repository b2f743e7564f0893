#pragma once

#include <string>
#include <string_view>

namespace orelens::platform {

// The file of the installed font that fontconfig picks for a family name ("Palatino Linotype"
// gives its metric twin P052), or "" when fontconfig knows no font file at all.
std::string FindFontFile(std::string_view family);

// Font sizes are points at the 96 dots per inch the program was laid out for.
inline float PointsToPixels(int points) { return static_cast<float>(points) * 96.0f / 72.0f; }

}  // namespace orelens::platform
