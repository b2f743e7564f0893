#include "viewer/about_window.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "platform/gui/scripted_gui.h"

namespace orelens::viewer {
namespace {

TEST(AboutWindowTest, ShowsTitleVersionCreditsAndWaitsForCloseDroppingOtherEvents) {
  platform::ScriptedGui gui;
  gui.OpenMainWindow(500, 500, "Orelens", {});
  gui.QueueMenuEvent(2);  // "Quit" while the About window is open: dropped
  gui.QueueCloseEvent(0);
  int aboutWindow = -1;
  gui.SetWaitHandler([&](platform::ScriptedGui& g) {
    // Everything the window shows is there while it waits.
    for (int window : g.WindowNumbers())
      if (window != 0) aboutWindow = window;
    g.QueueButtonClick("Close");
    return g.WaitWindowEvent();
  });

  ShowAboutWindow(gui);

  ASSERT_GT(aboutWindow, 0);
  EXPECT_FALSE(gui.IsWindow(aboutWindow));
  EXPECT_EQ(gui.EventsLeft(), 0u);
}

TEST(AboutWindowTest, LayoutAndFontsAsDesigned) {
  platform::ScriptedGui gui;
  gui.OpenMainWindow(500, 500, "Orelens", {});
  std::optional<platform::WindowRecord> seen;
  std::vector<platform::GadgetRecord> gadgets;
  gui.SetWaitHandler([&](platform::ScriptedGui& g) {
    for (int window : g.WindowNumbers()) {
      if (window == 0) continue;
      seen = *g.FindWindow(window);
      for (int gadget : g.GadgetsOf(window)) gadgets.push_back(*g.FindGadget(gadget));
    }
    g.QueueButtonClick("Close");
    return g.WaitWindowEvent();
  });
  ShowAboutWindow(gui);

  ASSERT_TRUE(seen.has_value());
  EXPECT_EQ(seen->title, "About Orelens - The 3d Kelvane world chunk extractor.");
  EXPECT_EQ(seen->innerWidth, 600);
  EXPECT_EQ(seen->innerHeight, 350);
  EXPECT_TRUE(seen->style.toolWindow);
  EXPECT_TRUE(seen->style.keptAbove);
  ASSERT_EQ(gadgets.size(), 4u);
  EXPECT_EQ(gadgets[0].text, "Orelens");
  EXPECT_EQ(gadgets[0].font, 10);
  EXPECT_TRUE(gadgets[0].centred);
  EXPECT_EQ(gadgets[1].text, "Version 1.0.6");
  EXPECT_EQ(gadgets[1].font, 11);
  EXPECT_EQ(gadgets[1].y, 40);
  EXPECT_EQ(gadgets[2].font, 12);
  EXPECT_EQ(gadgets[2].height, 250);
  EXPECT_NE(gadgets[2].text.find("since 2020"), std::string::npos);
  EXPECT_NE(gadgets[2].text.find("\n\r\n\r"), std::string::npos);
  EXPECT_EQ(gadgets[3].kind, platform::GadgetRecord::Kind::kButton);
  EXPECT_EQ(gadgets[3].text, "Close");
  EXPECT_EQ(gadgets[3].x, 250);
  EXPECT_EQ(gadgets[3].y, 315);
}

}  // namespace
}  // namespace orelens::viewer
