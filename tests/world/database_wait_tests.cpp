// Waiting for a world database that another program holds: the connection's waits as its
// observer sees them, and the window the main thread shows meanwhile.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <vector>

#include "fixtures/database_lock.h"
#include "fixtures/world_writer.h"
#include "platform/gui/scripted_gui.h"
#include "world/chunk_database.h"
#include "world/database_wait_window.h"

namespace orelens::world {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Remembers every call; stops the wait after `stopAfterCalls` calls when that is set.
struct RecordingObserver : DatabaseWaitObserver {
  bool KeepWaiting(const DatabaseWait& wait) override {
    waits.push_back(wait);
    if (onWait) onWait(wait);
    return stopAfterCalls < 0 || static_cast<int>(waits.size()) < stopAfterCalls;
  }
  void WaitEnded() override {
    ++endedWaits;
    waitsWhenEnded.push_back(waits.size());
  }

  std::vector<DatabaseWait> waits;
  int endedWaits = 0;
  std::vector<size_t> waitsWhenEnded;
  int stopAfterCalls = -1;
  std::function<void(const DatabaseWait&)> onWait;
};

class DatabaseWaitThreaded : public ::testing::Test {
 protected:
  void SetUp() override { world_.PutDatabaseRow(7, row_); }

  std::unique_ptr<ChunkDatabase> Open(int timeoutMs, DatabaseWaitObserver& observer) {
    return ChunkDatabase::Open(world_.DatabasePath(), timeoutMs, &observer);
  }

  fixtures::TempFolder save_;
  fixtures::WorldWriter world_{save_.path(), "World"};
  const std::vector<uint8_t> row_{1, 2, 3, 4, 5};
  fixtures::DatabaseLockHolder otherProgram_{world_.DatabasePath()};
};

// Each statement that finds the database locked tells the observer at every step of its wait,
// from 0 ms on, and gives up busy at its own timeout; a free database is read without a word.
TEST_F(DatabaseWaitThreaded, ObserverHearsEveryStepOfAWaitThatTimesOut) {
  RecordingObserver observer;
  const auto database = Open(1'000, observer);
  ASSERT_NE(database, nullptr);
  std::vector<uint8_t> blob;
  ASSERT_EQ(database->ReadChunkBlob(7, blob), DatabaseAnswer::kRow);
  EXPECT_TRUE(observer.waits.empty());
  EXPECT_EQ(observer.endedWaits, 0);

  ASSERT_TRUE(otherProgram_.Hold());
  const auto start = Clock::now();
  EXPECT_EQ(database->ReadChunkBlob(7, blob), DatabaseAnswer::kBusy);
  EXPECT_EQ(database->HasChunkRow(7), DatabaseAnswer::kBusy);
  EXPECT_EQ(database->UpdateChunkBlob(7, row_), DatabaseAnswer::kBusy);
  EXPECT_LT(Clock::now() - start, 10s) << "three statements of 1 s each";

  ASSERT_EQ(observer.endedWaits, 3) << "one end per statement";
  size_t first = 0;
  for (const size_t last : observer.waitsWhenEnded) {
    ASSERT_GT(last - first, 10u) << "a 1 s wait is told in small steps";
    ASSERT_LT(last - first, 500u) << "steps of a few milliseconds each, not a spin";
    // Every statement waits afresh: its first step is at the start of its own wait.
    EXPECT_LT(observer.waits[first].waitedMs, 25);
    for (size_t i = first; i < last; ++i) {
      EXPECT_EQ(observer.waits[i].timeoutMs, 1'000);
      EXPECT_LT(observer.waits[i].waitedMs, 1'000);
      if (i > first) {
        EXPECT_GE(observer.waits[i].waitedMs, observer.waits[i - 1].waitedMs);
      }
    }
    EXPECT_GE(observer.waits[last - 1].waitedMs, 500) << "the wait lasts until the timeout";
    first = last;
  }
  ASSERT_TRUE(otherProgram_.Release());
  EXPECT_EQ(database->ReadChunkBlob(7, blob), DatabaseAnswer::kRow);
  EXPECT_EQ(observer.endedWaits, 3);
}

// The other program lets go while a statement waits: the statement goes on and reads the row.
TEST_F(DatabaseWaitThreaded, LockLetGoDuringTheWaitLetsTheStatementGoOn) {
  RecordingObserver observer;
  std::promise<void> waitedAWhile;
  bool told = false;
  observer.onWait = [&](const DatabaseWait& wait) {
    if (wait.waitedMs >= 300 && !told) {
      told = true;
      waitedAWhile.set_value();
    }
  };
  const auto database = Open(ChunkDatabase::kBusyTimeoutMilliseconds, observer);
  ASSERT_NE(database, nullptr);
  ASSERT_TRUE(otherProgram_.Hold());
  auto release = std::async(std::launch::async, [&] {
    if (waitedAWhile.get_future().wait_for(15s) != std::future_status::ready) return false;
    return otherProgram_.Release();
  });

  const auto start = Clock::now();
  std::vector<uint8_t> blob;
  EXPECT_EQ(database->ReadChunkBlob(7, blob), DatabaseAnswer::kRow);
  EXPECT_LT(Clock::now() - start, 10s) << "well before the 20 s timeout";
  EXPECT_TRUE(release.get());
  EXPECT_EQ(blob, row_);
  EXPECT_EQ(observer.endedWaits, 1);
  EXPECT_GE(observer.waits.back().waitedMs, 300);
}

// An observer that says stop ends the wait at its next step, long before the timeout.
TEST_F(DatabaseWaitThreaded, ObserverThatStopsWaitingEndsTheWaitAtOnce) {
  RecordingObserver observer;
  observer.stopAfterCalls = 3;
  const auto database = Open(ChunkDatabase::kBusyTimeoutMilliseconds, observer);
  ASSERT_NE(database, nullptr);
  ASSERT_TRUE(otherProgram_.Hold());
  const auto start = Clock::now();
  EXPECT_EQ(database->UpdateChunkBlob(7, std::vector<uint8_t>{9, 9, 9, 9, 9}), DatabaseAnswer::kBusy);
  EXPECT_LT(Clock::now() - start, 10s);
  EXPECT_EQ(observer.waits.size(), 3u);
  EXPECT_EQ(observer.endedWaits, 1);
  ASSERT_TRUE(otherProgram_.Release());
  std::vector<uint8_t> blob;
  EXPECT_EQ(database->ReadChunkBlob(7, blob), DatabaseAnswer::kRow);
  EXPECT_EQ(blob, row_) << "the update that gave up changed nothing";
}

class DatabaseWaitWindowTest : public ::testing::Test {
 protected:
  // The window that a wait shows, or -1.
  int ShownWindow() {
    for (const int window : gui_.WindowNumbers())
      if (gui_.WindowTitle(window) == kDatabaseWaitTitle) return window;
    return -1;
  }
  std::string ShownText() {
    for (const int gadget : gui_.GadgetsOf(ShownWindow()))
      if (!gui_.GetGadgetText(gadget).empty()) return gui_.GetGadgetText(gadget);
    return "";
  }

  int ShownBar() {
    for (const int gadget : gui_.GadgetsOf(ShownWindow()))
      if (gui_.GetGadgetText(gadget).empty()) return gui_.GetGadgetState(gadget);
    return -1;
  }

  platform::ScriptedGui gui_;
  DatabaseWaitWindow waitWindow_{gui_};
};

// A wait shorter than the grace shows nothing; a longer one shows the window with the seconds
// left, taking one window event at each step; the end of the wait closes it, and the next
// wait opens it again.
TEST_F(DatabaseWaitWindowTest, LongWaitIsShownWithTheTimeLeftUntilItEnds) {
  EXPECT_TRUE(waitWindow_.KeepWaiting({0, 20'000}));
  EXPECT_TRUE(waitWindow_.KeepWaiting({DatabaseWaitWindow::kGraceMs - 1, 20'000}));
  EXPECT_EQ(ShownWindow(), -1);
  EXPECT_EQ(gui_.NoWaitCalls(), 0);

  EXPECT_TRUE(waitWindow_.KeepWaiting({DatabaseWaitWindow::kGraceMs, 20'000}));
  ASSERT_NE(ShownWindow(), -1);
  EXPECT_EQ(waitWindow_.Window(), ShownWindow());
  EXPECT_EQ(ShownText(),
            "Another program, such as the game, is using this world's database.\n\rOrelens waits for it: 20 "
            "seconds left.");
  EXPECT_EQ(gui_.NoWaitCalls(), 1);
  EXPECT_TRUE(waitWindow_.KeepWaiting({1'000, 20'000}));
  EXPECT_EQ(ShownText(), DatabaseWaitText(19));
  EXPECT_TRUE(waitWindow_.KeepWaiting({10'000, 20'000}));
  EXPECT_EQ(ShownText(), DatabaseWaitText(10));
  EXPECT_EQ(ShownBar(), 50) << "the bar shows the share of the timeout waited";
  EXPECT_TRUE(waitWindow_.KeepWaiting({19'000, 20'000}));
  EXPECT_EQ(ShownText(), DatabaseWaitText(1));
  EXPECT_TRUE(waitWindow_.KeepWaiting({19'500, 20'000}));
  EXPECT_EQ(ShownText(),
            "Another program, such as the game, is using this world's database.\n\rOrelens waits for it: 1 "
            "second left.");
  EXPECT_EQ(gui_.NoWaitCalls(), 5);

  waitWindow_.WaitEnded();
  EXPECT_EQ(ShownWindow(), -1);
  EXPECT_EQ(waitWindow_.Window(), -1);
  waitWindow_.KeepWaiting({0, 5'000});
  EXPECT_EQ(ShownWindow(), -1);
  waitWindow_.KeepWaiting({400, 5'000});
  EXPECT_NE(ShownWindow(), -1);
  EXPECT_EQ(ShownText(), DatabaseWaitText(5));
}

TEST_F(DatabaseWaitWindowTest, RequestToEndTheProgramEndsTheWait) {
  EXPECT_TRUE(waitWindow_.KeepWaiting({500, 20'000}));
  gui_.RequestTermination();
  EXPECT_FALSE(waitWindow_.KeepWaiting({0, 20'000}));
  EXPECT_FALSE(waitWindow_.KeepWaiting({600, 20'000}));
}

TEST(DatabaseWaitWindowEnd, WindowGoesWithTheOperation) {
  platform::ScriptedGui gui;
  {
    DatabaseWaitWindow waitWindow(gui);
    waitWindow.KeepWaiting({500, 20'000});
    EXPECT_EQ(gui.WindowNumbers().size(), 1u);
  }
  EXPECT_TRUE(gui.WindowNumbers().empty());
}

}  // namespace
}  // namespace orelens::world
