#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <thread>

#include "fixtures/chunk_record_writer.h"
#include "fixtures/world_writer.h"
#include "world/chunk_store.h"

namespace orelens::world {
namespace {

using fixtures::ChunkRecordSpec;
using fixtures::CompressChunkRecord;
using fixtures::MakeChunkRecord;
using fixtures::ReadFileBytes;
using fixtures::TempFolder;
using fixtures::WorldWriter;

std::vector<uint8_t> RecordWithBlock(uint8_t block, bool withLists = true) {
  ChunkRecordSpec spec;
  spec.withLists = withLists;
  spec.SetBlock(3, 4, 5, block);
  spec.rotations = {{3, 4, 5, 2}};
  return MakeChunkRecord(spec);
}

bool AllAir(std::span<const uint8_t> bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == kBlockAir; });
}

class ChunkStoreTest : public testing::Test {
 protected:
  std::unique_ptr<ChunkStore> OpenStore() { return ChunkStore::Open(locator_, world_.folder()); }

  TempFolder save_;
  WorldWriter world_{save_.path(), "World"};
  platform::LibraryLocator locator_;
};

TEST_F(ChunkStoreTest, ReadsTheDatabaseRowBeforeTheCacheFile) {
  std::vector<uint8_t> fromRow = RecordWithBlock(7), fromFile = RecordWithBlock(8);
  world_.PutDatabaseRow(5, CompressChunkRecord(fromRow));
  world_.WriteCacheFile(5, CompressChunkRecord(fromFile));
  world_.WriteCacheFile(6, CompressChunkRecord(fromFile));
  auto store = OpenStore();
  ASSERT_TRUE(store && store->HasDatabase());
  ChunkData data(kChunkSizeWithoutLists, 0);
  EXPECT_EQ(store->ReadChunkRecord(5, data), static_cast<int>(fromRow.size()));
  EXPECT_EQ(data, fromRow);
  // No row: the cache file; the same connection serves every read.
  EXPECT_GT(store->ReadChunkRecord(6, data), 0);
  EXPECT_EQ(data, fromFile);
}

TEST_F(ChunkStoreTest, DamagedRowFallsBackToTheCacheFile) {
  std::vector<uint8_t> fromFile = RecordWithBlock(8);
  world_.PutDatabaseRow(5, std::vector<uint8_t>{0, 0, 0, 0, 0x10, 0x20, 0x00, 0x00});  // decodes to nothing
  world_.WriteCacheFile(5, CompressChunkRecord(fromFile));
  auto store = OpenStore();
  ChunkData data;
  EXPECT_GT(store->ReadChunkRecord(5, data), 0);
  EXPECT_EQ(data, fromFile);
}

TEST_F(ChunkStoreTest, MissingChunkReadsAsAirAndKeepsThePreparedSize) {
  auto store = OpenStore();
  ASSERT_TRUE(store);
  EXPECT_FALSE(store->HasDatabase());
  ChunkData data(kChunkSizeWithoutLists, 0x77);
  EXPECT_EQ(store->ReadChunkRecord(-1, data), 0);
  ASSERT_EQ(data.size(), kChunkSizeWithoutLists);
  EXPECT_TRUE(AllAir(std::span(data).first(kChunkHeadAndPlaneSize)));
  EXPECT_EQ(data[kChunkHeadAndPlaneSize], 0x77);
  ChunkData small;
  EXPECT_EQ(store->ReadChunkRecord(3, small), 0);
  EXPECT_EQ(small.size(), kChunkHeadAndPlaneSize);
}

TEST_F(ChunkStoreTest, BadStoredFormsReadAsMissing) {
  auto store = OpenStore();
  std::vector<uint8_t> record = RecordWithBlock(9);
  const std::vector<std::vector<uint8_t>> badBlobs = {
      {},
      {1, 2, 3},
      fixtures::CompressChunkRecordWithTrailer(record, 0),
      fixtures::CompressChunkRecordWithTrailer(record, -1),
      fixtures::CompressChunkRecordWithTrailer(record, 819'203),
      fixtures::CompressChunkRecordWithTrailer(record, INT32_MAX),
  };
  for (const auto& blob : badBlobs) {
    world_.WriteCacheFile(1, blob);
    ChunkData data(kChunkSizeWithoutLists, 0);
    EXPECT_EQ(store->ReadChunkRecord(1, data), 0) << blob.size();
    EXPECT_EQ(data.size(), kChunkSizeWithoutLists);
    EXPECT_TRUE(AllAir(std::span(data).first(kChunkHeadAndPlaneSize)));
  }
}

TEST_F(ChunkStoreTest, NegativeDecoderResultKeepsWhatWasDecoded) {
  std::vector<uint8_t> record = RecordWithBlock(9);
  ChunkBlob blob = CompressChunkRecord(record);
  // Damage the end of the LZ4 block: the start of the record still decodes.
  for (size_t i = blob.size() - 40; i < blob.size() - 4; ++i) blob[i] = 0xFF;
  world_.WriteCacheFile(2, blob);
  auto store = OpenStore();
  ChunkData data;
  EXPECT_LT(store->ReadChunkRecord(2, data), 0);
  EXPECT_EQ(data.size(), record.size());
  EXPECT_EQ(data[CellOffset(3, 4, 5)], 9);
}

TEST_F(ChunkStoreTest, NeighbourPlaneStopsAtTheFixedCapacity) {
  std::vector<uint8_t> record = RecordWithBlock(12);
  world_.PutDatabaseRow(4, CompressChunkRecord(record));
  auto store = OpenStore();
  std::vector<uint8_t> plane;
  int result = store->ReadNeighbourBlockPlane(4, plane);
  EXPECT_LT(result, 0);
  ASSERT_EQ(plane.size(), kNeighbourPlaneBufferSize);
  EXPECT_EQ(plane[CellOffset(3, 4, 5)], 12);
  EXPECT_EQ(plane[CellOffset(31, 31, 799)], kBlockAir);
  EXPECT_EQ(store->ReadNeighbourBlockPlane(99, plane), 0);
  EXPECT_TRUE(AllAir(plane));
}

TEST_F(ChunkStoreTest, WriteUpdatesAnExistingRowOnly) {
  world_.PutDatabaseRow(5, CompressChunkRecord(RecordWithBlock(1)));
  world_.WriteCacheFile(5, CompressChunkRecord(RecordWithBlock(2)));
  std::vector<uint8_t> cacheBefore = ReadFileBytes(world_.CacheFilePath(5));
  auto store = OpenStore();
  std::vector<uint8_t> edited = RecordWithBlock(66);
  EXPECT_TRUE(store->WriteChunkRecord(5, edited));
  fixtures::ChunkDatabaseWriter database(world_.folder());
  EXPECT_EQ(database.RowCount(), 1);
  EXPECT_EQ(ReadFileBytes(world_.CacheFilePath(5)), cacheBefore);
  ChunkData data;
  EXPECT_GT(store->ReadChunkRecord(5, data), 0);
  EXPECT_EQ(data, edited);
}

TEST_F(ChunkStoreTest, WriteWithoutRowGoesToTheCacheFile) {
  fixtures::ChunkDatabaseWriter database(world_.folder());
  database.PutRow(1, CompressChunkRecord(RecordWithBlock(1)));
  auto store = OpenStore();
  std::vector<uint8_t> edited = RecordWithBlock(66);
  EXPECT_TRUE(store->WriteChunkRecord(9, edited));
  EXPECT_EQ(database.RowCount(), 1);  // never INSERT
  std::vector<uint8_t> stored = ReadFileBytes(world_.CacheFilePath(9));
  int32_t trailer = 0;
  std::memcpy(&trailer, stored.data() + stored.size() - 4, 4);
  EXPECT_EQ(trailer, static_cast<int32_t>(edited.size()));
  ChunkData data;
  EXPECT_GT(store->ReadChunkRecord(9, data), 0);
  EXPECT_EQ(data, edited);
}

TEST_F(ChunkStoreTest, WorldWithoutDatabaseUsesCacheFilesBothWays) {
  auto store = OpenStore();
  std::vector<uint8_t> record = RecordWithBlock(4, false);
  EXPECT_TRUE(store->WriteChunkRecord(3, record));
  EXPECT_FALSE(std::filesystem::exists(world_.DatabasePath()));  // never created
  ChunkData data;
  EXPECT_EQ(store->ReadChunkRecord(3, data), static_cast<int>(record.size()));
  EXPECT_EQ(data, record);
}

TEST_F(ChunkStoreTest, IncompressibleRecordIsNotStored) {
  std::vector<uint8_t> record(kChunkSizeWithoutLists);
  uint32_t state = 1;
  for (auto& byte : record) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<uint8_t>(state >> 24);
  }
  world_.WriteCacheFile(3, CompressChunkRecord(RecordWithBlock(4)));
  std::vector<uint8_t> before = ReadFileBytes(world_.CacheFilePath(3));
  auto store = OpenStore();
  EXPECT_FALSE(store->WriteChunkRecord(3, record));
  EXPECT_EQ(ReadFileBytes(world_.CacheFilePath(3)), before);
}

TEST_F(ChunkStoreTest, FolderOrGarbageDatabaseGivesCacheFileReads) {
  fixtures::WriteBytesToFile(world_.DatabasePath(), std::vector<uint8_t>(4096, 0x13));
  world_.WriteCacheFile(2, CompressChunkRecord(RecordWithBlock(5)));
  auto store = OpenStore();
  ChunkData data;
  EXPECT_GT(store->ReadChunkRecord(2, data), 0);
  EXPECT_EQ(data[CellOffset(3, 4, 5)], 5);
}

TEST_F(ChunkStoreTest, MissingLz4LibraryOpensNoStore) {
  locator_.SetLibraryFile("lz4.dll", "/nonexistent/liblz4.so.1");
  EXPECT_EQ(OpenStore(), nullptr);
}

TEST_F(ChunkStoreTest, ThreadedReadersEachWithTheirOwnStore) {
  std::vector<std::vector<uint8_t>> records;
  fixtures::ChunkDatabaseWriter database(world_.folder());
  for (int id = 0; id < 8; ++id) {
    records.push_back(RecordWithBlock(static_cast<uint8_t>(20 + id)));
    database.PutRow(id, CompressChunkRecord(records.back()));
  }
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      auto store = OpenStore();
      ASSERT_TRUE(store);
      ChunkData data;
      for (int i = 0; i < 16; ++i) {
        int id = (i + t) % 8;
        ASSERT_GT(store->ReadChunkRecord(id, data), 0);
        ASSERT_EQ(data[CellOffset(3, 4, 5)], 20 + id);
      }
    });
  }
  for (auto& thread : threads) thread.join();
}

}  // namespace
}  // namespace orelens::world
