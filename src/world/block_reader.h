#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/dynlib/dynamic_library.h"
#include "world/block_kind_table.h"
#include "world/chunk_access_failure.h"
#include "world/chunk_record.h"
#include "world/database_wait.h"
#include "world/settings.h"

namespace orelens::platform {
class Gui;
}

namespace orelens::world {

class WorldStore;

// The part of a block query that GetBlockAt fills besides the block type.
struct BlockQuery {
  int32_t extra = 0;  // custom block id of a type-66 cell, rotation of a type-15 cell
};

// Looks up single blocks of the world. The reader keeps one chunk unpacked (the lookup chunk)
// and decodes another only when a call addresses a different chunk, so callers visit their cells
// grouped by chunk. The lookup chunk is never written; it can fall behind the stored record
// until the chunk is loaded again. It belongs to the world it was read from: a call for another
// world (CurrentWorldName or SaveDir changed) reads again. Main thread only.
//
// A chunk whose record could not be read (database busy or not openable, I/O error) is not taken
// for air: the failure is kept in failure() until ClearFailure(), and meanwhile every call reads
// nothing and answers air, so one operation waits for a busy database at most once. A damaged
// record is read: the cells it decoded as they are, the others as air.
class BlockReader {
 public:
  BlockReader(WorldStore& store, const Settings& settings, const platform::LibraryLocator& libraries,
              platform::Gui& gui, int busyTimeoutMilliseconds = ChunkDatabase::kBusyTimeoutMilliseconds);

  // The block type at world position (x, z) and height y; air (3) where the world lists no
  // chunk. query.extra receives the custom block id of a type-66 cell and the rotation of a
  // type-15 cell when the chunk has a record for the cell; it is left alone otherwise.
  uint8_t GetBlockAt(BlockQuery& query, float x, float y, float z);

  // Who is told while a read or write waits for the world's database (null: nobody); the
  // observer before is returned. ScopedWaitObserver hands one in for an operation.
  DatabaseWaitObserver* SetWaitObserver(DatabaseWaitObserver* observer) {
    DatabaseWaitObserver* before = waitObserver_;
    waitObserver_ = observer;
    return before;
  }

  const std::optional<ChunkAccessFailure>& failure() const { return failure_; }
  void ClearFailure() { failure_.reset(); }
  // Drops the lookup chunk (when a world is left).
  void Forget();

  // The lookup chunk, if one is unpacked.
  std::optional<int32_t> lookupChunkId() const { return LookupChunkId; }
  // How many times a chunk was unpacked.
  int reloadCount() const { return reloadCount_; }

 private:
  // False when the chunk could not be read (failure() says why); the table then holds air.
  bool Reload(int32_t chunkId, const std::string& worldFolder);

  WorldStore& store_;
  const Settings& settings_;
  const platform::LibraryLocator& libraries_;
  platform::Gui& gui_;
  const int busyTimeoutMilliseconds_;
  DatabaseWaitObserver* waitObserver_ = nullptr;  // the running operation's, if it watches

  std::optional<int32_t> LookupChunkId;  // nothing while the table holds no chunk's blocks
  std::string lookupWorldFolder_;        // the world folder the lookup chunk was read from
  std::vector<uint8_t> LookupBlockTypes = std::vector<uint8_t>(kBlockPlaneSize, kBlockAir);
  CellValueMap LookupCustomIdMap;
  CellValueMap LookupRotationMap;
  int reloadCount_ = 0;
  std::optional<ChunkAccessFailure> failure_;
};

}  // namespace orelens::world
