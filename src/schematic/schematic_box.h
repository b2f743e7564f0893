#pragma once

#include <cstdint>
#include <vector>

#include "world/world_store.h"

namespace orelens::schematic {

// A box of cells in the world, 0.5 units apart: the cells a schematic is saved from or written to.
struct SchematicBox {
  float firstX = 0;  // world position of the centre of cell (0, 0, 0)
  float firstY = 0;
  float firstZ = 0;
  int32_t sizeX = 0;  // cells along X
  int32_t sizeY = 0;  // cells along the height
  int32_t sizeZ = 0;  // cells along Z

  // The box of the given size whose centre is (centreX, centreY, centreZ).
  static SchematicBox AroundCentre(float centreX, float centreY, float centreZ, int32_t sizeX, int32_t sizeY,
                                   int32_t sizeZ);

  float CellX(int32_t x) const { return firstX + static_cast<float>(x) * 0.5f; }
  float CellY(int32_t y) const { return firstY + static_cast<float>(y) * 0.5f; }
  float CellZ(int32_t z) const { return firstZ + static_cast<float>(z) * 0.5f; }
};

// The chunks under the box, one per chunk id in the order first met, found by locating every
// cell column and the positions one step past the far end along X and Z. Positions in chunks the
// world does not list all share the id -1 and its one entry, which keeps the last location met.
std::vector<world::ChunkLocation> CollectBoxChunks(world::WorldStore& store, const SchematicBox& box);

// Cells [begin, end) of one axis of the box (first cell at `first`, `count` cells) that lie in
// the chunk with the given origin on that axis: those the chunk location gives to that chunk.
struct CellRange {
  int32_t begin = 0;
  int32_t end = 0;
  bool empty() const { return begin >= end; }
};
CellRange CellsInChunk(float first, int32_t count, int32_t origin);

// Visits the cells of the box chunk by chunk, in the order of CollectBoxChunks, within a chunk X
// outermost, then Z, then the height from the bottom: visitCell(x, z, y) for each cell, then
// chunkDone(location) once per chunk (also for a chunk none of whose cells lie in the box).
// Either may return false to stop the walk there; the result is then false.
template <typename VisitCell, typename ChunkDone>
bool ForEachCellByChunk(world::WorldStore& store, const SchematicBox& box, VisitCell visitCell,
                        ChunkDone chunkDone) {
  for (const world::ChunkLocation& chunk : CollectBoxChunks(store, box)) {
    const CellRange xs = CellsInChunk(box.firstX, box.sizeX, chunk.originX);
    const CellRange zs = CellsInChunk(box.firstZ, box.sizeZ, chunk.originZ);
    for (int32_t x = xs.begin; x < xs.end; ++x) {
      for (int32_t z = zs.begin; z < zs.end; ++z) {
        for (int32_t y = 0; y < box.sizeY; ++y) {
          if (!visitCell(x, z, y)) return false;
        }
      }
    }
    if (!chunkDone(chunk)) return false;
  }
  return true;
}

}  // namespace orelens::schematic
