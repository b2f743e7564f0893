#include "viewer/main_menu.h"

#include <gtest/gtest.h>

#include "fixtures/world_writer.h"
#include "platform/gui/scripted_gui.h"
#include "viewer/menu_ids.h"

namespace orelens::viewer {
namespace {

TEST(MainMenuTest, EmptySaveFolderFallsBackToTheGameFolders) {
  platform::ScriptedGui gui;
  gui.OpenMainWindow(500, 500, "Orelens", {});
  fixtures::TempFolder temp;
  const std::string appData = temp.MakeFolder("appdata");
  fixtures::WorldWriter(appData + "Kelvane/Saved/WorldData/", "B").WriteMetadata(1, {});
  fixtures::WorldWriter(appData + "Kelvane/Saved/WorldData/", "A").WriteMetadata(1, {});
  world::Settings settings;
  settings.SaveDir = temp.MakeFolder("empty");
  world::WorldList worlds;
  CreateMainMenu(gui, settings, worlds, appData);
  EXPECT_EQ(settings.SaveDir, appData + "Kelvane/Saved/WorldData/");
  EXPECT_EQ(settings.InstaLoadDir, appData + "Kelvane/Saved/WorldData_InstaLoad/");
  ASSERT_EQ(worlds.size(), 2u);
  int worldItems = 0;
  for (const auto& item : gui.FindMenu(0)->tree.Items())
    if (item.id >= kMenuFirstWorld) {
      EXPECT_EQ(item.path, "World/Active World/" + worlds[static_cast<size_t>(item.id - kMenuFirstWorld)]);
      ++worldItems;
    }
  EXPECT_EQ(worldItems, 2);
}

TEST(MainMenuTest, CheckMarksFollowTheSettings) {
  platform::ScriptedGui gui;
  gui.OpenMainWindow(500, 500, "Orelens", {});
  fixtures::TempFolder temp;
  world::Settings settings;
  settings.SaveDir = temp.path();
  settings.ShadowMode = 5;
  settings.ViewDistance = 200;
  settings.VisibleChunkBorders = 0;
  settings.DrawBothNormals = 1;
  settings.DoNotShareModsBlocks = 0;
  world::WorldList worlds;
  CreateMainMenu(gui, settings, worlds, temp.path());
  EXPECT_TRUE(gui.GetMenuItemState(kMainMenu, kMenuShadowsNone));
  EXPECT_FALSE(gui.GetMenuItemState(kMainMenu, kMenuShadowsSimple));
  EXPECT_FALSE(gui.GetMenuItemState(kMainMenu, kMenuShadowsAdvanced));
  EXPECT_TRUE(gui.GetMenuItemState(kMainMenu, kMenuDistanceMedium));
  EXPECT_FALSE(gui.GetMenuItemState(kMainMenu, kMenuDistanceFar));
  EXPECT_FALSE(gui.GetMenuItemState(kMainMenu, kMenuDistanceShort));
  EXPECT_FALSE(gui.GetMenuItemState(kMainMenu, kMenuVisibleChunkBorders));
  EXPECT_TRUE(gui.GetMenuItemState(kMainMenu, kMenuDrawBothNormals));
  EXPECT_FALSE(gui.GetMenuItemState(kMainMenu, kMenuDoNotShareMods));

  SetDrawDistanceMarks(gui, 150);
  EXPECT_TRUE(gui.GetMenuItemState(kMainMenu, kMenuDistanceShort));
  EXPECT_FALSE(gui.GetMenuItemState(kMainMenu, kMenuDistanceMedium));
  SetShadowMarks(gui, 2);
  EXPECT_TRUE(gui.GetMenuItemState(kMainMenu, kMenuShadowsAdvanced));
  EXPECT_FALSE(gui.GetMenuItemState(kMainMenu, kMenuShadowsNone));
}

}  // namespace
}  // namespace orelens::viewer
