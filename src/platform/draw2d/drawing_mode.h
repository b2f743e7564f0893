#pragma once

namespace orelens::platform {

// Drawing modes are bit flags; the program combines them (8 | 4 = 12, 16 | 1 = 17).
// Without kDrawAlphaChannel or kDrawAlphaBlend, drawing replaces the pixels it covers with the
// colour, alpha included.
enum DrawingModeFlags : int {
  kDrawDefault = 0,
  kDrawTransparent = 1,   // text leaves its background alone instead of filling it with the back colour
  kDrawOutlined = 4,      // boxes draw only their 1-pixel edge
  kDrawAlphaChannel = 8,  // writes only the alpha component of the covered pixels
  kDrawAlphaBlend = 16,   // source-over with the colour's alpha
};

}  // namespace orelens::platform
