// Decoding a realistic terrain chunk as the loaders do it (LZ4 into a reused buffer, then the
// section walk and the two record maps), against LZ4 alone on the same blob.
#include <benchmark/benchmark.h>

#include "fixtures/chunk_record_writer.h"
#include "platform/dynlib/lz4_library.h"
#include "world/chunk_record.h"

namespace {

using namespace orelens;

struct TerrainChunk {
  std::vector<uint8_t> record = fixtures::MakeChunkRecord(fixtures::MakeTerrainChunkSpec(3));
  world::ChunkBlob blob = fixtures::CompressChunkRecord(record);
  std::unique_ptr<platform::Lz4Library> lz4 = platform::Lz4Library::Load(platform::LibraryLocator());
};

const TerrainChunk& Chunk() {
  static const TerrainChunk chunk;
  return chunk;
}

void SetCounters(benchmark::State& state) {
  state.counters["decoded_bytes"] = static_cast<double>(Chunk().record.size());
  state.counters["stored_bytes"] = static_cast<double>(Chunk().blob.size());
  state.SetItemsProcessed(state.iterations());
}

void BM_Lz4DecompressOnly(benchmark::State& state) {
  const TerrainChunk& chunk = Chunk();
  std::vector<uint8_t> destination(chunk.record.size());
  std::span<const uint8_t> source = std::span(chunk.blob).first(chunk.blob.size() - 4);
  for (auto _ : state) {
    benchmark::DoNotOptimize(chunk.lz4->DecompressSafe(source, destination));
    benchmark::ClobberMemory();
  }
  SetCounters(state);
}
BENCHMARK(BM_Lz4DecompressOnly);

void BM_DecodeChunkRecord(benchmark::State& state) {
  const TerrainChunk& chunk = Chunk();
  world::ChunkData destination;
  world::ChunkRecordLists lists;
  for (auto _ : state) {
    std::optional<size_t> size = world::DecodedSizeOfBlob(chunk.blob);
    destination.resize(*size);
    int result = chunk.lz4->DecompressSafe(std::span(chunk.blob).first(chunk.blob.size() - 4), destination);
    world::DecodeChunkRecordLists(destination, lists);
    benchmark::DoNotOptimize(result);
    benchmark::DoNotOptimize(lists.customBlocks.size());
  }
  if (lists.rotations.empty() || lists.customBlocks.empty()) state.SkipWithError("the record lists were not read");
  SetCounters(state);
}
BENCHMARK(BM_DecodeChunkRecord);

void BM_SectionWalkOnly(benchmark::State& state) {
  const TerrainChunk& chunk = Chunk();
  world::ChunkRecordLists lists;
  for (auto _ : state) {
    world::DecodeChunkRecordLists(chunk.record, lists);
    benchmark::DoNotOptimize(lists.customBlocks.size());
  }
  SetCounters(state);
}
BENCHMARK(BM_SectionWalkOnly);

}  // namespace
