#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/dynlib/dynamic_library.h"
#include "world/block_kind_table.h"
#include "world/chunk_access_failure.h"
#include "world/chunk_record.h"
#include "world/database_wait.h"
#include "world/settings.h"

namespace orelens::world {

class ChunkStore;
class WorldStore;

// Sets single blocks of the world. The writer keeps one chunk decoded (the edit chunk), applies
// every call to it and writes it back only when a call addresses another chunk or on Flush, so
// callers send their cells grouped by chunk and end with Flush. Main thread only.
//
// The edit chunk belongs to the world it was read from: it is only ever written back into that
// world's folder, and a call for another world (CurrentWorldName or SaveDir changed) first writes
// it back and drops it. A chunk whose record could not be read (database busy, I/O error,
// damaged record) is never loaded, so nothing is written over it. Such a failure, and a record
// that could not be stored, is kept in failure() until ClearFailure(); while it is kept the writer
// reads and writes nothing, so one operation waits for a busy database at most once.
class BlockWriter {
 public:
  BlockWriter(WorldStore& store, const Settings& settings, const BlockKindTable& kinds,
              const platform::LibraryLocator& libraries,
              int busyTimeoutMilliseconds = ChunkDatabase::kBusyTimeoutMilliseconds);

  // Sets one block: its type and, for a custom block (66) its custom block id, for a mesh block
  // (kind 3) its rotation. x and z are world positions, y the height, on the 0.5 cell grid.
  // The call with every argument 0 is the flush call.
  void SetWorldBlock(int block, int32_t extra, float x, float y, float z);
  // SetWorldBlock without the flush convention: always sets the cell. False when the writer holds
  // a failure (the cell is not set). Cells outside the listed chunks and outside the block plane
  // are dropped; without the LZ4 library a cell for another chunk is dropped too.
  bool SetBlock(int block, int32_t extra, float x, float y, float z);
  // Writes a pending change back; nothing when none is pending. False when the writer holds a
  // failure: the change could not be stored and is dropped with its chunk.
  bool Flush();
  // Flush, then forget the edit chunk (when a world is left). A change that cannot be written
  // without the LZ4 library stays with its chunk and its world. False as Flush.
  bool FlushAndForget();

  // Who is told while a read or write waits for the world's database (null: nobody); the
  // observer before is returned. ScopedWaitObserver hands one in for an operation.
  DatabaseWaitObserver* SetWaitObserver(DatabaseWaitObserver* observer) {
    DatabaseWaitObserver* before = waitObserver_;
    waitObserver_ = observer;
    return before;
  }

  const std::optional<ChunkAccessFailure>& failure() const { return failure_; }
  void ClearFailure() { failure_.reset(); }

  // The edit chunk, if one is loaded.
  std::optional<int32_t> editChunkId() const { return EditChunkId; }
  bool hasPendingChange() const { return EditDirty; }

 private:
  // Writes the edit chunk back if it changed and loads the chunk of the world folder in its
  // place. False when nothing is loaded (a failure, or no LZ4 library).
  bool SwitchEditChunk(int32_t chunkId, const std::string& worldFolder);
  bool LoadEditChunk(int32_t chunkId, ChunkStore& chunkStore);
  // Writes the pending change into the edit chunk's own world. False when it could not: without
  // LZ4 the change stays; a failure drops the chunk.
  bool WriteBackEditChunk();
  bool WriteBack(ChunkStore& chunkStore);
  void DropEditChunk();
  bool RewriteCustomBlockList();
  bool RewriteRotationList();
  void WriteHeightRange();
  void EditCell(int block, int32_t extra, int col, int row, int height, double unroundedHeight);

  WorldStore& store_;
  const Settings& settings_;
  const BlockKindTable& kinds_;
  const platform::LibraryLocator& libraries_;
  const int busyTimeoutMilliseconds_;
  DatabaseWaitObserver* waitObserver_ = nullptr;  // the running operation's, if it watches

  ChunkData EditChunkBuffer;
  std::optional<int32_t> EditChunkId;  // nothing until the first chunk is loaded
  std::string editWorldFolder_;        // the world folder the edit chunk was read from
  bool EditDirty = false;
  CellValueMap EditRotationMap;
  CellValueMap EditCustomBlockMap;
  int MinHeight = 0;
  int MaxHeight = 0;
  // Where the buffer's lists stand, as last loaded or written back. A list whose place is not
  // known (a record without lists, or one whose sections could not be walked that far) is never
  // written.
  bool rotationListKnown_ = false;
  int32_t storedRotationCount_ = 0;
  std::optional<size_t> customListOffset_;
  int32_t storedCustomCount_ = 0;
  bool heightRangeKnown_ = false;
  std::optional<ChunkAccessFailure> failure_;
};

}  // namespace orelens::world
