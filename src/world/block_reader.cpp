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
                         const platform::LibraryLocator& libraries, platform::Gui& gui)
    : store_(store), settings_(settings), libraries_(libraries), gui_(gui) {}

uint8_t BlockReader::GetBlockAt(BlockQuery& query, float x, float y, float z) {
  ChunkLocation location;
  store_.LocateChunk(location, x, z);
  if (location.chunkId >= 0 && location.chunkId != LookupChunkId) Reload(location.chunkId);
  if (location.chunkId < 0) {
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

void BlockReader::Reload(int32_t chunkId) {
  ++reloadCount_;
  ChunkData record(kChunkSizeWithoutLists, 0);
  std::fill_n(record.begin(), kChunkHeadAndPlaneSize, kBlockAir);
  LookupCustomIdMap.clear();
  LookupRotationMap.clear();

  if (const std::unique_ptr<ChunkStore> chunkStore =
          ChunkStore::Open(libraries_, settings_.CurrentWorldFolder())) {
    LookupChunkId = chunkId;
    chunkStore->ReadChunkRecord(chunkId, record);
    ChunkRecordLists lists;
    DecodeChunkRecordLists(record, lists);
    LookupRotationMap = std::move(lists.rotations);
    LookupCustomIdMap = std::move(lists.customBlocks);
  } else {
    gui_.MessageBox("Error", kLz4MissingText);
    // The table is about to hold air, which belongs to no chunk: the next call for any chunk,
    // the one before included, unpacks again.
    LookupChunkId.reset();
  }
  const std::span<const uint8_t> plane = BlockPlane(record);
  LookupBlockTypes.assign(plane.begin(), plane.end());
}

}  // namespace orelens::world
