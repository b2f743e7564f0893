// The chunk mesher on the headless engine: block records placed per millisecond for a typical
// terrain chunk, meshed to the end with the real 15 ms slices, merging faces and not, and set
// against decoding the chunk; and the longest single call on the worst case, a checkerboard.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <utility>

#include "fixtures/chunk_record_writer.h"
#include "terrain_decode.h"
#include "platform/display/screen_host.h"
#include "platform/draw2d/font_library.h"
#include "platform/engine3d/engine3d.h"
#include "platform/engine3d/scene.h"
#include "viewer/chunk_mesher.h"
#include "viewer/face_templates.h"
#include "world/block_walk.h"

namespace {

using namespace orelens;

constexpr uint8_t kLeaves = 18;

// The scene objects the mesher copies from, as start-up makes them.
void MakeTemplates(platform::Engine3D& engine, const viewer::BlockDefinitionTable& definitions) {
  for (int material = 0; material < 256; ++material) {
    engine.PBO_CreateTexture(material, 1, 1);
    engine.PBO_CreateMaterial(material, engine.PBO_TextureID(material));
  }
  engine.PBO_CreateTexture(999, 1, 1);
  viewer::CreateFaceTemplateMeshes(engine, definitions);
}

viewer::BlockDefinitionTable Definitions(platform::Engine3D& engine) {
  viewer::BlockDefinitionTable definitions{};
  for (int type = 0; type < 20; ++type)
    definitions[type].faceMaterials = {type, type, type, type, type, type};
  definitions[4].textype = 3;
  definitions[4].faceMaterials = {4, 2, 5, 5, 5, 5};
  definitions[kLeaves].kind = 1;
  definitions[world::kBlockTorch].kind = 3;
  definitions[world::kBlockTorch].meshEntity = 16;
  (void)engine;
  return definitions;
}

world::HeightBandLists TerrainBands() {
  world::BlockKindTable kinds{};
  kinds[world::kBlockAir] = world::kKindNotDrawn;
  kinds[kLeaves] = world::kKindAlphaCube;
  kinds[world::kBlockTorch] = world::kKindMeshBlock;
  const auto record = fixtures::MakeChunkRecord(fixtures::MakeTerrainChunkSpec(1));
  world::ChunkRecordLists lists;
  world::DecodeChunkRecordLists(record, lists);
  world::BlockWalker walker(kinds);
  world::HeightBandLists bands;
  walker.Walk({world::BlockPlane(record), {}, {}, {}, {}}, {lists.MinHeight - 1, lists.MaxHeight},
              lists.rotations, lists.customBlocks, bands);
  return bands;
}

world::HeightBandLists CheckerboardBands() {
  world::BlockKindTable kinds{};
  kinds[world::kBlockAir] = world::kKindNotDrawn;
  fixtures::ChunkRecordSpec checkerboard;
  for (int height = 0; height < world::kChunkHeight; ++height)
    for (int row = 0; row < 32; ++row)
      for (int col = 0; col < 32; ++col)
        if ((col + row + height) % 2 == 0) checkerboard.SetBlock(col, row, height, 1);
  const auto record = fixtures::MakeChunkRecord(checkerboard);
  world::BlockWalker walker(kinds);
  world::HeightBandLists bands;
  walker.Walk({world::BlockPlane(record), {}, {}, {}, {}}, {0, world::kChunkHeight - 1}, {}, {}, bands);
  return bands;
}

size_t RecordCount(const world::HeightBandLists& bands) {
  size_t records = 0;
  for (const auto& band : bands) records += band.size();
  return records;
}

// A mesher over an engine set up as start-up sets it up, with the real millisecond clock.
struct MesherRig {
  explicit MesherRig(platform::Engine3D& engine, bool merging) : engine(engine), definitions(Definitions(engine)) {
    MakeTemplates(engine, definitions);
    mesher.SetFaceMerging(merging);
  }
  // Meshes the chunk to the end; returns the longest single call in milliseconds, wall clock
  // and the thread's processor time (which leaves out the time it waited for a busy core).
  std::pair<double, double> MeshChunk(const world::HeightBandLists& bands, int64_t& calls) {
    double longest = 0, longestWork = 0;
    for (int done = 0; done == 0; ++calls) {
      const auto before = std::chrono::steady_clock::now();
      const auto workBefore = bench_decode::ThreadCpuClock::now();
      done = mesher.BuildChunkMeshStep(chunkId, 0, bands, 8, 8, 1);
      longestWork = std::max(longestWork, bench_decode::Seconds(workBefore, bench_decode::ThreadCpuClock::now()) * 1e3);
      longest = std::max(longest, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - before).count());
    }
    return {longest, longestWork};
  }
  void Free() { mesher.FreeChunkGeometry(chunkId++); }
  // The triangles the last chunk's geometries hold, before it is freed.
  double Triangles() const {
    double triangles = 0;
    for (int32_t geometry : mesher.RenderMap().at(std::to_string(chunkId)).geometries)
      if (const platform::StaticGeometry* built = engine.FindStaticGeometry(geometry))
        for (const auto& batch : built->batches) triangles += static_cast<double>(batch.indices.size() / 3);
    return triangles;
  }

  platform::Engine3D& engine;
  const viewer::BlockDefinitionTable definitions;
  platform::FontLibrary fonts;
  viewer::CustomBlockMap customBlocks;
  world::Settings settings;
  const std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  viewer::ChunkMesher mesher{engine, definitions, customBlocks, fonts, settings, [start = start] {
                               return std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now() - start)
                                   .count();
                             }};
  int32_t chunkId = 0;
};

void MeshTerrainChunks(benchmark::State& state, platform::Engine3D& engine, bool merging) {
  MesherRig rig(engine, merging);
  const auto bands = TerrainBands();
  const size_t records = RecordCount(bands);
  int64_t calls = 0;
  double triangles = 0;
  for (auto _ : state) {
    rig.MeshChunk(bands, calls);
    state.PauseTiming();
    triangles = rig.Triangles();
    rig.Free();
    state.ResumeTiming();
  }
  state.counters["records"] = static_cast<double>(records);
  state.counters["triangles"] = triangles;
  state.counters["records_placed"] =
      benchmark::Counter(static_cast<double>(records) * state.iterations(), benchmark::Counter::kIsRate);
  state.counters["calls_per_chunk"] = static_cast<double>(calls) / state.iterations();
}

// Argument: merging faces (1, as shipped) or adding each as placed (0).
void BM_MeshTerrainChunk(benchmark::State& state) {
  auto engine = platform::MakeHeadlessEngine();
  engine->PBO_InitEngine3D(2);
  MeshTerrainChunks(state, *engine, state.range(0) != 0);
}
BENCHMARK(BM_MeshTerrainChunk)->Arg(1)->Arg(0)->ArgName("merge")->Unit(benchmark::kMillisecond);

// Merging and not, each right after a decoding of the chunk (LZ4 of the record and its four
// neighbours' planes, the record lists), so that all three see the same state of a busy machine.
// Times are the thread's processor time; the time shown is the merging mesher's.
void BM_MeshTerrainChunkSideBySide(benchmark::State& state) {
  const auto record = fixtures::MakeChunkRecord(fixtures::MakeTerrainChunkSpec(1));
  bench_decode::Decoder decoder(record, fixtures::MakeChunkRecord(fixtures::MakeTerrainChunkSpec(2)));
  if (!decoder.loaded()) {
    state.SkipWithError("liblz4 not found");
    return;
  }
  auto mergingEngine = platform::MakeHeadlessEngine(), addingEngine = platform::MakeHeadlessEngine();
  mergingEngine->PBO_InitEngine3D(2);
  addingEngine->PBO_InitEngine3D(2);
  MesherRig merging(*mergingEngine, true), adding(*addingEngine, false);
  const auto bands = TerrainBands();
  using Clock = bench_decode::ThreadCpuClock;
  const auto seconds = bench_decode::Seconds;
  double mergedSeconds = 0, addedSeconds = 0, decodeSeconds = 0;
  int64_t calls = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    decoder.Decode();
    const auto decoded = Clock::now();
    merging.MeshChunk(bands, calls);
    const auto merged = Clock::now();
    decoder.Decode();
    const auto decodedAgain = Clock::now();
    adding.MeshChunk(bands, calls);
    const auto added = Clock::now();
    merging.Free();
    adding.Free();
    mergedSeconds += seconds(decoded, merged);
    addedSeconds += seconds(decodedAgain, added);
    decodeSeconds += (seconds(start, decoded) + seconds(merged, decodedAgain)) / 2;
    state.SetIterationTime(seconds(decoded, merged));
  }
  const double iterations = static_cast<double>(state.iterations());
  state.counters["merged_ms"] = mergedSeconds * 1e3 / iterations;
  state.counters["unmerged_ms"] = addedSeconds * 1e3 / iterations;
  state.counters["decode_us"] = decodeSeconds * 1e6 / iterations;
  state.counters["merged/unmerged"] = mergedSeconds / addedSeconds;
  state.counters["merged/decode"] = mergedSeconds / decodeSeconds;
  state.counters["unmerged/decode"] = addedSeconds / decodeSeconds;
}
BENCHMARK(BM_MeshTerrainChunkSideBySide)->Unit(benchmark::kMillisecond)->UseManualTime();

// The worst case, 409,600 visible blocks showing all six faces, none beside another of its plane:
// the longest single call (build included) against the 15 ms slice, wall clock and processor
// time. Argument: merging.
void BM_MeshCheckerboardChunk(benchmark::State& state) {
  auto engine = platform::MakeHeadlessEngine();
  engine->PBO_InitEngine3D(2);
  MesherRig rig(*engine, state.range(0) != 0);
  const auto bands = CheckerboardBands();
  double longest = 0, longestWork = 0;
  int64_t calls = 0;
  for (auto _ : state) {
    const auto [wall, work] = rig.MeshChunk(bands, calls);
    longest = std::max(longest, wall);
    longestWork = std::max(longestWork, work);
    state.PauseTiming();
    rig.Free();
    state.ResumeTiming();
  }
  state.counters["records"] = static_cast<double>(RecordCount(bands));
  state.counters["longest_call_ms"] = longest;
  state.counters["longest_call_cpu_ms"] = longestWork;
  state.counters["calls_per_chunk"] = static_cast<double>(calls) / state.iterations();
}
BENCHMARK(BM_MeshCheckerboardChunk)->Arg(1)->Arg(0)->ArgName("merge")->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// A window for the OpenGL engine, so that building a band geometry uploads it to the GPU.
class BenchScreenHost final : public platform::ScreenHost {
 public:
  BenchScreenHost() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return;
    window_ = SDL_CreateWindow("mesher bench", 0, 0, kSize, kSize, SDL_WINDOW_OPENGL);
  }
  ~BenchScreenHost() override {
    if (window_) SDL_DestroyWindow(window_);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
  SDL_Window* NativeWindow() override { return window_; }
  int ClientTop() override { return 0; }
  int ClientWidth() override { return kSize; }
  int ClientHeight() override { return kSize; }
  void DrawGuiLayer() override {}
  void SetSceneRedraw(std::function<void()>) override {}
  static constexpr int kSize = 256;

 private:
  SDL_Window* window_ = nullptr;
};

void BM_MeshTerrainChunkOpenGl(benchmark::State& state) {
  BenchScreenHost host;
  auto engine = platform::MakeOpenGlEngine();
  if (!host.NativeWindow() || engine->PBO_InitEngine3D(2) == 0 ||
      engine->OpenWindowedScreen(&host, 0, 0, BenchScreenHost::kSize, BenchScreenHost::kSize, 0, 0, 0, 0) !=
          1) {
    state.SkipWithError("no display for the OpenGL engine");
    return;
  }
  MeshTerrainChunks(state, *engine, true);
  engine->CloseScreen();
}
BENCHMARK(BM_MeshTerrainChunkOpenGl)->Unit(benchmark::kMillisecond);

}  // namespace
