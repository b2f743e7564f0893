// Costs of the block reader and writer and of the schematic preview: per cell, per chunk, and
// for a whole 64 x 64 x 64 schematic (solid, and the checkerboard that shows every face).

#include <benchmark/benchmark.h>

#include "fixtures/schematic_writer.h"
#include "schematic/schematic_load.h"
#include "schematic/schematic_preview.h"
#include "world/block_reader.h"
#include "world/block_writer.h"
#include "world/block_writer_test_world.h"

namespace orelens {
namespace {

// A world of two terrain chunks side by side, ids 0 (origin -8, -8) and 1 (origin 8, -8).
class TerrainWorld : public testing::BlockTestWorld {
 public:
  TerrainWorld() {
    ListChunk(-8, -8, 0);
    ListChunk(8, -8, 1);
    PutRow(0, fixtures::MakeTerrainChunkSpec(1));
    PutRow(1, fixtures::MakeTerrainChunkSpec(2));
  }
};

void BM_GetBlockAtWithinOneChunk(benchmark::State& state) {
  TerrainWorld world;
  world::BlockReader reader(world.store, world.settings, world.libraries, world.gui);
  world::BlockQuery query;
  for (auto _ : state) {
    for (int h = 0; h < 64; ++h) {
      for (int row = 0; row < 32; ++row) {
        for (int col = 0; col < 32; ++col) {
          benchmark::DoNotOptimize(reader.GetBlockAt(query, -8 + col * 0.5f, h * 0.5f, -8 + row * 0.5f));
        }
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * 64 * 32 * 32);
}
BENCHMARK(BM_GetBlockAtWithinOneChunk)->Unit(benchmark::kMillisecond);

// Every call addresses the other chunk: the cost of unpacking one chunk.
void BM_GetBlockAtChunkReload(benchmark::State& state) {
  TerrainWorld world;
  world::BlockReader reader(world.store, world.settings, world.libraries, world.gui);
  world::BlockQuery query;
  float x = -8;
  for (auto _ : state) {
    benchmark::DoNotOptimize(reader.GetBlockAt(query, x, 10.0f, -8.0f));
    x = x < 0 ? 8.0f : -8.0f;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GetBlockAtChunkReload)->Unit(benchmark::kMillisecond);

// One chunk edited in 8,192 cells and written back to the database: load, edit, store.
void BM_SetWorldBlockChunkCycle(benchmark::State& state) {
  TerrainWorld world;
  world::BlockWriter writer(world.store, world.settings, world.kinds, world.libraries);
  int round = 0;
  for (auto _ : state) {
    for (int h = 100; h < 108; ++h) {
      for (int row = 0; row < 32; ++row) {
        for (int col = 0; col < 32; ++col) {
          writer.SetBlock(round % 2 ? 1 : 3, 0, -8 + col * 0.5f, h * 0.5f, -8 + row * 0.5f);
        }
      }
    }
    writer.Flush();
    writer.SetBlock(1, 0, 8.0f, 0.0f, -8.0f);  // move to the other chunk: the next round loads again
    writer.Flush();
    ++round;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SetWorldBlockChunkCycle)->Unit(benchmark::kMillisecond);

schematic::SchematicContent Cube64(bool checkerboard) {
  schematic::SchematicContent content;
  content.size = {64, 64, 64};
  content.blockTypes.resize(64 * 64 * 64);
  for (int y = 0; y < 64; ++y) {
    for (int z = 0; z < 64; ++z) {
      for (int x = 0; x < 64; ++x) {
        content.blockTypes[content.CellIndex(x, z, y)] =
            checkerboard && (x + y + z) % 2 ? world::kBlockAir : testing::kStone;
      }
    }
  }
  return content;
}

void BM_BuildPreviewBlockList(benchmark::State& state) {
  const schematic::SchematicContent content = Cube64(state.range(0) != 0);
  std::vector<world::BlockRecord> list;
  for (auto _ : state) {
    schematic::BuildPreviewBlockList(content, list);
    benchmark::DoNotOptimize(list.data());
  }
  state.SetItemsProcessed(state.iterations() * 64 * 64 * 64);
  state.counters["records"] = static_cast<double>(list.size());
}
BENCHMARK(BM_BuildPreviewBlockList)
    ->Arg(0)
    ->Arg(1)
    ->ArgNames({"checkerboard"})
    ->Unit(benchmark::kMillisecond);

// Reading, unpacking and previewing a whole 64^3 checkerboard schematic file.
void BM_LoadSchematicFile(benchmark::State& state) {
  testing::BlockTestWorld world;
  fixtures::SchematicSpec spec = fixtures::SchematicSpec::Filled(64, 64, 64, testing::kStone);
  for (int y = 0; y < 64; ++y) {
    for (int z = 0; z < 64; ++z) {
      for (int x = (y + z) % 2; x < 64; x += 2) spec.Set(x, z, y, world::kBlockAir);
    }
  }
  const std::string path = world.temp.path() + "cube.kvSch";
  fixtures::WriteSchematicFile(path, spec);
  std::vector<world::BlockRecord> list;
  for (auto _ : state) {
    benchmark::DoNotOptimize(schematic::LoadSchematicFile(world.gui, world.libraries, path, list));
  }
  state.SetItemsProcessed(state.iterations() * 64 * 64 * 64);
}
BENCHMARK(BM_LoadSchematicFile)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orelens
