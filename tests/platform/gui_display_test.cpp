#include <SDL2/SDL.h>
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <future>
#include <thread>
#include <vector>

#include "gui_display_support.h"
#include "platform/gui/sdl_gui.h"

namespace orelens::platform {
namespace {

using display_testing::PixelOf;
using display_testing::PrivateXServer;
using display_testing::PumpUntil;
using display_testing::Rgb;
using display_testing::Shell;

bool Near(const Rgb& actual, int r, int g, int b) {
  return std::abs(actual.r - r) <= 12 && std::abs(actual.g - g) <= 12 && std::abs(actual.b - b) <= 12;
}

// Window 0 with a menu bar, the import progress window and a GL context of the test's own,
// standing in for the engine: its "scene" is a blue clear.
class GuiDisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Running()) << "Xvfb could not be started";
    gui_ = std::make_unique<SdlGui>();
    ASSERT_TRUE(gui_->HasDisplay());
    ASSERT_TRUE(gui_->OpenMainWindow(500, 500, "Orelens", {true, false, false, true}));
    gui_->CreateMenuBar(0, 0);
    gui_->MenuTitle("File");
    gui_->MenuItem(0, "Load Schematic");
    gui_->MenuTitle("Visuals");
    gui_->MenuItem(16, "Make world Surface visible from inside blocks");
    gui_->OpenSubMenu("Shadows");
    gui_->MenuItem(17, "None");
    gui_->MenuItem(18, "Simple");
    gui_->MenuItem(19, "Advanced");
    gui_->CloseSubMenu();
    gui_->SetMenuItemState(0, 18, true);

    context_ = SDL_GL_CreateContext(gui_->NativeWindow());
    ASSERT_NE(context_, nullptr) << SDL_GetError();
    gui_->SetSceneRedraw([this] { ClearToBlue(); });
    windowId_ = display_testing::X11WindowId(gui_->NativeWindow());
    ASSERT_FALSE(windowId_.empty());
    // No window manager gives the new window the focus under Xvfb; a desktop would.
    Shell("timeout 10 xdotool windowfocus --sync " + windowId_);
  }

  void TearDown() override {
    // Like the engine: its context goes before the window system closes the display.
    if (context_ != nullptr) SDL_GL_DeleteContext(context_);
    gui_.reset();
  }

  void ClearToBlue() {
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(gui_->NativeWindow(), &width, &height);
    glViewport(0, 0, width, height);
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
  }

  // One pass of a main loop: one event, a frame with the GUI layer, a swap.
  void Pass() {
    const WindowEvent event = gui_->WindowEventNoWait();
    if (event.type != kEventNone) events_.push_back(event);
    ClearToBlue();
    gui_->DrawGuiLayer();
    SDL_GL_SwapWindow(gui_->NativeWindow());
  }

  // Where a control settles: popups and menus take a frame or two to find their size.
  std::optional<ControlRect> SettledControl(const std::string& text) {
    std::optional<ControlRect> last;
    int sameFrames = 0;
    if (!PumpUntil([&] {
          Pass();
          const std::optional<ControlRect> now = gui_->FindDrawnControl(text);
          const bool same = now && last && now->x == last->x && now->y == last->y && now->width == last->width;
          sameFrames = same ? sameFrames + 1 : 0;
          last = now;
          return sameFrames >= 3;
        })) {
      return std::nullopt;
    }
    return last;
  }

  bool ClickControl(const std::string& text) {
    const std::optional<ControlRect> rect = SettledControl(text);
    if (!rect) return false;
    Point(*rect);
    Shell("xdotool click 1");
    return true;
  }

  void Point(const ControlRect& rect) {
    const int x = static_cast<int>(rect.x + rect.width / 2), y = static_cast<int>(rect.y + rect.height / 2);
    Shell("xdotool mousemove --window " + windowId_ + " " + std::to_string(x) + " " + std::to_string(y));
  }

  bool MenuEventArrived(int item) {
    for (const WindowEvent& event : events_) {
      if (event.type == kEventMenu && event.item == item) return true;
    }
    return false;
  }

  PrivateXServer server_;
  // Before gui_: a worker still waiting for a box is answered when gui_ goes, then joined here.
  std::future<MessageBoxAnswer> answer_;
  std::unique_ptr<SdlGui> gui_;
  SDL_GLContext context_ = nullptr;
  std::string windowId_;
  std::vector<WindowEvent> events_;
};

TEST_F(GuiDisplayTest, MenuChoiceQueuesItsIdAndCheckMarksFollowDisplay) {
  ASSERT_TRUE(ClickControl("Visuals"));
  // Hover the sub-menu title so it opens, then choose an item inside it.
  const std::optional<ControlRect> shadows = SettledControl("Shadows");
  ASSERT_TRUE(shadows);
  Point(*shadows);
  ASSERT_TRUE(ClickControl("None"));
  ASSERT_TRUE(PumpUntil([&] {
    Pass();
    return MenuEventArrived(17);
  }));
  EXPECT_EQ(events_.back().window, 0);

  gui_->SetMenuItemState(0, 17, true);
  gui_->SetMenuItemState(0, 18, false);
  EXPECT_TRUE(gui_->GetMenuItemState(0, 17));
  EXPECT_FALSE(gui_->GetMenuItemState(0, 18));

  // The menu bar takes the top rows; the client area lies below it.
  EXPECT_GT(gui_->ClientTop(), 10);
  EXPECT_EQ(gui_->ClientHeight() + gui_->ClientTop(), 800);
}

TEST_F(GuiDisplayTest, ProgressWindowIsDrawnOverTheViewDisplay) {
  ASSERT_EQ(gui_->OpenWindow(10, 0, 0, 700, 320, "Importing custom blocks...", {false, true, true, false}), 10);
  gui_->ProgressBarGadget(100, 10, 200, 680, 20, 0, 100);
  gui_->ProgressBarGadget(101, 10, 230, 680, 20, 0, 100);
  gui_->SetProgressMarquee(101, true);
  gui_->TextGadget(102, 10, 260, 680, 50, "Importing custom Blocks, sorry for the Delay!", false);
  gui_->SetGadgetState(100, 50);
  for (int i = 0; i < 5; ++i) Pass();

  const std::string shot = std::string(ORELENS_BINARY_DIR) + "/gui_display_progress.png";
  ASSERT_EQ(std::system(("import -display " + server_.Display() + " -window root '" + shot + "'").c_str()), 0);

  const int top = gui_->ClientTop();
  const int titleBar = top;  // window title bars use the same frame height as the menu bar
  const int barY = top + titleBar + 200 + 10;
  // Left half of bar 100 is filled, its right half is not; the view beside the window is blue.
  const Rgb filled = PixelOf(shot, 10 + 100, barY);
  const Rgb empty = PixelOf(shot, 10 + 600, barY);
  EXPECT_FALSE(Near(filled, empty.r, empty.g, empty.b)) << "bar shows no progress";
  EXPECT_GT(filled.r, 150) << filled.r << "," << filled.g << "," << filled.b;
  EXPECT_TRUE(Near(PixelOf(shot, 1000, 600), 0, 0, 255));
  EXPECT_FALSE(Near(PixelOf(shot, 5, top / 2), 0, 0, 255)) << "no menu bar drawn";

  gui_->HideWindow(10, true);
  for (int i = 0; i < 3; ++i) Pass();
  ASSERT_EQ(std::system(("import -display " + server_.Display() + " -window root '" + shot + "'").c_str()), 0);
  EXPECT_TRUE(Near(PixelOf(shot, 10 + 100, barY), 0, 0, 255)) << "hidden window still drawn";
}

// Frames drawn by Mesa's software rasteriser make ThreadSanitizer report races inside the
// driver's own threads, so the display tests that use threads stay out of the TSan run.
TEST_F(GuiDisplayTest, WorkerThreadMessageBoxIsAnsweredByClickDisplay) {
  // A kept-above window under the box (the import window at start-up) must not cover it.
  ASSERT_EQ(gui_->OpenWindow(10, 0, 0, 700, 600, "Importing custom blocks...", {false, true, true, false}), 10);
  // While the box is up, the modal loop keeps calling the scene redraw: click "Yes" from there
  // as soon as the box has been drawn once.
  bool clicked = false;
  int framesWithBox = 0;
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  gui_->SetSceneRedraw([&] {
    ClearToBlue();
    auto yes = gui_->FindDrawnControl("Yes");
    framesWithBox = yes ? framesWithBox + 1 : 0;
    if (framesWithBox > 5 && !clicked) {  // the box has found its size and place
      Point(*yes);
      Shell("xdotool click 1");
      clicked = true;
    } else if (std::chrono::steady_clock::now() > giveUp) {
      Shell("xdotool key Escape");  // never leave the test hanging
    }
  });
  answer_ = std::async(std::launch::async, [this] {
    return gui_->MessageBox("Info", "This will update the position.\n\rDo it?", MessageBoxButtons::kYesNo);
  });
  ASSERT_TRUE(PumpUntil([&] {
    Pass();
    return answer_.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready;
  }));
  EXPECT_EQ(answer_.get(), MessageBoxAnswer::kYes);
  EXPECT_TRUE(clicked);
}

TEST_F(GuiDisplayTest, ReturnKeyFromAnotherThreadAnswersAMessageBoxDisplay) {
  ASSERT_TRUE(PumpUntil([this] {
    Pass();
    if (SDL_GetKeyboardFocus() == gui_->NativeWindow()) return true;
    Shell("timeout 10 xdotool windowfocus --sync " + windowId_);
    return false;
  }));
  // The key comes from another thread once the box has settled on screen; the scene redraw,
  // called by the box's own loop, says when. Every wait has an end: should no key get through,
  // the presser asks the GUI to end, which closes the box with its harmless answer.
  std::atomic<bool> boxShown{false};
  int framesWithBox = 0;
  gui_->SetSceneRedraw([&] {
    ClearToBlue();
    framesWithBox = gui_->FindDrawnControl("Yes") ? framesWithBox + 1 : 0;
    if (framesWithBox > 5) boxShown = true;
  });
  std::atomic<bool> done{false};
  std::atomic<bool> gaveUp{false};
  std::thread presser([&] {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    int presses = 0;
    while (!done && std::chrono::steady_clock::now() < deadline) {
      if (boxShown && presses < 5) {  // again now and then, should one be missed
        Shell("xdotool key Return");
        ++presses;
        for (int i = 0; i < 20 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
    if (!done) {
      gaveUp = true;
      gui_->RequestTermination();
    }
  });
  const MessageBoxAnswer answer =
      gui_->MessageBox("Info", "This will update the position.\n\rDo it?", MessageBoxButtons::kYesNo);
  done = true;
  presser.join();
  EXPECT_EQ(answer, MessageBoxAnswer::kYes);
  EXPECT_TRUE(boxShown);
  EXPECT_FALSE(gaveUp);
}

// A press and its release that reach the GUI between the same two frames still count: a
// quick Return answers the box.
TEST_F(GuiDisplayTest, PressAndReleaseWithinOneFrameAnswerAMessageBoxDisplay) {
  int frames = 0;
  bool gaveUp = false;
  gui_->SetSceneRedraw([&] {
    ClearToBlue();
    ++frames;
    if (frames == 10) {
      for (Uint32 type : {SDL_KEYDOWN, SDL_KEYUP}) {
        SDL_Event key{};
        key.type = type;
        key.key.windowID = SDL_GetWindowID(gui_->NativeWindow());
        key.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        key.key.keysym.scancode = SDL_SCANCODE_RETURN;
        key.key.keysym.sym = SDLK_RETURN;
        SDL_PushEvent(&key);
      }
    } else if (frames == 400 && !gaveUp) {  // some seconds: the key was lost
      gaveUp = true;
      gui_->RequestTermination();
    }
  });
  const MessageBoxAnswer answer = gui_->MessageBox("Info", "Do it?", MessageBoxButtons::kYesNo);
  EXPECT_EQ(answer, MessageBoxAnswer::kYes);
  EXPECT_FALSE(gaveUp);
}

// Texts with empty lines, empty texts and empty titles are drawn like any other (the credits
// of the About window have empty lines between their paragraphs).
TEST_F(GuiDisplayTest, EmptyLinesAndEmptyTextsAreDrawnDisplay) {
  ASSERT_EQ(gui_->OpenWindow(20, 0, 0, 600, 350, "", {false, true, true, false}), 20);
  gui_->TextGadget(200, 10, 10, 580, 120, "First\n\r\n\r\n\rFourth line", false);
  gui_->TextGadget(201, 10, 150, 580, 20, "", true);
  gui_->TextGadget(202, 10, 180, 580, 40, "\n\r", true);
  gui_->ButtonGadget(203, 250, 315, 100, 25, "");
  for (int i = 0; i < 5; ++i) Pass();

  const std::string shot = std::string(ORELENS_BINARY_DIR) + "/gui_display_empty_lines.png";
  ASSERT_EQ(std::system(("import -display " + server_.Display() + " -window root '" + shot + "'").c_str()),
            0);
  // The fourth line sits three line heights below the first; lines two and three are empty.
  const int top = gui_->ClientTop() * 2 + 10;  // menu bar, title bar, gadget offset
  const int lineHeight = 15;
  auto inkInRow = [&](int y0) {
    const std::string command = "convert '" + shot + "' -crop 200x" + std::to_string(lineHeight) + "+10+" +
                                std::to_string(y0) + " -colorspace gray -format '%[fx:maxima]' info:";
    return std::atof(Shell(command).c_str());
  };
  EXPECT_GT(inkInRow(top), 0.6) << "first line missing";
  EXPECT_LT(inkInRow(top + lineHeight + 2), 0.4) << "the empty lines hold text";
  EXPECT_GT(inkInRow(top + 3 * lineHeight), 0.6) << "fourth line not three lines down";
}

// A kept-above window (the About window) where a menu drops down: the menu comes up in front of
// it and takes the click on its item.
TEST_F(GuiDisplayTest, AMenuOpensInFrontOfAKeptAboveWindowDisplay) {
  ASSERT_EQ(gui_->OpenWindow(20, 0, 0, 600, 350, "About", {false, true, true, false}), 20);
  for (int i = 0; i < 5; ++i) Pass();
  ASSERT_TRUE(ClickControl("File"));
  ASSERT_TRUE(ClickControl("Load Schematic"));
  EXPECT_TRUE(PumpUntil(
      [&] {
        Pass();
        return MenuEventArrived(0);
      },
      10))
      << "the click went to the window behind the menu";
}

// A file requester takes typing at once: a name typed without a click into its field, then Return,
// is the answer.
TEST_F(GuiDisplayTest, ARequesterTakesTypingInItsNameFieldAtOnceDisplay) {
  const std::filesystem::path folder = std::filesystem::path(ORELENS_BINARY_DIR) / "gui_display_requester";
  std::filesystem::create_directories(folder);
  bool typed = false;
  int framesWithRequester = 0;
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  gui_->SetSceneRedraw([&] {
    ClearToBlue();
    framesWithRequester = gui_->FindDrawnControl("Cancel") ? framesWithRequester + 1 : 0;
    if (framesWithRequester > 5 && !typed) {
      Shell("xdotool type --delay 30 box1; xdotool key Return");
      typed = true;
    } else if (std::chrono::steady_clock::now() > giveUp) {
      gui_->RequestTermination();  // the requester then answers "", and the test fails
    }
  });
  const std::string answer =
      gui_->SaveFileRequester("Save Schematic", folder.string(), "Schematic Files (*.KvSch)|*.KvSch", 0);
  EXPECT_TRUE(typed);
  EXPECT_EQ(answer, (folder / "box1").string());
  EXPECT_EQ(gui_->ModalsClosed(), 1u);
}

// Before the main window exists (a message of the start-up), a box has a window of its own: the
// keyboard answers it as any box, a request to end the program ends it, and the main window
// opens and draws as usual after it.
TEST(GuiBoxWithoutMainWindowTest, AnsweredByReturnEndedByATerminationRequestDisplay) {
  PrivateXServer server;
  ASSERT_TRUE(server.Running()) << "Xvfb could not be started";
  SdlGui gui;
  ASSERT_TRUE(gui.HasDisplay());
  // The box's window, found by its title; false when it does not show within the time.
  const auto boxWindow = [](std::string& id) {
    return PumpUntil([&] {
      id = Shell("xdotool search --onlyvisible --name '^No current World$' 2>/dev/null | head -n1");
      return !id.empty();
    });
  };
  const std::string title = "No current World";
  const std::string text = "There ist no current world selected. Please select a world from the list.";
  // A box that nothing can end would hold the test for good: it fails instead.
  const auto failIfStillWaiting = [](const std::atomic<bool>& returned) {
    for (int i = 0; i < 400 && !returned; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (returned) return;
    std::fprintf(stderr, "the box still waits after the request to end the program\n");
    std::_Exit(1);
  };

  // A person: Return, again now and then should one be missed; after some seconds, the end.
  std::atomic<bool> answered{false};
  std::thread person([&] {
    std::string id;
    if (boxWindow(id)) {
      for (int presses = 0; presses < 10 && !answered; ++presses) {
        Shell("timeout 10 xdotool windowfocus --sync " + id + "; xdotool key Return");
        for (int i = 0; i < 20 && !answered; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
    }
    if (answered) return;
    gui.RequestTermination();  // the box then answers No and the test fails
    failIfStillWaiting(answered);
  });
  EXPECT_EQ(gui.MessageBox(title, text, MessageBoxButtons::kYesNo), MessageBoxAnswer::kYes);
  answered = true;
  person.join();
  EXPECT_EQ(gui.ModalsClosed(), 1u);
  EXPECT_TRUE(Shell("xdotool search --onlyvisible --name '^No current World$' 2>/dev/null").empty());

  // The program is asked to end while the box waits for a person.
  std::atomic<bool> ended{false};
  std::thread ender([&] {
    std::string id;
    boxWindow(id);
    gui.RequestTermination();
    failIfStillWaiting(ended);
  });
  EXPECT_EQ(gui.MessageBox(title, text, MessageBoxButtons::kYesNo), MessageBoxAnswer::kNo);
  ended = true;
  ender.join();

  ASSERT_TRUE(gui.OpenMainWindow(500, 500, "Orelens", {true, false, false, true}));
  SDL_GLContext context = SDL_GL_CreateContext(gui.NativeWindow());
  ASSERT_NE(context, nullptr) << SDL_GetError();
  gui.CreateMenuBar(0, 0);
  gui.MenuTitle("File");
  gui.MenuItem(0, "Load Schematic");
  EXPECT_TRUE(PumpUntil([&] {
    gui.WindowEventNoWait();
    gui.DrawGuiLayer();
    SDL_GL_SwapWindow(gui.NativeWindow());
    return gui.FindDrawnControl("File").has_value();
  }));
  SDL_GL_DeleteContext(context);
}

}  // namespace
}  // namespace orelens::platform
