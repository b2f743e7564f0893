#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "schematic/schematic_services.h"
#include "world/block_reader.h"
#include "world/block_writer.h"
#include "world/block_writer_test_world.h"

namespace orelens::testing {

// A test world with the block reader and writer and the services the schematic operations take.
// The clock moves on by clockStep on every reading; released chunks are recorded.
class SchematicTestWorld : public BlockTestWorld {
 public:
  world::BlockReader reader{store, settings, libraries, gui, kTestBusyTimeoutMs};
  world::BlockWriter writer{store, settings, kinds, libraries, kTestBusyTimeoutMs};
  int64_t now = 0;
  int64_t clockStep = 0;
  std::vector<world::ChunkLocation> released;
  schematic::SchematicServices services{
      gui,
      libraries,
      store,
      settings,
      kinds,
      reader,
      writer,
      [this] { return now += clockStep; },
      [this](const world::ChunkLocation& chunk) { released.push_back(chunk); }};

  std::string SchematicPath(const std::string& name) const { return temp.path() + name; }

  // The services with a block reader and writer of the test's own (another busy timeout).
  schematic::SchematicServices ServicesWith(world::BlockReader& ownReader, world::BlockWriter& ownWriter) {
    return {gui, libraries, store, settings, kinds, ownReader, ownWriter, services.clock, services.releaseLoadedChunk};
  }
};

}  // namespace orelens::testing
