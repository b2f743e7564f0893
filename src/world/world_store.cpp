#include "world/world_store.h"

#include <cmath>
#include <limits>

namespace orelens::world {

int32_t SnapToChunkOrigin(float v) {
  double exact = static_cast<double>(v);
  double quotient = exact / 16.0;
  double nearest = quotient > 0 ? std::floor(quotient + 0.5) : std::ceil(quotient - 0.5);
  double origin = nearest * 16.0 - 8.0;
  if (exact - origin > 15.5) origin += 16.0;
  constexpr double kLowest = std::numeric_limits<int32_t>::min() + 8.0;
  constexpr double kHighest = std::numeric_limits<int32_t>::max() - 15.0;
  if (!(origin >= kLowest)) origin = kLowest;  // also catches NaN
  if (origin > kHighest) origin = kHighest;
  return static_cast<int32_t>(origin);
}

int WorldStore::LocateChunk(ChunkLocation& location, float x, float z) {
  location.originX = SnapToChunkOrigin(x);
  location.originZ = SnapToChunkOrigin(z);
  std::lock_guard lock(LoaderSyncMutex);
  location.chunkId = ChunkIdAtLocked(location.originX, location.originZ);
  return 0;
}

int32_t WorldStore::ChunkIdAtLocked(int32_t originX, int32_t originZ) const {
  auto found = WorldChunkMap.find(ChunkOriginKey(originX, originZ));
  return found == WorldChunkMap.end() ? -1 : found->second;
}

}  // namespace orelens::world
