// The loaders' block walk over one chunk and its four neighbours, against decoding the same
// record (LZ4 and the record lists) and against the walk as it stood before (block_walk_before.h),
// for typical terrain and for the worst case, a checkerboard. The side-by-side benchmarks time all
// three in every iteration, each walk right after a decoding, and print the ratios.
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <memory>

#include "block_walk_before.h"
#include "terrain_decode.h"
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

world::ChunkPlanes PlanesOf(const WalkInput& input) {
  return {world::BlockPlane(input.chunk), world::BlockPlane(input.neighbours[0]),
          world::BlockPlane(input.neighbours[1]), world::BlockPlane(input.neighbours[2]),
          world::BlockPlane(input.neighbours[3])};
}

world::HeightRange RangeOf(const WalkInput& input) {
  return {input.lists.MinHeight > 0 ? input.lists.MinHeight - 1 : 0, input.lists.MaxHeight};
}

size_t RecordCount(const world::HeightBandLists& bands) {
  size_t records = 0;
  for (const auto& band : bands) records += band.size();
  return records;
}

template <class Walker>
void Walk(benchmark::State& state, const WalkInput& input) {
  Walker walker(TerrainKinds());
  world::HeightBandLists bands;
  const world::ChunkPlanes planes = PlanesOf(input);
  const world::HeightRange range = RangeOf(input);
  for (auto _ : state) {
    walker.Walk(planes, range, input.lists.rotations, input.lists.customBlocks, bands);
    benchmark::DoNotOptimize(bands[0].data());
  }
  state.counters["records"] = static_cast<double>(RecordCount(bands));
  state.counters["heights"] = range.hi - range.lo + 1;
}

void BM_BlockWalkTerrain(benchmark::State& state) {
  Walk<world::BlockWalker>(state, TerrainInput());
}
BENCHMARK(BM_BlockWalkTerrain)->Unit(benchmark::kMicrosecond);

void BM_BlockWalkCheckerboard(benchmark::State& state) {
  Walk<world::BlockWalker>(state, CheckerboardInput());
}
BENCHMARK(BM_BlockWalkCheckerboard)->Unit(benchmark::kMicrosecond);

void BM_BlockWalkTerrainBefore(benchmark::State& state) {
  Walk<bench_before::WalkerBefore>(state, TerrainInput());
}
BENCHMARK(BM_BlockWalkTerrainBefore)->Unit(benchmark::kMicrosecond);

void BM_BlockWalkCheckerboardBefore(benchmark::State& state) {
  Walk<bench_before::WalkerBefore>(state, CheckerboardInput());
}
BENCHMARK(BM_BlockWalkCheckerboardBefore)->Unit(benchmark::kMicrosecond);

using bench_decode::Decoder;
using bench_decode::ThreadCpuClock;

void Decode(benchmark::State& state, const WalkInput& input) {
  Decoder decoder(input.chunk, input.neighbours[0]);
  if (!decoder.loaded()) {
    state.SkipWithError("liblz4 not found");
    return;
  }
  for (auto _ : state) decoder.Decode();
}

void BM_DecodeTerrainRecord(benchmark::State& state) {
  Decode(state, TerrainInput());
}
BENCHMARK(BM_DecodeTerrainRecord)->Unit(benchmark::kMicrosecond);

void BM_DecodeCheckerboardRecord(benchmark::State& state) {
  Decode(state, CheckerboardInput());
}
BENCHMARK(BM_DecodeCheckerboardRecord)->Unit(benchmark::kMicrosecond);

// Today's walk and the walk before, each right after a decoding of the same chunk, so that both
// start from the caches a loader leaves them in and see the same state of a busy machine. Times
// are the thread's processor time; the time shown is today's walk, the decoding time the mean of
// the two decodings.
void SideBySide(benchmark::State& state, const WalkInput& input) {
  Decoder decoder(input.chunk, input.neighbours[0]);
  if (!decoder.loaded()) {
    state.SkipWithError("liblz4 not found");
    return;
  }
  world::BlockWalker walker(TerrainKinds());
  bench_before::WalkerBefore before(TerrainKinds());
  world::HeightBandLists bands, bandsBefore;  // each walk keeps its lists, as a loader does
  const world::ChunkPlanes planes = PlanesOf(input);
  const world::HeightRange range = RangeOf(input);
  using Clock = ThreadCpuClock;
  const auto seconds = bench_decode::Seconds;
  double walkSeconds = 0, beforeSeconds = 0, decodeSeconds = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    decoder.Decode();
    const auto decoded = Clock::now();
    walker.Walk(planes, range, input.lists.rotations, input.lists.customBlocks, bands);
    benchmark::DoNotOptimize(bands[0].data());
    const auto walked = Clock::now();
    decoder.Decode();
    const auto decodedAgain = Clock::now();
    before.Walk(planes, range, input.lists.rotations, input.lists.customBlocks, bandsBefore);
    benchmark::DoNotOptimize(bandsBefore[0].data());
    const auto walkedBefore = Clock::now();
    walkSeconds += seconds(decoded, walked);
    beforeSeconds += seconds(decodedAgain, walkedBefore);
    decodeSeconds += (seconds(start, decoded) + seconds(walked, decodedAgain)) / 2;
    state.SetIterationTime(seconds(decoded, walked));
  }
  const double iterations = static_cast<double>(state.iterations());
  state.counters["walk_us"] = walkSeconds * 1e6 / iterations;
  state.counters["before_us"] = beforeSeconds * 1e6 / iterations;
  state.counters["decode_us"] = decodeSeconds * 1e6 / iterations;
  state.counters["walk/before"] = walkSeconds / beforeSeconds;
  state.counters["walk/decode"] = walkSeconds / decodeSeconds;
  state.counters["records"] = static_cast<double>(RecordCount(bands));
}

void BM_BlockWalkTerrainSideBySide(benchmark::State& state) {
  SideBySide(state, TerrainInput());
}
BENCHMARK(BM_BlockWalkTerrainSideBySide)->Unit(benchmark::kMicrosecond)->UseManualTime();

void BM_BlockWalkCheckerboardSideBySide(benchmark::State& state) {
  SideBySide(state, CheckerboardInput());
}
BENCHMARK(BM_BlockWalkCheckerboardSideBySide)->Unit(benchmark::kMicrosecond)->UseManualTime();

}  // namespace
