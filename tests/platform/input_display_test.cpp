#include <SDL2/SDL.h>
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include "gui_display_support.h"
#include "platform/gui/sdl_gui.h"
#include "platform/input/sdl_input.h"

namespace orelens::platform {
namespace {

using display_testing::PrivateXServer;
using display_testing::PumpUntil;
using display_testing::Shell;

// xdotool's pointer moves, clicks and wheel steps, read back the way the main loop reads them.
class InputDisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Running());
    gui_ = std::make_unique<SdlGui>();
    ASSERT_TRUE(gui_->OpenMainWindow(640, 480, "Orelens", {}));
    gui_->CreateMenuBar(0, 0);
    gui_->MenuTitle("File");
    gui_->MenuItem(2, "Quit");
    context_ = SDL_GL_CreateContext(gui_->NativeWindow());
    ASSERT_NE(context_, nullptr);
    input_ = std::make_unique<SdlInput>(*gui_);
    windowId_ = display_testing::X11WindowId(gui_->NativeWindow());
    ASSERT_FALSE(windowId_.empty());
    Shell("timeout 10 xdotool windowfocus --sync " + windowId_);
  }
  void TearDown() override {
    input_.reset();
    if (context_ != nullptr) SDL_GL_DeleteContext(context_);
    gui_.reset();
  }

  void Pass() {
    gui_->WindowEventNoWait();
    glClearColor(0.2f, 0.3f, 0.2f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    gui_->DrawGuiLayer();
    SDL_GL_SwapWindow(gui_->NativeWindow());
  }

  PrivateXServer server_;
  std::unique_ptr<SdlGui> gui_;
  SDL_GLContext context_ = nullptr;
  std::unique_ptr<SdlInput> input_;
  std::string windowId_;
};

TEST_F(InputDisplayTest, CapturedMouseCountsMovementAndWheelDisplay) {
  Shell("xdotool mousemove --window " + windowId_ + " 300 300");
  ASSERT_TRUE(PumpUntil([&] {
    Pass();
    return input_->WindowMouseX() == 300;
  }));
  EXPECT_EQ(input_->WindowMouseY(), 300 - gui_->ClientTop());

  Shell("xdotool mousedown 1");
  ASSERT_TRUE(PumpUntil([&] {
    Pass();
    return input_->IsMouseButtonDown(1) == 1;
  }));
  input_->CaptureMouse(true);
  input_->ExamineMouse();  // drop what came before

  int movedX = 0, movedY = 0, wheel = 0;
  Shell("xdotool mousemove_relative -- 40 25");
  ASSERT_TRUE(PumpUntil([&] {
    Pass();
    EXPECT_TRUE(input_->ExamineMouse());
    movedX += input_->MouseDeltaX();
    movedY += input_->MouseDeltaY();
    return movedX > 0 && movedY > 0;
  })) << movedX << "," << movedY;
  Shell("xdotool click 4");
  ASSERT_TRUE(PumpUntil([&] {
    Pass();
    input_->ExamineMouse();
    wheel += input_->MouseWheel();
    return wheel != 0;
  }));
  EXPECT_EQ(wheel, 1);

  Shell("xdotool mouseup 1");
  ASSERT_TRUE(PumpUntil([&] {
    Pass();
    return input_->IsMouseButtonDown(1) == 0;
  }));
  input_->CaptureMouse(false);
  EXPECT_FALSE(input_->ExamineMouse());
  input_->WarpPointerToClient(120, 90);
  ASSERT_TRUE(PumpUntil([&] {
    Pass();
    return input_->WindowMouseX() == 120 && input_->WindowMouseY() == 90;
  }));
}

TEST_F(InputDisplayTest, PressOnTheMenuBarNeverReachesTheViewDisplay) {
  Shell("xdotool mousemove --window " + windowId_ + " 15 5");
  for (int i = 0; i < 5; ++i) Pass();
  Shell("xdotool mousedown 1");
  bool sawPress = false;
  for (int i = 0; i < 20; ++i) {
    Pass();
    sawPress = sawPress || input_->IsMouseButtonDown(1) == 1;
  }
  Shell("xdotool mouseup 1");
  EXPECT_FALSE(sawPress);
  EXPECT_EQ(input_->WindowMouseY(), -1);  // over the menu bar: outside the client area
}

}  // namespace
}  // namespace orelens::platform
