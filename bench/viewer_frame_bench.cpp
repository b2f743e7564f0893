// One frame of the running viewer on the OpenGL engine (under Xvfb this is Mesa's llvmpipe), on
// the demo world at draw distance 150 from a fixed camera high over the start: the static
// geometry built with its faces as added and built merged, side by side. Both programs run at
// once; each iteration draws one frame with each, so that a busy machine slows both alike.
// Counters: triangles and draw calls per frame and the 3D pass time (drawn and read back) of
// each, and their ratios merged / unmerged.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "fixtures/demo_view_run.h"
#include "platform/engine3d/renderer.h"

namespace {

using namespace orelens;

constexpr int kViewDistance = 150;

double Milliseconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Arguments: the 3D view's width and height (the program's window opens at 500 x 500).
void BM_ViewerFrameUnmergedAndMerged(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
  fixtures::TempFolder saves;
  if (!fixtures::DemoViewRun::MakeDemoWorlds(saves.path())) {
    state.SkipWithError("the demo world generator failed");
    return;
  }
  std::unique_ptr<fixtures::DemoViewRun> runs[2];
  for (int merged = 0; merged < 2; ++merged) {
    runs[merged] = std::make_unique<fixtures::DemoViewRun>(saves.path(), kViewDistance, merged == 1, width, height);
    if (!runs[merged]->Start()) {
      state.SkipWithError("no display for the OpenGL engine");
      return;
    }
    if (!runs[merged]->PassUntilMeshed(std::chrono::seconds(600))) {
      state.SkipWithError("chunks not meshed within ten minutes");
      return;
    }
    runs[merged]->NoteStart();
    runs[merged]->Place(runs[merged]->Overview());
    runs[merged]->RenderView(1, 1);  // the upload
  }
  std::vector<double> passMs[2];
  int64_t triangles[2] = {}, drawCalls[2] = {};
  for (auto _ : state) {
    for (int merged = 0; merged < 2; ++merged) {
      platform::Engine3D& engine = *runs[merged]->engine;
      const auto before = std::chrono::steady_clock::now();
      engine.PBO_RenderWorld();
      engine.GrabScreenRegion(width / 2, height / 2, 1, 1);
      passMs[merged].push_back(Milliseconds(std::chrono::steady_clock::now() - before));
      triangles[merged] = engine.GetRenderer().LastTrianglesDrawn();
      drawCalls[merged] = engine.GetRenderer().LastDrawCalls();
    }
  }
  double median[2], minimum[2];
  for (int merged = 0; merged < 2; ++merged) {
    std::vector<double>& times = passMs[merged];
    std::sort(times.begin(), times.end());
    minimum[merged] = times.front();
    median[merged] = times[times.size() / 2];
  }
  state.counters["chunks"] = static_cast<double>(runs[1]->ctx->ChunksDisplayed());
  state.counters["triangles_unmerged"] = static_cast<double>(triangles[0]);
  state.counters["triangles_merged"] = static_cast<double>(triangles[1]);
  state.counters["triangles_ratio"] = static_cast<double>(triangles[1]) / static_cast<double>(std::max<int64_t>(triangles[0], 1));
  state.counters["draw_calls_unmerged"] = static_cast<double>(drawCalls[0]);
  state.counters["draw_calls_merged"] = static_cast<double>(drawCalls[1]);
  state.counters["pass_ms_unmerged_min"] = minimum[0];
  state.counters["pass_ms_unmerged_median"] = median[0];
  state.counters["pass_ms_merged_min"] = minimum[1];
  state.counters["pass_ms_merged_median"] = median[1];
  state.counters["pass_ratio_median"] = median[1] / median[0];
}
BENCHMARK(BM_ViewerFrameUnmergedAndMerged)
    ->Args({500, 500})
    ->Args({1280, 800})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(15)
    ->UseRealTime();

}  // namespace
