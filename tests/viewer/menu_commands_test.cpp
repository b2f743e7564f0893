#include "viewer/menu_commands.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <utility>
#include <vector>

#include "fixtures/schematic_writer.h"
#include "platform/engine3d/scene.h"
#include "viewer/main_menu.h"
#include "viewer/menu_ids.h"
#include "viewer/program_main.h"
#include "viewer/selection_cube.h"
#include "viewer/viewer_test_rig.h"

namespace orelens::viewer {
namespace {

using testing::ViewerRig;

class MenuCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rig.MakeWorld("Alpha", 5);
    rig.MakeWorld("Beta", 6);
    rig.MakeWorld("Tiny", 3);  // 9 chunks: too few to be worth loading
    rig.WritePreferences("Alpha");
    ASSERT_TRUE(rig.StartPaused());
  }
  void TearDown() override { ShutDown(rig.ctx()); }

  int WorldItem(const std::string& name) {
    const auto& worlds = rig.ctx().worlds;
    for (size_t i = 0; i < worlds.size(); ++i)
      if (worlds[i] == name) return kMenuFirstWorld + static_cast<int>(i);
    return -1;
  }

  ViewerRig rig;
};

TEST_F(MenuCommandsTest, MenuBarHoldsEveryItemInOrderWithWorldsNumberedByListPosition) {
  const platform::MenuRecord* menu = rig.gui.FindMenu(0);
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(rig.ctx().worlds.size(), 3u);
  std::vector<std::pair<std::string, int>> expected = {
      {"File/Load Schematic", 0},
      {"File/Save Schematic Cube", 1},
      {"File/Clear all chunks except/Add a marker area", 20},
      {"File/Clear all chunks except/Remove all markers", 21},
      {"File/Clear all chunks except/Delete all unmarked chunks", 22},
      {"File/Clear all chunks except/Delete all marked chunks", 23},
      {"File/Do not share information about my mods directoy (Only sync workshop blocks).", 24},
      {"File/Quit", 2}};
  for (size_t i = 0; i < rig.ctx().worlds.size(); ++i)
    expected.emplace_back("World/Active World/" + rig.ctx().worlds[i], 100 + static_cast<int>(i));
  expected.insert(expected.end(), {{"World/Set Playerposition", 11},
                                   {"Visuals/Visible Chunkborders", 10},
                                   {"Visuals/Narrow Render Height", 12},
                                   {"Visuals/Shadows/None", 17},
                                   {"Visuals/Shadows/Simple", 18},
                                   {"Visuals/Shadows/Advanced", 19},
                                   {"Visuals/Make world Surface visible from inside blocks", 16},
                                   {"Visuals/Draw distance/Far", 13},
                                   {"Visuals/Draw distance/Medium", 14},
                                   {"Visuals/Draw distance/Short", 15},
                                   {"Help/Open Quickstart (website)", 90},
                                   {"Help/Download most recent Version", 91},
                                   {"Help/View all currently known custom blocks", 92},
                                   {"Help/About", 93}});
  std::vector<std::pair<std::string, int>> actual;
  for (const auto& item : menu->tree.Items()) actual.emplace_back(item.path, item.id);
  EXPECT_EQ(actual, expected);
}

TEST_F(MenuCommandsTest, DrawDistanceAndShadowItemsKeepExactlyOneMark) {
  auto& gui = rig.gui;
  HandleMenuEvent(rig.ctx(), kMenuDistanceMedium);
  EXPECT_EQ(rig.ctx().settings.ViewDistance.load(), 300);
  EXPECT_TRUE(gui.GetMenuItemState(0, kMenuDistanceMedium));
  EXPECT_FALSE(gui.GetMenuItemState(0, kMenuDistanceFar));
  EXPECT_FALSE(gui.GetMenuItemState(0, kMenuDistanceShort));
  HandleMenuEvent(rig.ctx(), kMenuDistanceFar);
  EXPECT_EQ(rig.ctx().settings.ViewDistance.load(), 600);
  EXPECT_TRUE(gui.GetMenuItemState(0, kMenuDistanceFar));
  EXPECT_FALSE(gui.GetMenuItemState(0, kMenuDistanceMedium));

  HandleMenuEvent(rig.ctx(), kMenuShadowsAdvanced);
  EXPECT_EQ(rig.ctx().settings.ShadowMode, 2);
  EXPECT_TRUE(gui.GetMenuItemState(0, kMenuShadowsAdvanced));
  EXPECT_FALSE(gui.GetMenuItemState(0, kMenuShadowsNone));
  HandleMenuEvent(rig.ctx(), kMenuShadowsSimple);
  EXPECT_EQ(rig.ctx().settings.ShadowMode, 1);
  EXPECT_TRUE(gui.GetMenuItemState(0, kMenuShadowsSimple));
  EXPECT_FALSE(gui.GetMenuItemState(0, kMenuShadowsAdvanced));
  // A restart saves the preferences: the file already holds the new shadow mode.
  const auto bytes = fixtures::ReadFileBytes(rig.workingFolder + "prefs.ini");
  EXPECT_NE(std::string(bytes.begin(), bytes.end()).find("Shadows = 1\r\n"), std::string::npos);
}

TEST_F(MenuCommandsTest, TogglesFlipTheirSettingAndMarkTwiceRestoresBoth) {
  auto& settings = rig.ctx().settings;
  auto& gui = rig.gui;
  HandleMenuEvent(rig.ctx(), kMenuDoNotShareMods);
  EXPECT_EQ(settings.DoNotShareModsBlocks, 0);
  EXPECT_FALSE(gui.GetMenuItemState(0, kMenuDoNotShareMods));
  HandleMenuEvent(rig.ctx(), kMenuDoNotShareMods);
  EXPECT_EQ(settings.DoNotShareModsBlocks, 1);
  EXPECT_TRUE(gui.GetMenuItemState(0, kMenuDoNotShareMods));

  HandleMenuEvent(rig.ctx(), kMenuNarrowRenderHeight);
  EXPECT_EQ(settings.NarrowRenderHeight.load(), 1);
  EXPECT_TRUE(gui.GetMenuItemState(0, kMenuNarrowRenderHeight));

  const int borders = settings.VisibleChunkBorders;
  HandleMenuEvent(rig.ctx(), kMenuVisibleChunkBorders);
  EXPECT_EQ(settings.VisibleChunkBorders, borders ? 0 : 1);
  EXPECT_EQ(gui.GetMenuItemState(0, kMenuVisibleChunkBorders), settings.VisibleChunkBorders != 0);

  // Both-sides drawing off: plain block materials cull back faces, kind-2 plants keep both sides.
  HandleMenuEvent(rig.ctx(), kMenuDrawBothNormals);
  EXPECT_EQ(settings.DrawBothNormals, 0);
  EXPECT_FALSE(gui.GetMenuItemState(0, kMenuDrawBothNormals));
  const auto& scene = rig.engine().GetScene();
  const auto& definitions = rig.ctx().Definitions();
  auto culling = [&](int material) { return scene.materials.Find(material)->culling; };
  EXPECT_EQ(culling(definitions[1].faceMaterials[0]), platform::kCullBack);   // stone
  EXPECT_EQ(culling(definitions[36].faceMaterials[0]), platform::kCullNone);  // tall grass
  EXPECT_EQ(culling(999), platform::kCullBack);
  HandleMenuEvent(rig.ctx(), kMenuDrawBothNormals);
  EXPECT_EQ(culling(definitions[1].faceMaterials[0]), platform::kCullNone);
  EXPECT_EQ(culling(999), platform::kCullNone);

  HandleMenuEvent(rig.ctx(), kMenuDeleteUnmarkedChunks);  // stands in the menu without an action
  HandleMenuEvent(rig.ctx(), 57);                         // an id no item has
  EXPECT_EQ(rig.messages(), "");
  HandleMenuEvent(rig.ctx(), kMenuQuit);
  EXPECT_TRUE(rig.ctx().QuitRequested());
}

TEST_F(MenuCommandsTest, WorldSwitchReadsTheNewWorldAndSameWorldDoesNothing) {
  HandleMenuEvent(rig.ctx(), WorldItem("Alpha"));
  EXPECT_EQ(rig.messages(), "");
  EXPECT_EQ(rig.ctx().store.WorldChunkMap.size(), 25u);

  HandleMenuEvent(rig.ctx(), WorldItem("Beta"));
  EXPECT_EQ(rig.ctx().settings.CurrentWorldName, "Beta");
  EXPECT_EQ(rig.ctx().store.WorldChunkMap.size(), 36u);
  EXPECT_EQ(rig.messages(), "");
  // The preferences were saved by the stop of the loaders: "LastWorld" names the new world.
  auto bytes = fixtures::ReadFileBytes(rig.workingFolder + "prefs.ini");
  EXPECT_NE(std::string(bytes.begin(), bytes.end()).find("LastWorld = Beta\r\n"), std::string::npos);

  HandleMenuEvent(rig.ctx(), WorldItem("Tiny"));
  EXPECT_EQ(rig.messages(), "Something is wrong|This world doesn't seem to have enough chunks to be worth loading... (<10)\n");
  EXPECT_EQ(rig.ctx().settings.CurrentWorldName, "Tiny");
  EXPECT_EQ(rig.ctx().store.WorldChunkMap.size(), 9u);
  EXPECT_FLOAT_EQ(rig.engine().PBO_CameraY(0), 12.0f);

  HandleMenuEvent(rig.ctx(), kMenuFirstWorld + 17);  // no such world
  EXPECT_EQ(rig.ctx().settings.CurrentWorldName, "Tiny");
}

TEST_F(MenuCommandsTest, ShadowItemsPassTheirOwnValuesAndAlwaysRestartStreaming) {
  const auto& shadows = rig.engine().GetScene().world.shadows;
  auto& streaming = rig.ctx().Streaming();
  auto markLoaded = [&] {
    std::lock_guard lock(rig.ctx().store.LoadedChunkMapMutex);
    streaming.LoadedChunks()["1000,1000"] = {1000, 1000, 3};
  };
  auto stillLoaded = [&] {
    std::lock_guard lock(rig.ctx().store.LoadedChunkMapMutex);
    return streaming.LoadedChunks().contains("1000,1000");
  };
  using platform::PackRgb;
  HandleMenuEvent(rig.ctx(), kMenuShadowsAdvanced);
  EXPECT_EQ(shadows.mode, 2);
  EXPECT_FLOAT_EQ(shadows.range, 25.0f);
  EXPECT_EQ(shadows.rgb, PackRgb(10, 10, 30));
  EXPECT_EQ(shadows.mapSize, 256);
  HandleMenuEvent(rig.ctx(), kMenuShadowsSimple);
  EXPECT_EQ(shadows.mode, 1);
  EXPECT_FLOAT_EQ(shadows.range, 30.0f);
  EXPECT_EQ(shadows.rgb, PackRgb(150, 150, 170));
  HandleMenuEvent(rig.ctx(), kMenuShadowsNone);
  EXPECT_EQ(shadows.mode, 0);
  EXPECT_EQ(shadows.rgb, 0);
  EXPECT_EQ(shadows.mapSize, 0);
  for (int item : {kMenuShadowsNone, kMenuShadowsSimple, kMenuShadowsSimple, kMenuShadowsAdvanced}) {
    markLoaded();
    HandleMenuEvent(rig.ctx(), item);  // chosen again too: the chunks are loaded anew
    EXPECT_FALSE(stillLoaded()) << item;
  }
}

TEST_F(MenuCommandsTest, LoadSchematicPlacesTheBoxInFrontOfTheCamera) {
  const std::string file = rig.workingFolder + "wall.kvSch";
  fixtures::WriteSchematicFile(file, fixtures::SchematicSpec::Filled(4, 2, 10, 1));  // x 4, z 2, height 10
  auto& engine = rig.engine();
  engine.PBO_MoveCamera2(0, 10.3f, 20.2f, 30.7f, 0);
  engine.PBO_CameraLookAt(0, 13.3f, 21.4f, 34.7f);  // direction (3, 1.2, 4) / 5.142
  rig.gui.QueueFileAnswer(file);
  HandleMenuEvent(rig.ctx(), kMenuLoadSchematic);
  ASSERT_EQ(rig.ctx().nav.InteractionMode, kModeInsertSchematic);
  // At the camera rounded up (11, 21, 31), moved by the direction times the size (x, height / 3,
  // z) to (13.33, 21.78, 32.56), rounded up again less the half size minus half a block.
  EXPECT_FLOAT_EQ(engine.PBO_NodeX(1001), 14 - 0.75f);
  EXPECT_FLOAT_EQ(engine.PBO_NodeY(1001), 22 - 2.25f);
  EXPECT_FLOAT_EQ(engine.PBO_NodeZ(1001), 33 - 0.25f);
  const auto& placement = rig.ctx().InsertPlacement();
  EXPECT_EQ(placement.sizeX, 4);
  EXPECT_EQ(placement.sizeHeight, 10);
  EXPECT_EQ(placement.sizeZ, 2);
  EXPECT_FLOAT_EQ(placement.originX, 12.5f);
  EXPECT_FLOAT_EQ(placement.originY, 17.5f);
  EXPECT_FLOAT_EQ(placement.originZ, 32.5f);
  const CubeSize size = SelectionCubeSize(engine);
  EXPECT_FLOAT_EQ(size.x, 4.01f);
  EXPECT_FLOAT_EQ(size.y, 10.01f);
  EXPECT_FLOAT_EQ(size.z, 2.01f);
  EXPECT_FALSE(engine.GetScene().entities.Find(1003)->hidden);
  EXPECT_EQ(rig.ctx().loop.PreviewRebuildPending, 1);
  EXPECT_EQ(engine.GetScene().world.shadows.mode, 0);  // off while the preview exists
}

TEST_F(MenuCommandsTest, SaveSchematicCubeDropsThePreviewAndRestoresTheShadows) {
  HandleMenuEvent(rig.ctx(), kMenuShadowsAdvanced);
  const std::string file = rig.workingFolder + "one.kvSch";
  fixtures::WriteSchematicFile(file, fixtures::SchematicSpec::Filled(1, 1, 1, 1));
  rig.gui.QueueFileAnswer(file);
  HandleMenuEvent(rig.ctx(), kMenuLoadSchematic);
  rig.Pass();
  auto& engine = rig.engine();
  const int preview = rig.ctx().loop.PreviewGeometry;
  ASSERT_TRUE(engine.PBO_IsStaticGeometry(preview));
  ASSERT_EQ(engine.GetScene().world.shadows.mode, 0);

  engine.PBO_MoveCamera2(0, 2.2f, 20.4f, 3.6f, 0);
  engine.PBO_CameraLookAt(0, 12.2f, 20.4f, 8.6f);  // direction (2, 0, 1) / 2.236
  HandleMenuEvent(rig.ctx(), kMenuSaveSchematicCube);
  EXPECT_EQ(rig.ctx().nav.InteractionMode, kModeSaveBox);
  EXPECT_FALSE(engine.PBO_IsStaticGeometry(preview));
  EXPECT_EQ(engine.GetScene().world.shadows.mode, 2);
  EXPECT_FLOAT_EQ(SelectionCubeSize(engine).x, 3.01f);
  EXPECT_FLOAT_EQ(SelectionCubeSize(engine).y, 3.01f);
  // (3, 21, 4) + 6 along the view and half a unit up, (8.37, 21.5, 6.68), rounded up.
  EXPECT_FLOAT_EQ(engine.PBO_NodeX(1001), 9.0f);
  EXPECT_FLOAT_EQ(engine.PBO_NodeY(1001), 22.0f);
  EXPECT_FLOAT_EQ(engine.PBO_NodeZ(1001), 7.0f);
}

TEST_F(MenuCommandsTest, SwitchToAWorldWhoseMetadataCannotBeReadPutsTheCameraAtTheOrigin) {
  rig.engine().PBO_MoveCamera2(0, 50, 60, 70, 0);
  std::filesystem::remove_all(rig.saveFolder + "Beta");
  HandleMenuEvent(rig.ctx(), WorldItem("Beta"));
  EXPECT_EQ(
      rig.messages(),
      "Something is wrong|This world doesn't seem to have enough chunks to be worth loading... (<10)\n");
  EXPECT_EQ(rig.ctx().settings.CurrentWorldName, "Beta");
  EXPECT_TRUE(rig.ctx().store.WorldChunkMap.empty());
  EXPECT_FLOAT_EQ(rig.engine().PBO_CameraX(0), 0.0f);
  EXPECT_FLOAT_EQ(rig.engine().PBO_CameraY(0), 0.0f);
  EXPECT_FLOAT_EQ(rig.engine().PBO_CameraZ(0), 0.0f);
}

TEST_F(MenuCommandsTest, SetPlayerPositionWritesOnlyWhenAnsweredYes) {
  const std::string metadata = rig.saveFolder + "Alpha/WorldMetadata1.important";
  const auto before = fixtures::ReadFileBytes(metadata);
  rig.engine().PBO_MoveCamera2(0, 10.0f, 5.0f, 20.0f, 0);

  rig.gui.QueueYesNoAnswer(false);
  HandleMenuEvent(rig.ctx(), kMenuSetPlayerPosition);
  EXPECT_EQ(fixtures::ReadFileBytes(metadata), before);
  ASSERT_EQ(rig.MessageCount(), 1u);
  EXPECT_EQ(rig.LastMessage().buttons, platform::MessageBoxButtons::kYesNo);
  EXPECT_EQ(rig.LastMessage().title, "Info");
  EXPECT_EQ(
      rig.LastMessage().text,
      "This will update the in game player position to the current camera position. Please make sure you "
      "dont bake yourself in solid Rock.\n\rDo it?");

  rig.gui.QueueYesNoAnswer(true);
  HandleMenuEvent(rig.ctx(), kMenuSetPlayerPosition);
  const auto after = fixtures::ReadFileBytes(metadata);
  ASSERT_EQ(after.size(), before.size());
  const size_t offset = 68 + 8 * 25;  // 25 chunk entries, no B records
  double position[3];
  std::memcpy(position, after.data() + offset, sizeof position);
  EXPECT_DOUBLE_EQ(position[0], 1000.0);
  EXPECT_DOUBLE_EQ(position[1], 2000.0);
  EXPECT_DOUBLE_EQ(position[2], 500.0);
  for (size_t i = 0; i < after.size(); ++i) {
    if (i >= offset && i < offset + 24) continue;
    EXPECT_EQ(after[i], before[i]) << i;
  }
  ASSERT_EQ(rig.MessageCount(), 3u);
  EXPECT_EQ(rig.LastMessage().title, "Info");
  EXPECT_EQ(rig.LastMessage().text, "OK, prepare yourself to wake up in foreign lands...");
}

TEST_F(MenuCommandsTest, MarkersAreCountedByTheChunksUnderThem) {
  HandleMenuEvent(rig.ctx(), kMenuCountMarkedChunks);
  EXPECT_EQ(rig.messages(), "AffectedChunk|Chunks: 0\n");

  auto& markers = rig.ctx().nav.MarkerList;
  // 32 x 32 blocks centred 0.26 below 16 on both axes: exactly the chunk with origin (8, 8).
  markers.push_back({15.74f, 100, 15.74f, 32, 200, 32, 0});
  HandleMenuEvent(rig.ctx(), kMenuCountMarkedChunks);
  EXPECT_EQ(rig.LastMessage().text, "Chunks: 1");
  // Far outside the world: every such chunk shares the id -1 and counts once.
  markers.push_back({1000.0f, 100, 1000.0f, 96, 200, 96, 0});
  HandleMenuEvent(rig.ctx(), kMenuCountMarkedChunks);
  EXPECT_EQ(rig.LastMessage().text, "Chunks: 2");
  EXPECT_EQ(rig.LastMessage().title, "AffectedChunk");
}

TEST_F(MenuCommandsTest, AddingAndRemovingMarkersDrivesTheModeAndTheCube) {
  auto& engine = rig.engine();
  HandleMenuEvent(rig.ctx(), kMenuAddMarker);
  EXPECT_EQ(rig.ctx().nav.InteractionMode, kModeMarker);
  const CubeSize size = SelectionCubeSize(engine);
  EXPECT_FLOAT_EQ(size.x, 32.01f);
  EXPECT_FLOAT_EQ(size.y, 200.01f);
  // The box centre lies 0.26 below a multiple of 16 on X and Z.
  EXPECT_NEAR(std::fmod(engine.PBO_NodeX(1001) + 0.26f, 16.0f), 0.0f, 1e-3);
  EXPECT_NEAR(std::fmod(engine.PBO_NodeZ(1001) + 0.26f, 16.0f), 0.0f, 1e-3);
  EXPECT_FALSE(engine.GetScene().entities.Find(1003)->hidden);

  rig.input.HoldKey(platform::DIK_RETURN);
  rig.Pass();
  rig.input.LiftKey(platform::DIK_RETURN);
  rig.Pass();
  ASSERT_EQ(rig.ctx().nav.MarkerList.size(), 1u);
  const MarkerArea marker = rig.ctx().nav.MarkerList[0];
  EXPECT_EQ(marker.sizeX, 32);
  EXPECT_EQ(marker.sizeY, 200);
  EXPECT_TRUE(engine.PBO_IsEntity(marker.entity));
  EXPECT_FLOAT_EQ(engine.PBO_GetEntityAttribute(marker.entity, 23), 800.0f);
  EXPECT_EQ(rig.ctx().nav.InteractionMode, kModeBrowse);
  EXPECT_TRUE(engine.GetScene().entities.Find(1003)->hidden);

  HandleMenuEvent(rig.ctx(), kMenuRemoveMarkers);
  EXPECT_TRUE(rig.ctx().nav.MarkerList.empty());
  EXPECT_FALSE(engine.PBO_IsEntity(marker.entity));
}

TEST_F(MenuCommandsTest, HelpPagesOpenOurDocumentationAndAboutWaitsForClose) {
  HandleMenuEvent(rig.ctx(), kMenuHelpQuickstart);
  HandleMenuEvent(rig.ctx(), kMenuHelpVersion);
  HandleMenuEvent(rig.ctx(), kMenuHelpCustomBlocks);
  ASSERT_EQ(rig.openedPages.size(), 3u);
  EXPECT_EQ(rig.openedPages[0].rfind("file://", 0), 0u);
  EXPECT_NE(rig.openedPages[0].find("docs/help/quickstart.html"), std::string::npos);
  EXPECT_EQ(rig.openedPages[1], rig.openedPages[0] + "#Version");
  EXPECT_NE(rig.openedPages[2].find("docs/help/custom-blocks.html"), std::string::npos);

  rig.gui.QueueMenuEvent(kMenuQuit);  // dropped while the About window waits
  rig.gui.QueueButtonClick("Close");
  HandleMenuEvent(rig.ctx(), kMenuAbout);
  EXPECT_FALSE(rig.ctx().QuitRequested());
  EXPECT_EQ(rig.gui.EventsLeft(), 0u);
}

TEST_F(MenuCommandsTest, CancelledSchematicRequesterLeavesTheModeAlone) {
  HandleMenuEvent(rig.ctx(), kMenuLoadSchematic);
  ASSERT_EQ(rig.gui.Requesters().size(), 1u);
  EXPECT_EQ(rig.gui.Requesters()[0].title, "Choose a schematic file");
  EXPECT_EQ(rig.gui.Requesters()[0].pattern, "Schematic Files (*.KvSch, *.gz)|*.KvSch;*.gz|All files (*.*)|*.*");
  EXPECT_EQ(rig.ctx().nav.InteractionMode, kModeBrowse);
  EXPECT_TRUE(rig.ctx().SchematicPath().empty());

  // A file that is no schematic: back to browsing, the cube hidden again.
  const std::string bogus = rig.workingFolder + "bogus.kvSch";
  fixtures::WriteBytesToFile(bogus, std::vector<uint8_t>(8, 1));
  rig.gui.QueueFileAnswer(bogus);
  HandleMenuEvent(rig.ctx(), kMenuLoadSchematic);
  EXPECT_EQ(rig.ctx().nav.InteractionMode, kModeBrowse);
  EXPECT_TRUE(rig.engine().GetScene().entities.Find(1003)->hidden);
  EXPECT_GE(rig.MessageCount(), 1u);
}

}  // namespace
}  // namespace orelens::viewer
