#include <gtest/gtest.h>

#include <filesystem>
#include <glm/glm.hpp>

#include "app/subsystem_wiring.h"
#include "fixtures/child_process.h"
#include "platform/engine3d/scene.h"
#include "platform/files/file.h"
#include "viewer/menu_ids.h"
#include "viewer/preferences.h"
#include "viewer/program_main.h"
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
                "Kelvane/Saved/WorldData_InstaLoad/\r\nSteamAppsDir = " + rig.temp.path() +
                "home/.local/share/Steam/steamapps/\r\n"
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
  EXPECT_EQ(rig.ctx().settings.ShadowMode, 0);  // and the view agrees: no shadows
  EXPECT_EQ(engine.GetScene().world.shadows.mode, 0);
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
                               "SteamAppsDir = " +
                               rig.temp.path() +
                               "home/.local/share/Steam/steamapps/\r\n"
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
  bundle.subsystems = app::BindSubsystemCalls();
  EXPECT_EQ(ProgramMain(bundle), 0);
  EXPECT_EQ(rig.gui.EventsLeft(), 0u);
  EXPECT_FALSE(rig.gui.IsWindow(0));
}

TEST(ProgramStartTest, CameraLightsSkyAndFogTakeTheirStartValues) {
  ViewerRig rig;
  rig.MakeWorld("Alpha", 5);  // the player at (4, 12, 4)
  rig.WritePreferences("Alpha", {"Shadows = 1"});
  ASSERT_TRUE(rig.StartPaused());
  const auto& scene = rig.engine().GetScene();
  const auto& world = scene.world;
  using platform::PackRgb;
  EXPECT_EQ(world.ambientRgb, PackRgb(200, 200, 220));
  EXPECT_EQ(world.sunRgb, PackRgb(255, 200, 150));
  EXPECT_EQ(world.sunPosition, glm::vec3(10, 800, 10));
  EXPECT_EQ(world.shadows.mode, 1);  // the stored "Simple" with the start's own values
  EXPECT_FLOAT_EQ(world.shadows.range, 30.0f);
  EXPECT_EQ(world.shadows.rgb, PackRgb(210, 205, 230));
  EXPECT_TRUE(world.fog.enabled);
  EXPECT_EQ(world.fog.rgb, PackRgb(30, 40, 40));
  EXPECT_FLOAT_EQ(world.fog.intensity, 1.0f);  // 2 is given; this engine's fog is full at 1
  EXPECT_FLOAT_EQ(world.fog.start, 32.0f);
  EXPECT_FLOAT_EQ(world.fog.end, 512.0f);
  EXPECT_NE(world.skyTextureKey, platform::kNoObject);
  EXPECT_FLOAT_EQ(world.skyTiling, 10.0f);
  EXPECT_FALSE(world.physics);
  EXPECT_FALSE(world.collisions);

  const auto& camera = scene.cameras[0];
  EXPECT_FLOAT_EQ(camera.fovDegrees, 50.0f);
  EXPECT_EQ(camera.backRgb, PackRgb(100, 156, 251));
  auto& engine = rig.engine();
  EXPECT_NEAR(engine.PBO_CameraDirectionX(0), 1.0f, 1e-5);  // looking at (X + 10, Y, Z)
  EXPECT_NEAR(engine.PBO_CameraDirectionY(0), 0.0f, 1e-5);
  // Light 0 keeps its provisional colour; both lights stand around the player.
  const platform::Light* sun = scene.lights.Find(0);
  const platform::Light* fill = scene.lights.Find(1);
  ASSERT_TRUE(sun && fill);
  EXPECT_EQ(sun->position, glm::vec3(4 - 100, 12 + 300, 4 - 200));
  EXPECT_EQ(sun->diffuse, PackRgb(250, 250, 230));
  EXPECT_EQ(fill->position, glm::vec3(4 + 300, 12 + 400, 4 + 200));
  EXPECT_EQ(fill->diffuse, PackRgb(205, 200, 155));
  ShutDown(rig.ctx());
}

TEST(ProgramStartTest, NarrowRenderHeightStartsOffWhateverItWas) {
  ViewerRig rig;
  rig.MakeWorld("Alpha", 4);
  rig.WritePreferences("Alpha");
  rig.beforeStartUp = [](ProgramContext& ctx) { ctx.settings.NarrowRenderHeight = 1; };
  ASSERT_TRUE(rig.StartPaused());
  EXPECT_EQ(rig.ctx().settings.NarrowRenderHeight.load(), 0);
  EXPECT_FALSE(rig.gui.GetMenuItemState(0, kMenuNarrowRenderHeight));
  ShutDown(rig.ctx());
}

TEST(ProgramStartTest, PreferencesHeldByAReaderStillStartTheProgram) {
  ViewerRig rig;
  rig.MakeWorld("Alpha", 4);
  rig.WritePreferences("Alpha", {"ViewDistance = 300"});
  {
    // Another program holds the file open for reading, so it cannot be opened for writing now.
    platform::File reader = platform::File::Open(rig.workingFolder + "prefs.ini", platform::FileMode::kRead);
    ASSERT_TRUE(reader.IsOpen());
    ASSERT_TRUE(rig.StartPaused());
    EXPECT_EQ(rig.messages(), "");
    EXPECT_EQ(rig.ctx().settings.ViewDistance.load(), 300);
    EXPECT_EQ(rig.ctx().settings.CurrentWorldName, "Alpha");
  }
  ShutDown(rig.ctx());  // writing is needed only now, and the file is free again
  EXPECT_EQ(rig.messages(), "");
}

// A prefs.ini the user may read but not write, or none in a folder the user cannot write to: the
// start says so and ends before the window opens, instead of starting a session that would end
// at its first save (a world switch, a view option that restarts the streaming).
TEST(ProgramStartTest, PreferencesThatCanNeverBeWrittenEndTheStartWithTheFileSystemError) {
  for (const bool fileThere : {true, false}) {
    SCOPED_TRACE(fileThere ? "read-only prefs.ini" : "no prefs.ini in a read-only folder");
    ViewerRig rig;
    rig.MakeWorld("Alpha", 4);
    const std::string prefs = rig.workingFolder + "prefs.ini";
    if (fileThere) rig.WritePreferences("Alpha");
    const auto before = fixtures::ReadFileBytes(prefs);
    fixtures::HandToUnprivilegedUser(rig.temp.path());
    if (fileThere) fs::permissions(prefs, fs::perms::owner_read);
    else fs::permissions(rig.workingFolder, fs::perms::owner_read | fs::perms::owner_exec);
    const std::optional<std::string> wrong = fixtures::RunInChild(
        [&]() -> std::string {
          if (rig.Start()) return "the program started";
          if (rig.messages() != std::string(kPreferencesErrorTitle) + "|" + std::string(kPreferencesErrorText) + "\n")
            return "not the one message expected: " + rig.messages();
          if (rig.gui.IsWindow(0)) return "the window opened";
          return "";
        },
        fixtures::DropPrivileges);
    EXPECT_EQ(wrong, std::optional<std::string>("")) << "no answer: the child could not drop its privileges or hung";
    EXPECT_EQ(fixtures::ReadFileBytes(prefs), before);
    EXPECT_EQ(fs::exists(prefs), fileThere);
    fs::permissions(rig.workingFolder, fs::perms::owner_all);
  }
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
    bundle.subsystems = app::BindSubsystemCalls();
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
