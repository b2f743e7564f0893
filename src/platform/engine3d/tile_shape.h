#pragma once

#include <cstdint>
#include <vector>

#include "platform/engine3d/scene.h"

namespace orelens::platform {

// Whether copies of the mesh laid side by side can be drawn as one rectangle, and how its corners
// and texture then stretch. Anything else (more or fewer corners, a bent or degenerate quad, two
// facings, a tinted corner, a texture that does not step by whole repeats) is not tileable.
TileShape ReadTileShape(const std::vector<MeshVertex>& vertices, const std::vector<uint32_t>& indices);

}  // namespace orelens::platform
