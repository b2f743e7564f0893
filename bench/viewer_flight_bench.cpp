// The running viewer on the OpenGL engine (under Xvfb this is Mesa's llvmpipe): how long a start
// takes until the chunks around the camera are meshed, and frames per second and draw calls
// while flying through the world at the short and the far draw distance.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>

#include "app/subsystem_wiring.h"
#include "fixtures/chunk_record_writer.h"
#include "fixtures/demo_view_run.h"
#include "fixtures/world_writer.h"
#include "platform/dynlib/dynamic_library.h"
#include "platform/engine3d/engine3d.h"
#include "platform/engine3d/renderer.h"
#include "platform/gui/scripted_gui.h"
#include "platform/input/scripted_input.h"
#include "viewer/main_loop.h"
#include "viewer/program_context.h"
#include "viewer/program_main.h"

namespace {

using namespace orelens;
namespace fs = std::filesystem;

constexpr int kWidth = 640;
constexpr int kHeight = 400;
constexpr int kChunksPerSide = 30;

// A working folder with the program's resources and a 30 x 30 chunk world of terrain.
class BenchWorld {
 public:
  BenchWorld() {
    working_ = temp_.MakeFolder("run");
    const fs::path assets = fs::path(ORELENS_SOURCE_DIR) / "assets";
    fs::copy_file(assets / "demo.xml", working_ + "demo.xml");
    fs::copy(assets / "Textures", working_ + "Textures", fs::copy_options::recursive);
    const std::string saves = temp_.MakeFolder("run/saves");
    const fixtures::WorldWriter world(saves, "Bench");
    fixtures::MetadataSpec metadata;
    const int half = kChunksPerSide / 2;
    int32_t id = 0;
    for (int cz = -half; cz < kChunksPerSide - half; ++cz)
      for (int cx = -half; cx < kChunksPerSide - half; ++cx, ++id) {
        metadata.chunkOrigins.emplace_back((cx * 16 - 8) * 100, (cz * 16 - 8) * 100);
        const auto blob = fixtures::CompressChunkRecord(fixtures::MakeChunkRecord(fixtures::MakeTerrainChunkSpec(id % 7)));
        if (id % 3 == 2) world.WriteCacheFile(id, blob);
        else world.PutDatabaseRow(id, blob);
      }
    metadata.position = {400, 400, 8000};
    world.WriteMetadata(1, metadata);
    std::ofstream(working_ + "prefs.ini", std::ios::binary)
        << "\xEF\xBB\xBF\r\nLastWorld = Bench\r\nSaveDir = " << saves << "\r\n";
  }
  const std::string& working() const { return working_; }
  std::string home() const { return temp_.MakeFolder("home"); }

 private:
  fixtures::TempFolder temp_;
  std::string working_;
};

// One run of the program on the OpenGL engine, with scripted window system and devices.
struct Viewer {
  explicit Viewer(const BenchWorld& world) : gui(kWidth, kHeight), engine(platform::MakeOpenGlEngine()) {
    bundle = std::make_unique<viewer::PlatformBundle>(gui, input, *engine, libraries);
    bundle->workingFolder = world.working();
    bundle->screenHost = &host;
    bundle->environment.homeFolder = world.home();
    bundle->subsystems = app::BindSubsystemCalls();
    ctx = std::make_unique<viewer::ProgramContext>(*bundle);
  }
  ~Viewer() {
    if (started) viewer::ShutDown(*ctx);
    ctx.reset();
  }
  bool Start(int viewDistance) {
    started = host.NativeWindow() && viewer::StartUp(*ctx);
    if (started) ctx->settings.ViewDistance = viewDistance;
    return started;
  }
  // Passes until every chunk the loaders hold is on screen and nothing has changed for 600 ms
  // (the loaders look for work every 50 ms). Returns the seconds from `since` to the last change,
  // or nothing when the chunks are not meshed within three minutes.
  std::optional<double> MeshUntilSettled(std::chrono::steady_clock::time_point since) {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::seconds(180);
    auto lastChange = Clock::now();
    int64_t lastShown = -1;
    while (Clock::now() < end) {
      viewer::RunMainLoopPass(*ctx);
      const auto now = Clock::now();
      if (!Settled() || ctx->ChunksDisplayed() != lastShown) {
        lastShown = ctx->ChunksDisplayed();
        lastChange = now;
      } else if (lastShown > 0 && now - lastChange > std::chrono::milliseconds(600)) {
        return std::chrono::duration<double>(lastChange - since).count();
      }
    }
    return std::nullopt;
  }
  bool Settled() {
    world::ChunkStreaming& streaming = ctx->Streaming();
    for (int slot = 0; slot < 8; ++slot)
      if (streaming.Slot(slot).ready.load() != 0 || ctx->MeshSlotState(slot) != viewer::kMeshSlotIdle) return false;
    std::lock_guard lock(streaming.LoadedChunkMapMutex());
    return static_cast<int64_t>(streaming.LoadedChunks().size()) == ctx->ChunksDisplayed();
  }

  fixtures::DemoWindowHost host{kWidth, kHeight};
  platform::ScriptedGui gui;
  platform::ScriptedInput input;
  platform::LibraryLocator libraries;
  std::unique_ptr<platform::Engine3D> engine;
  std::unique_ptr<viewer::PlatformBundle> bundle;
  std::unique_ptr<viewer::ProgramContext> ctx;
  bool started = false;
};

// From the start of the program until the chunks that a draw distance of 150 keeps loaded (141)
// are meshed.
void BM_StartUntilNearChunksMeshed(benchmark::State& state) {
  const BenchWorld world;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    Viewer viewer(world);
    if (!viewer.Start(150)) {
      state.SkipWithError("no display for the OpenGL engine");
      return;
    }
    const std::optional<double> seconds = viewer.MeshUntilSettled(start);
    if (!seconds) {
      state.SkipWithError("chunks not meshed within three minutes");
      return;
    }
    state.SetIterationTime(*seconds);
    state.counters["chunks"] = static_cast<double>(viewer.ctx->ChunksDisplayed());
  }
}
BENCHMARK(BM_StartUntilNearChunksMeshed)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();

// Frames while flying forward once the chunks are meshed: one main-loop pass each, as the
// program runs them. "fps" is what the screen shows (the flip paces the loop at 60 Hz on a
// display without vsync); "pass_ms" is one whole pass (meshing, input, the 3D view, overlay and
// flip); draw calls and triangles are those of the pass's own 3D view. Arguments: the draw
// distance; the static geometry built merged (1) or with its faces as added (0).
void BM_FlyingFrames(benchmark::State& state) {
  const int viewDistance = static_cast<int>(state.range(0));
  const BenchWorld world;
  Viewer viewer(world);
  viewer.ctx->Mesher().SetFaceMerging(state.range(1) != 0);
  if (!viewer.Start(viewDistance)) {
    state.SkipWithError("no display for the OpenGL engine");
    return;
  }
  viewer.MeshUntilSettled(std::chrono::steady_clock::now());
  viewer.input.HoldKey(platform::DIK_W);
  double passSeconds = 0;
  int64_t drawCalls = 0, triangles = 0, frames = 0;
  for (auto _ : state) {
    const auto before = std::chrono::steady_clock::now();
    viewer::RunMainLoopPass(*viewer.ctx);
    passSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - before).count();
    drawCalls += viewer.engine->GetRenderer().LastDrawCalls();
    triangles += viewer.engine->GetRenderer().LastTrianglesDrawn();
    ++frames;
  }
  const auto perFrame = [frames](double total) { return total / static_cast<double>(frames); };
  state.counters["fps"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
  state.counters["pass_ms"] = perFrame(passSeconds * 1000.0);
  state.counters["draw_calls"] = perFrame(static_cast<double>(drawCalls));
  state.counters["triangles"] = perFrame(static_cast<double>(triangles));
  state.counters["chunks"] = static_cast<double>(viewer.ctx->ChunksDisplayed());
}
BENCHMARK(BM_FlyingFrames)
    ->ArgsProduct({{150, 600}, {0, 1}})
    ->ArgNames({"view_distance", "merge"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(40)
    ->UseRealTime();

}  // namespace
