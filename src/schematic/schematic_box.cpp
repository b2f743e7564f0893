#include "schematic/schematic_box.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace orelens::schematic {

SchematicBox SchematicBox::AroundCentre(float centreX, float centreY, float centreZ, int32_t sizeX,
                                        int32_t sizeY, int32_t sizeZ) {
  SchematicBox box;
  box.firstX = centreX - (static_cast<float>(sizeX) - 1.0f) / 4.0f;
  box.firstY = centreY - (static_cast<float>(sizeY) - 1.0f) / 4.0f;
  box.firstZ = centreZ - (static_cast<float>(sizeZ) - 1.0f) / 4.0f;
  box.sizeX = sizeX;
  box.sizeY = sizeY;
  box.sizeZ = sizeZ;
  return box;
}

std::vector<world::ChunkLocation> CollectBoxChunks(world::WorldStore& store, const SchematicBox& box) {
  std::vector<world::ChunkLocation> chunks;
  std::unordered_map<int32_t, size_t> indexById;
  // Locating once per chunk column and row is enough: the chunk of a cell depends on its X and Z
  // apart. Along each axis take the first cell of every run of cells in one chunk.
  const auto runStarts = [](float first, int32_t count) {
    std::vector<int32_t> starts;
    int32_t lastOrigin = 0;
    for (int32_t i = 0; i <= count; ++i) {
      const int32_t origin = world::SnapToChunkOrigin(first + static_cast<float>(i) * 0.5f);
      if (i == 0 || origin != lastOrigin) starts.push_back(i);
      lastOrigin = origin;
    }
    return starts;
  };
  const std::vector<int32_t> xStarts = runStarts(box.firstX, box.sizeX);
  const std::vector<int32_t> zStarts = runStarts(box.firstZ, box.sizeZ);
  for (int32_t a : xStarts) {
    for (int32_t b : zStarts) {
      world::ChunkLocation location;
      store.LocateChunk(location, box.CellX(a), box.CellZ(b));
      const auto [found, inserted] = indexById.try_emplace(location.chunkId, chunks.size());
      if (inserted) {
        chunks.push_back(location);
      } else {
        chunks[found->second] = location;
      }
    }
  }
  return chunks;
}

CellRange CellsInChunk(float first, int32_t count, int32_t origin) {
  if (!std::isfinite(first) || count <= 0) return {};
  // A chunk holds the positions v with origin - 0.5 < v <= origin + 15.5. Cell positions grow
  // with the index, so the cells in the chunk form one run; find its ends from an estimate.
  const auto inOrBefore = [&](int32_t i) {  // cell i lies at or before the chunk's far edge
    return static_cast<double>(first + static_cast<float>(i) * 0.5f) <= origin + 15.5;
  };
  const auto before = [&](int32_t i) {  // cell i lies before the chunk's near edge
    return static_cast<double>(first + static_cast<float>(i) * 0.5f) <= origin - 0.5;
  };
  const auto clampIndex = [count](double value) {
    return static_cast<int32_t>(std::clamp(value, 0.0, static_cast<double>(count)));
  };
  int32_t begin = clampIndex(std::floor((origin - 0.5 - first) * 2.0));
  while (begin > 0 && !before(begin - 1)) --begin;
  while (begin < count && before(begin)) ++begin;
  int32_t end = std::max(begin, clampIndex(std::floor((origin + 15.5 - first) * 2.0)));
  while (end > begin && !inOrBefore(end - 1)) --end;
  while (end < count && inOrBefore(end)) ++end;
  return {begin, end};
}

}  // namespace orelens::schematic
