#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <thread>

#include "world/world_store.h"

namespace orelens::world {
namespace {

TEST(ChunkLocation, SnapsToTheChunkGrid) {
  const std::pair<float, int32_t> cases[] = {
      {0, -8},     {0.1f, -8},  {-0.1f, -8}, {7.5f, -8},    {7.6f, 8},     {8, 8},      {23.5f, 8},
      {23.6f, 24}, {-8, -8},    {-8.4f, -8}, {-8.5f, -24},  {-24.5f, -40}, {100, 88},   {-100, -104},
  };
  for (auto [v, origin] : cases) EXPECT_EQ(SnapToChunkOrigin(v), origin) << v;
}

TEST(ChunkLocation, EveryCoordinateLiesInItsChunk) {
  for (float v = -100; v <= 100; v += 0.25f) {
    int32_t origin = SnapToChunkOrigin(v);
    EXPECT_EQ((origin + 8) % 16, 0) << v;
    EXPECT_GT(v, origin - 0.5f) << v;
    EXPECT_LE(v, origin + 15.5f) << v;
  }
}

// Coordinates whose chunk an int32 origin cannot hold, and those that are no number, get the
// outermost chunk on their side: an origin on the grid whose neighbours' origins still fit.
TEST(ChunkLocation, HugeAndInvalidCoordinatesStayInRange) {
  constexpr int64_t kOutermost = 2147483624;  // 16 * 134217727 - 8; + 16 still fits an int32
  const float huge = std::numeric_limits<float>::max(), infinite = std::numeric_limits<float>::infinity();
  const std::pair<float, int64_t> cases[] = {
      {huge, kOutermost},         {infinite, kOutermost},         {2147483648.0f, kOutermost},
      {-huge, -kOutermost},       {-infinite, -kOutermost},       {-2147483648.0f, -kOutermost},
      {2147483392.0f, 2147483384}, {-2147483392.0f, -2147483400},  // the floats next to the limits
  };
  for (auto [v, origin] : cases) EXPECT_EQ(SnapToChunkOrigin(v), origin) << v;
  const int64_t ofNaN = SnapToChunkOrigin(std::nanf(""));
  EXPECT_EQ((ofNaN + 8) % 16, 0);
  EXPECT_LE(std::llabs(ofNaN), kOutermost);
  EXPECT_LE(kOutermost + 16, std::numeric_limits<int32_t>::max());

  WorldStore store;
  ChunkLocation location;
  store.LocateChunk(location, huge, -infinite);
  EXPECT_EQ(location.originX, kOutermost);
  EXPECT_EQ(location.originZ, -kOutermost);
  EXPECT_EQ(location.chunkId, -1);
}

TEST(ChunkLocation, LooksUpTheListedChunkOrMinusOne) {
  WorldStore store;
  ChunkLocation location;
  store.LocateChunk(location, 7.6f, -8.5f);
  EXPECT_EQ(location.originX, 8);
  EXPECT_EQ(location.originZ, -24);
  EXPECT_EQ(location.chunkId, -1);
  store.WorldChunkMap["8,-24"] = 42;
  EXPECT_EQ(store.LocateChunk(location, 7.6f, -8.5f), 0);
  EXPECT_EQ(location.chunkId, 42);
  store.LocateChunk(location, 100, 100);
  EXPECT_EQ(location.chunkId, -1);
  EXPECT_EQ(store.WorldChunkMap.size(), 1u);  // a look-up inserts nothing
}

TEST(ChunkLocation, ThreadedLookupsShareTheLoaderMutex) {
  WorldStore store;
  for (int x = -8; x < 800; x += 16) store.WorldChunkMap[ChunkOriginKey(x, -8)] = x;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&store] {
      for (int i = 0; i < 2000; ++i) {
        if (i % 2) {
          ChunkLocation location;
          store.LocateChunk(location, static_cast<float>(i % 700), 0);
          ASSERT_EQ(location.chunkId, location.originX);
        } else {
          std::lock_guard lock(store.LoaderSyncMutex);
          ASSERT_EQ(store.ChunkIdAtLocked(24, -8), 24);
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
}

}  // namespace
}  // namespace orelens::world
