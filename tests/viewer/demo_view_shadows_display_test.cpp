// The demo world on the OpenGL engine (Mesa's llvmpipe under Xvfb in CI), seen from a fixed
// camera beside a tree: the same view with shadows None, Simple and Advanced, chosen from the
// menu as a user would. The tree's canopy must darken the ground under it, the shadow settings
// must change the picture, and the faces of a block must read apart by their direction.
#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <glm/glm.hpp>
#include <memory>
#include <optional>

#include "fixtures/world_writer.h"
#include "platform/display/screen_host.h"
#include "platform/dynlib/dynamic_library.h"
#include "app/subsystem_wiring.h"
#include "platform/engine3d/camera_math.h"
#include "platform/engine3d/engine3d.h"
#include "platform/gui/scripted_gui.h"
#include "platform/image/png_writer.h"
#include "platform/input/scripted_input.h"
#include "viewer/main_loop.h"
#include "viewer/menu_ids.h"
#include "viewer/program_context.h"
#include "viewer/program_main.h"

namespace orelens::viewer {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kWidth = 640, kHeight = 400;
constexpr uint8_t kGrass = 2, kLog = 7, kLeaves = 16;  // block ids of assets/demo.xml

class WindowHost final : public platform::ScreenHost {
 public:
  WindowHost() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return;
    window_ = SDL_CreateWindow("demo view", 0, 0, kWidth, kHeight, SDL_WINDOW_OPENGL);
  }
  ~WindowHost() override {
    if (window_) SDL_DestroyWindow(window_);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
  SDL_Window* NativeWindow() override { return window_; }
  int ClientTop() override { return 0; }
  int ClientWidth() override { return kWidth; }
  int ClientHeight() override { return kHeight; }
  void DrawGuiLayer() override {}
  void SetSceneRedraw(std::function<void()>) override {}

 private:
  SDL_Window* window_ = nullptr;
};

// A fixed view of a tree: the camera, the trunk's foot it looks at, and a point of the ground
// under the canopy that the camera sees.
struct TreeView {
  glm::vec3 eye, foot, shaded;
};

// The program in a working folder with its resources and the generated demo worlds, on the
// OpenGL engine, with a scripted window system and devices.
class DemoViewer {
 public:
  DemoViewer() : gui(kWidth, kHeight), engine(platform::MakeOpenGlEngine()) {
    working = temp.MakeFolder("run");
    const fs::path assets = fs::path(ORELENS_SOURCE_DIR) / "assets";
    fs::copy_file(assets / "demo.xml", working + "demo.xml");
    fs::copy(assets / "Textures", working + "Textures", fs::copy_options::recursive);
    fs::create_directories(working + "Textures/Block_prev");
    const std::string saves = temp.MakeFolder("run/saves");
    const std::string makeWorlds =
        std::string(ORELENS_BINARY_DIR) + "/make_demo_world '" + saves + "' >/dev/null";
    worldsMade = std::system(makeWorlds.c_str()) == 0;
    // A short draw distance keeps the test quick: the chunks around the tree are all it needs.
    std::ofstream(working + "prefs.ini", std::ios::binary)
        << "\xEF\xBB\xBF\r\nLastWorld = Demo Valley\r\nSaveDir = " << saves
        << "\r\nInstaLoadDir = " << working << "instaload/\r\nViewDistance = 20\r\n";
    bundle = std::make_unique<PlatformBundle>(gui, input, *engine, libraries);
    bundle->workingFolder = working;
    bundle->screenHost = &host;
    bundle->environment.homeFolder = temp.MakeFolder("home");
    bundle->subsystems = app::BindSubsystemCalls();
    ctx = std::make_unique<ProgramContext>(*bundle);
  }
  ~DemoViewer() {
    if (started) ShutDown(*ctx);
    ctx.reset();
  }

  bool Start() { return started = worldsMade && host.NativeWindow() && StartUp(*ctx); }

  // Passes until every loader slot is idle, the mesher shows the same chunks that the loaders
  // took and nothing changes for a while (the loaders look for work every 50 ms).
  bool PassUntilMeshed(std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    auto settledSince = std::chrono::steady_clock::now();
    int64_t lastShown = -1;
    while (std::chrono::steady_clock::now() < end) {
      input.AdvancePass();
      RunMainLoopPass(*ctx);
      const auto now = std::chrono::steady_clock::now();
      if (!Settled() || ctx->ChunksDisplayed() != lastShown) {
        lastShown = ctx->ChunksDisplayed();
        settledSince = now;
      } else if (lastShown > 0 && now - settledSince > 600ms) {
        return true;
      }
    }
    return false;
  }

  // The first tree near the start (searched ring by ring) that the camera can see from beside it,
  // below the canopy, with a stretch of grass under the leaves in sight. Found through the block
  // reader, so the view follows the demo world as it is generated.
  std::optional<TreeView> FindTreeView() {
    const glm::vec3 start = Camera();
    for (int ring = 0; ring < 24; ++ring)
      for (int dx = -ring; dx <= ring; ++dx)
        for (int dz = -ring; dz <= ring; ++dz) {
          if (std::max(std::abs(dx), std::abs(dz)) != ring) continue;
          const float x = std::round(start.x * 2) / 2 + dx * 0.5f,
                      z = std::round(start.z * 2) / 2 + dz * 0.5f;
          for (float y = 120.0f; y > 80.0f; y -= 0.5f) {
            if (Block(x, y, z) != kLog || Block(x, y - 0.5f, z) != kGrass) continue;
            if (auto view = ViewOf(glm::vec3(x, y - 0.25f, z))) return view;
            break;
          }
        }
    return std::nullopt;
  }

  glm::vec3 Camera() const {
    const auto& camera = engine->GetScene().cameras[0];
    return camera.Position();
  }

  // Where a world point shows in the frame.
  glm::ivec2 ScreenPoint(glm::vec3 world) const {
    const platform::Camera& camera = engine->GetScene().cameras[0];
    const glm::vec4 clip = platform::CameraProjection(camera, float(kWidth) / kHeight) *
                           platform::CameraView(camera) * glm::vec4(world, 1);
    return {int((clip.x / clip.w + 1) / 2 * kWidth), int((1 - clip.y / clip.w) / 2 * kHeight)};
  }

  platform::Image Frame() { return engine->GrabScreenRegion(0, 0, kWidth, kHeight); }

  fixtures::TempFolder temp;
  std::string working;
  bool worldsMade = false;
  WindowHost host;
  platform::ScriptedGui gui;
  platform::ScriptedInput input;
  platform::LibraryLocator libraries;
  std::unique_ptr<platform::Engine3D> engine;
  std::unique_ptr<PlatformBundle> bundle;
  std::unique_ptr<ProgramContext> ctx;
  bool started = false;

 private:
  uint8_t Block(float x, float y, float z) {
    world::BlockQuery query;
    return ctx->Reader().GetBlockAt(query, x, y, z);
  }
  bool AirAlong(glm::vec3 from, glm::vec3 to) {
    const int steps = int(glm::distance(from, to) / 0.1f);
    for (int i = 0; i < steps; ++i)
      if (Block(from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps,
                from.z + (to.z - from.z) * i / steps) != world::kBlockAir)
        return false;
    return true;
  }
  // A camera two blocks above the ground, three units from the trunk, that sees the grass one
  // block from the trunk, with leaves above that grass.
  std::optional<TreeView> ViewOf(glm::vec3 foot) {
    for (int direction = 0; direction < 8; ++direction) {
      const float angle = direction * 0.785398f;
      const glm::vec3 away(std::round(std::cos(angle)), 0.0f, std::round(std::sin(angle)));
      const glm::vec3 shaded = foot + away * 0.5f;
      const glm::vec3 eye = foot + away * 3.0f + glm::vec3(0, 1.0f, 0);
      if (Block(shaded.x, shaded.y - 0.25f, shaded.z) != kGrass) continue;
      bool leavesAbove = false;
      for (float y = shaded.y + 0.25f; y < shaded.y + 5.0f; y += 0.5f)
        leavesAbove = leavesAbove || Block(shaded.x, y, shaded.z) == kLeaves;
      if (!leavesAbove || !AirAlong(eye, shaded + 0.15f * glm::normalize(eye - shaded))) continue;
      return TreeView{eye, foot, shaded};
    }
    return std::nullopt;
  }

  bool Settled() {
    world::ChunkStreaming& streaming = ctx->Streaming();
    for (int slot = 0; slot < 8; ++slot) {
      if (streaming.Slot(slot).ready.load() != 0 || ctx->MeshSlotState(slot) != kMeshSlotIdle) return false;
    }
    std::lock_guard lock(streaming.LoadedChunkMapMutex());
    return static_cast<int64_t>(streaming.LoadedChunks().size()) == ctx->ChunksDisplayed();
  }
};

int Brightness(uint32_t pixel) {
  return int(platform::RedOf(pixel)) + int(platform::GreenOf(pixel)) + int(platform::BlueOf(pixel));
}

// Mean brightness of a square of pixels around a point.
double MeanBrightness(const platform::Image& frame, glm::ivec2 centre, int half) {
  double sum = 0;
  int count = 0;
  for (int y = centre.y - half; y <= centre.y + half; ++y)
    for (int x = centre.x - half; x <= centre.x + half; ++x) {
      if (x < 0 || y < 0 || x >= frame.width || y >= frame.height) continue;
      sum += Brightness(frame.at(x, y));
      ++count;
    }
  return count ? sum / count : 0;
}

// Share of the pixels below the overlay panel whose colour differs by more than a rounding step.
double ChangedShare(const platform::Image& a, const platform::Image& b) {
  int changed = 0, total = 0;
  for (int y = 120; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x, ++total) {
      const uint32_t p = a.at(x, y), q = b.at(x, y);
      const int difference = std::abs(int(platform::RedOf(p)) - int(platform::RedOf(q))) +
                             std::abs(int(platform::GreenOf(p)) - int(platform::GreenOf(q))) +
                             std::abs(int(platform::BlueOf(p)) - int(platform::BlueOf(q)));
      if (difference > 6) ++changed;
    }
  return double(changed) / total;
}

TEST(DemoViewShadowsDisplay, TreesCastShadowsAndFacesReadApartByDirection) {
  DemoViewer viewer;
  if (!viewer.host.NativeWindow()) GTEST_SKIP() << "no display: " << SDL_GetError();
  ASSERT_TRUE(viewer.Start());
  const std::optional<TreeView> view = viewer.FindTreeView();
  ASSERT_TRUE(view) << "no tree in view near the start of the demo world";
  platform::Engine3D& engine = *viewer.engine;
  auto placeCamera = [&] {
    engine.PBO_MoveCamera2(0, view->eye.x, view->eye.y, view->eye.z, 0);
    engine.PBO_CameraLookAt(0, view->foot.x, view->foot.y + 0.5f, view->foot.z);
  };
  placeCamera();

  const fs::path artefacts = fs::path(ORELENS_BINARY_DIR) / "viewer";
  fs::create_directories(artefacts);
  std::array<platform::Image, 3> frames;
  const int items[] = {kMenuShadowsNone, kMenuShadowsSimple, kMenuShadowsAdvanced};
  const char* names[] = {"none", "simple", "advanced"};
  for (int mode = 0; mode < 3; ++mode) {
    viewer.gui.QueueMenuEvent(items[mode]);  // restarts the streaming: every chunk is meshed again
    ASSERT_TRUE(viewer.PassUntilMeshed(180s)) << "chunks not meshed in time, shadows " << names[mode];
    placeCamera();
    viewer.input.AdvancePass();
    RunMainLoopPass(*viewer.ctx);
    frames[mode] = viewer.Frame();
    ASSERT_TRUE(platform::WritePngFile(
        (artefacts / (std::string("demo-view-shadows-") + names[mode] + ".png")).string(), frames[mode]));
  }

  // The settings change the picture.
  EXPECT_GE(ChangedShare(frames[0], frames[1]), 0.02);
  EXPECT_GE(ChangedShare(frames[0], frames[2]), 0.02);

  // The grass beside the trunk, under the canopy, is darker with shadows than without.
  const glm::ivec2 shaded = viewer.ScreenPoint(view->shaded);
  const double none = MeanBrightness(frames[0], shaded, 3);
  EXPECT_LT(MeanBrightness(frames[1], shaded, 3), none * 0.85)
      << "simple, at " << shaded.x << "," << shaded.y;
  EXPECT_LT(MeanBrightness(frames[2], shaded, 3), none * 0.7)
      << "advanced, at " << shaded.x << "," << shaded.y;
}

}  // namespace
}  // namespace orelens::viewer
