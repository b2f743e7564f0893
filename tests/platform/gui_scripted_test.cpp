#include <gtest/gtest.h>

#include <thread>

#include "platform/gui/scripted_gui.h"

namespace orelens::platform {
namespace {

TEST(ScriptedGuiTest, EventsComeInOrderOnePerCall) {
  ScriptedGui gui;
  gui.QueueMenuEvent(13);
  gui.QueueNoEvent();
  gui.QueueCloseEvent();
  EXPECT_EQ(gui.WindowEventNoWait().item, 13);
  EXPECT_EQ(gui.WindowEventNoWait().type, kEventNone);
  const WindowEvent close = gui.WindowEventNoWait();
  EXPECT_EQ(close.type, kEventCloseWindow);
  EXPECT_EQ(close.window, 0);
  EXPECT_EQ(gui.WindowEventNoWait().type, kEventNone);
  EXPECT_EQ(gui.NoWaitCalls(), 4);
}

TEST(ScriptedGuiTest, HandlePendingEventsDrainsUpToAPlaceholder) {
  ScriptedGui gui;
  gui.QueueMenuEvent(1);
  gui.QueueMenuEvent(2);
  gui.QueueNoEvent();
  gui.QueueMenuEvent(3);
  gui.HandlePendingEvents();
  EXPECT_EQ(gui.EventsLeft(), 1u);
  EXPECT_EQ(gui.WindowEventNoWait().item, 3);
}

TEST(ScriptedGuiTest, WaitSkipsPlaceholdersAndFailsLoudlyWhenTheScriptEnds) {
  ScriptedGui gui;
  gui.QueueNoEvent(3);
  gui.QueueMenuEvent(93);
  EXPECT_EQ(gui.WaitWindowEvent().item, 93);
  EXPECT_THROW(gui.WaitWindowEvent(), ScriptExhausted);

  int asked = 0;
  gui.SetWaitHandler([&](ScriptedGui& g) {
    ++asked;
    g.QueueMenuEvent(7);
    return WindowEvent{};
  });
  EXPECT_EQ(gui.WaitWindowEvent().item, 7);
  EXPECT_EQ(asked, 1);
}

TEST(ScriptedGuiTest, ButtonClickFindsTheDynamicButtonByText) {
  ScriptedGui gui;
  gui.QueueButtonClick("Close");
  const int about = gui.OpenWindow(-1, 0, 0, 600, 350, "About", {false, true, true, false});
  gui.TextGadget(-1, 10, 10, 580, 35, "Orelens", true);
  const int close = gui.ButtonGadget(-1, 250, 315, 100, 25, "Close");
  const WindowEvent event = gui.WaitWindowEvent();
  EXPECT_EQ(event.type, kEventGadget);
  EXPECT_EQ(event.item, close);
  EXPECT_EQ(event.window, about);
}

TEST(ScriptedGuiTest, WindowsAndGadgetsAreKept) {
  ScriptedGui gui(1920, 1000);
  ASSERT_TRUE(gui.OpenMainWindow(500, 500, "Orelens", {true, false, false, true}));
  EXPECT_EQ(gui.WindowInnerWidth(0), 1920);
  EXPECT_EQ(gui.WindowInnerHeight(0), 1000);

  EXPECT_EQ(gui.OpenWindow(10, 0, 0, 700, 600, "Importing custom blocks...", {false, true, true, false}), 10);
  EXPECT_EQ(gui.ProgressBarGadget(100, 10, 200, 680, 20, 0, 100), 100);
  EXPECT_EQ(gui.ProgressBarGadget(101, 10, 230, 680, 20, 0, 100), 101);
  EXPECT_EQ(gui.TextGadget(102, 10, 260, 680, 50, "Importing", false), 102);
  gui.SetProgressMarquee(101, true);
  gui.SetGadgetState(100, 150);
  EXPECT_EQ(gui.GetGadgetState(100), 100);
  gui.SetGadgetState(100, -5);
  EXPECT_EQ(gui.GetGadgetState(100), 0);
  gui.SetGadgetText(102, "Last Added 'x'\n\rFound 1");
  EXPECT_EQ(gui.GetGadgetText(102), "Last Added 'x'\n\rFound 1");
  EXPECT_TRUE(gui.FindGadget(101)->marquee);
  EXPECT_EQ(gui.FindGadget(102)->window, 10);
  EXPECT_EQ(gui.GadgetsOf(10), (std::vector<int>{100, 101, 102}));

  gui.HideWindow(10, true);
  EXPECT_TRUE(gui.IsWindowHidden(10));
  EXPECT_EQ(gui.WindowTitle(10), "Importing custom blocks...");

  const int dynamic = gui.OpenWindow(-1, 0, 0, 400, 200, "Saving Kelvane Schematic...", {true, true, true, false});
  EXPECT_GE(dynamic, 1000);
  const int bar = gui.ProgressBarGadget(-1, 10, 10, 380, 15, 0, 100);
  EXPECT_EQ(gui.FindGadget(bar)->window, dynamic);
  gui.CloseWindow(dynamic);
  EXPECT_FALSE(gui.IsWindow(dynamic));
  EXPECT_FALSE(gui.IsGadget(bar));
  EXPECT_TRUE(gui.IsGadget(100));
}

TEST(ScriptedGuiTest, CallsOnMissingObjectsDoNothing) {
  ScriptedGui gui;
  EXPECT_EQ(gui.ButtonGadget(-1, 0, 0, 10, 10, "no window yet"), -1);
  gui.SetGadgetState(55, 3);
  gui.SetGadgetText(55, "x");
  gui.HideWindow(4, true);
  gui.CloseWindow(4);
  gui.MenuItem(1, "no bar");
  gui.SetMenuItemState(0, 1, true);
  EXPECT_FALSE(gui.GetMenuItemState(0, 1));
  EXPECT_EQ(gui.GetGadgetText(55), "");
  EXPECT_EQ(gui.WindowInnerWidth(4), 0);
  EXPECT_EQ(gui.OpenWindow(-7, 0, 0, 1, 1, "", {}), -1);
}

TEST(ScriptedGuiTest, MenuBarKeepsStructureAndCheckMarks) {
  ScriptedGui gui;
  gui.OpenMainWindow(500, 500, "Orelens", {});
  gui.CloseSubMenu();  // nothing open: ignored
  gui.MenuItem(5, "before any bar");
  ASSERT_TRUE(gui.CreateMenuBar(0, 0));
  gui.MenuItem(6, "before any title");
  gui.MenuTitle("Visuals");
  gui.OpenSubMenu("Shadows");
  gui.MenuItem(17, "None");
  gui.MenuItem(18, "Simple");
  gui.CloseSubMenu();
  gui.CloseSubMenu();  // one too many: stays in the title
  gui.MenuItem(16, "Make world Surface visible from inside blocks");
  gui.MenuTitle("World");
  gui.OpenSubMenu("Active World");
  gui.MenuItem(100, "First");

  gui.SetMenuItemState(0, 18, true);
  EXPECT_TRUE(gui.GetMenuItemState(0, 18));
  EXPECT_FALSE(gui.GetMenuItemState(0, 17));
  gui.SetMenuItemState(0, 18, false);
  EXPECT_FALSE(gui.GetMenuItemState(0, 18));

  const auto items = gui.FindMenu(0)->tree.Items();
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0].path, "Visuals/Shadows/None");
  EXPECT_EQ(items[2].path, "Visuals/Make world Surface visible from inside blocks");
  EXPECT_EQ(items[3].path, "World/Active World/First");
  EXPECT_EQ(items[3].id, 100);
}

TEST(ScriptedGuiTest, MessageBoxesAndRequestersFollowTheScript) {
  ScriptedGui gui;
  EXPECT_EQ(gui.MessageBox("Error", "LZ4 couldn't be opened"), MessageBoxAnswer::kOk);
  gui.QueueYesNoAnswer(true);
  EXPECT_EQ(gui.MessageBox("Info", "Do it?", MessageBoxButtons::kYesNo), MessageBoxAnswer::kYes);
  EXPECT_EQ(gui.MessageBox("Info", "Again?", MessageBoxButtons::kYesNo), MessageBoxAnswer::kNo);
  gui.SetDefaultYesNoAnswer(true);
  EXPECT_EQ(gui.MessageBox("Info", "Again?", MessageBoxButtons::kYesNo), MessageBoxAnswer::kYes);
  const auto boxes = gui.MessageBoxes();
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_EQ(boxes[0].title, "Error");
  EXPECT_EQ(boxes[1].answer, MessageBoxAnswer::kYes);
  EXPECT_EQ(boxes[2].buttons, MessageBoxButtons::kYesNo);

  gui.QueueFileAnswer("/tmp/castle.KvSch");
  EXPECT_EQ(gui.OpenFileRequester("Choose a schematic file", "", "A|*.a", 0), "/tmp/castle.KvSch");
  EXPECT_EQ(gui.SaveFileRequester("Choose a File to save to", "", "Kelvane Schematic | *.KvSch", 0), "");
  ASSERT_EQ(gui.Requesters().size(), 2u);
  EXPECT_FALSE(gui.Requesters()[0].save);
  EXPECT_TRUE(gui.Requesters()[1].save);
  EXPECT_EQ(gui.Requesters()[1].pattern, "Kelvane Schematic | *.KvSch");
}

TEST(ScriptedGuiTest, ThreadedMessageBoxesAreAllRecorded) {
  ScriptedGui gui;
  std::vector<std::thread> loaders;
  for (int i = 0; i < 8; ++i) {
    loaders.emplace_back([&gui] {
      for (int n = 0; n < 50; ++n) gui.MessageBox("Error", "LZ4 couldn't be opened");
    });
  }
  for (auto& loader : loaders) loader.join();
  const auto boxes = gui.MessageBoxes();
  ASSERT_EQ(boxes.size(), 400u);
  for (const auto& box : boxes) EXPECT_NE(box.thread, std::this_thread::get_id());
}

}  // namespace
}  // namespace orelens::platform
