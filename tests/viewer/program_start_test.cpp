#include <gtest/gtest.h>

#include <filesystem>

#include "viewer/menu_ids.h"
#include "viewer/program_main.h"
#include "viewer/subsystem_wiring.h"
#include "viewer/viewer_test_rig.h"

namespace orelens::viewer {
namespace {

using testing::ViewerRig;
namespace fs = std::filesystem;

TEST(ProgramStartTest, MissingPreferencesFileIsCreatedAndDefaultsApply) {
  ViewerRig rig;
  ASSERT_TRUE(rig.StartPaused());
  EXPECT_TRUE(fs::exists(rig.workingFolder + "prefs.ini"));
  EXPECT_EQ(rig.ctx().settings.CurrentWorldName, "My Great World");
  EXPECT_EQ(rig.ctx().settings.ViewDistance.load(), 150);
  // No world there: the start goes on after saying so.
  std::string shown;
  for (const auto& box : rig.gui.MessageBoxes()) shown += box.title + "|" + box.text + "\n";
  EXPECT_NE(shown.find("No current World|There ist no current world selected. Please select a world from "
                                "the list."),
            std::string::npos);
  EXPECT_TRUE(rig.gui.IsWindow(0));
  EXPECT_EQ(rig.gui.WindowTitle(0), "Orelens");
  ShutDown(rig.ctx());

  // The first save writes all ten keys in their order; the game folders are the defaults.
  const std::string appData = rig.temp.path() + "home/.local/share/";
  const auto bytes = fixtures::ReadFileBytes(rig.workingFolder + "prefs.ini");
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
            "\xEF\xBB\xBF\r\nLastWorld = My Great World\r\nSaveDir = " + appData +
                "Kelvane/Saved/WorldData/\r\nInstaLoadDir = " + appData +
                "Kelvane/Saved/WorldData_InstaLoad/\r\nSteamAppsDir = C:/Program Files (x86)/Steam/steamapps/\r\n"
                "VisibleChunkBorders = 0\r\nNarrowRenderHeight = 0\r\nViewDistance = 150\r\n"
                "DrawBothNormals = 1\r\nShadows = 0\r\nDo not share custom Blocks in mods directory = 1\r\n");
}

TEST(ProgramStartTest, UnreadablePreferencesEndTheStartBeforeTheWindowOpens) {
  ViewerRig rig;
  fs::create_directory(rig.workingFolder + "prefs.ini");  // a folder of that name cannot be opened
  EXPECT_FALSE(rig.Start());
  EXPECT_EQ(rig.messages(),
            "FileSystem Error|Could not create or read preferences file, please make sure the current user has write "
            "permission to the application directory!\n");
  EXPECT_FALSE(rig.gui.IsWindow(0));
}

TEST(ProgramStartTest, MissingResourceFolderEndsTheStart) {
  ViewerRig rig;
  fs::remove_all(rig.workingFolder + "Textures");
  EXPECT_FALSE(rig.Start());
  EXPECT_EQ(rig.messages(), "Missing ressources|Meshes and textures could not be located!!\n");
  EXPECT_FALSE(rig.gui.IsWindow(0));
}

TEST(ProgramStartTest, GoodWorldStartsQuietlyWithCameraOnThePlayerAndMenusFromTheSettings) {
  ViewerRig rig;
  rig.MakeWorld("Alpha", 5);
  rig.WritePreferences("Alpha", {"ViewDistance = 200", "Shadows = 5", "NarrowRenderHeight = 1",
                                 "VisibleChunkBorders = 1"});
  ASSERT_TRUE(rig.StartPaused());
  EXPECT_EQ(rig.messages(), "");
  auto& engine = rig.engine();
  EXPECT_FLOAT_EQ(engine.PBO_CameraX(0), 4.0f);
  EXPECT_FLOAT_EQ(engine.PBO_CameraY(0), 12.0f);
  EXPECT_FLOAT_EQ(engine.PBO_CameraZ(0), 4.0f);
  EXPECT_TRUE(engine.PBO_IsLight(0));
  EXPECT_TRUE(engine.PBO_IsLight(1));
  EXPECT_TRUE(engine.IsSprite(0));
  EXPECT_TRUE(engine.PBO_IsMaterial(1010));
  EXPECT_TRUE(engine.PBO_IsMaterial(65));
  EXPECT_FALSE(engine.PBO_IsMaterial(66));  // custom blocks have no number label
  for (int entity = 1003; entity <= 1008; ++entity) EXPECT_TRUE(engine.PBO_IsEntity(entity));

  // A stored NarrowRenderHeight of 1 has no effect; 200 checks "Medium", shadow mode 5 "None".
  EXPECT_EQ(rig.ctx().settings.NarrowRenderHeight.load(), 0);
  EXPECT_FALSE(rig.gui.GetMenuItemState(0, kMenuNarrowRenderHeight));
  EXPECT_TRUE(rig.gui.GetMenuItemState(0, kMenuDistanceMedium));
  EXPECT_FALSE(rig.gui.GetMenuItemState(0, kMenuDistanceFar));
  EXPECT_FALSE(rig.gui.GetMenuItemState(0, kMenuDistanceShort));
  EXPECT_TRUE(rig.gui.GetMenuItemState(0, kMenuShadowsNone));
  EXPECT_TRUE(rig.gui.GetMenuItemState(0, kMenuVisibleChunkBorders));
  EXPECT_TRUE(rig.gui.GetMenuItemState(0, kMenuDrawBothNormals));
  EXPECT_TRUE(rig.gui.GetMenuItemState(0, kMenuDoNotShareMods));
  // The import window is hidden once the custom blocks are in.
  EXPECT_TRUE(rig.gui.IsWindowHidden(10));
  ShutDown(rig.ctx());
}

TEST(ProgramStartTest, ShutdownSavesTheSettingsIntoTheFileKeepingItsKeyOrder) {
  ViewerRig rig;
  rig.MakeWorld("Alpha", 4);
  rig.WritePreferences("Alpha", {"Shadows = 2", "ViewDistance = 600"});
  ASSERT_TRUE(rig.StartPaused());
  rig.ctx().settings.CurrentWorldName = "Beta";
  ShutDown(rig.ctx());
  const auto bytes = fixtures::ReadFileBytes(rig.workingFolder + "prefs.ini");
  const std::string expected = "\xEF\xBB\xBF\r\nLastWorld = Beta\r\nSaveDir = " + rig.saveFolder +
                               "\r\nInstaLoadDir = " + rig.workingFolder +
                               "instaload/\r\nShadows = 2\r\nViewDistance = 600\r\n"
                               "SteamAppsDir = C:/Program Files (x86)/Steam/steamapps/\r\n"
                               "VisibleChunkBorders = 0\r\nNarrowRenderHeight = 0\r\n"
                               "DrawBothNormals = 1\r\nDo not share custom Blocks in mods directory = 1\r\n";
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), expected);
  EXPECT_FALSE(rig.gui.IsWindow(0));
}

TEST(ProgramStartTest, ProgramMainRunsUntilTheWindowIsClosedAndReturnsZero) {
  ViewerRig rig;
  rig.MakeWorld("Alpha", 4);
  rig.WritePreferences("Alpha");
  rig.gui.QueueNoEvent(5);
  rig.gui.QueueCloseEvent(0);
  PlatformBundle bundle(rig.gui, rig.input, rig.engine(), rig.libraries);
  bundle.workingFolder = rig.workingFolder;
  bundle.environment.homeFolder = rig.temp.MakeFolder("home2");
  bundle.subsystems = BindSubsystemCalls();
  EXPECT_EQ(ProgramMain(bundle), 0);
  EXPECT_EQ(rig.gui.EventsLeft(), 0u);
  EXPECT_FALSE(rig.gui.IsWindow(0));
}

// A termination signal ends the program as Quit does, also from inside the About window's wait
// and a question box: the box gets its harmless answer, the preferences are saved.
TEST(ProgramStartTest, TerminationRequestEndsTheProgramLikeQuitFromAnyWait) {
  for (const bool fromAbout : {true, false}) {
    SCOPED_TRACE(fromAbout ? "About window" : "question box");
    ViewerRig rig;
    rig.MakeWorld("Alpha", 4);
    rig.WritePreferences("Alpha");
    const std::string metadata = rig.saveFolder + "Alpha/WorldMetadata1.important";
    const auto metadataBefore = fixtures::ReadFileBytes(metadata);
    rig.gui.QueueNoEvent(3);
    rig.gui.QueueEvent({platform::kEventMenu, 0, kMenuDistanceFar});
    if (fromAbout) {
      rig.gui.QueueEvent({platform::kEventMenu, 0, kMenuAbout});
      rig.gui.SetWaitHandler([](platform::ScriptedGui& gui) {
        gui.RequestTermination();
        return platform::WindowEvent{};
      });
    } else {
      rig.gui.QueueYesNoAnswer(true);  // a person would say Yes; the ending program says No
      rig.gui.QueueNoEvent(2);
      rig.gui.QueueEvent({platform::kEventMenu, 0, kMenuSetPlayerPosition});
      // The signal comes in the pass that takes the menu choice.
      rig.gui.SetPollHook([](platform::ScriptedGui& gui) {
        if (gui.EventsLeft() == 1) gui.RequestTermination();
      });
    }
    PlatformBundle bundle(rig.gui, rig.input, rig.engine(), rig.libraries);
    bundle.workingFolder = rig.workingFolder;
    bundle.environment.homeFolder = rig.temp.MakeFolder("home2");
    bundle.subsystems = BindSubsystemCalls();
    EXPECT_EQ(ProgramMain(bundle), 0);
    EXPECT_FALSE(rig.gui.IsWindow(0));

    const auto prefs = fixtures::ReadFileBytes(rig.workingFolder + "prefs.ini");
    EXPECT_NE(std::string(prefs.begin(), prefs.end()).find("ViewDistance = 600\r\n"), std::string::npos);
    EXPECT_EQ(fixtures::ReadFileBytes(metadata), metadataBefore);
    if (!fromAbout) {
      const auto boxes = rig.gui.MessageBoxes();
      ASSERT_FALSE(boxes.empty());
      EXPECT_EQ(boxes.back().title, "Info");
      EXPECT_EQ(boxes.back().buttons, platform::MessageBoxButtons::kYesNo);
      EXPECT_EQ(boxes.back().answer, platform::MessageBoxAnswer::kNo);
    }
  }
}

}  // namespace
}  // namespace orelens::viewer
