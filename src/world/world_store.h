#pragma once

#include <cstdint>
#include <mutex>

#include "world/world_metadata.h"

namespace orelens::world {

// The chunk that holds a horizontal position.
struct ChunkLocation {
  int32_t originX = 0;   // engine units, 16k − 8
  int32_t originZ = 0;   // engine units, 16k − 8
  int32_t chunkId = -1;  // -1 when the world lists no chunk at that origin
};

// The outermost chunk origins of the grid: 16k − 8 with the neighbours' origins, 16 further out,
// still within the int32 range.
inline constexpr int32_t kOutermostChunkOrigin = 16 * 134217727 - 8;

// The origin (16k − 8) of the chunk that holds coordinate v on one horizontal axis: v / 16
// rounded with halves away from zero, times 16, minus 8, then moved up one chunk when v lies
// more than 15.5 beyond it. Origins beyond ±kOutermostChunkOrigin, and the origin of a NaN,
// are the outermost origin on their side.
int32_t SnapToChunkOrigin(float v);

// The world's chunk list and the two locks the world's threads share. LoadedChunkMapMutex is
// always taken before LoaderSyncMutex, never the other way round.
class WorldStore {
 public:
  // Written only while no loader thread runs (start-up, world switch); read under
  // LoaderSyncMutex by the loaders and LocateChunk.
  world::WorldChunkMap WorldChunkMap;
  // Guards the lookups in WorldChunkMap, the loaders' search of the loaded-chunk map, each
  // loader's publication of its slot and the setting of the quit flag.
  std::mutex LoaderSyncMutex;
  // Guards the loaded-chunk map and the chunk waiting to be freed.
  std::mutex LoadedChunkMapMutex;

  // Fills the location of the chunk holding (x, z); takes LoaderSyncMutex for the lookup.
  // Always returns 0.
  int LocateChunk(ChunkLocation& location, float x, float z);

  // The id listed for a chunk origin, -1 when none. The caller holds LoaderSyncMutex.
  int32_t ChunkIdAtLocked(int32_t originX, int32_t originZ) const;
};

}  // namespace orelens::world
