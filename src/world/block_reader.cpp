#include "world/block_reader.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/gui/gui.h"
#include "world/chunk_store.h"
#include "world/world_store.h"

namespace orelens::world {

namespace {

constexpr std::string_view kLz4MissingText =
    "An error occured caching chunk to extract blockdata: lz4.dll could not be loaded!";

// A number with exactly one decimal: 12.5, 3.0, -8.0.
std::string OneDecimal(float value) {
  char text[64];
  std::snprintf(text, sizeof(text), "%.1f", static_cast<double>(value));
  return text;
}

}  // namespace

BlockReader::BlockReader(WorldStore& store, const Settings& settings,
                         const platform::LibraryLocator& libraries, platform::Gui& gui,
                         int busyTimeoutMilliseconds)
    : store_(store),
      settings_(settings),
      libraries_(libraries),
      gui_(gui),
      busyTimeoutMilliseconds_(busyTimeoutMilliseconds) {}

uint8_t BlockReader::GetBlockAt(BlockQuery& query, float x, float y, float z) {
  // After a failure the operation stops reading; it must not wait for the store cell by cell.
  if (failure_) return kBlockAir;
  ChunkLocation location;
  store_.LocateChunk(location, x, z);
  if (location.chunkId >= 0) {
    if ((location.chunkId != LookupChunkId || !settings_.IsCurrentWorldFolder(lookupWorldFolder_)) &&
        !Reload(location.chunkId, settings_.CurrentWorldFolder())) {
      return kBlockAir;
    }
  } else {
    // The labels are the ones the message has always shown: y carries z and z the height.
    gui_.MessageBox("Error", "The chunk for the Block at  X=" + OneDecimal(x) + " y=" + OneDecimal(z) +
                                 " z=" + OneDecimal(y) + " could not be found.");
    return kBlockAir;
  }

  const double col = std::nearbyint((static_cast<double>(x) - location.originX) * 2.0);
  const double row = std::nearbyint((static_cast<double>(z) - location.originZ) * 2.0);
  const double height = std::nearbyint(static_cast<double>(y) * 2.0);
  // Heights outside the block plane read as air.
  if (!(col >= 0 && col < kChunkColumns && row >= 0 && row < kChunkRows && height >= 0 &&
        height < kChunkHeight)) {
    return kBlockAir;
  }
  const int c = static_cast<int>(col), r = static_cast<int>(row), h = static_cast<int>(height);
  const uint8_t type = LookupBlockTypes[CellOffset(c, r, h) - kBlockPlaneOffset];
  const CellValueMap* values = type == kBlockCustom  ? &LookupCustomIdMap
                               : type == kBlockTorch ? &LookupRotationMap
                                                     : nullptr;
  if (values) {
    const auto found =
        values->find(MakeCellKey(static_cast<uint8_t>(c), static_cast<uint8_t>(r), static_cast<int16_t>(h)));
    if (found != values->end()) query.extra = found->second;
  }
  return type;
}

void BlockReader::Forget() {
  LookupChunkId.reset();
  lookupWorldFolder_.clear();
  LookupCustomIdMap.clear();
  LookupRotationMap.clear();
}

bool BlockReader::Reload(int32_t chunkId, const std::string& worldFolder) {
  ++reloadCount_;
  ChunkData record(kChunkSizeWithoutLists, 0);
  std::fill_n(record.begin(), kChunkHeadAndPlaneSize, kBlockAir);
  Forget();

  bool read = true;
  if (const std::unique_ptr<ChunkStore> chunkStore =
          ChunkStore::Open(libraries_, worldFolder, busyTimeoutMilliseconds_, waitObserver_)) {
    const ChunkRead stored = chunkStore->ReadChunkRecord(chunkId, record);
    // A damaged record reads as the viewer draws it: what decoded, and air where nothing did.
    // Only the block writer refuses it, which would write the damage back.
    if (const std::optional<ChunkFailure> failed =
            stored.status == ChunkReadStatus::kDamaged ? std::nullopt : FailureOfRead(stored.status)) {
      failure_ = ChunkAccessFailure{*failed, chunkId};  // the record is left all air
      read = false;
    } else {
      LookupChunkId = chunkId;
      lookupWorldFolder_ = worldFolder;
      ChunkRecordLists lists;
      DecodeChunkRecordLists(record, lists);
      LookupRotationMap = std::move(lists.rotations);
      LookupCustomIdMap = std::move(lists.customBlocks);
    }
  } else {
    // The table is about to hold air, which belongs to no chunk: the next call for any chunk,
    // the one before included, unpacks again.
    gui_.MessageBox("Error", kLz4MissingText);
  }
  const std::span<const uint8_t> plane = BlockPlane(record);
  LookupBlockTypes.assign(plane.begin(), plane.end());
  return read;
}

}  // namespace orelens::world
