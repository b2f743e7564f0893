#include "world/block_writer.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "platform/files/byte_reader.h"
#include "platform/files/byte_writer.h"
#include "world/chunk_store.h"
#include "world/world_store.h"

namespace orelens::world {

namespace {

constexpr int kTopHeight = kChunkHeight - 1;  // 799

// Nearest integer, ties to even.
double RoundHalfEven(double value) {
  return std::nearbyint(value);
}

bool IsFlushCall(int block, int32_t extra, float x, float y, float z) {
  return block == 0 && extra == 0 && x == 0.0f && y == 0.0f && z == 0.0f;
}

// Replaces the counted list at offset (int32 count, then storedCount records of recordSize bytes)
// by the records of map; everything after the list moves with its change of size. False, with
// the record untouched, when the stored list does not lie inside the record.
template <typename WriteRecord>
bool RewriteCountedList(ChunkData& record, size_t offset, int32_t storedCount, size_t recordSize,
                        const CellValueMap& map, WriteRecord writeRecord) {
  if (storedCount < 0 || offset > record.size() || record.size() - offset < 4 ||
      static_cast<uint64_t>(storedCount) * recordSize > record.size() - offset - 4) {
    return false;
  }
  std::vector<uint8_t> list;
  list.reserve(map.size() * recordSize);
  platform::ByteWriter listWriter(list);
  for (const auto& [key, value] : map) writeRecord(listWriter, key, value);

  const auto listBegin = record.begin() + static_cast<std::ptrdiff_t>(offset + 4);
  const auto storedEnd = listBegin + static_cast<std::ptrdiff_t>(storedCount * recordSize);
  const size_t common = std::min(list.size(), static_cast<size_t>(storedEnd - listBegin));
  std::copy_n(list.begin(), common, listBegin);
  if (list.size() > common) {
    record.insert(storedEnd, list.begin() + static_cast<std::ptrdiff_t>(common), list.end());
  } else {
    record.erase(listBegin + static_cast<std::ptrdiff_t>(common), storedEnd);
  }
  platform::WriteValueAt(std::span<uint8_t>(record), offset, static_cast<int32_t>(map.size()));
  return true;
}

// col (uint8), row (uint8) and height (int16): the head of both record kinds.
void AppendCellHead(platform::ByteWriter& out, CellKey key) {
  out.WriteU8(static_cast<uint8_t>(CellKeyCol(key)));
  out.WriteU8(static_cast<uint8_t>(CellKeyRow(key)));
  out.WriteI16(static_cast<int16_t>(CellKeyHeight(key)));
}

}  // namespace

BlockWriter::BlockWriter(WorldStore& store, const Settings& settings, const BlockKindTable& kinds,
                         const platform::LibraryLocator& libraries, int busyTimeoutMilliseconds)
    : store_(store),
      settings_(settings),
      kinds_(kinds),
      libraries_(libraries),
      busyTimeoutMilliseconds_(busyTimeoutMilliseconds) {}

void BlockWriter::SetWorldBlock(int block, int32_t extra, float x, float y, float z) {
  if (IsFlushCall(block, extra, x, y, z)) {
    Flush();
  } else {
    SetBlock(block, extra, x, y, z);
  }
}

bool BlockWriter::Flush() {
  // Nothing pending: nothing to load and nothing to write.
  if (EditDirty) WriteBackEditChunk();
  return !failure_;
}

bool BlockWriter::FlushAndForget() {
  Flush();
  if (!EditDirty) DropEditChunk();
  return !failure_;
}

bool BlockWriter::SetBlock(int block, int32_t extra, float x, float y, float z) {
  if (failure_) return false;
  ChunkLocation location;
  store_.LocateChunk(location, x, z);
  // Positions outside the world's chunk list have no record of their own to edit.
  if (location.chunkId < 0) return true;
  if ((location.chunkId != EditChunkId || !settings_.IsCurrentWorldFolder(editWorldFolder_)) &&
      !SwitchEditChunk(location.chunkId, settings_.CurrentWorldFolder())) {
    // Without LZ4 the edit chunk stays the one before; the edit is dropped rather than applied
    // to that other chunk.
    return !failure_;
  }
  const double colValue = RoundHalfEven((static_cast<double>(x) - location.originX) * 2.0);
  const double rowValue = RoundHalfEven((static_cast<double>(z) - location.originZ) * 2.0);
  const double unroundedHeight = static_cast<double>(y) * 2.0;
  const double heightValue = RoundHalfEven(unroundedHeight);
  // Only cells of the block plane are written.
  if (!(colValue >= 0 && colValue < kChunkColumns && rowValue >= 0 && rowValue < kChunkRows &&
        heightValue >= 0 && heightValue <= kTopHeight)) {
    return true;
  }
  EditCell(block, extra, static_cast<int>(colValue), static_cast<int>(rowValue),
           static_cast<int>(heightValue), unroundedHeight);
  return true;
}

bool BlockWriter::SwitchEditChunk(int32_t chunkId, const std::string& worldFolder) {
  if (EditDirty && !WriteBackEditChunk()) return false;
  const std::unique_ptr<ChunkStore> chunkStore =
      ChunkStore::Open(libraries_, worldFolder, busyTimeoutMilliseconds_, waitObserver_);
  if (!chunkStore) return false;
  return LoadEditChunk(chunkId, *chunkStore);
}

bool BlockWriter::LoadEditChunk(int32_t chunkId, ChunkStore& chunkStore) {
  DropEditChunk();
  // A chunk without a stored record reads as air and has no lists; nothing of the chunk before
  // may stay in the buffer.
  EditChunkBuffer.assign(kChunkSizeWithoutLists, 0);
  std::fill_n(EditChunkBuffer.begin(), kChunkHeadAndPlaneSize, kBlockAir);
  const ChunkRead read = chunkStore.ReadChunkRecord(chunkId, EditChunkBuffer);
  if (const std::optional<ChunkFailure> failed = FailureOfRead(read.status)) {
    // Whatever the buffer holds now is not the chunk; it must never be written back.
    failure_ = ChunkAccessFailure{*failed, chunkId};
    return false;
  }
  EditChunkId = chunkId;
  editWorldFolder_ = chunkStore.WorldFolder();

  ChunkRecordLists lists;
  DecodeChunkRecordLists(EditChunkBuffer, lists);
  EditRotationMap = std::move(lists.rotations);
  EditCustomBlockMap = std::move(lists.customBlocks);
  MinHeight = lists.MinHeight;
  MaxHeight = lists.MaxHeight;
  heightRangeKnown_ = lists.hasHeightRange;
  storedRotationCount_ = lists.rotationCount;
  rotationListKnown_ =
      lists.hasLists && lists.rotationCount >= 0 &&
      kRotationCountOffset + 4 + static_cast<uint64_t>(lists.rotationCount) * kRotationRecordSize <=
          EditChunkBuffer.size();
  customListOffset_ = lists.customBlockCountOffset;
  storedCustomCount_ = lists.customBlockCount;
  return true;
}

void BlockWriter::DropEditChunk() {
  EditChunkId.reset();
  editWorldFolder_.clear();
  EditDirty = false;
  EditRotationMap.clear();
  EditCustomBlockMap.clear();
}

bool BlockWriter::WriteBackEditChunk() {
  const std::unique_ptr<ChunkStore> chunkStore =
      ChunkStore::Open(libraries_, editWorldFolder_, busyTimeoutMilliseconds_, waitObserver_);
  if (!chunkStore) return false;  // without LZ4 the change stays in memory for a later call
  return WriteBack(*chunkStore);
}

bool BlockWriter::WriteBack(ChunkStore& chunkStore) {
  // The custom-block list lies behind the rotation list, so it is rewritten first; the change of
  // size of the rotation list then carries it along.
  if (customListOffset_ && RewriteCustomBlockList()) {
    storedCustomCount_ = static_cast<int32_t>(EditCustomBlockMap.size());
  }
  if (rotationListKnown_) {
    const int32_t formerCount = storedRotationCount_;
    if (RewriteRotationList()) {
      storedRotationCount_ = static_cast<int32_t>(EditRotationMap.size());
      if (customListOffset_) {
        *customListOffset_ += (static_cast<int64_t>(storedRotationCount_) - formerCount) *
                              static_cast<int64_t>(kRotationRecordSize);
      }
    }
    WriteHeightRange();
  }
  if (const std::optional<ChunkFailure> failed =
          FailureOfWrite(chunkStore.WriteChunkRecord(*EditChunkId, EditChunkBuffer))) {
    // The change is dropped with its chunk: the next edit reads the chunk as it is stored.
    failure_ = ChunkAccessFailure{*failed, *EditChunkId};
    DropEditChunk();
    return false;
  }
  EditDirty = false;
  return true;
}

bool BlockWriter::RewriteCustomBlockList() {
  return RewriteCountedList(EditChunkBuffer, *customListOffset_, storedCustomCount_, kCustomBlockRecordSize,
                            EditCustomBlockMap, [](platform::ByteWriter& out, CellKey key, int32_t value) {
                              AppendCellHead(out, key);
                              out.WriteI32(value);
                            });
}

bool BlockWriter::RewriteRotationList() {
  return RewriteCountedList(EditChunkBuffer, kRotationCountOffset, storedRotationCount_, kRotationRecordSize,
                            EditRotationMap, [](platform::ByteWriter& out, CellKey key, int32_t value) {
                              AppendCellHead(out, key);
                              out.WriteI8(static_cast<int8_t>(value));  // the low byte of the value
                            });
}

void BlockWriter::WriteHeightRange() {
  if (!heightRangeKnown_) return;
  const std::span<uint8_t> record(EditChunkBuffer);
  const size_t untouchedListOffset =
      kRotationCountOffset + 4 + static_cast<size_t>(storedRotationCount_) * kRotationRecordSize;
  int32_t untouchedCount = 0;
  if (!platform::ReadValueAt(std::span<const uint8_t>(record), untouchedListOffset, untouchedCount) ||
      untouchedCount < 0) {
    return;
  }
  const uint64_t heightOffset =
      untouchedListOffset + 4 + static_cast<uint64_t>(untouchedCount) * kRotationRecordSize;
  if (heightOffset + 4 > record.size()) return;
  platform::WriteValueAt(record, heightOffset, static_cast<int16_t>(MinHeight));
  platform::WriteValueAt(record, heightOffset + 2, static_cast<int16_t>(MaxHeight));
}

void BlockWriter::EditCell(int block, int32_t extra, int col, int row, int height, double unroundedHeight) {
  const auto newType = static_cast<uint8_t>(block);
  // Height range.
  if (unroundedHeight > MaxHeight && newType != kBlockAir) {
    MaxHeight = height;
  } else if (unroundedHeight < MinHeight && newType == kBlockAir) {
    MinHeight = height;
  }
  if (MaxHeight > kTopHeight) {
    MaxHeight = kTopHeight;
  } else if (MaxHeight < 1) {
    MaxHeight = 1;
  }
  if (MinHeight < 1) {
    MinHeight = 0;
  } else if (MinHeight > kTopHeight - 1) {
    MinHeight = kTopHeight - 1;
  }
  if (MaxHeight < MinHeight) MaxHeight = MinHeight + 1;

  const size_t offset = CellOffset(col, row, height);
  const uint8_t oldType = EditChunkBuffer[offset];
  const CellKey key =
      MakeCellKey(static_cast<uint8_t>(col), static_cast<uint8_t>(row), static_cast<int16_t>(height));

  // Custom-block records.
  if (oldType == kBlockCustom) {
    if (const auto found = EditCustomBlockMap.find(key); found != EditCustomBlockMap.end()) {
      if (newType == kBlockCustom) {
        found->second = extra;
      } else {
        EditCustomBlockMap.erase(key);
      }
    }
  } else if (newType == kBlockCustom) {
    EditCustomBlockMap[key] = extra;
  }

  // Rotation records, by block kind.
  const bool oldIsMesh = kinds_[oldType] == kKindMeshBlock;
  const bool newIsMesh = kinds_[newType] == kKindMeshBlock;
  if (oldIsMesh) {
    if (const auto found = EditRotationMap.find(key); found != EditRotationMap.end()) {
      if (newIsMesh) {
        found->second = extra;
      } else {
        EditRotationMap.erase(key);
      }
    }
  } else if (newIsMesh) {
    EditRotationMap[key] = extra;
  }

  EditChunkBuffer[offset] = newType;
  EditDirty = true;
}

}  // namespace orelens::world
