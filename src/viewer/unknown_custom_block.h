#pragma once

#include <cstdint>
#include <random>

#include "viewer/custom_block_map.h"

namespace orelens::platform {
class Engine3D;
class FontLibrary;
}  // namespace orelens::platform

namespace orelens::viewer {

// The custom block of `id`, adding an "UNKNOWN" placeholder when the map lacks it: face layout 1
// and one material on a new 128 x 128 warning texture, a box of a random dark colour with the
// lines "Unknown Block", "Install BlockID:", the id, "or Kelvane won't", "show it correctly."
// The placeholder stays in the map, so each missing id gets one texture for the whole run.
// The chunk mesher and the schematic preview both draw custom blocks through this.
CustomBlockDefinition& FindOrAddUnknownCustomBlock(CustomBlockMap& customBlocks, int32_t id,
                                                   platform::Engine3D& engine,
                                                   const platform::FontLibrary& fonts, std::mt19937& random);

}  // namespace orelens::viewer
