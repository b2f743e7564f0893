#include "world/chunk_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "fixtures/chunk_record_writer.h"
#include "fixtures/database_lock.h"
#include "fixtures/world_writer.h"
#include "platform/files/file.h"

namespace orelens::world {
namespace {

using fixtures::ChunkRecordSpec;
using fixtures::CompressChunkRecord;
using fixtures::MakeChunkRecord;
using fixtures::ReadFileBytes;
using fixtures::TempFolder;
using fixtures::WorldWriter;

// Long enough for a lock to be found held, short enough for a test.
constexpr int kShortBusyTimeoutMs = 100;

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
  ChunkRead read = store->ReadChunkRecord(5, data);
  EXPECT_EQ(read.status, ChunkReadStatus::kDecoded);
  EXPECT_EQ(read.decoderResult, static_cast<int>(fromRow.size()));
  EXPECT_EQ(data, fromRow);
  // No row: the cache file; the same connection serves every read.
  EXPECT_EQ(store->ReadChunkRecord(6, data).status, ChunkReadStatus::kDecoded);
  EXPECT_EQ(data, fromFile);
}

TEST_F(ChunkStoreTest, DamagedRowFallsBackToTheCacheFile) {
  std::vector<uint8_t> fromFile = RecordWithBlock(8);
  world_.PutDatabaseRow(5, std::vector<uint8_t>{0, 0, 0, 0, 0x10, 0x20, 0x00, 0x00});  // decodes to nothing
  world_.WriteCacheFile(5, CompressChunkRecord(fromFile));
  auto store = OpenStore();
  ChunkData data;
  EXPECT_EQ(store->ReadChunkRecord(5, data).status, ChunkReadStatus::kDecoded);
  EXPECT_EQ(data, fromFile);

  // Without the cache file the chunk is damaged, not missing: it must not pass for air.
  std::filesystem::remove(world_.CacheFilePath(5));
  const ChunkRead read = store->ReadChunkRecord(5, data);
  EXPECT_EQ(read.status, ChunkReadStatus::kDamaged);
  EXPECT_EQ(read.decoderResult, 0);
  EXPECT_TRUE(AllAir(std::span(data).first(kChunkHeadAndPlaneSize)));
}

TEST_F(ChunkStoreTest, MissingChunkReadsAsAirAndKeepsThePreparedSize) {
  auto store = OpenStore();
  ASSERT_TRUE(store);
  EXPECT_FALSE(store->HasDatabase());
  ChunkData data(kChunkSizeWithoutLists, 0x77);
  EXPECT_EQ(store->ReadChunkRecord(-1, data).status, ChunkReadStatus::kMissing);
  ASSERT_EQ(data.size(), kChunkSizeWithoutLists);
  EXPECT_TRUE(AllAir(std::span(data).first(kChunkHeadAndPlaneSize)));
  EXPECT_EQ(data[kChunkHeadAndPlaneSize], 0x77);
  ChunkData small;
  EXPECT_EQ(store->ReadChunkRecord(3, small).status, ChunkReadStatus::kMissing);
  EXPECT_EQ(small.size(), kChunkHeadAndPlaneSize);
}

TEST_F(ChunkStoreTest, BadStoredFormsReadAsDamaged) {
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
    const ChunkRead read = store->ReadChunkRecord(1, data);
    EXPECT_EQ(read.status, ChunkReadStatus::kDamaged) << blob.size();
    EXPECT_EQ(read.decoderResult, 0);
    EXPECT_EQ(data.size(), kChunkSizeWithoutLists);
    EXPECT_TRUE(AllAir(std::span(data).first(kChunkHeadAndPlaneSize)));
  }
}

TEST_F(ChunkStoreTest, RecordShorterThanItsTrailerSaysIsDamaged) {
  // The decoder fills less than the announced size: the rest of the record is not the chunk's.
  const std::vector<uint8_t> record = RecordWithBlock(9);
  world_.PutDatabaseRow(
      2, fixtures::CompressChunkRecordWithTrailer(record, static_cast<int32_t>(record.size()) + 100));
  auto store = OpenStore();
  ChunkData data;
  const ChunkRead read = store->ReadChunkRecord(2, data);
  EXPECT_EQ(read.decoderResult, static_cast<int>(record.size())) << "the loaders still show what decoded";
  EXPECT_EQ(read.status, ChunkReadStatus::kDamaged);
  EXPECT_EQ(data[CellOffset(3, 4, 5)], 9);
}

TEST_F(ChunkStoreTest, NegativeDecoderResultKeepsWhatWasDecoded) {
  std::vector<uint8_t> record = RecordWithBlock(9);
  ChunkBlob blob = CompressChunkRecord(record);
  // Damage the end of the LZ4 block: the start of the record still decodes.
  for (size_t i = blob.size() - 40; i < blob.size() - 4; ++i) blob[i] = 0xFF;
  world_.WriteCacheFile(2, blob);
  auto store = OpenStore();
  ChunkData data;
  const ChunkRead read = store->ReadChunkRecord(2, data);
  EXPECT_LT(read.decoderResult, 0);
  EXPECT_EQ(read.status, ChunkReadStatus::kDamaged) << "shown by the loaders, never written back";
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
  EXPECT_EQ(store->WriteChunkRecord(5, edited), ChunkWriteStatus::kStored);
  fixtures::ChunkDatabaseWriter database(world_.folder());
  EXPECT_EQ(database.RowCount(), 1);
  EXPECT_EQ(ReadFileBytes(world_.CacheFilePath(5)), cacheBefore);
  ChunkData data;
  EXPECT_EQ(store->ReadChunkRecord(5, data).status, ChunkReadStatus::kDecoded);
  EXPECT_EQ(data, edited);
}

TEST_F(ChunkStoreTest, WriteWithoutRowGoesToTheCacheFile) {
  fixtures::ChunkDatabaseWriter database(world_.folder());
  database.PutRow(1, CompressChunkRecord(RecordWithBlock(1)));
  auto store = OpenStore();
  std::vector<uint8_t> edited = RecordWithBlock(66);
  EXPECT_EQ(store->WriteChunkRecord(9, edited), ChunkWriteStatus::kStored);
  EXPECT_EQ(database.RowCount(), 1);  // never INSERT
  std::vector<uint8_t> stored = ReadFileBytes(world_.CacheFilePath(9));
  int32_t trailer = 0;
  std::memcpy(&trailer, stored.data() + stored.size() - 4, 4);
  EXPECT_EQ(trailer, static_cast<int32_t>(edited.size()));
  ChunkData data;
  EXPECT_EQ(store->ReadChunkRecord(9, data).status, ChunkReadStatus::kDecoded);
  EXPECT_EQ(data, edited);
}

TEST_F(ChunkStoreTest, WorldWithoutDatabaseUsesCacheFilesBothWays) {
  auto store = OpenStore();
  std::vector<uint8_t> record = RecordWithBlock(4, false);
  EXPECT_EQ(store->WriteChunkRecord(3, record), ChunkWriteStatus::kStored);
  EXPECT_FALSE(std::filesystem::exists(world_.DatabasePath()));  // never created
  ChunkData data;
  EXPECT_EQ(store->ReadChunkRecord(3, data).decoderResult, static_cast<int>(record.size()));
  EXPECT_EQ(data, record);
}

TEST_F(ChunkStoreTest, WritingAChunkRemovesItsStaleTemporariesOnly) {
  // What a replacement cut short by a kill leaves, beside names that only look alike: the user's
  // own copies among them.
  for (const char* name :
       {"7.chunks.orelens-tmp-aB3dE9", "7.chunks.orelens-tmp-Q1w2E3", "7.chunks.backup", "7.chunks.before",
        "7.chunks.aB3dE9", "7.chunks.orelens-tmp-aB3dE9x", "7.chunks.ORELENS-TMP-aB3dE9",
        "8.chunks.orelens-tmp-aB3dE9", "17.chunks.orelens-tmp-aB3dE9", "7.chunks.orelens-tmp-a-3dE9"}) {
    fixtures::WriteBytesToFile(world_.folder() + name, RecordWithBlock(1));
  }
  // One that a replacement still writing holds.
  const std::string live = world_.folder() + "7.chunks.orelens-tmp-Live01";
  fixtures::WriteBytesToFile(live, RecordWithBlock(1));
  platform::File liveWriter = platform::File::Open(live, platform::FileMode::kUpdate);
  ASSERT_TRUE(liveWriter.IsOpen());

  auto store = OpenStore();
  EXPECT_EQ(store->WriteChunkRecord(7, RecordWithBlock(2)), ChunkWriteStatus::kStored);
  EXPECT_FALSE(std::filesystem::exists(world_.folder() + "7.chunks.orelens-tmp-aB3dE9"));
  EXPECT_FALSE(std::filesystem::exists(world_.folder() + "7.chunks.orelens-tmp-Q1w2E3"));
  for (const char* kept :
       {"7.chunks.backup", "7.chunks.before", "7.chunks.aB3dE9", "7.chunks.orelens-tmp-aB3dE9x",
        "7.chunks.ORELENS-TMP-aB3dE9", "8.chunks.orelens-tmp-aB3dE9", "17.chunks.orelens-tmp-aB3dE9",
        "7.chunks.orelens-tmp-a-3dE9", "7.chunks.orelens-tmp-Live01", "7.chunks"}) {
    EXPECT_TRUE(std::filesystem::exists(world_.folder() + kept)) << kept;
  }
  liveWriter.Close();
  EXPECT_EQ(store->WriteChunkRecord(7, RecordWithBlock(3)), ChunkWriteStatus::kStored);
  EXPECT_FALSE(std::filesystem::exists(live)) << "left over once its writer is gone";
}

TEST_F(ChunkStoreTest, ReplacedCacheFileKeepsItsPermissions) {
  namespace fs = std::filesystem;
  world_.WriteCacheFile(3, CompressChunkRecord(RecordWithBlock(1)));
  fs::permissions(world_.CacheFilePath(3), fs::perms::owner_read | fs::perms::owner_write);
  world_.WriteCacheFile(4, CompressChunkRecord(RecordWithBlock(1)));
  fs::permissions(world_.CacheFilePath(4),
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  auto store = OpenStore();
  ASSERT_EQ(store->WriteChunkRecord(3, RecordWithBlock(2)), ChunkWriteStatus::kStored);
  ASSERT_EQ(store->WriteChunkRecord(4, RecordWithBlock(2)), ChunkWriteStatus::kStored);
  ASSERT_EQ(store->WriteChunkRecord(5, RecordWithBlock(2)), ChunkWriteStatus::kStored);
  EXPECT_EQ(fs::status(world_.CacheFilePath(3)).permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(fs::status(world_.CacheFilePath(4)).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(fs::status(world_.CacheFilePath(5)).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
  ChunkData data;
  EXPECT_EQ(store->ReadChunkRecord(3, data).status, ChunkReadStatus::kDecoded);
  EXPECT_EQ(data, RecordWithBlock(2));
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
  EXPECT_EQ(store->WriteChunkRecord(3, record), ChunkWriteStatus::kTooLarge);
  EXPECT_EQ(ReadFileBytes(world_.CacheFilePath(3)), before);
}

TEST_F(ChunkStoreTest, GarbageDatabaseIsUnreadableAndNothingIsWrittenBesideIt) {
  // The database cannot say whether a chunk has a row, so its cache file is neither taken for the
  // chunk nor written.
  fixtures::WriteBytesToFile(world_.DatabasePath(), std::vector<uint8_t>(4096, 0x13));
  world_.WriteCacheFile(2, CompressChunkRecord(RecordWithBlock(5)));
  const std::vector<uint8_t> cacheBefore = ReadFileBytes(world_.CacheFilePath(2));
  auto store = OpenStore();
  ChunkData data;
  EXPECT_EQ(store->ReadChunkRecord(2, data).status, ChunkReadStatus::kDatabaseUnreadable);
  EXPECT_EQ(store->WriteChunkRecord(2, RecordWithBlock(6)), ChunkWriteStatus::kDatabaseUnreadable);
  EXPECT_EQ(store->WriteChunkRecord(3, RecordWithBlock(6)), ChunkWriteStatus::kDatabaseUnreadable);
  EXPECT_EQ(ReadFileBytes(world_.CacheFilePath(2)), cacheBefore);
  EXPECT_FALSE(std::filesystem::exists(world_.CacheFilePath(3)));
}

// A database that is there but does not open (here a folder of its name; a file the user may not
// read is tried by the schematic tests) is no "world without a database": its chunks are not air
// and no cache file is written beside them. It is tried again on every read, so once it opens, or
// is gone, the same store goes on.
TEST_F(ChunkStoreTest, DatabaseThatDoesNotOpenIsUnreadableUntilItOpens) {
  std::filesystem::create_directory(world_.DatabasePath());
  world_.WriteCacheFile(2, CompressChunkRecord(RecordWithBlock(5)));
  const std::vector<uint8_t> cacheBefore = ReadFileBytes(world_.CacheFilePath(2));
  auto store = OpenStore();
  EXPECT_FALSE(store->HasDatabase());
  ChunkData data(kChunkSizeWithoutLists, 0x77);
  const ChunkRead read = store->ReadChunkRecord(2, data);
  EXPECT_EQ(read.status, ChunkReadStatus::kDatabaseUnreadable);
  EXPECT_EQ(read.decoderResult, 0);
  EXPECT_EQ(data.size(), kChunkSizeWithoutLists);
  EXPECT_TRUE(AllAir(std::span(data).first(kChunkHeadAndPlaneSize)));
  std::vector<uint8_t> plane;
  EXPECT_EQ(store->ReadNeighbourBlockPlane(2, plane), 0);
  EXPECT_TRUE(AllAir(plane));
  EXPECT_EQ(store->WriteChunkRecord(2, RecordWithBlock(6)), ChunkWriteStatus::kDatabaseUnreadable);
  EXPECT_EQ(store->WriteChunkRecord(3, RecordWithBlock(6)), ChunkWriteStatus::kDatabaseUnreadable);
  EXPECT_EQ(ReadFileBytes(world_.CacheFilePath(2)), cacheBefore);
  EXPECT_FALSE(std::filesystem::exists(world_.CacheFilePath(3)));

  std::filesystem::remove(world_.DatabasePath());
  EXPECT_EQ(store->ReadChunkRecord(2, data).status, ChunkReadStatus::kDecoded)
      << "no database: the cache file";
  EXPECT_EQ(data, RecordWithBlock(5));
  world_.PutDatabaseRow(2, CompressChunkRecord(RecordWithBlock(7)));
  EXPECT_EQ(store->ReadChunkRecord(2, data).status, ChunkReadStatus::kDecoded);
  EXPECT_EQ(data, RecordWithBlock(7)) << "the database that appeared is read";
  EXPECT_TRUE(store->HasDatabase());
}

// An empty "chunkdata.sqlite", or one without the CHUNKDATA table, opens and holds no rows: every
// chunk is read from and written to its cache file, and the database stays as it was. Any other
// error of the database stays one.
TEST_F(ChunkStoreTest, DatabaseWithoutTheTableHoldsNoRows) {
  const auto makeDatabase = [&](const char* schema) {
    std::filesystem::remove(world_.DatabasePath());
    fixtures::WriteBytesToFile(world_.DatabasePath(), std::vector<uint8_t>{});
    if (!schema) return;
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(world_.DatabasePath().c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, schema, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
  };
  for (const char* schema :
       {static_cast<const char*>(nullptr), "CREATE TABLE other(chunkid INTEGER, data BLOB)"}) {
    makeDatabase(schema);
    const std::vector<uint8_t> databaseBefore = ReadFileBytes(world_.DatabasePath());
    world_.WriteCacheFile(5, CompressChunkRecord(RecordWithBlock(8)));
    std::filesystem::remove(world_.CacheFilePath(6));
    auto store = OpenStore();
    ASSERT_TRUE(store->HasDatabase()) << (schema ? schema : "empty file");
    ChunkData data;
    EXPECT_EQ(store->ReadChunkRecord(5, data).status, ChunkReadStatus::kDecoded);
    EXPECT_EQ(data, RecordWithBlock(8));
    std::vector<uint8_t> plane;
    EXPECT_LT(store->ReadNeighbourBlockPlane(5, plane), 0);
    EXPECT_EQ(plane[CellOffset(3, 4, 5)], 8);
    EXPECT_EQ(store->ReadChunkRecord(6, data).status, ChunkReadStatus::kMissing);
    EXPECT_EQ(store->WriteChunkRecord(6, RecordWithBlock(9)), ChunkWriteStatus::kStored);
    EXPECT_EQ(store->ReadChunkRecord(6, data).status, ChunkReadStatus::kDecoded);
    EXPECT_EQ(data, RecordWithBlock(9));
    EXPECT_EQ(ReadFileBytes(world_.DatabasePath()), databaseBefore) << "no table, no row is made";
  }

  // A CHUNKDATA table the statements do not fit is an error like any other.
  makeDatabase("CREATE TABLE CHUNKDATA(chunkid INTEGER, other BLOB)");
  auto store = OpenStore();
  ChunkData data;
  EXPECT_EQ(store->ReadChunkRecord(5, data).status, ChunkReadStatus::kDatabaseUnreadable);
  EXPECT_EQ(store->WriteChunkRecord(7, RecordWithBlock(9)), ChunkWriteStatus::kDatabaseUnreadable);
  EXPECT_FALSE(std::filesystem::exists(world_.CacheFilePath(7)));
}

TEST_F(ChunkStoreTest, LockLetGoWithinTheBusyTimeoutIsWaitedFor) {
  world_.PutDatabaseRow(5, CompressChunkRecord(RecordWithBlock(1)));
  fixtures::DatabaseLockHolder otherProgram(world_.DatabasePath());
  ASSERT_TRUE(otherProgram.Hold());
  auto store = ChunkStore::Open(locator_, world_.folder(), 20'000);
  // The other program lets go a moment after the read has begun; the read waits for it.
  std::thread letGo([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    otherProgram.Release();
  });
  ChunkData data;
  const ChunkRead read = store->ReadChunkRecord(5, data);
  letGo.join();
  EXPECT_EQ(read.status, ChunkReadStatus::kDecoded);
  EXPECT_EQ(data, RecordWithBlock(1));
}

TEST_F(ChunkStoreTest, CacheFileLargerThanAnyRecordIsDamagedAndNotRead) {
  // A sparse file: as long as no record can compress to, without taking the disk space.
  fixtures::WriteBytesToFile(world_.CacheFilePath(4), CompressChunkRecord(RecordWithBlock(5)));
  std::filesystem::resize_file(world_.CacheFilePath(4), kMaxStoredChunkSize + 1);
  auto store = OpenStore();
  ChunkData data;
  const ChunkRead read = store->ReadChunkRecord(4, data);
  EXPECT_EQ(read.status, ChunkReadStatus::kDamaged);
  EXPECT_EQ(read.decoderResult, 0) << "the loaders walk the lists of any other result";
  EXPECT_EQ(data.size(), kChunkHeadAndPlaneSize);
}

TEST_F(ChunkStoreTest, CacheFileThatDoesNotOpenIsUnreadableNotMissing) {
  std::filesystem::create_directory(world_.CacheFilePath(4));  // there, but no file to read
  auto store = OpenStore();
  ChunkData data;
  const ChunkRead read = store->ReadChunkRecord(4, data);
  EXPECT_EQ(read.status, ChunkReadStatus::kUnreadable);
  EXPECT_EQ(read.decoderResult, 0);
  EXPECT_TRUE(AllAir(std::span(data).first(kChunkHeadAndPlaneSize)));
}

TEST_F(ChunkStoreTest, BusyDatabaseIsNeitherMissingNorWrittenBeside) {
  world_.PutDatabaseRow(5, CompressChunkRecord(RecordWithBlock(1)));
  world_.WriteCacheFile(5, CompressChunkRecord(RecordWithBlock(2)));  // an older copy beside the row
  const std::vector<uint8_t> rowBefore = fixtures::ChunkDatabaseWriter(world_.folder()).Row(5);
  const std::vector<uint8_t> cacheBefore = ReadFileBytes(world_.CacheFilePath(5));

  fixtures::DatabaseLockHolder otherProgram(world_.DatabasePath());
  ASSERT_TRUE(otherProgram.Hold());
  auto store = ChunkStore::Open(locator_, world_.folder(), kShortBusyTimeoutMs);
  ChunkData data;
  const ChunkRead read = store->ReadChunkRecord(5, data);
  EXPECT_EQ(read.status, ChunkReadStatus::kBusy) << "neither the older cache file nor air";
  EXPECT_EQ(read.decoderResult, 0) << "the loaders walk the lists of any other result";
  EXPECT_EQ(data.size(), kChunkHeadAndPlaneSize);
  EXPECT_TRUE(AllAir(std::span(data).first(kChunkHeadAndPlaneSize)));
  EXPECT_EQ(store->ReadChunkRecord(6, data).status, ChunkReadStatus::kBusy);
  EXPECT_EQ(store->WriteChunkRecord(5, RecordWithBlock(3)), ChunkWriteStatus::kBusy);
  EXPECT_EQ(store->WriteChunkRecord(6, RecordWithBlock(3)), ChunkWriteStatus::kBusy);
  EXPECT_EQ(ReadFileBytes(world_.CacheFilePath(5)), cacheBefore);
  EXPECT_FALSE(std::filesystem::exists(world_.CacheFilePath(6))) << "no stray cache file";
  ASSERT_TRUE(otherProgram.Release());

  EXPECT_EQ(fixtures::ChunkDatabaseWriter(world_.folder()).Row(5), rowBefore);
  EXPECT_EQ(store->ReadChunkRecord(5, data).status, ChunkReadStatus::kDecoded)
      << "the same store reads again";
  EXPECT_EQ(data, RecordWithBlock(1));
  EXPECT_EQ(store->WriteChunkRecord(5, RecordWithBlock(3)), ChunkWriteStatus::kStored);
  EXPECT_EQ(store->ReadChunkRecord(5, data).status, ChunkReadStatus::kDecoded);
  EXPECT_EQ(data, RecordWithBlock(3));
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
        ASSERT_EQ(store->ReadChunkRecord(id, data).status, ChunkReadStatus::kDecoded);
        ASSERT_EQ(data[CellOffset(3, 4, 5)], 20 + id);
      }
    });
  }
  for (auto& thread : threads) thread.join();
}

}  // namespace
}  // namespace orelens::world
