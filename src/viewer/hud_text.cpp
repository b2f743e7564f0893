#include "viewer/hud_text.h"

#include <cstdio>

#include "platform/image/image.h"

namespace orelens::viewer {

using platform::PackRgba;

std::string FormatTenths(float value) {
  if (value == 0.0f) return "0.0";  // both signs of zero
  char text[64];
  // The float converts to double exactly; printf rounds that exact value to the nearest tenth.
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(value));
  return text;
}

std::vector<HudLine> HudLinesFor(const HudFacts& facts) {
  const uint32_t white = PackRgba(255, 255, 255, 255);
  const uint32_t grey = PackRgba(200, 200, 200, 255);
  const uint32_t green = PackRgba(50, 200, 50, 255);
  const uint32_t orange = PackRgba(255, 150, 0, 255);

  std::vector<HudLine> lines;
  if (facts.loadingPaused) lines.push_back({10, PackRgba(255, 255, 0, 255), "Chunkloading paused"});
  switch (facts.mode) {
    case -1:
      lines.push_back({10, white, "Click into world to rotate view."});
      lines.push_back({30, white, "WASD To move, hold Shift For fast move."});
      break;
    case 0:
      lines.push_back({30, grey,
                       std::to_string(facts.chunksDisplayed) + " Chunks displaying of '" +
                           facts.worldName + "'"});
      // The game's axis order: height comes last.
      lines.push_back({50, grey,
                       "Position: X=" + FormatTenths(facts.cameraX) + "m Y=" +
                           FormatTenths(facts.cameraZ) + "m z=" + FormatTenths(facts.cameraY) +
                           "m "});
      lines.push_back({70, grey, "Currently within Chunk ID " + std::to_string(facts.chunkId)});
      break;
    case 1:
      lines.push_back({30, white, "Drag the Block to move, Shift Drag to resize."});
      lines.push_back({50, green, "Press Enter to generate schematic file of selected block."});
      lines.push_back({70, orange, "Press ESC to stop selecting a block to save."});
      break;
    case 2:
      lines.push_back({30, white, "Press ESC to stop inserting schematic block"});
      lines.push_back(
          {50, white, "Press Enter to update position (nothing will be written to your world yet)"});
      lines.push_back({70, white, "Press ctrl+S to write changes to the world."});
      break;
    case 3:
      lines.push_back({30, white, "Drag the Block to move, Shift Drag to resize."});
      lines.push_back({50, green, "Press ENTER to confirm selection and continue."});
      lines.push_back({70, orange, "Press ESC to discard this selection."});
      break;
    default:
      break;
  }
  return lines;
}

}  // namespace orelens::viewer
