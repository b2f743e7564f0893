// Static geometry, the mesher's hot path: adding block faces to a band geometry and building it.
// A dense band: 20,000 faces of the six face templates, four materials in runs like the
// loader's sorted lists give.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <array>
#include <functional>

#include "platform/display/screen_host.h"
#include "platform/engine3d/renderer.h"

#include "platform/engine3d/engine3d.h"
#include "platform/engine3d/scene.h"

namespace orelens::platform {
namespace {

constexpr int kFacesPerBand = 20000;

struct BandScene {
  explicit BandScene(std::unique_ptr<Engine3D> made = MakeHeadlessEngine()) : engine(std::move(made)) { MakeTemplates(); }

  std::unique_ptr<Engine3D> engine;
  std::array<int, 6> faceEntities{};
  std::array<int, 4> materials{};

  void MakeTemplates() {
    for (int k = 0; k < 6; ++k) {
      engine->PBO_CreateMesh(10 + k);
      for (int corner = 0; corner < 4; ++corner) {
        engine->PBO_MeshVertex2(corner & 1 ? 0.25f : -0.25f, 0.25f, corner & 2 ? 0.25f : -0.25f, float(corner & 1),
                                float(corner >> 1), -1, 0, 1, 0);
      }
      engine->PBO_MeshFace(2, 1, 0);
      engine->PBO_MeshFace(0, 3, 2);
      engine->PBO_FinishMesh(1);
    }
    for (int m = 0; m < 4; ++m) {
      const int texture = engine->PBO_CreateTexture(-1, 16, 16);
      materials[m] = engine->PBO_CreateMaterial(m, texture);
    }
    for (int k = 0; k < 6; ++k) faceEntities[k] = engine->PBO_CreateEntity2(10 + k, engine->PBO_MeshID(10 + k), materials[0]);
  }

  // Adds one band the way the mesher does: per block its visible faces, materials set per run.
  void AddBand(int geometry, bool withScale, float originX = 0, float originZ = 0) {
    int added = 0;
    for (int height = 0; added < kFacesPerBand; ++height) {
      for (int row = 0; row < 32 && added < kFacesPerBand; ++row) {
        const int material = materials[(row / 8) % 4];
        for (int k = 0; k < 6; ++k) engine->PBO_SetEntityMaterial(10 + k, material);
        for (int col = 0; col < 32 && added < kFacesPerBand; ++col) {
          const float x = originX + col * 0.5f, y = height * 0.5f, z = originZ + row * 0.5f;
          const int face = (col + row + height) % 6;
          const float scaleX = withScale && col == 31 ? 0.9f : 1.0f;
          engine->PBO_AddStaticGeometryEntity2(geometry, faceEntities[face], x, y, z, scaleX, 1, 1);
          engine->PBO_AddStaticGeometryEntity2(geometry, faceEntities[(face + 3) % 6], x, y, z, scaleX, 1, 1);
          added += 2;
        }
      }
    }
  }
};

// Argument: border-column faces scaled as with "Visible Chunkborders".
void BM_AddDenseBandAndBuild(benchmark::State& state) {
  BandScene scene;
  size_t drawCalls = 0;
  for (auto _ : state) {
    const int geometry = scene.engine->PBO_CreateStaticGeometry(-1, 32, 50, 32, 1);
    scene.AddBand(geometry, state.range(0) != 0);
    scene.engine->PBO_BuildStaticGeometry(geometry);
    drawCalls = scene.engine->FindStaticGeometry(geometry)->batches.size();
    state.PauseTiming();
    scene.engine->PBO_FreeStaticGeometry(geometry);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kFacesPerBand);
  state.counters["faces_per_second"] = benchmark::Counter(double(state.iterations()) * kFacesPerBand, benchmark::Counter::kIsRate);
  state.counters["draw_calls_per_geometry"] = double(drawCalls);
}
BENCHMARK(BM_AddDenseBandAndBuild)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("border_scale")
    ->Unit(benchmark::kMicrosecond);

// Rotated adds: mesh blocks placed with angles.
void BM_AddRotatedFaces(benchmark::State& state) {
  BandScene scene;
  for (auto _ : state) {
    const int geometry = scene.engine->PBO_CreateStaticGeometry(-1, 32, 50, 32, 0);
    for (int i = 0; i < kFacesPerBand; ++i) {
      scene.engine->PBO_AddStaticGeometryEntity3(geometry, scene.faceEntities[i % 6], float(i % 32), 1.0f, float(i / 32 % 32),
                                                 1, 1.4f, 1, 0, float((i % 4) * 90), 0);
    }
    scene.engine->PBO_BuildStaticGeometry(geometry);
    state.PauseTiming();
    scene.engine->PBO_FreeStaticGeometry(geometry);
    state.ResumeTiming();
  }
  state.counters["faces_per_second"] = benchmark::Counter(double(state.iterations()) * kFacesPerBand, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AddRotatedFaces)->Unit(benchmark::kMicrosecond);

// The OpenGL side (needs a display, e.g. Xvfb): 64 dense bands handed to the GPU, then frames
// of the whole set with fog, sky and advanced shadows.
class BenchScreenHost final : public ScreenHost {
 public:
  BenchScreenHost() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) window_ = SDL_CreateWindow("bench", 0, 0, 1280, 720, SDL_WINDOW_OPENGL);
  }
  ~BenchScreenHost() override {
    if (window_) SDL_DestroyWindow(window_);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
  SDL_Window* NativeWindow() override { return window_; }
  int ClientTop() override { return 0; }
  int ClientWidth() override { return 1280; }
  int ClientHeight() override { return 720; }
  void DrawGuiLayer() override {}
  void SetSceneRedraw(std::function<void()>) override {}

 private:
  SDL_Window* window_ = nullptr;
};

void BM_RenderBandsWithOpenGl(benchmark::State& state) {
  BenchScreenHost host;
  if (!host.NativeWindow()) {
    state.SkipWithError("no display");
    return;
  }
  BandScene scene(MakeOpenGlEngine());
  Engine3D& engine = *scene.engine;
  if (!engine.PBO_InitEngine3D(2) || !engine.OpenWindowedScreen(&host, 0, 0, 1280, 720, 0, 0, 0, 0)) {
    state.SkipWithError("no OpenGL 3.3 screen");
    return;
  }
  engine.PBO_CreateCamera(0, 0, 0, 100, 100);
  engine.PBO_CameraBackColor(0, PackRgb(100, 156, 251));
  engine.PBO_Sun(10, 800, 10, PackRgb(255, 200, 150));
  engine.PBO_WorldShadows4(2, 25.0f, PackRgb(10, 10, 30), 256);
  engine.PBO_Fog(PackRgb(30, 40, 40), 2, 32, 512);
  constexpr int kBands = 64;
  for (int band = 0; band < kBands; ++band) {
    const int geometry = engine.PBO_CreateStaticGeometry(-1, 32, 50, 32, 1);
    scene.AddBand(geometry, true, float(band % 8) * 16.0f, float(band / 8) * 16.0f);  // an 8 x 8 chunk field
    engine.PBO_BuildStaticGeometry(geometry);
  }
  for (int k = 0; k < 6; ++k) engine.PBO_HideEntity(10 + k, 1);
  engine.PBO_MoveCamera2(0, 64, 40, 150, 0);
  engine.PBO_CameraLookAt(0, 64, 0, 64);
  engine.PBO_RenderWorld();  // the upload
  for (auto _ : state) {
    engine.PBO_RenderWorld();
    engine.GrabScreenRegion(640, 360, 1, 1);  // waits for the frame to finish
  }
  state.counters["draw_calls_per_geometry"] = double(engine.GetRenderer().LastDrawCalls()) / kBands;
  state.counters["faces_drawn"] = double(kBands) * kFacesPerBand;
  state.counters["frames_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  engine.CloseScreen();
}
BENCHMARK(BM_RenderBandsWithOpenGl)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace orelens::platform
