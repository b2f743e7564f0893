// The demo worlds that scripts/run-demo shows a newcomer, read back from the files the generator
// writes: the first view stands above the ground and the trees, not inside them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "fixtures/world_writer.h"
#include "platform/dynlib/dynamic_library.h"
#include "world/block_kind_table.h"
#include "world/chunk_record.h"
#include "world/chunk_store.h"
#include "world/world_metadata.h"

namespace orelens::world {
namespace {

TEST(DemoWorlds, EachWorldStartsAboveTheGroundAndTheTreesAroundThePlayer) {
  fixtures::TempFolder saves;
  const std::string tool = std::string(ORELENS_BINARY_DIR) + "/make_demo_world";
  ASSERT_EQ(std::system((tool + " " + saves.path() + " >/dev/null").c_str()), 0) << tool;

  platform::LibraryLocator libraries;
  for (const std::string name : {"Demo Valley", "Flat Shore", "Tiny Isle"}) {
    SCOPED_TRACE(name);
    const std::string folder = saves.path() + name + "/";
    WorldChunkMap chunks;
    PlayerPosition player;
    ASSERT_EQ(ReadWorldMetadata(chunks, folder, player), 1.0);
    ASSERT_EQ(player.x, 4.0f);
    ASSERT_EQ(player.z, 4.0f);

    // The player's column is 24, 24 of the chunk with origin (-8, -8).
    const auto found = chunks.find(ChunkOriginKey(-8, -8));
    ASSERT_NE(found, chunks.end());
    const auto store = ChunkStore::Open(libraries, folder);
    ASSERT_TRUE(store);
    ChunkData record;
    ASSERT_NE(store->ReadChunkRecord(found->second, record), 0);
    ASSERT_GE(record.size(), kChunkHeadAndPlaneSize);

    // Every block within 6 blocks of the player's column lies at least two blocks below the
    // camera (a block h spans heights h * 0.5 to (h + 1) * 0.5), and the ground is near below.
    int groundTop = -1;
    for (int row = 18; row <= 30; ++row) {
      for (int col = 18; col <= 30; ++col) {
        for (int h = 0; h < kChunkHeight; ++h) {
          if (record[CellOffset(col, row, h)] == kBlockAir) continue;
          EXPECT_LE((h + 1) * 0.5f + 1.0f, player.height) << col << "," << row << "," << h;
          if (col == 24 && row == 24) groundTop = std::max(groundTop, h);
        }
      }
    }
    ASSERT_GE(groundTop, 0);
    EXPECT_LE(player.height - (groundTop + 1) * 0.5f, 8.0f);  // the ground stays in view
  }
}

}  // namespace
}  // namespace orelens::world
