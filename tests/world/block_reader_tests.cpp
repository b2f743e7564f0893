#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "fixtures/database_lock.h"
#include "world/block_reader.h"
#include "world/block_writer_test_world.h"

namespace orelens::world {
namespace {

using fixtures::ChunkRecordSpec;
using testing::BlockTestWorld;
using testing::kLantern;
using testing::kStone;

constexpr int32_t kChunkA = 0;  // origin (-8, -8)
constexpr int32_t kChunkB = 1;  // origin (8, -8)

class BlockReaderTest : public ::testing::Test {
 protected:
  BlockReaderTest() {
    test.ListChunk(-8, -8, kChunkA);
    test.ListChunk(8, -8, kChunkB);
  }

  uint8_t Get(int32_t originX, int col, int row, int height) {
    return reader.GetBlockAt(query, originX + col * 0.5f, height * 0.5f, -8 + row * 0.5f);
  }

  BlockTestWorld test;
  BlockReader reader{test.store, test.settings, test.libraries, test.gui, testing::kTestBusyTimeoutMs};
  BlockQuery query;
};

TEST_F(BlockReaderTest, UnpacksAChunkOnceForAllItsCells) {
  ChunkRecordSpec a;
  a.SetBlock(0, 0, 0, kStone);
  a.SetBlock(31, 31, 799, 200);
  test.PutRow(kChunkA, a);
  ChunkRecordSpec b;
  b.SetBlock(5, 6, 7, 42);
  test.PutCacheFile(kChunkB, b);

  EXPECT_EQ(Get(-8, 0, 0, 0), kStone);
  EXPECT_EQ(Get(-8, 31, 31, 799), 200);
  EXPECT_EQ(Get(-8, 1, 0, 0), kBlockAir);
  EXPECT_EQ(reader.reloadCount(), 1);
  EXPECT_EQ(Get(8, 5, 6, 7), 42);
  EXPECT_EQ(reader.reloadCount(), 2);
  EXPECT_EQ(test.gui.MessageBoxCount(), 0u);
}

TEST_F(BlockReaderTest, GivesCustomIdsAndTorchRotationsOnly) {
  ChunkRecordSpec spec;
  spec.withLists = true;
  spec.SetBlock(1, 0, 0, kBlockCustom);
  spec.SetBlock(2, 0, 0, kBlockCustom);
  spec.SetBlock(3, 0, 0, kBlockTorch);
  spec.SetBlock(4, 0, 0, kLantern);
  spec.customBlocks = {{1, 0, 0, 4242}};
  spec.rotations = {{3, 0, 0, -2}, {4, 0, 0, 3}};
  test.PutRow(kChunkA, spec);

  EXPECT_EQ(Get(-8, 1, 0, 0), kBlockCustom);
  EXPECT_EQ(query.extra, 4242);
  query.extra = 17;
  EXPECT_EQ(Get(-8, 2, 0, 0), kBlockCustom);
  EXPECT_EQ(query.extra, 17) << "a custom block without record leaves the value";
  EXPECT_EQ(Get(-8, 3, 0, 0), kBlockTorch);
  EXPECT_EQ(query.extra, -2);
  EXPECT_EQ(Get(-8, 4, 0, 0), kLantern);
  EXPECT_EQ(query.extra, -2) << "only the torch takes its rotation";
}

TEST_F(BlockReaderTest, PositionsOutsideTheListedChunksReadAsAirWithAMessage) {
  query.extra = 5;
  EXPECT_EQ(reader.GetBlockAt(query, 40.0f, 3.0f, 12.5f), kBlockAir);
  EXPECT_EQ(reader.GetBlockAt(query, -40.0f, 1.5f, -8.0f), kBlockAir);
  EXPECT_EQ(query.extra, 5);
  const auto boxes = test.gui.MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].title, "Error");
  EXPECT_EQ(boxes[0].text, "The chunk for the Block at  X=40.0 y=12.5 z=3.0 could not be found.");
  EXPECT_EQ(boxes[1].text, "The chunk for the Block at  X=-40.0 y=-8.0 z=1.5 could not be found.");
}

TEST_F(BlockReaderTest, ListsNeverPassFromOneChunkToAnother) {
  ChunkRecordSpec withLists;
  withLists.withLists = true;
  withLists.SetBlock(1, 1, 1, kBlockCustom);
  withLists.SetBlock(2, 2, 2, kBlockTorch);
  withLists.customBlocks = {{1, 1, 1, 999}};
  withLists.rotations = {{2, 2, 2, 3}};
  test.PutRow(kChunkA, withLists);
  ChunkRecordSpec withoutLists;
  withoutLists.SetBlock(1, 1, 1, kBlockCustom);
  withoutLists.SetBlock(2, 2, 2, kBlockTorch);
  test.PutRow(kChunkB, withoutLists);

  for (int round = 0; round < 2; ++round) {
    query.extra = 0;
    EXPECT_EQ(Get(-8, 1, 1, 1), kBlockCustom);
    EXPECT_EQ(query.extra, 999);
    query.extra = 0;
    EXPECT_EQ(Get(8, 1, 1, 1), kBlockCustom);
    EXPECT_EQ(Get(8, 2, 2, 2), kBlockTorch);
    EXPECT_EQ(query.extra, 0);
  }
}

TEST_F(BlockReaderTest, HeightsOutsideTheChunkReadAsAir) {
  ChunkRecordSpec spec;
  spec.blockPlane.assign(kBlockPlaneSize, kStone);
  test.PutRow(kChunkA, spec);
  for (float y : {400.0f, -0.5f, -1.0f, 1e9f, -1e30f, std::numeric_limits<float>::infinity(), NAN}) {
    EXPECT_EQ(reader.GetBlockAt(query, 0.0f, y, 0.0f), kBlockAir) << y;
  }
  EXPECT_EQ(reader.GetBlockAt(query, 0.0f, 399.5f, 0.0f), kStone);
}

TEST_F(BlockReaderTest, WithoutLz4ReadsAirAndTriesAgainLater) {
  ChunkRecordSpec a;
  a.blockPlane.assign(kBlockPlaneSize, kStone);
  test.PutRow(kChunkA, a);
  test.PutRow(kChunkB, a);
  EXPECT_EQ(Get(-8, 0, 0, 0), kStone);

  test.BreakLz4();
  EXPECT_EQ(Get(8, 0, 0, 0), kBlockAir);
  const auto boxes = test.gui.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Error");
  EXPECT_EQ(boxes[0].text,
            "An error occured caching chunk to extract blockdata: lz4.dll could not be loaded!");

  test.MendLz4();
  EXPECT_EQ(Get(-8, 0, 0, 0), kStone) << "the air read for the other chunk is not taken for this one";
  EXPECT_EQ(Get(8, 0, 0, 0), kStone);
}

// A chunk that could not be read is not air: the reader says so, reads nothing more until the
// failure is cleared (one wait per operation), and afterwards reads the chunk as stored.
TEST_F(BlockReaderTest, ChunksThatCannotBeReadAreReportedNotTakenForAir) {
  ChunkRecordSpec stone;
  stone.blockPlane.assign(kBlockPlaneSize, kStone);
  test.PutRow(kChunkA, stone);
  test.PutRow(kChunkB, stone);

  fixtures::DatabaseLockHolder otherProgram(test.world.DatabasePath());
  ASSERT_TRUE(otherProgram.Hold());
  EXPECT_EQ(Get(-8, 0, 0, 0), kBlockAir);
  ASSERT_TRUE(reader.failure());
  EXPECT_EQ(reader.failure()->reason, ChunkFailure::kDatabaseBusy);
  EXPECT_EQ(reader.failure()->chunkId, kChunkA);
  EXPECT_FALSE(reader.lookupChunkId());
  ASSERT_TRUE(otherProgram.Release());
  const int reloads = reader.reloadCount();
  EXPECT_EQ(Get(8, 0, 0, 0), kBlockAir);
  EXPECT_EQ(reader.reloadCount(), reloads) << "nothing is read while the failure stands";

  reader.ClearFailure();
  EXPECT_EQ(Get(-8, 0, 0, 0), kStone);
  EXPECT_EQ(Get(8, 0, 0, 0), kStone);
  EXPECT_FALSE(reader.failure());

  test.world.PutDatabaseRow(kChunkA, std::vector<uint8_t>{9, 9, 9, 9, 9, 9});
  std::filesystem::create_directory(test.world.CacheFilePath(kChunkA));
  EXPECT_EQ(Get(-8, 0, 0, 0), kBlockAir);
  ASSERT_TRUE(reader.failure());
  EXPECT_EQ(reader.failure()->reason, ChunkFailure::kUnreadable) << "the damaged row falls back to the file";
  reader.ClearFailure();
  std::filesystem::remove(test.world.CacheFilePath(kChunkA));
  EXPECT_EQ(Get(-8, 0, 0, 0), kBlockAir);
  EXPECT_FALSE(reader.failure()) << "a row that decodes to nothing reads as air, as the viewer draws it";
  EXPECT_EQ(test.gui.MessageBoxCount(), 0u) << "the caller reports, once";
}

}  // namespace
}  // namespace orelens::world
