// The loaders' block walk over one chunk and its four neighbours, against decoding the same
// record (LZ4 and the record lists), for typical terrain and for the worst case, a checkerboard.
#include <benchmark/benchmark.h>

#include "fixtures/chunk_record_writer.h"
#include "platform/dynlib/dynamic_library.h"
#include "platform/dynlib/lz4_library.h"
#include "world/block_walk.h"
#include "world/chunk_record.h"

namespace {

using namespace orelens;

world::BlockKindTable TerrainKinds() {
  world::BlockKindTable kinds{};
  kinds[world::kBlockAir] = world::kKindNotDrawn;
  kinds[18] = world::kKindAlphaCube;  // leaves
  kinds[world::kBlockTorch] = world::kKindMeshBlock;
  return kinds;
}

struct WalkInput {
  std::vector<uint8_t> chunk;
  std::array<std::vector<uint8_t>, 4> neighbours;
  world::ChunkRecordLists lists;
};

WalkInput TerrainInput() {
  WalkInput input;
  input.chunk = fixtures::MakeChunkRecord(fixtures::MakeTerrainChunkSpec(1));
  world::DecodeChunkRecordLists(input.chunk, input.lists);
  for (uint32_t i = 0; i < 4; ++i)
    input.neighbours[i] = fixtures::MakeChunkRecord(fixtures::MakeTerrainChunkSpec(2 + i));
  return input;
}

WalkInput CheckerboardInput() {
  fixtures::ChunkRecordSpec checkerboard;
  checkerboard.withLists = true;
  for (int height = 0; height < world::kChunkHeight; ++height)
    for (int row = 0; row < 32; ++row)
      for (int col = 0; col < 32; ++col)
        if ((col + row + height) % 2 == 0) checkerboard.SetBlock(col, row, height, 1);
  WalkInput input;
  input.chunk = fixtures::MakeChunkRecord(checkerboard);
  world::DecodeChunkRecordLists(input.chunk, input.lists);
  for (auto& neighbour : input.neighbours) neighbour = input.chunk;
  return input;
}

void Walk(benchmark::State& state, const WalkInput& input) {
  world::BlockWalker walker(TerrainKinds());
  world::HeightBandLists bands;
  const world::ChunkPlanes planes{world::BlockPlane(input.chunk), world::BlockPlane(input.neighbours[0]),
                                  world::BlockPlane(input.neighbours[1]),
                                  world::BlockPlane(input.neighbours[2]),
                                  world::BlockPlane(input.neighbours[3])};
  const world::HeightRange range{input.lists.MinHeight > 0 ? input.lists.MinHeight - 1 : 0,
                                 input.lists.MaxHeight};
  size_t records = 0;
  for (auto _ : state) {
    walker.Walk(planes, range, input.lists.rotations, input.lists.customBlocks, bands);
    records = 0;
    for (const auto& band : bands) records += band.size();
    benchmark::DoNotOptimize(records);
  }
  state.counters["records"] = static_cast<double>(records);
  state.counters["heights"] = range.hi - range.lo + 1;
}

void BM_BlockWalkTerrain(benchmark::State& state) {
  Walk(state, TerrainInput());
}
BENCHMARK(BM_BlockWalkTerrain)->Unit(benchmark::kMicrosecond);

void BM_BlockWalkCheckerboard(benchmark::State& state) {
  Walk(state, CheckerboardInput());
}
BENCHMARK(BM_BlockWalkCheckerboard)->Unit(benchmark::kMicrosecond);

// What a loader does before the walk for the same chunk: LZ4 of the record and its four
// neighbours' planes, and the record lists.
void Decode(benchmark::State& state, const WalkInput& input) {
  platform::LibraryLocator locator;
  const auto lz4 = platform::Lz4Library::Load(locator);
  if (!lz4) {
    state.SkipWithError("liblz4 not found");
    return;
  }
  const auto blob = fixtures::CompressChunkRecord(input.chunk);
  const auto neighbourBlob = fixtures::CompressChunkRecord(input.neighbours[0]);
  std::vector<uint8_t> record(input.chunk.size());
  std::vector<uint8_t> neighbour(world::kNeighbourPlaneBufferSize);
  world::ChunkRecordLists lists;
  for (auto _ : state) {
    lz4->DecompressSafe(std::span(blob).first(blob.size() - 4), record);
    world::DecodeChunkRecordLists(record, lists);
    for (int i = 0; i < 4; ++i)
      lz4->DecompressSafe(std::span(neighbourBlob).first(neighbourBlob.size() - 4), neighbour);
    benchmark::DoNotOptimize(lists.rotations.size());
  }
}

void BM_DecodeTerrainRecord(benchmark::State& state) {
  Decode(state, TerrainInput());
}
BENCHMARK(BM_DecodeTerrainRecord)->Unit(benchmark::kMicrosecond);

void BM_DecodeCheckerboardRecord(benchmark::State& state) {
  Decode(state, CheckerboardInput());
}
BENCHMARK(BM_DecodeCheckerboardRecord)->Unit(benchmark::kMicrosecond);

}  // namespace
