// The window of a wait for the world's database, on a real display: drawn over the view while
// another program holds the lock, gone once the lock is let go.
#include <SDL2/SDL.h>
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fixtures/database_lock.h"
#include "fixtures/world_writer.h"
#include "platform/gui/sdl_gui.h"
#include "platform/gui_display_support.h"
#include "world/chunk_database.h"
#include "world/database_wait_window.h"

namespace orelens::world {
namespace {

using platform::display_testing::PixelOf;
using platform::display_testing::PrivateXServer;
using platform::display_testing::Rgb;

bool IsBlue(const Rgb& pixel) {
  return std::abs(pixel.r) <= 12 && std::abs(pixel.g) <= 12 && std::abs(pixel.b - 255) <= 12;
}

// Passes every step on to the wait window; once the wait has gone on for a second it photographs
// the screen, notes whether a wait text was drawn last, and lets the lock go.
struct PhotographingWait : DatabaseWaitObserver {
  PhotographingWait(DatabaseWaitWindow& window, platform::SdlGui& gui, std::string display, std::string shot,
                    fixtures::DatabaseLockHolder& lock)
      : window(window), gui(gui), display(std::move(display)), shot(std::move(shot)), lock(lock) {}

  bool KeepWaiting(const DatabaseWait& wait) override {
    const bool keep = window.KeepWaiting(wait);
    if (wait.waitedMs >= 1'000 && !photographed) {
      photographed = true;
      // The last frame drawn shows the time left when it was drawn: on a busy machine that may
      // be a few seconds before this step, never before the wait began.
      const int64_t secondsLeft = (wait.RemainingMs() + 999) / 1000;
      const int64_t secondsAtStart = (wait.timeoutMs + 999) / 1000;
      for (int64_t seconds = secondsLeft; seconds <= secondsAtStart && !textDrawn; ++seconds)
        textDrawn = gui.FindDrawnControl(DatabaseWaitText(seconds)).has_value();
      titleDrawn = gui.FindDrawnControl(kDatabaseWaitTitle).has_value();
      shotTaken = std::system(("import -display " + display + " -window root '" + shot + "'").c_str()) == 0;
      letGo = lock.Release();
    }
    return keep;
  }
  void WaitEnded() override { window.WaitEnded(); }

  DatabaseWaitWindow& window;
  platform::SdlGui& gui;
  std::string display;
  std::string shot;
  fixtures::DatabaseLockHolder& lock;
  bool photographed = false;
  bool textDrawn = false;
  bool titleDrawn = false;
  bool shotTaken = false;
  bool letGo = false;
};

class DatabaseWaitDisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Running()) << "Xvfb could not be started";
    gui_ = std::make_unique<platform::SdlGui>();
    ASSERT_TRUE(gui_->HasDisplay());
    ASSERT_TRUE(gui_->OpenMainWindow(500, 500, "Orelens", {true, false, false, true}));
    context_ = SDL_GL_CreateContext(gui_->NativeWindow());
    ASSERT_NE(context_, nullptr) << SDL_GetError();
    // The engine's part: the view is a blue clear.
    gui_->SetSceneRedraw([this] {
      int width = 0, height = 0;
      SDL_GL_GetDrawableSize(gui_->NativeWindow(), &width, &height);
      glViewport(0, 0, width, height);
      glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
      glClear(GL_COLOR_BUFFER_BIT);
    });
    world_.PutDatabaseRow(3, row_);
  }
  void TearDown() override {
    if (context_ != nullptr) SDL_GL_DeleteContext(context_);
    gui_.reset();
  }

  PrivateXServer server_;
  std::unique_ptr<platform::SdlGui> gui_;
  SDL_GLContext context_ = nullptr;
  fixtures::TempFolder save_;
  fixtures::WorldWriter world_{save_.path(), "World"};
  const std::vector<uint8_t> row_{4, 3, 2, 1};
};

TEST_F(DatabaseWaitDisplayTest, WaitWindowIsDrawnWhileTheLockIsHeldDisplay) {
  fixtures::DatabaseLockHolder otherProgram(world_.DatabasePath());
  ASSERT_TRUE(otherProgram.Hold());
  const std::string shot = std::string(ORELENS_BINARY_DIR) + "/database_wait_display.png";
  DatabaseWaitWindow waitWindow(*gui_);
  PhotographingWait photographer(waitWindow, *gui_, server_.Display(), shot, otherProgram);
  const auto database = ChunkDatabase::Open(world_.DatabasePath(), ChunkDatabase::kBusyTimeoutMilliseconds,
                                            &photographer);
  ASSERT_NE(database, nullptr);

  std::vector<uint8_t> blob;
  EXPECT_EQ(database->ReadChunkBlob(3, blob), DatabaseAnswer::kRow);
  EXPECT_EQ(blob, row_);
  ASSERT_TRUE(photographer.photographed);
  EXPECT_TRUE(photographer.letGo);
  EXPECT_TRUE(photographer.titleDrawn) << "no frame with the wait window was drawn during the wait";
  EXPECT_TRUE(photographer.textDrawn) << "no frame with the time left was drawn during the wait";
  ASSERT_TRUE(photographer.shotTaken);
  const int top = gui_->ClientTop();
  const int middleX = 640, middleY = top + (800 - top) / 2;
  EXPECT_FALSE(IsBlue(PixelOf(shot, middleX, middleY))) << "no window in the middle of the view";
  EXPECT_TRUE(IsBlue(PixelOf(shot, 100, 700))) << "the view is drawn around it";

  EXPECT_EQ(waitWindow.Window(), -1) << "the wait ended";
  for (int i = 0; i < 3; ++i) {
    gui_->WindowEventNoWait();
    SDL_Delay(300);  // the event calls redraw a frame older than a quarter second
  }
  ASSERT_EQ(std::system(("import -display " + server_.Display() + " -window root '" + shot + "'").c_str()), 0);
  EXPECT_TRUE(IsBlue(PixelOf(shot, middleX, middleY))) << "the window stayed after the wait";
}

}  // namespace
}  // namespace orelens::world
