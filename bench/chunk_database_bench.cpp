// Reading chunk records by id from a real "chunkdata.sqlite" through the chunk store, as a
// loader thread does (one connection and prepared statement for many reads).
#include <benchmark/benchmark.h>

#include "fixtures/chunk_record_writer.h"
#include "fixtures/world_writer.h"
#include "world/chunk_store.h"

namespace {

using namespace orelens;

constexpr int kChunkCount = 64;

struct World {
  fixtures::TempFolder save;
  fixtures::WorldWriter world{save.path(), "Bench"};
  World() {
    fixtures::ChunkDatabaseWriter database(world.folder());
    for (int id = 0; id < kChunkCount; ++id) {
      database.PutRow(id, fixtures::CompressChunkRecord(fixtures::MakeChunkRecord(fixtures::MakeTerrainChunkSpec(id))));
    }
  }
};

World& BenchWorld() {
  static World world;
  return world;
}

void BM_ReadChunkRecordFromDatabase(benchmark::State& state) {
  auto store = world::ChunkStore::Open(platform::LibraryLocator(), BenchWorld().world.folder());
  world::ChunkData data;
  int id = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(store->ReadChunkRecord(id, data));
    id = (id + 1) % kChunkCount;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadChunkRecordFromDatabase);

void BM_ReadNeighbourPlaneFromDatabase(benchmark::State& state) {
  auto store = world::ChunkStore::Open(platform::LibraryLocator(), BenchWorld().world.folder());
  std::vector<uint8_t> plane;
  int id = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(store->ReadNeighbourBlockPlane(id, plane));
    id = (id + 1) % kChunkCount;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadNeighbourPlaneFromDatabase);

}  // namespace
