#pragma once

// A small world on disk for the block reader, block writer and schematic tests: a temporary save
// folder with one world, its chunk list, chunk records as database rows or cache files, the real
// liblz4 and a scripted window system.

#include <memory>
#include <string>

#include "fixtures/chunk_record_writer.h"
#include "fixtures/world_writer.h"
#include "platform/dynlib/dynamic_library.h"
#include "platform/gui/scripted_gui.h"
#include "world/block_kind_table.h"
#include "world/chunk_store.h"
#include "world/settings.h"
#include "world/world_metadata.h"
#include "world/world_store.h"

namespace orelens::testing {

inline constexpr uint8_t kStone = 1;
inline constexpr uint8_t kGlass = 5;
inline constexpr uint8_t kLantern = 20;  // a mesh block other than the torch
// The busy timeout of the stores under test: long enough to find a lock held, short for a test.
inline constexpr int kTestBusyTimeoutMs = 100;

class BlockTestWorld {
 public:
  BlockTestWorld() : world(temp.path(), "World") {
    settings.SaveDir = temp.path();
    settings.CurrentWorldName = "World";
    settings.InstaLoadDir = temp.MakeFolder("InstaLoad");
    kinds.fill(world::kKindOpaqueCube);
    kinds[world::kBlockAir] = world::kKindNotDrawn;
    kinds[kGlass] = world::kKindAlphaCube;
    kinds[world::kBlockTorch] = world::kKindMeshBlock;
    kinds[kLantern] = world::kKindMeshBlock;
  }

  // Lists a chunk (engine origin) under an id in the world's chunk list.
  void ListChunk(int32_t originX, int32_t originZ, int32_t chunkId) {
    store.WorldChunkMap[world::ChunkOriginKey(originX, originZ)] = chunkId;
  }
  void PutRow(int32_t chunkId, const fixtures::ChunkRecordSpec& spec) const {
    world.PutDatabaseRow(chunkId, fixtures::CompressChunkRecord(fixtures::MakeChunkRecord(spec)));
  }
  void PutCacheFile(int32_t chunkId, const fixtures::ChunkRecordSpec& spec) const {
    world.WriteCacheFile(chunkId, fixtures::CompressChunkRecord(fixtures::MakeChunkRecord(spec)));
  }
  // The decoded record as the store holds it now (the air-filled head and plane when none).
  world::ChunkData StoredRecord(int32_t chunkId) const {
    world::ChunkData record(world::kChunkHeadAndPlaneSize, world::kBlockAir);
    world::ChunkStore::Open(libraries, settings.CurrentWorldFolder())->ReadChunkRecord(chunkId, record);
    return record;
  }
  uint8_t StoredBlock(int32_t chunkId, int col, int row, int height) const {
    return StoredRecord(chunkId)[world::CellOffset(col, row, height)];
  }
  void BreakLz4() { libraries.SetLibraryFile(platform::kLz4LibraryName, temp.path() + "missing-liblz4.so"); }
  void MendLz4() { libraries.SetLibraryFile(platform::kLz4LibraryName, "liblz4.so.1"); }

  fixtures::TempFolder temp;
  fixtures::WorldWriter world;
  world::Settings settings;
  world::WorldStore store;
  platform::LibraryLocator libraries;
  platform::ScriptedGui gui;
  world::BlockKindTable kinds{};
};

}  // namespace orelens::testing
