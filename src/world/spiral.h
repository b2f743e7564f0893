#pragma once

#include <cstdint>

namespace orelens::world {

// The square spiral of chunk cells that the loaders walk outwards from the camera's cell.
// Index 1 is the centre; ring k runs from index (2k - 1)^2 + 1 to (2k + 1)^2, starting at
// (k, -k + 1) and going round in +Z, -X, -Z and +X. Index 0 lands on the cell of index 8.
// Results are offsets in whole chunks from the centre.
int32_t SpiralIndexToX(int64_t n);
int32_t SpiralIndexToZ(int64_t n);

}  // namespace orelens::world
