#pragma once

#include <cstdint>
#include <vector>

#include "world/chunk_record.h"

namespace orelens::world {

// A chunk as a loader reads it.
struct LoaderChunk {
  ChunkData record;        // the decoded record: at least the head and the block plane
  ChunkRecordLists lists;  // rotations, custom block ids and height range, when the record has them
  // The chunk's record could not be read this time (database busy, I/O error): its air is not
  // its content, and the chunk is read again later.
  bool couldNotRead = false;
};

// How one loader thread reads chunk records: it owns its LZ4 library and database connection for
// the thread's whole life. A chunk that no source yields, or whose record is damaged, reads as air.
class LoaderChunkReader {
 public:
  virtual ~LoaderChunkReader() = default;
  // The chunk's record (database first, then its cache file) and its record lists; sets
  // couldNotRead when the store could not be read.
  virtual void ReadChunk(int32_t chunkId, LoaderChunk& chunk) = 0;
  // A neighbour's head and block plane, decoded into `buffer` (kNeighbourPlaneBufferSize bytes,
  // all air beforehand; never resized).
  virtual void ReadNeighbourPlane(int32_t chunkId, std::vector<uint8_t>& buffer) = 0;
};

}  // namespace orelens::world
