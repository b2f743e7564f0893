#include "world/world_store.h"

#include <cmath>

namespace orelens::world {

int32_t SnapToChunkOrigin(float v) {
  double exact = static_cast<double>(v);
  double quotient = exact / 16.0;
  double nearest = quotient > 0 ? std::floor(quotient + 0.5) : std::ceil(quotient - 0.5);
  double origin = nearest * 16.0 - 8.0;
  if (exact - origin > 15.5) origin += 16.0;
  if (!(origin >= -kOutermostChunkOrigin)) origin = -kOutermostChunkOrigin;  // also catches NaN
  if (origin > kOutermostChunkOrigin) origin = kOutermostChunkOrigin;
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
