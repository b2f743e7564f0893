#include <gtest/gtest.h>
#include <lz4.h>

#include <cstring>
#include <filesystem>

#include "fixtures/database_lock.h"
#include "world/block_reader.h"
#include "world/block_writer.h"
#include "world/block_writer_test_world.h"

namespace orelens::world {
namespace {

using fixtures::ChunkRecordSpec;
using testing::BlockTestWorld;
using testing::kLantern;
using testing::kStone;

constexpr int32_t kChunkA = 0;  // origin (-8, -8)
constexpr int32_t kChunkB = 1;  // origin (8, -8)

class BlockWriterTest : public ::testing::Test {
 protected:
  BlockWriterTest() {
    test.ListChunk(-8, -8, kChunkA);
    test.ListChunk(8, -8, kChunkB);
  }

  static ChunkRecordSpec SpecWithLists() {
    ChunkRecordSpec spec;
    spec.withLists = true;
    spec.minHeight = 10;
    spec.maxHeight = 120;
    spec.n2Records = {{1, 2, 3, 4, 5}};
    spec.groups = {{{7, 7, 7}, {11, 12}}};
    return spec;
  }

  // Sets the cell (col, row, height) of the chunk with the given origin.
  void Set(int block, int32_t extra, int32_t originX, int col, int row, int height) {
    writer.SetWorldBlock(block, extra, originX + col * 0.5f, height * 0.5f, -8 + row * 0.5f);
  }

  ChunkRecordLists StoredLists(int32_t chunkId) {
    ChunkRecordLists lists;
    DecodeChunkRecordLists(test.StoredRecord(chunkId), lists);
    return lists;
  }

  BlockTestWorld test;
  BlockWriter writer{test.store, test.settings, test.kinds, test.libraries, testing::kTestBusyTimeoutMs};
};

TEST_F(BlockWriterTest, CustomBlockRecordsFollowTheCellsAndTheRecordMovesWithTheList) {
  ChunkRecordSpec spec = SpecWithLists();
  spec.SetBlock(1, 1, 20, kBlockCustom);
  spec.SetBlock(2, 1, 20, kBlockCustom);
  spec.customBlocks = {{1, 1, 20, 111}, {2, 1, 20, 222}};
  test.PutRow(kChunkA, spec);
  const size_t sizeBefore = test.StoredRecord(kChunkA).size();

  Set(kBlockAir, 0, -8, 1, 1, 20);
  writer.Flush();
  ChunkRecordSpec expected = spec;
  expected.SetBlock(1, 1, 20, kBlockAir);
  expected.customBlocks = {{2, 1, 20, 222}};
  EXPECT_EQ(test.StoredRecord(kChunkA).size(), sizeBefore - 8);
  EXPECT_EQ(test.StoredRecord(kChunkA), fixtures::MakeChunkRecord(expected))
      << "everything after the list moves back with it, untouched";

  Set(kBlockCustom, 12345, -8, 5, 6, 7);
  writer.Flush();
  BlockReader reader(test.store, test.settings, test.libraries, test.gui);
  BlockQuery query;
  EXPECT_EQ(reader.GetBlockAt(query, -8 + 2.5f, 3.5f, -8 + 3.0f), kBlockCustom);
  EXPECT_EQ(query.extra, 12345);
  EXPECT_EQ(StoredLists(kChunkA).customBlocks.size(), 2u);
}

// A record may end right after its custom-block list: the list is still rewritten in place, for
// an empty list (the record ends with its count) as for a full one.
TEST_F(BlockWriterTest, CustomBlockListAtTheVeryEndOfTheRecordIsRewritten) {
  for (const std::vector<CustomBlockRecord>& stored :
       {std::vector<CustomBlockRecord>{}, std::vector<CustomBlockRecord>{{4, 4, 4, 44}}}) {
    ChunkRecordSpec spec = SpecWithLists();
    spec.trailing.clear();
    for (const CustomBlockRecord& custom : stored)
      spec.SetBlock(custom.col, custom.row, custom.height, kBlockCustom);
    spec.customBlocks = stored;
    test.PutRow(kChunkA, spec);
    ASSERT_EQ(test.StoredRecord(kChunkA).size(),
              fixtures::CustomBlockCountOffset(spec) + 4 + 8 * stored.size());

    Set(kBlockCustom, 31337, -8, 6, 7, 8);
    ASSERT_TRUE(writer.FlushAndForget());
    ChunkRecordSpec expected = spec;
    expected.SetBlock(6, 7, 8, kBlockCustom);
    expected.customBlocks.push_back({6, 7, 8, 31337});
    const std::vector<uint8_t> wanted = fixtures::MakeChunkRecord(expected);
    const ChunkData written = test.StoredRecord(kChunkA);
    ASSERT_EQ(written.size(), wanted.size()) << stored.size();
    const auto listAt = static_cast<std::ptrdiff_t>(fixtures::CustomBlockCountOffset(spec));
    EXPECT_TRUE(std::equal(wanted.begin(), wanted.begin() + listAt, written.begin())) << stored.size();
    CellValueMap customBlocks{{MakeCellKey(6, 7, 8), 31337}};
    if (!stored.empty()) customBlocks.insert_or_assign(MakeCellKey(4, 4, 4), 44);
    EXPECT_EQ(StoredLists(kChunkA).customBlocks, customBlocks) << stored.size();
  }
}

TEST_F(BlockWriterTest, RotationRecordsFollowMeshBlocks) {
  ChunkRecordSpec spec = SpecWithLists();
  spec.SetBlock(3, 4, 50, kLantern);
  spec.rotations = {{3, 4, 50, 1}};
  test.PutRow(kChunkA, spec);

  Set(kBlockTorch, 2, -8, 3, 4, 50);
  writer.Flush();
  ChunkRecordLists lists = StoredLists(kChunkA);
  ASSERT_EQ(lists.rotations.size(), 1u);
  ASSERT_NE(lists.rotations.find(MakeCellKey(3, 4, 50)), lists.rotations.end());
  EXPECT_EQ(lists.rotations.find(MakeCellKey(3, 4, 50))->second, 2);

  Set(kStone, 9, -8, 3, 4, 50);
  writer.Flush();
  lists = StoredLists(kChunkA);
  EXPECT_TRUE(lists.rotations.empty());
  EXPECT_EQ(test.StoredBlock(kChunkA, 3, 4, 50), kStone);

  Set(kLantern, -3, -8, 3, 4, 50);
  writer.Flush();
  lists = StoredLists(kChunkA);
  ASSERT_EQ(lists.rotations.size(), 1u);
  ASSERT_NE(lists.rotations.find(MakeCellKey(3, 4, 50)), lists.rotations.end());
  EXPECT_EQ(lists.rotations.find(MakeCellKey(3, 4, 50))->second, -3);
}

TEST_F(BlockWriterTest, HeightRangeGrowsWithBlocksAndShrinksWithAir) {
  test.PutRow(kChunkA, SpecWithLists());  // MinHeight 10, MaxHeight 120

  Set(kStone, 0, -8, 0, 0, 5);
  Set(kBlockAir, 0, -8, 0, 0, 130);
  writer.Flush();
  ChunkRecordLists lists = StoredLists(kChunkA);
  EXPECT_EQ(lists.MinHeight, 10);
  EXPECT_EQ(lists.MaxHeight, 120);

  Set(kBlockAir, 0, -8, 0, 0, 5);
  Set(kStone, 0, -8, 0, 0, 130);
  writer.Flush();
  lists = StoredLists(kChunkA);
  EXPECT_EQ(lists.MinHeight, 5);
  EXPECT_EQ(lists.MaxHeight, 130);

  Set(kStone, 0, -8, 0, 0, 799);
  Set(kBlockAir, 0, -8, 0, 0, 0);
  writer.Flush();
  lists = StoredLists(kChunkA);
  EXPECT_EQ(lists.MinHeight, 0);
  EXPECT_EQ(lists.MaxHeight, 799);
}

TEST_F(BlockWriterTest, WritesAChunkBackOnceTheFirstCallForAnotherArrives) {
  test.PutRow(kChunkA, SpecWithLists());
  test.PutCacheFile(kChunkB, SpecWithLists());
  const std::vector<uint8_t> storedB = fixtures::ReadFileBytes(test.world.CacheFilePath(kChunkB));

  Set(kStone, 0, -8, 1, 1, 1);
  Set(kStone, 0, -8, 2, 2, 2);
  EXPECT_EQ(test.StoredBlock(kChunkA, 1, 1, 1), kBlockAir) << "nothing is written while the chunk is edited";

  Set(kStone, 0, 8, 3, 3, 3);
  EXPECT_EQ(test.StoredBlock(kChunkA, 1, 1, 1), kStone);
  EXPECT_EQ(test.StoredBlock(kChunkA, 2, 2, 2), kStone);
  EXPECT_EQ(fixtures::ReadFileBytes(test.world.CacheFilePath(kChunkB)), storedB);
  EXPECT_EQ(writer.editChunkId(), kChunkB);

  writer.Flush();
  EXPECT_EQ(test.StoredBlock(kChunkB, 3, 3, 3), kStone);
  EXPECT_FALSE(writer.hasPendingChange());
}

TEST_F(BlockWriterTest, FlushWithoutChangesWritesNothing) {
  test.PutCacheFile(kChunkA, SpecWithLists());
  const auto cacheFile = test.world.CacheFilePath(kChunkA);
  const std::vector<uint8_t> stored = fixtures::ReadFileBytes(cacheFile);
  writer.SetWorldBlock(0, 0, 0, 0, 0);
  writer.SetWorldBlock(0, 0, 0, 0, 0);
  EXPECT_FALSE(writer.editChunkId()) << "the flush call loads nothing";

  Set(kStone, 0, -8, 1, 1, 1);
  writer.Flush();
  const auto written = std::filesystem::last_write_time(cacheFile);
  writer.Flush();
  writer.SetWorldBlock(0, 0, 0, 0, 0);
  EXPECT_EQ(std::filesystem::last_write_time(cacheFile), written);
  EXPECT_NE(fixtures::ReadFileBytes(cacheFile), stored);
}

TEST_F(BlockWriterTest, ListsStayInPlaceOverSeveralFlushes) {
  ChunkRecordSpec spec = SpecWithLists();
  spec.SetBlock(0, 0, 30, kBlockCustom);
  spec.customBlocks = {{0, 0, 30, 7}};
  test.PutRow(kChunkA, spec);

  ChunkRecordSpec expected = spec;
  Set(kLantern, 4, -8, 9, 9, 40);
  expected.SetBlock(9, 9, 40, kLantern);
  expected.rotations = {{9, 9, 40, 4}};
  writer.Flush();
  EXPECT_EQ(test.StoredRecord(kChunkA), fixtures::MakeChunkRecord(expected));

  Set(kBlockAir, 0, -8, 0, 0, 30);
  Set(kBlockCustom, 99, -8, 1, 0, 31);
  expected.SetBlock(0, 0, 30, kBlockAir);
  expected.SetBlock(1, 0, 31, kBlockCustom);
  expected.customBlocks = {{1, 0, 31, 99}};
  writer.Flush();
  EXPECT_EQ(test.StoredRecord(kChunkA), fixtures::MakeChunkRecord(expected));

  Set(kStone, 0, -8, 9, 9, 40);
  Set(kBlockCustom, 100, -8, 1, 0, 31);
  expected.SetBlock(9, 9, 40, kStone);
  expected.rotations.clear();
  expected.customBlocks = {{1, 0, 31, 100}};
  writer.Flush();
  EXPECT_EQ(test.StoredRecord(kChunkA), fixtures::MakeChunkRecord(expected));
}

TEST_F(BlockWriterTest, HeightsOutsideTheChunkWriteNothing) {
  test.PutRow(kChunkA, SpecWithLists());
  const ChunkData before = test.StoredRecord(kChunkA);
  for (float y : {400.0f, 1000.0f, -0.5f, -1e9f, 1e30f}) writer.SetWorldBlock(kStone, 0, 0.0f, y, 0.0f);
  writer.Flush();
  EXPECT_EQ(test.StoredRecord(kChunkA), before);
}

TEST_F(BlockWriterTest, WithoutLz4AnEditNeverReachesAnotherChunk) {
  test.PutRow(kChunkA, SpecWithLists());
  test.PutRow(kChunkB, SpecWithLists());
  Set(kStone, 0, -8, 1, 1, 1);

  test.BreakLz4();
  Set(testing::kGlass, 0, 8, 6, 6, 6);  // meant for chunk B, same cell in A untouched
  writer.Flush();
  EXPECT_TRUE(writer.hasPendingChange()) << "the change to A stays in memory";

  test.MendLz4();
  writer.Flush();
  EXPECT_EQ(test.StoredBlock(kChunkA, 1, 1, 1), kStone);
  EXPECT_EQ(test.StoredBlock(kChunkA, 6, 6, 6), kBlockAir);
  EXPECT_EQ(test.StoredBlock(kChunkB, 6, 6, 6), kBlockAir);

  // The same with nothing pending in A.
  test.BreakLz4();
  Set(testing::kGlass, 0, 8, 7, 7, 7);
  test.MendLz4();
  writer.Flush();
  EXPECT_EQ(test.StoredBlock(kChunkA, 7, 7, 7), kBlockAir);
  EXPECT_EQ(test.StoredBlock(kChunkB, 7, 7, 7), kBlockAir);
}

TEST_F(BlockWriterTest, RecordsWithoutListsKeepTheirSize) {
  ChunkRecordSpec spec;  // 1,638,400 bytes, no lists
  test.PutRow(kChunkA, spec);
  Set(kBlockCustom, 5, -8, 1, 1, 1);
  Set(kLantern, 5, -8, 2, 2, 2);
  writer.Flush();
  spec.SetBlock(1, 1, 1, kBlockCustom);
  spec.SetBlock(2, 2, 2, kLantern);
  EXPECT_EQ(test.StoredRecord(kChunkA), fixtures::MakeChunkRecord(spec));
}

TEST_F(BlockWriterTest, RecordWhoseWalkStopsKeepsEverythingAfterTheRotationList) {
  ChunkRecordSpec spec = SpecWithLists();
  spec.flags[3] = 2;  // the walk stops before the custom-block list
  spec.customBlocks = {{0, 0, 0, 5}};
  test.PutRow(kChunkA, spec);
  Set(kLantern, 1, -8, 2, 2, 2);
  Set(kBlockCustom, 77, -8, 3, 3, 3);
  writer.Flush();
  spec.SetBlock(2, 2, 2, kLantern);
  spec.SetBlock(3, 3, 3, kBlockCustom);
  spec.rotations = {{2, 2, 2, 1}};
  EXPECT_EQ(test.StoredRecord(kChunkA), fixtures::MakeChunkRecord(spec));
}

TEST_F(BlockWriterTest, AChunkWithoutRecordNeverTakesTheListsOfTheChunkBefore) {
  ChunkRecordSpec spec = SpecWithLists();
  spec.SetBlock(0, 0, 0, kBlockCustom);
  spec.customBlocks = {{0, 0, 0, 5}};
  spec.rotations = {{1, 1, 1, 3}};
  test.PutRow(kChunkA, spec);
  Set(kStone, 0, -8, 4, 4, 4);
  Set(kStone, 0, 8, 4, 4, 4);  // chunk B has no record at all
  writer.Flush();

  ChunkRecordSpec expected;  // air, no lists
  expected.secondPlaneFill = 0;
  expected.SetBlock(4, 4, 4, kStone);
  const ChunkData stored = test.StoredRecord(kChunkB);
  ASSERT_EQ(stored.size(), kChunkSizeWithoutLists);
  EXPECT_TRUE(std::equal(stored.begin() + kBlockPlaneOffset, stored.begin() + kChunkHeadAndPlaneSize,
                         fixtures::MakeChunkRecord(expected).begin() + kBlockPlaneOffset));
  EXPECT_TRUE(
      std::all_of(stored.begin() + kChunkHeadAndPlaneSize, stored.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(BlockWriterTest, PositionsOutsideTheListedChunksAreDropped) {
  writer.SetWorldBlock(kStone, 0, 100.0f, 1.0f, 100.0f);
  writer.Flush();
  EXPECT_FALSE(writer.editChunkId());
  EXPECT_FALSE(std::filesystem::exists(test.world.CacheFilePath(-1)));
}

TEST_F(BlockWriterTest, WrittenRowDecodesWithPlainLz4AndSqlite) {
  ChunkRecordSpec spec = SpecWithLists();
  spec.SetBlock(4, 5, 6, kStone);
  test.PutRow(kChunkA, spec);
  Set(kBlockCustom, 4711, -8, 7, 8, 9);
  Set(kLantern, -2, -8, 1, 2, 3);
  writer.Flush();

  // The stored form: an LZ4 block of the whole record, then its size as a little-endian int32.
  const std::vector<uint8_t> row = fixtures::ChunkDatabaseWriter(test.world.folder()).Row(kChunkA);
  ASSERT_GT(row.size(), 4u);
  int32_t decodedSize = 0;
  std::memcpy(&decodedSize, row.data() + row.size() - 4, 4);
  std::vector<uint8_t> decoded(static_cast<size_t>(decodedSize));
  ASSERT_EQ(
      LZ4_decompress_safe(reinterpret_cast<const char*>(row.data()), reinterpret_cast<char*>(decoded.data()),
                          static_cast<int>(row.size() - 4), decodedSize),
      decodedSize);
  ChunkRecordSpec expected = spec;
  expected.SetBlock(7, 8, 9, kBlockCustom);
  expected.SetBlock(1, 2, 3, kLantern);
  expected.customBlocks = {{7, 8, 9, 4711}};
  expected.rotations = {{1, 2, 3, -2}};
  EXPECT_EQ(decoded, fixtures::MakeChunkRecord(expected));
}

TEST_F(BlockWriterTest, StoredHeightRangesOutsideTheChunkAreClampedOnTheFirstEdit) {
  struct Case {
    int16_t storedMin, storedMax, writtenMin, writtenMax;
  };
  // MaxHeight above 799 becomes 799, below 1 becomes 1; MinHeight above 798 becomes 798, below 1
  // becomes 0; a MaxHeight below MinHeight becomes MinHeight + 1.
  for (const Case& c : {Case{900, 950, 798, 799}, Case{900, 0, 798, 799}, Case{500, 300, 500, 501},
                        Case{-5, -7, 0, 1}, Case{799, 799, 798, 799}, Case{1, 2, 1, 2}}) {
    ChunkRecordSpec spec = SpecWithLists();
    spec.n2Records.clear();  // the height range follows the rotation list and an empty second list
    spec.minHeight = c.storedMin;
    spec.maxHeight = c.storedMax;
    test.PutRow(kChunkA, spec);
    Set(kStone, 0, -8, 0, 0, 0);  // raises no MaxHeight above 0 and never lowers MinHeight
    ASSERT_TRUE(writer.FlushAndForget());
    const ChunkRecordLists lists = StoredLists(kChunkA);
    EXPECT_EQ(lists.MinHeight, c.writtenMin) << c.storedMin << ".." << c.storedMax;
    EXPECT_EQ(lists.MaxHeight, c.writtenMax) << c.storedMin << ".." << c.storedMax;
  }
}

// A pending change belongs to the world its chunk was read from, even when the world is switched
// without a flush (the setting changes first): it is written there, never into the other world.
TEST_F(BlockWriterTest, PendingChangeGoesToItsOwnWorldAfterASwitch) {
  ChunkRecordSpec first = SpecWithLists();
  test.PutRow(kChunkA, first);
  ChunkRecordSpec second = SpecWithLists();
  second.SetBlock(9, 9, 9, kLantern);
  second.rotations = {{9, 9, 9, 3}};
  second.maxHeight = 333;
  const fixtures::WorldWriter otherWorld(test.temp.path(), "Other");
  otherWorld.PutDatabaseRow(kChunkA, fixtures::MakeChunkBlob(second));

  Set(kStone, 0, -8, 1, 1, 1);  // pending in "World"
  test.settings.CurrentWorldName = "Other";
  Set(kStone, 0, -8, 2, 2, 2);  // the same chunk id in "Other"
  EXPECT_TRUE(writer.FlushAndForget());
  EXPECT_FALSE(writer.editChunkId());

  ChunkRecordSpec expectedOther = second;
  expectedOther.SetBlock(2, 2, 2, kStone);
  EXPECT_EQ(test.StoredRecord(kChunkA), fixtures::MakeChunkRecord(expectedOther));
  test.settings.CurrentWorldName = "World";
  ChunkRecordSpec expectedFirst = first;
  expectedFirst.SetBlock(1, 1, 1, kStone);
  EXPECT_EQ(test.StoredRecord(kChunkA), fixtures::MakeChunkRecord(expectedFirst));
}

// A second program holds the world's database: a chunk that cannot be read is never loaded as
// air, nothing is written over its row or beside it, and the failure stops the writer until the
// caller clears it.
TEST_F(BlockWriterTest, BusyDatabaseLoadsNothingAndWritesNothing) {
  ChunkRecordSpec spec = SpecWithLists();
  spec.SetBlock(1, 1, 1, kStone);
  spec.SetBlock(2, 2, 2, kBlockCustom);
  spec.customBlocks = {{2, 2, 2, 99}};
  test.PutRow(kChunkA, spec);
  test.PutRow(kChunkB, spec);
  fixtures::ChunkDatabaseWriter database(test.world.folder());
  const std::vector<uint8_t> rowA = database.Row(kChunkA);

  fixtures::DatabaseLockHolder otherProgram(test.world.DatabasePath());
  ASSERT_TRUE(otherProgram.Hold());
  EXPECT_FALSE(writer.SetBlock(kStone, 0, -8 + 3 * 0.5f, 3 * 0.5f, -8 + 3 * 0.5f));
  ASSERT_TRUE(writer.failure());
  EXPECT_EQ(writer.failure()->reason, ChunkFailure::kDatabaseBusy);
  EXPECT_EQ(writer.failure()->chunkId, kChunkA);
  EXPECT_FALSE(writer.editChunkId()) << "no chunk is loaded from a database that did not answer";
  EXPECT_FALSE(writer.Flush());
  ASSERT_TRUE(otherProgram.Release());

  // Until the failure is cleared the writer touches no chunk, so one operation waits only once.
  Set(kStone, 0, 8, 4, 4, 4);
  EXPECT_FALSE(writer.editChunkId());
  EXPECT_EQ(database.Row(kChunkA), rowA);
  EXPECT_FALSE(std::filesystem::exists(test.world.CacheFilePath(kChunkA))) << "no stray cache file";

  writer.ClearFailure();
  Set(kStone, 0, -8, 3, 3, 3);
  ASSERT_TRUE(writer.Flush());
  ChunkRecordSpec expected = spec;
  expected.SetBlock(3, 3, 3, kStone);
  EXPECT_EQ(test.StoredRecord(kChunkA), fixtures::MakeChunkRecord(expected)) << "every cell and list kept";
}

TEST_F(BlockWriterTest, ChangeThatCannotBeStoredIsDroppedWithItsChunk) {
  ChunkRecordSpec spec = SpecWithLists();
  spec.SetBlock(1, 1, 1, kStone);
  test.PutRow(kChunkA, spec);
  fixtures::ChunkDatabaseWriter database(test.world.folder());
  const std::vector<uint8_t> rowA = database.Row(kChunkA);
  Set(kBlockAir, 0, -8, 1, 1, 1);
  Set(kStone, 0, -8, 5, 5, 5);

  fixtures::DatabaseLockHolder otherProgram(test.world.DatabasePath());
  ASSERT_TRUE(otherProgram.Hold());
  EXPECT_FALSE(writer.Flush());
  ASSERT_TRUE(writer.failure());
  EXPECT_EQ(writer.failure()->reason, ChunkFailure::kDatabaseBusy);
  EXPECT_FALSE(writer.hasPendingChange());
  EXPECT_FALSE(writer.editChunkId());
  ASSERT_TRUE(otherProgram.Release());
  EXPECT_EQ(database.Row(kChunkA), rowA);
  EXPECT_FALSE(std::filesystem::exists(test.world.CacheFilePath(kChunkA)));

  // The chunk is read again as stored: the dropped change does not come back with a later edit.
  writer.ClearFailure();
  Set(kStone, 0, -8, 6, 6, 6);
  ASSERT_TRUE(writer.Flush());
  EXPECT_EQ(test.StoredBlock(kChunkA, 1, 1, 1), kStone);
  EXPECT_EQ(test.StoredBlock(kChunkA, 5, 5, 5), kBlockAir);
  EXPECT_EQ(test.StoredBlock(kChunkA, 6, 6, 6), kStone);
}

TEST_F(BlockWriterTest, DamagedOrUnreadableChunksAreNeverWrittenOver) {
  const std::vector<uint8_t> damaged = {1, 2, 3, 4, 5, 6, 7, 8};
  test.world.PutDatabaseRow(kChunkA, damaged);  // a row that does not decode, no cache file
  std::filesystem::create_directory(
      test.world.CacheFilePath(kChunkB));  // no row, a cache file that cannot be read

  EXPECT_FALSE(writer.SetBlock(kStone, 0, -8, 0, -8));
  ASSERT_TRUE(writer.failure());
  EXPECT_EQ(writer.failure()->reason, ChunkFailure::kDamaged);
  writer.ClearFailure();
  EXPECT_FALSE(writer.SetBlock(kStone, 0, 8, 0, -8));
  ASSERT_TRUE(writer.failure());
  EXPECT_EQ(writer.failure()->reason, ChunkFailure::kUnreadable);
  EXPECT_EQ(writer.failure()->chunkId, kChunkB);
  writer.ClearFailure();
  writer.Flush();
  EXPECT_EQ(fixtures::ChunkDatabaseWriter(test.world.folder()).Row(kChunkA), damaged);
  EXPECT_TRUE(std::filesystem::is_directory(test.world.CacheFilePath(kChunkB)));
}

}  // namespace
}  // namespace orelens::world
