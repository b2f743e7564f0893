#pragma once

#include <functional>

#include "platform/dynlib/dynamic_library.h"
#include "platform/gui/gui.h"
#include "schematic/progress_window.h"
#include "world/block_kind_table.h"
#include "world/block_reader.h"
#include "world/block_writer.h"
#include "world/settings.h"
#include "world/world_store.h"

namespace orelens::schematic {

// Drops a chunk that an injection has rewritten from the loaded-chunk map (under
// LoadedChunkMapMutex) and frees its geometry, so that the chunk loaders take it up again.
// The viewer, which owns both, supplies it.
using LoadedChunkRelease = std::function<void(const world::ChunkLocation& chunk)>;

// What saving, loading and injecting schematics work with; all of it belongs to the program.
struct SchematicServices {
  platform::Gui& gui;
  const platform::LibraryLocator& libraries;
  world::WorldStore& store;
  const world::Settings& settings;
  const world::BlockKindTable& kinds;
  world::BlockReader& blockReader;
  world::BlockWriter& blockWriter;
  MillisecondClock clock;
  LoadedChunkRelease releaseLoadedChunk;
};

}  // namespace orelens::schematic
