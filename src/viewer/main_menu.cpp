#include "viewer/main_menu.h"

#include "viewer/menu_ids.h"

namespace orelens::viewer {

void SetDrawDistanceMarks(platform::Gui& gui, int viewDistance) {
  gui.SetMenuItemState(kMainMenu, kMenuDistanceFar, viewDistance == 600);
  gui.SetMenuItemState(kMainMenu, kMenuDistanceMedium, viewDistance != 600 && viewDistance != 150);
  gui.SetMenuItemState(kMainMenu, kMenuDistanceShort, viewDistance == 150);
}

void SetShadowMarks(platform::Gui& gui, int shadowMode) {
  gui.SetMenuItemState(kMainMenu, kMenuShadowsNone, shadowMode != 1 && shadowMode != 2);
  gui.SetMenuItemState(kMainMenu, kMenuShadowsSimple, shadowMode == 1);
  gui.SetMenuItemState(kMainMenu, kMenuShadowsAdvanced, shadowMode == 2);
}

int CreateMainMenu(platform::Gui& gui, world::Settings& settings, world::WorldList& worlds,
                   const std::string& localAppDataFolder) {
  world::ListWorldFolders(worlds, settings.SaveDir);
  if (worlds.empty()) {
    // The stored save folder holds no world: look where the game keeps them by default. The new
    // folders are saved with the preferences.
    settings.SaveDir = localAppDataFolder + "Kelvane/Saved/WorldData/";
    settings.InstaLoadDir = localAppDataFolder + "Kelvane/Saved/WorldData_InstaLoad/";
    world::ListWorldFolders(worlds, settings.SaveDir);
  }

  gui.CreateMenuBar(kMainMenu, kMainWindow);

  gui.MenuTitle("File");
  gui.MenuItem(kMenuLoadSchematic, "Load Schematic");
  gui.MenuItem(kMenuSaveSchematicCube, "Save Schematic Cube");
  gui.OpenSubMenu("Clear all chunks except");
  gui.MenuItem(kMenuAddMarker, "Add a marker area");
  gui.MenuItem(kMenuRemoveMarkers, "Remove all markers");
  gui.MenuItem(kMenuDeleteUnmarkedChunks, "Delete all unmarked chunks");
  gui.MenuItem(kMenuCountMarkedChunks, "Delete all marked chunks");
  gui.CloseSubMenu();
  gui.MenuItem(kMenuDoNotShareMods,
               "Do not share information about my mods directoy (Only sync workshop blocks).");
  gui.SetMenuItemState(kMainMenu, kMenuDoNotShareMods, settings.DoNotShareModsBlocks != 0);
  gui.MenuItem(kMenuQuit, "Quit");

  gui.MenuTitle("World");
  gui.OpenSubMenu("Active World");
  int position = 0;
  for (const auto& name : worlds) gui.MenuItem(kMenuFirstWorld + position++, name);
  gui.CloseSubMenu();
  gui.MenuItem(kMenuSetPlayerPosition, "Set Playerposition");

  gui.MenuTitle("Visuals");
  gui.MenuItem(kMenuVisibleChunkBorders, "Visible Chunkborders");
  gui.SetMenuItemState(kMainMenu, kMenuVisibleChunkBorders, settings.VisibleChunkBorders != 0);
  gui.MenuItem(kMenuNarrowRenderHeight, "Narrow Render Height");
  gui.SetMenuItemState(kMainMenu, kMenuNarrowRenderHeight, settings.NarrowRenderHeight != 0);
  gui.OpenSubMenu("Shadows");
  gui.MenuItem(kMenuShadowsNone, "None");
  gui.MenuItem(kMenuShadowsSimple, "Simple");
  gui.MenuItem(kMenuShadowsAdvanced, "Advanced");
  gui.CloseSubMenu();
  SetShadowMarks(gui, settings.ShadowMode);
  gui.MenuItem(kMenuDrawBothNormals, "Make world Surface visible from inside blocks");
  gui.SetMenuItemState(kMainMenu, kMenuDrawBothNormals, settings.DrawBothNormals != 0);
  gui.OpenSubMenu("Draw distance");
  gui.MenuItem(kMenuDistanceFar, "Far");
  gui.MenuItem(kMenuDistanceMedium, "Medium");
  gui.MenuItem(kMenuDistanceShort, "Short");
  gui.CloseSubMenu();
  SetDrawDistanceMarks(gui, settings.ViewDistance);

  gui.MenuTitle("Help");
  gui.MenuItem(kMenuHelpQuickstart, "Open Quickstart (website)");
  gui.MenuItem(kMenuHelpVersion, "Download most recent Version");
  gui.MenuItem(kMenuHelpCustomBlocks, "View all currently known custom blocks");
  gui.MenuItem(kMenuAbout, "About");
  return 0;
}

}  // namespace orelens::viewer
