#include "viewer/menu_commands.h"

#include <cmath>
#include <map>
#include <string>

#include "viewer/about_window.h"
#include "viewer/hud_overlay.h"
#include "viewer/main_menu.h"
#include "viewer/material_culling.h"
#include "viewer/menu_ids.h"
#include "viewer/navigation.h"
#include "viewer/navigation_math.h"
#include "viewer/program_context.h"
#include "viewer/selection_cube.h"

namespace orelens::viewer {

namespace {

using platform::PackRgb;

int Toggle(int value) { return value != 0 ? 0 : 1; }

void RestartStreaming(ProgramContext& ctx) {
  ctx.StopChunkLoaders();
  ctx.UnloadAllChunks();
  ctx.StartChunkLoaderThreads();
}

void RedrawHud(ProgramContext& ctx) { DrawHudText(ctx, ctx.nav.InteractionMode, ctx.loop.CameraChunk.chunkId); }

void SwitchWorld(ProgramContext& ctx, int position) {
  if (position < 0 || static_cast<size_t>(position) >= ctx.worlds.size()) return;
  const std::string& chosen = ctx.worlds[static_cast<size_t>(position)];
  if (chosen == ctx.settings.CurrentWorldName) return;
  ctx.ForgetWorldChunks();  // before anything of the new world is read or named
  ctx.settings.CurrentWorldName = chosen;
  ctx.StopChunkLoaders();
  ctx.store.WorldChunkMap.clear();
  world::PlayerPosition start;
  if (world::ReadWorldMetadata(ctx.store.WorldChunkMap, ctx.settings.CurrentWorldFolder(), start) == 0.0)
    ctx.gui().MessageBox("Something is wrong",
                         "This world doesn't seem to have enough chunks to be worth loading... (<10)");
  ctx.UnloadAllChunks();
  ctx.PlaceCameraAndLights(start);
  ctx.StartChunkLoaderThreads();
}

void LoadSchematic(ProgramContext& ctx) {
  platform::Engine3D& engine = ctx.engine();
  std::string& path = ctx.SchematicPath();
  path = ctx.gui().OpenFileRequester("Choose a schematic file", "",
                                     "Schematic Files (*.KvSch, *.gz)|*.KvSch;*.gz|All files (*.*)|*.*", 0);
  if (path.empty()) return;
  ctx.nav.InteractionMode = kModeInsertSchematic;
  auto& placement = ctx.InsertPlacement();
  ctx.ReadSchematicSize();
  const float sizeX = static_cast<float>(placement.sizeX), sizeY = static_cast<float>(placement.sizeHeight),
              sizeZ = static_cast<float>(placement.sizeZ);
  HideSelectionCube(engine, 0);
  ScaleSelectionCube(engine, sizeX + 0.01f, sizeY + 0.01f, sizeZ + 0.01f, 0);

  const int node = objects::kSelectionNode;
  const int camera = objects::kCamera;
  engine.PBO_MoveNode2(node, std::ceil(engine.PBO_CameraX(camera)), std::ceil(engine.PBO_CameraY(camera)),
                       std::ceil(engine.PBO_CameraZ(camera)), 0);
  engine.PBO_MoveNode2(node, engine.PBO_CameraDirectionX(camera) * sizeX,
                       engine.PBO_CameraDirectionY(camera) * sizeY / 3, engine.PBO_CameraDirectionZ(camera) * sizeZ, 1);
  engine.PBO_MoveNode2(node, std::ceil(engine.PBO_NodeX(node)) - (sizeX - 1) * 0.25f,
                       std::ceil(engine.PBO_NodeY(node)) - (sizeY - 1) * 0.25f,
                       std::ceil(engine.PBO_NodeZ(node)) - (sizeZ - 1) * 0.25f, 0);
  placement.originX = engine.PBO_NodeX(node) - (sizeX - 1) / 4;
  placement.originY = engine.PBO_NodeY(node) - (sizeY - 1) / 4;
  placement.originZ = engine.PBO_NodeZ(node) - (sizeZ - 1) / 4;

  ctx.loop.PreviewRebuildPending = ctx.LoadSchematicFile();
  if (ctx.loop.PreviewRebuildPending != 0) {
    engine.PBO_WorldShadows(0);  // while the preview exists
  } else {
    ctx.nav.InteractionMode = kModeBrowse;
    HideSelectionCube(engine, 1);
  }
  RedrawHud(ctx);
}

void StartSaveBox(ProgramContext& ctx) {
  platform::Engine3D& engine = ctx.engine();
  ctx.nav.InteractionMode = kModeSaveBox;
  DropSchematicPreview(ctx);
  HideSelectionCube(engine, 0);
  ScaleSelectionCube(engine, 3.01f, 3.01f, 3.01f, 0);
  const int node = objects::kSelectionNode;
  const int camera = objects::kCamera;
  engine.PBO_MoveNode2(node, std::ceil(engine.PBO_CameraX(camera)), std::ceil(engine.PBO_CameraY(camera)),
                       std::ceil(engine.PBO_CameraZ(camera)), 0);
  engine.PBO_MoveNode2(node, engine.PBO_CameraDirectionX(camera) * 6, 0.5f, engine.PBO_CameraDirectionZ(camera) * 6, 1);
  engine.PBO_MoveNode2(node, std::ceil(engine.PBO_NodeX(node)), std::ceil(engine.PBO_NodeY(node)),
                       std::ceil(engine.PBO_NodeZ(node)), 0);
  engine.PBO_CameraFollow(camera, engine.PBO_NodeID(node), 0.0f, 0.0f, 1.0f, 1.0f, 0.0f);
  RedrawHud(ctx);
}

void StartMarker(ProgramContext& ctx) {
  platform::Engine3D& engine = ctx.engine();
  ctx.nav.InteractionMode = kModeMarker;
  DrawHudText(ctx, kModeMarker, ctx.loop.CameraChunk.chunkId);
  HideSelectionCube(engine, 0);
  ScaleSelectionCube(engine, 32.01f, 200.01f, 32.01f, 0);
  const int node = objects::kSelectionNode;
  const int camera = objects::kCamera;
  engine.PBO_MoveNode2(node, std::ceil(engine.PBO_CameraX(camera) / 16) * 16, std::ceil(engine.PBO_CameraY(camera)),
                       std::ceil(engine.PBO_CameraZ(camera) / 16) * 16, 0);
  engine.PBO_MoveNode2(node, engine.PBO_CameraDirectionX(camera) * 16, 0.0f, engine.PBO_CameraDirectionZ(camera) * 16, 1);
  engine.PBO_MoveNode2(node, std::ceil(engine.PBO_NodeX(node) / 16) * 16 - 0.26f, std::ceil(engine.PBO_NodeY(node)),
                       std::ceil(engine.PBO_NodeZ(node) / 16) * 16 - 0.26f, 0);
}

void RemoveMarkers(ProgramContext& ctx) {
  platform::Engine3D& engine = ctx.engine();
  for (const MarkerArea& marker : ctx.nav.MarkerList)
    if (engine.PBO_IsEntity(marker.entity)) engine.PBO_FreeEntity(marker.entity);
  ctx.nav.MarkerList.clear();
  ctx.nav.InteractionMode = kModeBrowse;
  HideSelectionCube(engine, 1);
}

void CountMarkedChunks(ProgramContext& ctx) {
  std::map<int32_t, world::ChunkLocation> affected;
  for (const MarkerArea& m : ctx.nav.MarkerList) {
    const int64_t firstX = NearestEven(2.0 * m.x - (m.sizeX - 1) / 2.0);
    const int64_t lastX = NearestEven(2.0 * m.x + (m.sizeX - 1) / 2.0);
    const int64_t firstZ = NearestEven(2.0 * m.z - (m.sizeZ - 1) / 2.0);
    const int64_t lastZ = NearestEven(2.0 * m.z + (m.sizeZ - 1) / 2.0);
    for (int64_t bx = firstX; bx <= lastX; ++bx) {
      for (int64_t bz = firstZ; bz <= lastZ; ++bz) {
        world::ChunkLocation location;
        ctx.store.LocateChunk(location, static_cast<float>(bx / 2.0), static_cast<float>(bz / 2.0));
        affected[location.chunkId] = location;
      }
    }
  }
  ctx.gui().MessageBox("AffectedChunk", "Chunks: " + std::to_string(affected.size()));
}

std::string PlayerPositionNotWrittenText(world::PositionWriteResult result) {
  switch (result) {
    case world::PositionWriteResult::kCannotOpen:
      return "The player position was not written: the world's metadata file could not be opened (it is "
             "missing, or another program such as the game holds it).\n\rClose the game, then try again.";
    case world::PositionWriteResult::kUnknownLayout:
      return "The player position was not written: the world's metadata file is laid out in a way this "
             "program does not know (it may be damaged, or come from another version of the game), so it "
             "was left unchanged.\n\rLoad the world in the game once so that the game writes the file anew, "
             "then try again.";
    default:
      return "The player position could not be written into the world's metadata file.\n\rCheck that the "
             "world's folder and its files can be written, then try again.";
  }
}

void SetPlayerPosition(ProgramContext& ctx) {
  platform::Gui& gui = ctx.gui();
  const auto answer = gui.MessageBox("Info",
                                     "This will update the in game player position to the current camera position. "
                                     "Please make sure you dont bake yourself in solid Rock.\n\rDo it?",
                                     platform::MessageBoxButtons::kYesNo);
  if (answer != platform::MessageBoxAnswer::kYes) return;
  platform::Engine3D& engine = ctx.engine();
  const world::PositionWriteResult written =
      world::WritePlayerPosition(ctx.settings.CurrentWorldFolder(), engine.PBO_CameraX(objects::kCamera),
                                 engine.PBO_CameraY(objects::kCamera), engine.PBO_CameraZ(objects::kCamera));
  if (written == world::PositionWriteResult::kWritten) {
    gui.MessageBox("Info", "OK, prepare yourself to wake up in foreign lands...");
  } else {
    gui.MessageBox("Error", PlayerPositionNotWrittenText(written));
  }
}

}  // namespace

int HandleMenuEvent(ProgramContext& ctx, int itemId) {
  if (itemId >= kMenuFirstWorld) {
    SwitchWorld(ctx, itemId - kMenuFirstWorld);
    return 0;
  }
  world::Settings& settings = ctx.settings;
  platform::Gui& gui = ctx.gui();
  platform::Engine3D& engine = ctx.engine();
  switch (itemId) {
    case kMenuLoadSchematic: LoadSchematic(ctx); break;
    case kMenuSaveSchematicCube: StartSaveBox(ctx); break;
    case kMenuQuit: ctx.SetQuitFlag(); break;
    case kMenuVisibleChunkBorders:
      settings.VisibleChunkBorders = Toggle(settings.VisibleChunkBorders);
      gui.SetMenuItemState(kMainMenu, kMenuVisibleChunkBorders, settings.VisibleChunkBorders != 0);
      RestartStreaming(ctx);
      break;
    case kMenuSetPlayerPosition: SetPlayerPosition(ctx); break;
    case kMenuNarrowRenderHeight:
      settings.NarrowRenderHeight = Toggle(settings.NarrowRenderHeight);
      gui.SetMenuItemState(kMainMenu, kMenuNarrowRenderHeight, settings.NarrowRenderHeight != 0);
      break;
    case kMenuDistanceFar:
      settings.ViewDistance = 600;
      SetDrawDistanceMarks(gui, settings.ViewDistance);
      break;
    case kMenuDistanceMedium:
      settings.ViewDistance = 300;
      SetDrawDistanceMarks(gui, settings.ViewDistance);
      break;
    case kMenuDistanceShort:
      settings.ViewDistance = 150;
      SetDrawDistanceMarks(gui, settings.ViewDistance);
      break;
    case kMenuDrawBothNormals:
      settings.DrawBothNormals = Toggle(settings.DrawBothNormals);
      ApplyMaterialCulling(ctx);
      gui.SetMenuItemState(kMainMenu, kMenuDrawBothNormals, settings.DrawBothNormals != 0);
      break;
    case kMenuShadowsNone:
      settings.ShadowMode = 0;
      engine.PBO_WorldShadows4(0, 0.0f, 0, 0);
      RestartStreaming(ctx);
      SetShadowMarks(gui, settings.ShadowMode);
      break;
    case kMenuShadowsSimple:
      settings.ShadowMode = 1;
      engine.PBO_WorldShadows3(1, 30.0f, PackRgb(150, 150, 170));
      RestartStreaming(ctx);
      SetShadowMarks(gui, settings.ShadowMode);
      break;
    case kMenuShadowsAdvanced:
      settings.ShadowMode = 2;
      engine.PBO_WorldShadows4(2, 25.0f, PackRgb(10, 10, 30), 256);
      RestartStreaming(ctx);
      SetShadowMarks(gui, settings.ShadowMode);
      break;
    case kMenuAddMarker: StartMarker(ctx); break;
    case kMenuRemoveMarkers: RemoveMarkers(ctx); break;
    case kMenuDeleteUnmarkedChunks: break;  // stands in the menu without an action
    case kMenuCountMarkedChunks: CountMarkedChunks(ctx); break;
    case kMenuDoNotShareMods:
      settings.DoNotShareModsBlocks = Toggle(settings.DoNotShareModsBlocks);
      gui.SetMenuItemState(kMainMenu, kMenuDoNotShareMods, settings.DoNotShareModsBlocks != 0);
      break;
    case kMenuHelpQuickstart: ctx.OpenHelpPage("quickstart.html", ""); break;
    case kMenuHelpVersion: ctx.OpenHelpPage("quickstart.html", "Version"); break;
    case kMenuHelpCustomBlocks: ctx.OpenHelpPage("custom-blocks.html", ""); break;
    case kMenuAbout: ShowAboutWindow(gui); break;
    default: break;
  }
  return 0;
}

}  // namespace orelens::viewer
