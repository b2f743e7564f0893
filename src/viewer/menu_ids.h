#pragma once

namespace orelens::viewer {

// Item ids of the main window's menu bar (menu 0); 100 + n names the n-th world of WorldList.
enum MenuId : int {
  kMenuLoadSchematic = 0,
  kMenuSaveSchematicCube = 1,
  kMenuQuit = 2,
  kMenuVisibleChunkBorders = 10,
  kMenuSetPlayerPosition = 11,
  kMenuNarrowRenderHeight = 12,
  kMenuDistanceFar = 13,
  kMenuDistanceMedium = 14,
  kMenuDistanceShort = 15,
  kMenuDrawBothNormals = 16,
  kMenuShadowsNone = 17,
  kMenuShadowsSimple = 18,
  kMenuShadowsAdvanced = 19,
  kMenuAddMarker = 20,
  kMenuRemoveMarkers = 21,
  kMenuDeleteUnmarkedChunks = 22,
  kMenuCountMarkedChunks = 23,
  kMenuDoNotShareMods = 24,
  kMenuHelpQuickstart = 90,
  kMenuHelpVersion = 91,
  kMenuHelpCustomBlocks = 92,
  kMenuAbout = 93,
  kMenuFirstWorld = 100,
};

constexpr int kMainMenu = 0;
constexpr int kMainWindow = 0;

}  // namespace orelens::viewer
