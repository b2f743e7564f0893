// Loader threads reading a fixture world from disk: database rows, cache files, damaged records.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <thread>

#include "fixtures/bounded_wait.h"
#include "fixtures/chunk_record_writer.h"
#include "fixtures/database_lock.h"
#include "fixtures/world_writer.h"
#include "platform/dynlib/dynamic_library.h"
#include "world/chunk_streaming.h"
#include "world/store_chunk_reader.h"
#include "world/world_store.h"

namespace orelens::world {
namespace {

using namespace std::chrono_literals;

constexpr uint8_t kStone = 1;
constexpr int kShortBusyTimeoutMs = 50;
constexpr uint8_t kGlass = 20;

struct PublishedChunk {
  int32_t x, z, id;
  HeightBandLists faces;
};

// A world of five chunks in a plus around the base cell (-8, -8), read by real loaders.
struct FixtureWorldRig {
  fixtures::TempFolder saveDir;
  fixtures::WorldWriter world{saveDir.path(), "Plus"};
  WorldStore store;
  Settings settings;
  BlockKindTable kinds{};
  platform::LibraryLocator libraries;
  std::mutex messageMutex;
  std::vector<std::string> messages;  // guarded by messageMutex
  int busyTimeoutMs = kShortBusyTimeoutMs;

  FixtureWorldRig() {
    settings.SaveDir = saveDir.path();
    settings.CurrentWorldName = "Plus";
    kinds[kBlockAir] = kKindNotDrawn;
    kinds[kGlass] = kKindAlphaCube;
    kinds[kBlockTorch] = kKindMeshBlock;
  }

  void List(int32_t x, int32_t z, int32_t id) { store.WorldChunkMap[ChunkOriginKey(x, z)] = id; }

  StreamingServices Services() {
    StreamingServices services;
    services.loadedChunkMapMutex = &store.LoadedChunkMapMutex;
    services.loaderSyncMutex = &store.LoaderSyncMutex;
    services.worldChunkMap = &store.WorldChunkMap;
    services.settings = &settings;
    services.blockKinds = &kinds;
    services.cameraPosition = [] { return CameraPosition{0.0f, 0.0f}; };
    services.openChunkReader = [this](const std::string& folder, DatabaseWaitObserver& stopWatch) {
      return OpenStoreChunkReader(libraries, folder, busyTimeoutMs, &stopWatch);
    };
    services.showMessage = [this](std::string_view title, std::string_view text) {
      std::lock_guard lock(messageMutex);
      messages.push_back(std::string(title) + "|" + std::string(text));
    };
    return services;
  }

  using Published = std::map<std::pair<int, int>, PublishedChunk>;

  // Runs the loaders until `count` chunks are published, playing the main loop's part.
  Published Stream(size_t count, std::chrono::milliseconds limit = 20s) {
    ChunkStreaming streaming(Services());
    streaming.StartChunkLoaderThreads();
    Published published;
    const auto allPublished = [&] { return published.size() >= count; };
    TakePublished(streaming, published, allPublished, limit);
    streaming.StopChunkLoaders();
    return published;
  }

  // Takes every published slot into `published` until `done` holds or the limit has passed;
  // false on the limit.
  template <typename Done>
  static bool TakePublished(ChunkStreaming& streaming, Published& published, Done done,
                            std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      if (std::chrono::steady_clock::now() >= end) return false;
      for (int slot = 0; slot < kLoaderSlotCount; ++slot) {
        auto& hand = streaming.Slot(slot);
        if (hand.ready.load() != 1) continue;
        published[{hand.chunkX, hand.chunkZ}] = {hand.chunkX, hand.chunkZ, hand.chunkId, hand.faceLists};
        hand.ready = 0;
      }
      std::this_thread::sleep_for(2ms);
    }
    return true;
  }
};

const BlockRecord* Find(const HeightBandLists& bands, int col, int row, int height) {
  for (const auto& record : bands[height / 50])
    if (record.col == col && record.row == row && record.height == height) return &record;
  return nullptr;
}

TEST(LoaderThreadsThreaded, ChunksComeFromDatabaseAndCacheFilesWithTheirLists) {
  FixtureWorldRig rig;
  rig.settings.ViewDistance = 9;  // the base cell (-8, -8) and spiral index 0, (-8, -24)

  fixtures::ChunkRecordSpec centre;
  centre.withLists = true;
  centre.minHeight = 40;
  centre.maxHeight = 120;
  centre.SetBlock(0, 4, 60, kStone);  // its -X face looks into the cache-file neighbour
  centre.SetBlock(5, 0, 60, kStone);  // its -Z face looks into the published (-8, -24)
  centre.SetBlock(9, 9, 38, kStone);  // below the walked range
  centre.SetBlock(3, 3, 70, kBlockCustom);
  centre.customBlocks.push_back({3, 3, 70, 987654});
  centre.SetBlock(31, 8, 60, kStone);  // its +X face looks into the east neighbour
  centre.SetBlock(8, 31, 60, kStone);  // its +Z face looks into the north neighbour
  centre.SetBlock(4, 4, 71, kBlockTorch);
  centre.rotations.push_back({4, 4, 71, 3});
  rig.world.PutDatabaseRow(10, fixtures::CompressChunkRecord(fixtures::MakeChunkRecord(centre)));
  rig.List(-8, -8, 10);

  fixtures::ChunkRecordSpec east;  // x + 16: stone beside the centre's +X face only
  east.SetBlock(0, 8, 60, kStone);
  rig.world.PutDatabaseRow(13, fixtures::CompressChunkRecord(fixtures::MakeChunkRecord(east)));
  rig.List(8, -8, 13);
  fixtures::ChunkRecordSpec north;  // z + 16: stone beside the centre's +Z face only
  north.SetBlock(8, 0, 60, kStone);
  rig.world.WriteCacheFile(14, fixtures::CompressChunkRecord(fixtures::MakeChunkRecord(north)));
  rig.List(-8, 8, 14);

  fixtures::ChunkRecordSpec west;  // x - 16, only as a cache file
  west.SetBlock(31, 4, 60, kStone);
  rig.world.WriteCacheFile(11, fixtures::CompressChunkRecord(fixtures::MakeChunkRecord(west)));
  rig.List(-24, -8, 11);

  fixtures::ChunkRecordSpec south;  // z - 16, a damaged row and a good cache file
  south.SetBlock(5, 31, 60, kStone);
  south.SetBlock(7, 7, 7, kGlass);
  rig.world.PutDatabaseRow(12, std::vector<uint8_t>{1, 2, 3});
  rig.world.WriteCacheFile(12, fixtures::CompressChunkRecord(fixtures::MakeChunkRecord(south)));
  rig.List(-8, -24, 12);

  const auto published = rig.Stream(2);
  ASSERT_EQ(published.size(), 2u);

  const auto& mid = published.at({-8, -8});
  EXPECT_EQ(mid.id, 10);
  EXPECT_EQ(Find(mid.faces, 0, 4, 60)->faceMask, 0x3F & ~kFaceMinusX);
  EXPECT_EQ(Find(mid.faces, 5, 0, 60)->faceMask, 0x3F & ~kFaceMinusZ);
  EXPECT_EQ(Find(mid.faces, 31, 8, 60)->faceMask, 0x3F & ~kFacePlusX);
  EXPECT_EQ(Find(mid.faces, 8, 31, 60)->faceMask, 0x3F & ~kFacePlusZ);
  EXPECT_EQ(Find(mid.faces, 9, 9, 38), nullptr);
  EXPECT_EQ(Find(mid.faces, 3, 3, 70)->extra, 987654);
  EXPECT_EQ(Find(mid.faces, 4, 4, 71)->extra, 3);

  const auto& southChunk = published.at({-8, -24});
  EXPECT_EQ(southChunk.id, 12);
  ASSERT_NE(Find(southChunk.faces, 7, 7, 7), nullptr);  // from the cache file, without lists: 0..799
  EXPECT_EQ(Find(southChunk.faces, 5, 31, 60)->faceMask, 0x3F & ~kFacePlusZ);
}

TEST(LoaderThreadsThreaded, DamagedAndMissingRecordsReadAsAir) {
  FixtureWorldRig rig;
  rig.settings.ViewDistance = 9;
  // A record whose lists run past its end, stored with a wrong decoded size.
  fixtures::ChunkRecordSpec damaged;
  damaged.withLists = true;
  damaged.SetBlock(1, 1, 1, kStone);
  damaged.rotationCountOverride = 0x7FFFFFFF;
  const auto record = fixtures::MakeChunkRecord(damaged);
  rig.world.PutDatabaseRow(
      0, fixtures::CompressChunkRecordWithTrailer(record, static_cast<int32_t>(record.size()) + 100));
  rig.List(-8, -8, 0);
  rig.world.WriteCacheFile(1, std::vector<uint8_t>(64, 0xFF));  // garbage
  rig.List(-8, -24, 1);

  const auto published = rig.Stream(2);
  ASSERT_EQ(published.size(), 2u);
  EXPECT_NE(Find(published.at({-8, -8}).faces, 1, 1, 1), nullptr);
  for (const auto& band : published.at({-8, -24}).faces) EXPECT_TRUE(band.empty());
}

// Runs the loaders while the chunk at (-8, -8) cannot be read: it is left for a later pass and
// shown neither as air nor otherwise; once mend() has run, a later pass shows it. The chunk as
// shown then.
std::optional<PublishedChunk> LeftForLaterThenShown(FixtureWorldRig& rig, const std::function<void()>& mend) {
  ChunkStreaming streaming(rig.Services());
  streaming.StartChunkLoaderThreads();
  FixtureWorldRig::Published published;
  const auto triedAndLeft = [&] {
    std::lock_guard lock(rig.store.LoadedChunkMapMutex);
    const auto found = streaming.LoadedChunks().find(ChunkOriginKey(-8, -8));
    return found != streaming.LoadedChunks().end() && found->second.retryAtMs >= 0;
  };
  EXPECT_TRUE(FixtureWorldRig::TakePublished(streaming, published, triedAndLeft, 10s));
  EXPECT_FALSE(published.contains({-8, -8})) << "a chunk that could not be read is not shown";
  mend();
  const auto shown = [&] { return published.contains({-8, -8}); };
  EXPECT_TRUE(FixtureWorldRig::TakePublished(streaming, published, shown, 20s));
  streaming.StopChunkLoaders();
  if (!shown()) return std::nullopt;
  return published.at({-8, -8});
}

// The game holds the database while the loaders start: once it is free a later pass reads it.
TEST(LoaderThreadsThreaded, ChunkThatCouldNotBeReadIsReadAgainLater) {
  FixtureWorldRig rig;
  rig.settings.ViewDistance = 9;
  fixtures::ChunkRecordSpec stone;
  stone.SetBlock(2, 3, 4, kStone);
  rig.world.PutDatabaseRow(10, fixtures::CompressChunkRecord(fixtures::MakeChunkRecord(stone)));
  rig.List(-8, -8, 10);

  fixtures::DatabaseLockHolder otherProgram(rig.world.DatabasePath());
  ASSERT_TRUE(otherProgram.Hold());
  const std::optional<PublishedChunk> chunk =
      LeftForLaterThenShown(rig, [&] { ASSERT_TRUE(otherProgram.Release()); });
  ASSERT_TRUE(chunk);
  EXPECT_NE(Find(chunk->faces, 2, 3, 4), nullptr);
}

// A database that is there but does not open (a folder of its name) is no world without one: the
// chunk is not shown from its cache file either, and once the database opens its row is read.
TEST(LoaderThreadsThreaded, ChunkOfADatabaseThatDoesNotOpenIsReadOnceItOpens) {
  FixtureWorldRig rig;
  rig.settings.ViewDistance = 9;
  fixtures::ChunkRecordSpec older;
  older.SetBlock(1, 1, 1, kGlass);
  rig.world.WriteCacheFile(10, fixtures::CompressChunkRecord(fixtures::MakeChunkRecord(older)));
  rig.List(-8, -8, 10);
  fixtures::ChunkRecordSpec stone;
  stone.SetBlock(2, 3, 4, kStone);
  const fixtures::WorldWriter mended(rig.saveDir.path(), "Mended");
  mended.PutDatabaseRow(10, fixtures::CompressChunkRecord(fixtures::MakeChunkRecord(stone)));
  std::filesystem::create_directory(rig.world.DatabasePath());

  const std::optional<PublishedChunk> chunk = LeftForLaterThenShown(rig, [&] {
    // The database takes the folder's place in one step: no loader sees the world without one.
    ASSERT_EQ(renameat2(AT_FDCWD, mended.DatabasePath().c_str(), AT_FDCWD, rig.world.DatabasePath().c_str(),
                        RENAME_EXCHANGE),
              0);
  });
  ASSERT_TRUE(chunk);
  EXPECT_NE(Find(chunk->faces, 2, 3, 4), nullptr);
  EXPECT_EQ(Find(chunk->faces, 1, 1, 1), nullptr);
  EXPECT_TRUE(rig.messages.empty());
}

// The game holds the database with the full 20 s busy timeout: stopping the loaders ends the
// wait of the loader reading a chunk, so the stop neither sits out the timeout nor abandons it.
TEST(LoaderThreadsThreaded, StoppingLoadersDuringALockWaitReturnsPromptly) {
  FixtureWorldRig rig;
  rig.busyTimeoutMs = ChunkDatabase::kBusyTimeoutMilliseconds;
  rig.settings.ViewDistance = 9;
  rig.world.PutDatabaseRow(10, fixtures::CompressChunkRecord(fixtures::MakeChunkRecord({})));
  rig.List(-8, -8, 10);
  fixtures::DatabaseLockHolder otherProgram(rig.world.DatabasePath());
  ASSERT_TRUE(otherProgram.Hold());

  ChunkStreaming streaming(rig.Services());
  streaming.StartChunkLoaderThreads();
  const auto taken = [&] {
    std::lock_guard lock(rig.store.LoadedChunkMapMutex);
    return streaming.LoadedChunks().contains(ChunkOriginKey(-8, -8));
  };
  ASSERT_TRUE(fixtures::WaitFor(taken));
  // The loader is well into its wait for the lock, by its own clock.
  ASSERT_TRUE(fixtures::WaitFor([&] { return streaming.LongestLoaderLockWaitMs() >= 200; }));
  {
    std::lock_guard lock(rig.store.LoadedChunkMapMutex);
    EXPECT_LT(streaming.LoadedChunks().at(ChunkOriginKey(-8, -8)).retryAtMs, 0)
        << "a loader not told to stop waits for the lock instead of leaving the chunk for later";
  }

  const auto start = std::chrono::steady_clock::now();
  streaming.StopChunkLoaders();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 4s) << "the stop waits up to 5 s, the lock 20 s";
  EXPECT_EQ(streaming.AbandonedLoadersRunning()->load(), 0);
  for (int slot = 0; slot < kLoaderSlotCount; ++slot) EXPECT_FALSE(streaming.LoaderRunning(slot));
}

TEST(LoaderThreadsThreaded, MissingLz4LibraryStopsEveryLoaderWithAMessage) {
  FixtureWorldRig rig;
  rig.libraries.SetLibraryFile("lz4.dll", "/nonexistent/liblz4.so.1");
  rig.List(-8, -8, 0);
  EXPECT_TRUE(rig.Stream(1, 500ms).empty());
  std::lock_guard lock(rig.messageMutex);
  EXPECT_EQ(rig.messages, std::vector<std::string>(8, "Error|LZ4 couldn't be opened"));
}

}  // namespace
}  // namespace orelens::world
