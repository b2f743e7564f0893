#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

namespace orelens::world {

// A chunk that a loader has taken and that has not been unloaded since.
struct LoadedChunkEntry {
  int32_t originX = 0;
  int32_t originZ = 0;
  int32_t chunkId = -1;  // -1: the world does not list the chunk
  int loaderSlot = -1;   // the loader that took it
  // Set when its record could not be read: from this time on (steady clock, milliseconds) a
  // loader may take the chunk again. -1 while it is loaded.
  int64_t retryAtMs = -1;

  // A chunk stays taken until it is unloaded, or until the retry time of an unread chunk.
  bool TakenAt(int64_t nowMs) const { return retryAtMs < 0 || nowMs < retryAtMs; }
};

// Keyed by the chunk origin, "x,z" in decimal.
using LoadedChunkMap = std::unordered_map<std::string, LoadedChunkEntry>;

inline std::string ChunkOriginKey(int32_t originX, int32_t originZ) {
  return std::to_string(originX) + ',' + std::to_string(originZ);
}

}  // namespace orelens::world
