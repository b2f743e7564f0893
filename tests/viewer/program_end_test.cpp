// Stopping the chunk streaming while loaders wait for something that may be long in coming: a
// person answering a message box, the game's lock on the chunk database, a file that never ends.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include "fixtures/bounded_wait.h"
#include "fixtures/world_writer.h"
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

// The game holds the chunk database while the program stops: every loader waiting for the lock
// gives up its wait when told to stop, so none is abandoned and the stop does not sit out the
// busy timeout (20 s) or the stop timeout (5 s).
TEST(StreamingStopThreaded, ShutdownWhileTheGameHoldsTheDatabaseEndsEveryLoader) {
  ViewerRig rig;
  rig.MakeWorld("Alpha", 5);
  rig.WritePreferences("Alpha");
  sqlite3* game = nullptr;
  sqlite3_open((rig.saveFolder + "Alpha/chunkdata.sqlite").c_str(), &game);
  ASSERT_EQ(sqlite3_exec(game, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  ASSERT_TRUE(rig.Start());
  // A loader has taken a chunk and is well into its wait for the lock, by its own clock.
  ASSERT_TRUE(WaitFor([&] { return rig.ctx().Streaming().LongestLoaderLockWaitMs() >= 200; }));
  const auto abandoned = rig.ctx().Streaming().AbandonedLoadersRunning();
  const auto start = std::chrono::steady_clock::now();
  ShutDown(rig.ctx());
  EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);
  EXPECT_EQ(abandoned->load(), 0);
  sqlite3_exec(game, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(game);
}

// A cache file that never yields its bytes (a named pipe that nobody writes) keeps a loader in
// its read longer than shutdown waits for it, and the loader is abandoned. The process then ends
// at once instead of running its exit clean-up under that thread.
TEST(ProgramEndTest, AnAbandonedLoaderEndsTheProcessAtOnceWithExitCodeZero) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        ViewerRig rig;
        rig.MakeWorld("Alpha", 5);
        rig.WritePreferences("Alpha");
        // The chunks without a database row are read from their cache files.
        for (int id = 2; id < 25; id += 3) {
          const std::string cacheFile = rig.saveFolder + "Alpha/" + std::to_string(id) + ".chunks";
          if (unlink(cacheFile.c_str()) != 0 || mkfifo(cacheFile.c_str(), 0600) != 0) std::exit(2);
        }
        if (!rig.Start() || !WaitFor([&] { return LoadedChunkCount(rig) > 0; })) std::exit(3);
        const auto abandoned = rig.ctx().Streaming().AbandonedLoadersRunning();
        ShutDown(rig.ctx());
        if (abandoned->load() == 0) std::exit(4);  // nothing was abandoned: the test proves nothing
        EndProcessIfLoadersRemain(*abandoned, 100);
        std::exit(5);  // went on past a running loader
      },
      ::testing::ExitedWithCode(0), "");
}

// The call ends the process itself when it must, with the exit code 0 a test run also ends with:
// it runs in a child, which tells by its own exit code that the call came back.
TEST(ProgramEndTest, WithoutAbandonedLoadersTheProgramEndsNormally) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        std::atomic<int> none{0};
        EndProcessIfLoadersRemain(none, 0);
        std::_Exit(7);  // came back, so the program goes on to its normal end
      },
      ::testing::ExitedWithCode(7), "");
}

// One loader still running is enough to end the process, and what the program had written but
// not yet handed to the system reaches its file first.
TEST(ProgramEndTest, OneLoaderStillRunningEndsTheProcessWithItsOutputWritten) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string output = ORELENS_BINARY_DIR "/program_end_output.txt";
  std::remove(output.c_str());
  EXPECT_EXIT(
      {
        std::FILE* file = std::fopen(output.c_str(), "w");
        if (file == nullptr || std::setvbuf(file, nullptr, _IOFBF, 4096) != 0) std::_Exit(2);
        std::fputs("the last line", file);
        std::atomic<int> one{1};
        EndProcessIfLoadersRemain(one, 0);
        std::_Exit(7);  // came back although a loader still runs
      },
      ::testing::ExitedWithCode(0), "");
  const std::vector<uint8_t> written = fixtures::ReadFileBytes(output);
  EXPECT_EQ(std::string(written.begin(), written.end()), "the last line");
  std::remove(output.c_str());
}

}  // namespace
}  // namespace orelens::viewer
