// Static geometry, the mesher's hot path: adding block faces to a band geometry and building it.
// A dense band: 20,000 faces of the six face templates, four materials in runs like the
// loader's sorted lists give.
#include <benchmark/benchmark.h>

#include <array>

#include "platform/engine3d/engine3d.h"
#include "platform/engine3d/scene.h"

namespace orelens::platform {
namespace {

constexpr int kFacesPerBand = 20000;

struct BandScene {
  std::unique_ptr<Engine3D> engine = MakeHeadlessEngine();
  std::array<int, 6> faceEntities{};
  std::array<int, 4> materials{};

  BandScene() {
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
  void AddBand(int geometry, bool withScale) {
    int added = 0;
    for (int height = 0; added < kFacesPerBand; ++height) {
      for (int row = 0; row < 32 && added < kFacesPerBand; ++row) {
        const int material = materials[(row / 8) % 4];
        for (int k = 0; k < 6; ++k) engine->PBO_SetEntityMaterial(10 + k, material);
        for (int col = 0; col < 32 && added < kFacesPerBand; ++col) {
          const float x = col * 0.5f, y = height * 0.5f, z = row * 0.5f;
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
BENCHMARK(BM_AddDenseBandAndBuild)->Arg(0)->Arg(1)->ArgName("border_scale")->Unit(benchmark::kMicrosecond);

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

}  // namespace
}  // namespace orelens::platform
