#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "world/block_record.h"

namespace orelens::schematic {

// Where the schematic being inserted lies and how large it is.
struct SchematicPlacement {
  float originX = 0;  // world position of the centre of cell (0, 0, 0)
  float originY = 0;
  float originZ = 0;
  int32_t sizeX = 0;       // cells along X (the file's first size)
  int32_t sizeHeight = 0;  // cells along the height (the file's third size)
  int32_t sizeZ = 0;       // cells along Z (the file's second size)
};

// What the program keeps about the schematic being placed, from loading it until it is written
// into the world. Main thread only.
struct SchematicState {
  std::string SchematicPath;
  SchematicPlacement InsertPlacement;
  std::vector<world::BlockRecord> PreviewBlockList;
};

}  // namespace orelens::schematic
