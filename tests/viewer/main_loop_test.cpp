#include "viewer/main_loop.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "platform/image/image.h"
#include "viewer/hud_overlay.h"
#include "viewer/preview_geometry.h"
#include "viewer/program_main.h"
#include "viewer/viewer_test_rig.h"

namespace orelens::viewer {
namespace {

using platform::AlphaOf;
using platform::RedOf;
using testing::ViewerRig;

class MainLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rig.MakeWorld("Alpha", 5);
    rig.WritePreferences("Alpha");
    ASSERT_TRUE(rig.StartPaused());
  }
  void TearDown() override { ShutDown(rig.ctx()); }
  ViewerRig rig;
};

TEST_F(MainLoopTest, IdleSlotsAreVisitedOnePerPass) {
  for (int pass = 0; pass < 10; ++pass) {
    EXPECT_EQ(rig.ctx().loop.MeshSlot, pass % 8);
    rig.Pass();
  }
}

// Loaders are paused: the test plays one, publishing chunk 12, of one grass block, in a slot.
world::LoaderSlot& PublishOneBlockChunk(ViewerRig& rig, int slotNumber) {
  world::LoaderSlot& slot = rig.ctx().Streaming().Slot(slotNumber);
  slot.chunkId = 12;
  slot.chunkX = 8;
  slot.chunkZ = 8;
  for (auto& band : slot.faceLists) band.clear();
  slot.faceLists[0].push_back({1, 1, 20, 2, 0x3F, 0});
  slot.ready.store(1);
  return slot;
}

TEST_F(MainLoopTest, AReadySlotKeepsTheMesherUntilItsChunkIsDone) {
  world::LoaderSlot& slot = PublishOneBlockChunk(rig, 3);
  rig.PassUntil([&] { return rig.ctx().loop.MeshSlot == 3; }, 8);
  int passes = 0;
  while (slot.ready.load() == 1 && passes < 100) {
    EXPECT_EQ(rig.ctx().loop.MeshSlot, 3);
    rig.Pass();
    ++passes;
  }
  EXPECT_EQ(slot.ready.load(), 0);
  EXPECT_EQ(rig.ctx().loop.MeshSlot, 4);
  EXPECT_EQ(rig.ctx().ChunksDisplayed(), 1);
  EXPECT_EQ(rig.ctx().loop.MeshCacheReset, 1);
}

TEST_F(MainLoopTest, CloseRequestEndsTheLoopAfterThePass) {
  rig.gui.QueueCloseEvent(0);
  rig.Pass();
  EXPECT_TRUE(rig.ctx().QuitRequested());
}

TEST_F(MainLoopTest, ChunkUnderTheCameraIsRefreshedEvery500Milliseconds) {
  rig.engine().PBO_MoveCamera2(0, 20.0f, 30.0f, 20.0f, 0);
  rig.clock = rig.ctx().loop.HudRefreshTime + 400;
  rig.Pass();
  EXPECT_NE(rig.ctx().loop.CameraChunk.originX, 8);
  rig.clock = rig.ctx().loop.HudRefreshTime + 501;
  rig.Pass();
  EXPECT_EQ(rig.ctx().loop.CameraChunk.originX, 8);
  EXPECT_EQ(rig.ctx().loop.CameraChunk.originZ, 8);
  EXPECT_EQ(rig.ctx().loop.CameraChunk.chunkId, 18);  // row 3, column 3 of the 5 x 5 world
}

TEST_F(MainLoopTest, OverlayShowsPanelTextAndSlotBoxes) {
  DrawHudText(rig.ctx(), 0, 7);
  DrawSlotStatusBoxes(rig.ctx());
  const platform::Image& hud = *rig.engine().SpriteImage(0);
  ASSERT_EQ(hud.width, 450);
  ASSERT_EQ(hud.height, 100);
  EXPECT_EQ(AlphaOf(hud.at(0, 50)), 255u);  // the frame drawn once at start-up
  EXPECT_NEAR(static_cast<int>(AlphaOf(hud.at(300, 60))), 100, 2);
  int textPixels = 0;
  for (int y = 30; y < 48; ++y)
    for (int x = 10; x < 200; ++x)
      if (RedOf(hud.at(x, y)) > 120) ++textPixels;
  EXPECT_GT(textPixels, 20);
  const uint32_t idle = hud.at(10 + 12, 95);  // no slot at work: red
  EXPECT_EQ(RedOf(idle), 200u);
  EXPECT_EQ(AlphaOf(idle), 255u);
}

TEST_F(MainLoopTest, SlotBoxesShowEachMesherState) {
  using platform::PackRgba;
  EXPECT_EQ(SlotStatusColour(0), PackRgba(200, 0, 0, 255));
  EXPECT_EQ(SlotStatusColour(1), PackRgba(0, 200, 0, 255));
  EXPECT_EQ(SlotStatusColour(2), PackRgba(200, 150, 0, 255));
  EXPECT_EQ(SlotStatusColour(3), PackRgba(255, 255, 255, 255));
  EXPECT_EQ(SlotStatusColour(4), PackRgba(200, 0, 0, 255));

  // Slot 3 meshes a chunk of one block: after the pass that adds it, band 0 is due (orange).
  auto boxPixel = [&] { return rig.engine().SpriteImage(0)->at(10 + 30 * 3 + 12, 95); };
  PublishOneBlockChunk(rig, 3);
  ASSERT_TRUE(rig.PassUntil([&] { return rig.ctx().MeshSlotState(3) == 2; }, 9));
  EXPECT_EQ(boxPixel(), PackRgba(200, 150, 0, 255));
  // The chunk's geometry is freed (the unloader gave it up) while the band waits: abandoned (white).
  rig.ctx().Mesher().FreeChunkGeometry(12);
  ASSERT_TRUE(rig.PassUntil([&] { return rig.ctx().MeshSlotState(3) == 3; }, 9));
  EXPECT_EQ(boxPixel(), PackRgba(255, 255, 255, 255));
}

TEST_F(MainLoopTest, ARedrawLeavesNoTextOfTheModeBefore) {
  const platform::Image& hud = *rig.engine().SpriteImage(0);
  DrawHudText(rig.ctx(), kModeBrowse, 7);
  const platform::Image browsing = hud;
  DrawHudText(rig.ctx(), kModeInsertSchematic, 7);  // long lines reach the right edge
  int differing = 0;
  for (int y = 1; y < 89; ++y)
    for (int x = 1; x < 449; ++x) differing += hud.at(x, y) != browsing.at(x, y);
  ASSERT_GT(differing, 100);
  DrawHudText(rig.ctx(), kModeBrowse, 7);
  // Inside the rounded frame (its corners darken with every redraw, the text never reaches them).
  for (int y = 8; y < 92; ++y)
    for (int x = 8; x < 442; ++x) ASSERT_EQ(hud.at(x, y), browsing.at(x, y)) << x << "," << y;
}

TEST_F(MainLoopTest, EmptyPreviewBuildsAnEmptyGeometryAndUnknownCustomBlocksGetAPlaceholder) {
  rig.ctx().loop.PreviewRebuildPending = 1;
  rig.Pass();
  EXPECT_EQ(rig.ctx().loop.PreviewRebuildPending, 0);
  EXPECT_TRUE(rig.engine().PBO_IsStaticGeometry(rig.ctx().loop.PreviewGeometry));

  rig.ctx().schematic.PreviewBlockList = {{0, 0, 0, 66, 0x01, 987654}, {1, 0, 0, 66, 0x01, 987654}};
  rig.ctx().loop.PreviewRebuildPending = 1;
  rig.Pass();
  EXPECT_NE(rig.ctx().CustomBlocks().Find("987654"), nullptr);
  EXPECT_EQ(rig.ctx().loop.PreviewLastCustomId, 987654);
  EXPECT_EQ(rig.ctx().loop.PreviewLastType, 66);
}

TEST(MainLoopThreadedTest, HeldLoadedChunkLockDefersTheUnloadHandOff) {
  ViewerRig rig;
  rig.MakeWorld("Alpha", 5);
  rig.WritePreferences("Alpha");
  ASSERT_TRUE(rig.StartPaused());
  auto& streaming = rig.ctx().Streaming();
  std::mutex step;
  std::unique_lock<std::mutex> gate(step);
  std::thread holder([&] {
    std::lock_guard held(streaming.LoadedChunkMapMutex());
    streaming.PendingUnloadChunk() = 4;
    std::lock_guard wait(step);  // until the main thread has made its pass
  });
  while (true) {
    {
      std::unique_lock<std::mutex> probe(streaming.LoadedChunkMapMutex(), std::try_to_lock);
      if (!probe.owns_lock()) break;
    }
    std::this_thread::yield();
  }
  rig.Pass();
  gate.unlock();
  holder.join();
  {
    std::lock_guard check(streaming.LoadedChunkMapMutex());
    EXPECT_EQ(streaming.PendingUnloadChunk(), 4);
  }
  rig.Pass();
  {
    std::lock_guard check(streaming.LoadedChunkMapMutex());
    EXPECT_EQ(streaming.PendingUnloadChunk(), -1);
  }
  ShutDown(rig.ctx());
}

}  // namespace
}  // namespace orelens::viewer
