#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dynlib/lz4_library.h"
#include "world/chunk_database.h"
#include "world/chunk_record.h"

namespace orelens::world {

// Where a world keeps its chunk records: its "chunkdata.sqlite" and the cache files
// "<id>.chunks" in its folder. The object holds the LZ4 library and, when the database opens,
// one connection for its whole life: the loader threads keep one each, the block reader and
// writer make one per operation. One thread at a time.
class ChunkStore {
 public:
  // Output buffer of a write, trailer included.
  static constexpr size_t kCompressedOutputLimit = 300'000;

  // nullptr when the LZ4 library cannot be loaded. The world folder ends with a separator
  // (SaveDir + world name + "/").
  static std::unique_ptr<ChunkStore> Open(const platform::LibraryLocator& locator, std::string worldFolder);

  bool HasDatabase() const { return database_ != nullptr; }
  const platform::Lz4Library& Lz4() const { return *lz4_; }

  // Reads the chunk's record: the database row first, then the cache file. The destination's
  // head and block plane are filled with air first (it grows to hold them if smaller). On success
  // the destination has exactly the decoded size U and the decoder's result is returned (nonzero,
  // negative included: what was decoded before bad input stays). When no source gives data the
  // result is 0 and the destination keeps its prepared size, head and plane all air.
  int ReadChunkRecord(int32_t chunkId, ChunkData& destination);

  // Decodes a neighbour's head and block plane into the destination, resized to 819,210 bytes
  // filled with air; the capacity stops the decoder after the plane, so a negative result is
  // success too. 0 when no source gives data.
  int ReadNeighbourBlockPlane(int32_t chunkId, std::vector<uint8_t>& destination);

  // Compresses the record and stores it: UPDATE of the chunk's existing row, else the cache
  // file, replaced whole. Nothing is stored when the compressed form does not fit the output
  // limit, the UPDATE fails or the cache file cannot be written. False when nothing was stored.
  bool WriteChunkRecord(int32_t chunkId, std::span<const uint8_t> record);

  std::string DatabasePath() const { return worldFolder_ + "chunkdata.sqlite"; }
  std::string CacheFilePath(int32_t chunkId) const;

 private:
  ChunkStore(std::unique_ptr<platform::Lz4Library> lz4, std::string worldFolder);
  // Decodes a stored form into the destination, sized U first when resizeToDecodedSize is set;
  // 0 when the stored form is not a usable record.
  int DecodeBlob(std::span<const uint8_t> blob, std::vector<uint8_t>& destination, bool resizeToDecodedSize);
  template <typename DecodeFunction>
  int ReadFromSources(int32_t chunkId, DecodeFunction decode);

  std::unique_ptr<platform::Lz4Library> lz4_;
  std::string worldFolder_;
  std::unique_ptr<ChunkDatabase> database_;
  std::vector<uint8_t> storedBytes_;  // reused between reads
};

}  // namespace orelens::world
