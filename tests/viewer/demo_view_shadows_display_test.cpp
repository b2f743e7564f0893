// The demo world on the OpenGL engine (Mesa's llvmpipe under Xvfb in CI), seen from a fixed
// camera beside a tree: the same view with shadows None, Simple and Advanced, chosen from the
// menu as a user would. The tree's canopy must darken the ground under it, the shadow settings
// must change the picture, and the faces of a block must read apart by their direction.
#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <glm/glm.hpp>
#include <optional>

#include "fixtures/demo_view_run.h"
#include "platform/engine3d/camera_math.h"
#include "platform/engine3d/engine3d.h"
#include "platform/image/png_writer.h"
#include "viewer/main_loop.h"
#include "viewer/menu_ids.h"

namespace orelens::viewer {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kWidth = 640, kHeight = 400;
constexpr uint8_t kGrass = 2, kLog = 7, kLeaves = 16;  // block ids of assets/demo.xml

// A fixed view of a tree: the camera, the trunk's foot it looks at, and a point of the ground
// under the canopy that the camera sees.
struct TreeView {
  glm::vec3 eye, foot, shaded;
};

bool AirAlong(fixtures::DemoViewRun& run, glm::vec3 from, glm::vec3 to) {
  const int steps = int(glm::distance(from, to) / 0.1f);
  for (int i = 0; i < steps; ++i)
    if (run.BlockAt(from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps,
                    from.z + (to.z - from.z) * i / steps) != world::kBlockAir)
      return false;
  return true;
}

// A camera two blocks above the ground, three units from the trunk, that sees the grass one
// block from the trunk, with leaves above that grass.
std::optional<TreeView> ViewOf(fixtures::DemoViewRun& run, glm::vec3 foot) {
  for (int direction = 0; direction < 8; ++direction) {
    const float angle = direction * 0.785398f;
    const glm::vec3 away(std::round(std::cos(angle)), 0.0f, std::round(std::sin(angle)));
    const glm::vec3 shaded = foot + away * 0.5f;
    const glm::vec3 eye = foot + away * 3.0f + glm::vec3(0, 1.0f, 0);
    if (run.BlockAt(shaded.x, shaded.y - 0.25f, shaded.z) != kGrass) continue;
    bool leavesAbove = false;
    for (float y = shaded.y + 0.25f; y < shaded.y + 5.0f; y += 0.5f)
      leavesAbove = leavesAbove || run.BlockAt(shaded.x, y, shaded.z) == kLeaves;
    if (!leavesAbove || !AirAlong(run, eye, shaded + 0.15f * glm::normalize(eye - shaded))) continue;
    return TreeView{eye, foot, shaded};
  }
  return std::nullopt;
}

// The first tree near the start (searched ring by ring) that the camera can see from beside it,
// below the canopy, with a stretch of grass under the leaves in sight. Found through the block
// reader, so the view follows the demo world as it is generated.
std::optional<TreeView> FindTreeView(fixtures::DemoViewRun& run) {
  const glm::vec3 start = run.Camera();
  for (int ring = 0; ring < 24; ++ring)
    for (int dx = -ring; dx <= ring; ++dx)
      for (int dz = -ring; dz <= ring; ++dz) {
        if (std::max(std::abs(dx), std::abs(dz)) != ring) continue;
        const float x = std::round(start.x * 2) / 2 + dx * 0.5f, z = std::round(start.z * 2) / 2 + dz * 0.5f;
        for (float y = 120.0f; y > 80.0f; y -= 0.5f) {
          if (run.BlockAt(x, y, z) != kLog || run.BlockAt(x, y - 0.5f, z) != kGrass) continue;
          if (auto view = ViewOf(run, glm::vec3(x, y - 0.25f, z))) return view;
          break;
        }
      }
  return std::nullopt;
}

// Where a world point shows in the frame.
glm::ivec2 ScreenPoint(const platform::Engine3D& engine, glm::vec3 world) {
  const platform::Camera& camera = engine.GetScene().cameras[0];
  const glm::vec4 clip = platform::CameraProjection(camera, float(kWidth) / kHeight) *
                         platform::CameraView(camera) * glm::vec4(world, 1);
  return {int((clip.x / clip.w + 1) / 2 * kWidth), int((1 - clip.y / clip.w) / 2 * kHeight)};
}

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
  fixtures::TempFolder saves;
  ASSERT_TRUE(fixtures::DemoViewRun::MakeDemoWorlds(saves.path()));
  // A short draw distance keeps the test quick: the chunks around the tree are all it needs.
  fixtures::DemoViewRun viewer(saves.path(), 20, true, kWidth, kHeight);
  if (!viewer.host.NativeWindow()) GTEST_SKIP() << "no display: " << SDL_GetError();
  ASSERT_TRUE(viewer.Start());
  const std::optional<TreeView> view = FindTreeView(viewer);
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
    frames[mode] = viewer.engine->GrabScreenRegion(0, 0, kWidth, kHeight);
    ASSERT_TRUE(platform::WritePngFile(
        (artefacts / (std::string("demo-view-shadows-") + names[mode] + ".png")).string(), frames[mode]));
  }

  // The settings change the picture.
  EXPECT_GE(ChangedShare(frames[0], frames[1]), 0.02);
  EXPECT_GE(ChangedShare(frames[0], frames[2]), 0.02);

  // The grass beside the trunk, under the canopy, is darker with shadows than without.
  const glm::ivec2 shaded = ScreenPoint(engine, view->shaded);
  const double none = MeanBrightness(frames[0], shaded, 3);
  EXPECT_LT(MeanBrightness(frames[1], shaded, 3), none * 0.85)
      << "simple, at " << shaded.x << "," << shaded.y;
  EXPECT_LT(MeanBrightness(frames[2], shaded, 3), none * 0.7)
      << "advanced, at " << shaded.x << "," << shaded.y;
}

}  // namespace
}  // namespace orelens::viewer
