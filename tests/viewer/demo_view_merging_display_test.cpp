// The demo world on the OpenGL engine (Mesa's llvmpipe under Xvfb in CI), built once with the
// block faces as the mesher adds them and once merged into rectangles: from three fixed cameras
// (over the land, close to the ground, across a lake toward its shore and trees) the pictures
// must be the same but for a few pixels, while the merged one draws about half the triangles.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <optional>
#include <string>

#include "fixtures/demo_view_run.h"
#include "platform/engine3d/renderer.h"
#include "platform/image/png_writer.h"
#include "viewer/menu_ids.h"

namespace orelens::viewer {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kWidth = 640, kHeight = 400;
constexpr int kViewDistance = 60;  // enough land for the three views, quick enough for CI
constexpr const char* kViewNames[] = {"overview", "near-ground", "across-water"};

struct Pictures {
  std::array<platform::Image, 3> views;
  int64_t triangles = 0;  // in the overview
};

// Streams the chunks around the start again (the Shadows "None" item restarts the loaders), with
// the camera back at the start so that the same chunks load, and renders the three views.
std::optional<Pictures> StreamAndRender(fixtures::DemoViewRun& run, const fixtures::CameraPose (&poses)[3],
                                        glm::vec3 start) {
  run.Place({start, start + glm::vec3(1, 0, 0)});
  run.gui.QueueMenuEvent(kMenuShadowsNone);
  if (!run.PassUntilMeshed(240s)) {
    ADD_FAILURE() << "chunks not meshed in time";
    return std::nullopt;
  }
  Pictures pictures;
  for (int view = 0; view < 3; ++view) {
    run.Place(poses[view]);
    pictures.views[view] = run.RenderView(kWidth, kHeight);
    if (view == 0) pictures.triangles = run.engine->GetRenderer().LastTrianglesDrawn();
  }
  return pictures;
}

// Pixels whose colour differs by more than rounding, marked white on black.
platform::Image Difference(const platform::Image& a, const platform::Image& b, int& changed) {
  platform::Image marks(a.width, a.height, platform::PackRgba(0, 0, 0));
  changed = 0;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x) {
      const uint32_t p = a.at(x, y), q = b.at(x, y);
      const int difference = std::abs(int(platform::RedOf(p)) - int(platform::RedOf(q))) +
                             std::abs(int(platform::GreenOf(p)) - int(platform::GreenOf(q))) +
                             std::abs(int(platform::BlueOf(p)) - int(platform::BlueOf(q)));
      if (difference > 6) {
        ++changed;
        marks.at(x, y) = platform::PackRgba(255, 255, 255);
      }
    }
  return marks;
}

TEST(DemoViewMergingDisplay, MergedFacesShowTheSamePictureWithHalfTheTriangles) {
  {
    fixtures::DemoWindowHost probe(8, 8);
    if (!probe.NativeWindow()) GTEST_SKIP() << "no display: " << SDL_GetError();
  }
  fixtures::TempFolder saves;
  ASSERT_TRUE(fixtures::DemoViewRun::MakeDemoWorlds(saves.path()));
  // One run for both pictures: the placeholders of unknown custom blocks keep their colours.
  fixtures::DemoViewRun run(saves.path(), kViewDistance, false, kWidth, kHeight);
  ASSERT_TRUE(run.Start());
  ASSERT_TRUE(run.PassUntilMeshed(240s));
  run.NoteStart();
  const glm::vec3 start = run.Camera();
  const std::optional<fixtures::CameraPose> near = run.NearGround();
  const std::optional<fixtures::CameraPose> water = run.AcrossWater();
  ASSERT_TRUE(near && water) << "no ground or no water near the start of the demo world";
  const fixtures::CameraPose poses[3] = {run.Overview(), *near, *water};

  const std::optional<Pictures> asAdded = StreamAndRender(run, poses, start);
  ASSERT_TRUE(asAdded);
  run.ctx->Mesher().SetFaceMerging(true);
  const std::optional<Pictures> merged = StreamAndRender(run, poses, start);
  ASSERT_TRUE(merged);

  const fs::path artefacts = fs::path(ORELENS_BINARY_DIR) / "viewer";
  fs::create_directories(artefacts);
  for (int view = 0; view < 3; ++view) {
    int changed = 0;
    const platform::Image marks = Difference(asAdded->views[view], merged->views[view], changed);
    const std::string name = std::string("demo-view-merging-") + kViewNames[view];
    platform::WritePngFile((artefacts / (name + "-unmerged.png")).string(), asAdded->views[view]);
    platform::WritePngFile((artefacts / (name + "-merged.png")).string(), merged->views[view]);
    platform::WritePngFile((artefacts / (name + "-difference.png")).string(), marks);
    EXPECT_LE(changed, kWidth * kHeight / 200) << kViewNames[view] << ": " << changed << " pixels differ";
  }
  // See-through leaves keep every face (their drawing order shows), so about half remains.
  EXPECT_GT(asAdded->triangles, 0);
  EXPECT_LE(merged->triangles * 100, asAdded->triangles * 55)
      << merged->triangles << " triangles merged, " << asAdded->triangles << " as added";
}

}  // namespace
}  // namespace orelens::viewer
