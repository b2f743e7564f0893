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

// How reading a chunk's record ended. Only kMissing may be taken for air: every other outcome
// but kDecoded means the chunk holds something that could not be seen.
enum class ChunkReadStatus {
  kDecoded,  // a stored record was decoded whole
  kMissing,  // no row and no cache file: the chunk has no stored record
  kDamaged,  // a row or cache file holds no record that decodes whole
  kBusy,     // the world's database is held by another program past the busy timeout
  // The world's "chunkdata.sqlite" is there but does not open or cannot be read (no access, a
  // folder, not a database, I/O): no chunk can be told to have no row.
  kDatabaseUnreadable,
  kUnreadable,  // the chunk's cache file is there but could not be read
};

struct ChunkRead {
  ChunkReadStatus status = ChunkReadStatus::kMissing;
  // The decoder's result for the source used: the bytes decoded, negative for bad input (what
  // was decoded before it stays), 0 when nothing was decoded.
  int decoderResult = 0;
};

// How storing a chunk's record ended.
enum class ChunkWriteStatus {
  kStored,
  kTooLarge,            // the compressed record does not fit the store's output buffer
  kBusy,                // the world's database is held by another program past the busy timeout
  kDatabaseUnreadable,  // the world's database is there but does not open or cannot be read
  kFailed,              // the chunk's row or cache file could not be written
};

// Where a world keeps its chunk records: its "chunkdata.sqlite" and the cache files
// "<id>.chunks" in its folder. The object holds the LZ4 library and, once the database opens,
// one connection for the rest of its life: the loader threads keep one each, the block reader
// and writer make one per operation. One thread at a time.
//
// Only a world without "chunkdata.sqlite" keeps its chunks in the cache files alone. A database
// that is there but does not open (no access, a folder of that name) is tried again on every read
// and write, and until it opens nothing is read or written: the chunks it may hold are not air,
// and a cache file written beside them would never be read by the game.
class ChunkStore {
 public:
  // Output buffer of a write, trailer included.
  static constexpr size_t kCompressedOutputLimit = 300'000;

  // nullptr when the LZ4 library cannot be loaded. The world folder ends with a separator
  // (SaveDir + world name + "/"). Each statement waits at most busyTimeoutMilliseconds for a
  // lock that another connection holds, and tells the wait observer (if any) while it waits.
  static std::unique_ptr<ChunkStore> Open(
      const platform::LibraryLocator& locator, std::string worldFolder,
      int busyTimeoutMilliseconds = ChunkDatabase::kBusyTimeoutMilliseconds,
      DatabaseWaitObserver* waitObserver = nullptr);

  bool HasDatabase() const { return database_ != nullptr; }
  const platform::Lz4Library& Lz4() const { return *lz4_; }
  const std::string& WorldFolder() const { return worldFolder_; }

  // Reads the chunk's record: the database row first, then the cache file when the chunk has no
  // row (a database without the CHUNKDATA table has none) or its row does not decode. A database
  // that cannot answer (busy, not openable, damaged) ends the read: the cache file may be older
  // than the row it cannot see. The destination's head and block plane are filled with air first
  // (it grows to hold them if smaller). When a source decodes (nonzero result) the destination
  // has exactly the decoded size U; otherwise it keeps its prepared size, head and plane all air.
  ChunkRead ReadChunkRecord(int32_t chunkId, ChunkData& destination);

  // Decodes a neighbour's head and block plane into the destination, resized to 819,210 bytes
  // filled with air; the capacity stops the decoder after the plane, so a negative result is
  // success too. 0 when no source gives data.
  int ReadNeighbourBlockPlane(int32_t chunkId, std::vector<uint8_t>& destination);

  // Compresses the record and stores it: UPDATE of the chunk's existing row, else the cache
  // file, replaced whole (stale temporaries of an interrupted replacement of it are removed first).
  // Nothing is stored when the compressed form does not fit the output limit, or when the
  // database is there but cannot tell whether the chunk has a row: a cache file beside a row it
  // cannot see would hold the chunk twice.
  ChunkWriteStatus WriteChunkRecord(int32_t chunkId, std::span<const uint8_t> record);

  std::string DatabasePath() const { return worldFolder_ + "chunkdata.sqlite"; }
  std::string CacheFilePath(int32_t chunkId) const;

 private:
  ChunkStore(std::unique_ptr<platform::Lz4Library> lz4, std::string worldFolder, int busyTimeoutMilliseconds,
             DatabaseWaitObserver* waitObserver);
  // The world's database as a read or write finds it.
  enum class DatabaseState { kAbsent, kOpen, kCannotOpen };
  // Opens the connection when there is none yet and the file is there.
  DatabaseState ConnectDatabase();
  // Decodes a stored form into the destination, sized U first when resizeToDecodedSize is set;
  // 0 when the stored form is not a usable record.
  int DecodeBlob(std::span<const uint8_t> blob, std::vector<uint8_t>& destination, bool resizeToDecodedSize);
  // Reads the stored form from the row, then the cache file, and hands it to decode (which
  // returns the decoder's result and whether it decoded the whole record).
  template <typename DecodeFunction>
  ChunkRead ReadFromSources(int32_t chunkId, DecodeFunction decode);

  std::unique_ptr<platform::Lz4Library> lz4_;
  std::string worldFolder_;
  const int busyTimeoutMs_;
  DatabaseWaitObserver* const waitObserver_;
  std::unique_ptr<ChunkDatabase> database_;
  std::vector<uint8_t> storedBytes_;  // reused between reads
};

}  // namespace orelens::world
