// The chunk mesher on the headless engine: block records placed per millisecond for a typical
// terrain chunk, meshed to the end with the real 15 ms slices.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <chrono>

#include "fixtures/chunk_record_writer.h"
#include "platform/display/screen_host.h"
#include "platform/draw2d/font_library.h"
#include "platform/engine3d/engine3d.h"
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

void MeshTerrainChunks(benchmark::State& state, platform::Engine3D& engine) {
  const auto definitions = Definitions(engine);
  MakeTemplates(engine, definitions);
  platform::FontLibrary fonts;
  viewer::CustomBlockMap customBlocks;
  world::Settings settings;
  const auto start = std::chrono::steady_clock::now();
  viewer::ChunkMesher mesher(engine, definitions, customBlocks, fonts, settings, [start] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
        .count();
  });
  const auto bands = TerrainBands();
  size_t records = 0;
  for (const auto& band : bands) records += band.size();

  int32_t chunkId = 0;
  int64_t calls = 0;
  for (auto _ : state) {
    while (mesher.BuildChunkMeshStep(chunkId, 0, bands, 8, 8, 1) == 0) ++calls;
    ++calls;
    state.PauseTiming();
    mesher.FreeChunkGeometry(chunkId++);
    state.ResumeTiming();
  }
  state.counters["records"] = static_cast<double>(records);
  state.counters["records_placed"] =
      benchmark::Counter(static_cast<double>(records) * state.iterations(), benchmark::Counter::kIsRate);
  state.counters["calls_per_chunk"] = static_cast<double>(calls) / state.iterations();
}

void BM_MeshTerrainChunk(benchmark::State& state) {
  auto engine = platform::MakeHeadlessEngine();
  engine->PBO_InitEngine3D(2);
  MeshTerrainChunks(state, *engine);
}
BENCHMARK(BM_MeshTerrainChunk)->Unit(benchmark::kMillisecond);

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
  MeshTerrainChunks(state, *engine);
  engine->CloseScreen();
}
BENCHMARK(BM_MeshTerrainChunkOpenGl)->Unit(benchmark::kMillisecond);

}  // namespace
