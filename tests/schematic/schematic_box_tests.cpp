#include <gtest/gtest.h>

#include "schematic/schematic_box.h"
#include "world/world_metadata.h"

namespace orelens::schematic {
namespace {

TEST(SchematicBox, CellsOfAnAxisFallIntoTheirChunksOnce) {
  // First cell at 6.0, twelve cells up to 11.5: chunk -8 holds 6.0 .. 7.5, chunk 8 the rest.
  EXPECT_EQ(CellsInChunk(6.0f, 12, -8).begin, 0);
  EXPECT_EQ(CellsInChunk(6.0f, 12, -8).end, 4);
  EXPECT_EQ(CellsInChunk(6.0f, 12, 8).begin, 4);
  EXPECT_EQ(CellsInChunk(6.0f, 12, 8).end, 12);
  EXPECT_TRUE(CellsInChunk(6.0f, 12, 24).empty());
  EXPECT_TRUE(CellsInChunk(6.0f, 12, -24).empty());

  // Off the half-unit grid every cell still lands in exactly one chunk: the one that holds it.
  for (float first : {-40.3f, -8.25f, 7.6f, 0.1f}) {
    const int32_t count = 100;
    std::vector<int> seen(count, 0);
    for (int32_t origin = -88; origin <= 88; origin += 16) {
      const CellRange range = CellsInChunk(first, count, origin);
      for (int32_t i = range.begin; i < range.end; ++i) {
        ++seen[i];
        EXPECT_EQ(world::SnapToChunkOrigin(first + i * 0.5f), origin) << first << " cell " << i;
      }
    }
    for (int32_t i = 0; i < count; ++i) EXPECT_EQ(seen[i], 1) << first << " cell " << i;
  }
}

TEST(SchematicBox, ChunksIncludeTheOneStepPastTheFarEnd) {
  world::WorldStore store;
  store.WorldChunkMap[world::ChunkOriginKey(-8, -8)] = 0;
  store.WorldChunkMap[world::ChunkOriginKey(8, -8)] = 1;
  store.WorldChunkMap[world::ChunkOriginKey(-8, 8)] = 2;
  // Cells x 6.0 .. 7.5 and z -8.0 .. 7.5: one step past reaches x 8.0 and z 8.0.
  const SchematicBox box = SchematicBox::AroundCentre(6.75f, 0.0f, -0.25f, 4, 1, 32);
  const std::vector<world::ChunkLocation> chunks = CollectBoxChunks(store, box);
  ASSERT_EQ(chunks.size(), 4u);
  EXPECT_EQ(chunks[0].chunkId, 0);
  EXPECT_EQ(chunks[1].chunkId, 2);
  EXPECT_EQ(chunks[2].chunkId, 1);
  EXPECT_EQ(chunks[3].chunkId, -1) << "unlisted chunks share one entry";
  EXPECT_EQ(chunks[3].originX, 8);
  EXPECT_EQ(chunks[3].originZ, 8);
}

}  // namespace
}  // namespace orelens::schematic
