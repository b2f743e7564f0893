// Stopping the chunk streaming while loaders wait for something that may never come: a person
// answering a message box, or the game's lock on the chunk database.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "fixtures/bounded_wait.h"
#include "viewer/menu_commands.h"
#include "viewer/menu_ids.h"
#include "viewer/program_main.h"
#include "viewer/viewer_test_rig.h"

namespace orelens::viewer {
namespace {

using namespace std::chrono_literals;
using testing::ViewerRig;

using fixtures::WaitFor;

size_t LoadedChunkCount(ViewerRig& rig) {
  std::lock_guard lock(rig.ctx().store.LoadedChunkMapMutex);
  return rig.ctx().Streaming().LoadedChunks().size();
}

TEST(StreamingStopThreaded, RestartAndShutdownAnswerTheBoxesOfLoadersWithoutLz4) {
  ViewerRig rig;
  rig.MakeWorld("Alpha", 5);
  rig.WritePreferences("Alpha");
  rig.libraries.SetLibraryFile("lz4.dll", "/nonexistent/liblz4.so.1");
  rig.gui.HoldWorkerMessageBoxes(true);  // the loaders' boxes wait as for a person
  ASSERT_TRUE(rig.Start());
  ASSERT_TRUE(WaitFor([&] { return rig.gui.WorkerMessageBoxesWaiting() == 8; }));
  const auto abandoned = rig.ctx().Streaming().AbandonedLoadersRunning();

  // A restart stops the loaders: their boxes are answered, so each one ends on its own.
  HandleMenuEvent(rig.ctx(), kMenuVisibleChunkBorders);
  EXPECT_EQ(abandoned->load(), 0);
  ASSERT_TRUE(WaitFor([&] { return rig.gui.WorkerMessageBoxesWaiting() == 8; }));  // the new loaders

  ShutDown(rig.ctx());
  EXPECT_EQ(abandoned->load(), 0);
  EXPECT_EQ(rig.gui.WorkerMessageBoxesWaiting(), 0);
  size_t lz4Boxes = 0;
  for (const auto& box : rig.gui.MessageBoxes())
    if (box.title == "Error" && box.text == "LZ4 couldn't be opened") ++lz4Boxes;
  EXPECT_EQ(lz4Boxes, 16u);
}

// The game holds the chunk database: a loader reading a chunk waits for the lock longer than
// shutdown waits for it, and is abandoned. The process then ends at once instead of running its
// exit clean-up under that thread.
TEST(ProgramEndTest, AnAbandonedLoaderEndsTheProcessAtOnceWithExitCodeZero) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        ViewerRig rig;
        rig.MakeWorld("Alpha", 5);
        rig.WritePreferences("Alpha");
        sqlite3* game = nullptr;
        sqlite3_open((rig.saveFolder + "Alpha/chunkdata.sqlite").c_str(), &game);
        sqlite3_exec(game, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
        if (!rig.Start() || !WaitFor([&] { return LoadedChunkCount(rig) > 0; })) std::exit(3);
        const auto abandoned = rig.ctx().Streaming().AbandonedLoadersRunning();
        ShutDown(rig.ctx());
        if (abandoned->load() == 0) std::exit(4);  // nothing was abandoned: the test proves nothing
        EndProcessIfLoadersRemain(*abandoned, 100);
        std::exit(5);  // went on past a running loader
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(ProgramEndTest, WithoutAbandonedLoadersTheProgramEndsNormally) {
  std::atomic<int> none{0};
  EndProcessIfLoadersRemain(none, 0);
  SUCCEED();  // still here
}

}  // namespace
}  // namespace orelens::viewer
