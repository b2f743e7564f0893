#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orelens::viewer {

// One line of the overlay panel: drawn at x = 10 and the given y.
struct HudLine {
  int y = 0;
  uint32_t rgba = 0;  // platform::PackRgba
  std::string text;
};

// What the overlay shows; gathered by DrawHudText from the program's state.
struct HudFacts {
  int mode = 0;            // interaction mode, or -1 for the start hint
  int chunkId = 0;         // chunk under the camera
  bool loadingPaused = false;
  int64_t chunksDisplayed = 0;
  std::string worldName;
  float cameraX = 0, cameraY = 0, cameraZ = 0;  // engine axes, y up
};

// A camera coordinate with exactly one decimal place, to the nearest tenth ("12.5", "-0.0" for
// a small negative value, "0.0" for an exact zero of either sign).
std::string FormatTenths(float value);

// The lines of the panel, in drawing order (the paused line first).
std::vector<HudLine> HudLinesFor(const HudFacts& facts);

}  // namespace orelens::viewer
