// Eight loaders and the mesher, headless, with the real sleeps and slices: every chunk within
// view distance 150 of the camera is read from a fixture world (database rows and cache files),
// walked, published and meshed by a loop standing in for the main loop.
#include <benchmark/benchmark.h>

#include <chrono>
#include <set>

#include "fixtures/chunk_record_writer.h"
#include "fixtures/world_writer.h"
#include "platform/draw2d/font_library.h"
#include "platform/dynlib/dynamic_library.h"
#include "platform/engine3d/engine3d.h"
#include "viewer/chunk_mesher.h"
#include "viewer/face_templates.h"
#include "world/chunk_streaming.h"
#include "world/spiral.h"
#include "world/store_chunk_reader.h"
#include "world/world_store.h"

namespace {

using namespace orelens;
using Clock = std::chrono::steady_clock;

constexpr int kViewDistance = 150;

// The cells the loaders take around the base cell (-8, -8): the base and spiral index j while
// j + 8 < the view distance.
std::set<std::pair<int, int>> StreamedCells() {
  std::set<std::pair<int, int>> cells{{-8, -8}};
  for (int j = 0; j + 8 < kViewDistance; ++j)
    cells.insert({-8 + 16 * world::SpiralIndexToX(j), -8 + 16 * world::SpiralIndexToZ(j)});
  return cells;
}

// The scene objects the mesher copies from, as start-up makes them.
void MakeTemplates(platform::Engine3D& engine, const viewer::BlockDefinitionTable& definitions) {
  for (int material = 0; material < 256; ++material) {
    engine.PBO_CreateTexture(material, 1, 1);
    engine.PBO_CreateMaterial(material, engine.PBO_TextureID(material));
  }
  engine.PBO_CreateTexture(999, 1, 1);
  viewer::CreateFaceTemplateMeshes(engine, definitions);
}

void BM_StreamAndMeshViewDistance150(benchmark::State& state) {
  fixtures::TempFolder saveDir;
  fixtures::WorldWriter world(saveDir.path(), "Bench");
  world::WorldStore store;
  const auto cells = StreamedCells();
  int32_t id = 0;
  for (const auto& [x, z] : cells) {
    const auto blob =
        fixtures::CompressChunkRecord(fixtures::MakeChunkRecord(fixtures::MakeTerrainChunkSpec(id)));
    if (id % 2 == 0) {
      world.PutDatabaseRow(id, blob);
    } else {
      world.WriteCacheFile(id, blob);
    }
    store.WorldChunkMap[world::ChunkOriginKey(x, z)] = id++;
  }

  world::Settings settings;
  settings.SaveDir = saveDir.path();
  settings.CurrentWorldName = "Bench";
  settings.ViewDistance = kViewDistance;
  world::BlockKindTable kinds{};
  kinds[world::kBlockAir] = world::kKindNotDrawn;
  kinds[18] = world::kKindAlphaCube;
  kinds[world::kBlockTorch] = world::kKindMeshBlock;
  viewer::BlockDefinitionTable definitions{};
  definitions[18].kind = 1;
  definitions[world::kBlockTorch].kind = 3;
  definitions[world::kBlockTorch].meshEntity = 16;
  platform::LibraryLocator libraries;
  platform::FontLibrary fonts;

  double lastChunkSeconds = 0;  // summed over the iterations
  for (auto _ : state) {
    auto engine = platform::MakeHeadlessEngine();
    engine->PBO_InitEngine3D(2);
    MakeTemplates(*engine, definitions);
    viewer::CustomBlockMap customBlocks;
    const auto start = Clock::now();
    viewer::ChunkMesher mesher(*engine, definitions, customBlocks, fonts, settings, [start] {
      return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    });
    mesher.SetFaceMerging(state.range(0) != 0);

    world::StreamingServices services;
    services.loadedChunkMapMutex = &store.LoadedChunkMapMutex;
    services.loaderSyncMutex = &store.LoaderSyncMutex;
    services.worldChunkMap = &store.WorldChunkMap;
    services.settings = &settings;
    services.blockKinds = &kinds;
    services.cameraPosition = [] { return world::CameraPosition{0.0f, 0.0f}; };
    services.openChunkReader = [&libraries](const std::string& folder, world::DatabaseWaitObserver& stopWatch) {
      return world::OpenStoreChunkReader(libraries, folder, world::ChunkDatabase::kBusyTimeoutMilliseconds,
                                         &stopWatch);
    };
    services.showMessage = [](std::string_view, std::string_view) {};
    services.freeChunkGeometry = [&mesher](int32_t chunkId) { mesher.FreeChunkGeometry(chunkId); };
    services.freeAllChunkGeometry = [&mesher] { mesher.FreeAllChunkGeometry(); };
    world::ChunkStreaming streaming(services);
    streaming.StartChunkUnloaderThread();
    streaming.StartChunkLoaderThreads();
    streaming.EnableUnloading();

    size_t done = 0;
    int slot = 0;
    while (done < cells.size()) {
      auto& hand = streaming.Slot(slot);
      if (hand.ready.load() == 1) {
        if (mesher.BuildChunkMeshStep(hand.chunkId, slot, hand.faceLists, hand.chunkX, hand.chunkZ, 1) != 0) {
          hand.ready = 0;
          ++done;
          slot = (slot + 1) % world::kLoaderSlotCount;
        }
      } else {
        slot = (slot + 1) % world::kLoaderSlotCount;
      }
      streaming.FreePendingUnloadChunk();
    }
    lastChunkSeconds += std::chrono::duration<double>(Clock::now() - start).count();
    state.PauseTiming();
    streaming.StopChunkLoaders();
    streaming.UnloadAllChunks();
    state.ResumeTiming();
  }
  state.counters["chunks"] = static_cast<double>(cells.size());
  const double perRun = lastChunkSeconds / static_cast<double>(state.iterations());
  state.counters["last_chunk_s"] = perRun;  // from the loaders' start to the last chunk meshed
  state.counters["chunks_per_s"] = static_cast<double>(cells.size()) / perRun;
}
// Argument: the build merging faces (1) or keeping them as added (0).
BENCHMARK(BM_StreamAndMeshViewDistance150)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("merge")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

}  // namespace
