#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/dynlib/dynamic_library.h"
#include "world/block_kind_table.h"
#include "world/chunk_record.h"
#include "world/settings.h"

namespace orelens::world {

class ChunkStore;
class WorldStore;

// Sets single blocks of the world. The writer keeps one chunk decoded (the edit chunk), applies
// every call to it and writes it back only when a call addresses another chunk or on Flush, so
// callers send their cells grouped by chunk and end with Flush. Main thread only.
class BlockWriter {
 public:
  BlockWriter(WorldStore& store, const Settings& settings, const BlockKindTable& kinds,
              const platform::LibraryLocator& libraries);

  // Sets one block: its type and, for a custom block (66) its custom block id, for a mesh block
  // (kind 3) its rotation. x and z are world positions, y the height, on the 0.5 cell grid.
  // The call with every argument 0 is the flush call.
  void SetWorldBlock(int block, int32_t extra, float x, float y, float z);
  // SetWorldBlock without the flush convention: always sets the cell.
  void SetBlock(int block, int32_t extra, float x, float y, float z);
  // Writes a pending change back; nothing when none is pending.
  void Flush();

  // The edit chunk, if one is loaded.
  std::optional<int32_t> editChunkId() const { return EditChunkId; }
  bool hasPendingChange() const { return EditDirty; }

 private:
  // Writes the edit chunk back if it changed and loads the chunk id in its place. False when the
  // LZ4 library could not be loaded; nothing changed then.
  bool SwitchEditChunk(int32_t chunkId);
  void LoadEditChunk(int32_t chunkId, ChunkStore& chunkStore);
  void WriteBack(ChunkStore& chunkStore);
  bool RewriteCustomBlockList();
  bool RewriteRotationList();
  void WriteHeightRange();
  void EditCell(int block, int32_t extra, int col, int row, int height, double unroundedHeight);

  WorldStore& store_;
  const Settings& settings_;
  const BlockKindTable& kinds_;
  const platform::LibraryLocator& libraries_;

  ChunkData EditChunkBuffer;
  std::optional<int32_t> EditChunkId;  // nothing until the first chunk is loaded
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
};

}  // namespace orelens::world
