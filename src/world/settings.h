#pragma once

#include <atomic>
#include <string>

namespace orelens::world {

// The program's settings, named after their preference keys. The viewer reads and saves them;
// the world store reads them. Text values belong to the main thread (a loader thread takes its
// own copy of the world folder when it is started); the values that loader and unloader threads
// read while the main thread may change them are atomic.
struct Settings {
  std::string CurrentWorldName;  // "LastWorld"
  std::string SaveDir;           // "SaveDir", ends with a separator
  std::string InstaLoadDir;      // "InstaLoadDir"
  std::string SteamAppsDir;      // "SteamAppsDir", ends with a separator (or empty)
  int VisibleChunkBorders = 1;   // "VisibleChunkBorders"
  std::atomic<int> NarrowRenderHeight{0};  // "NarrowRenderHeight"; read by the loaders per chunk
  std::atomic<int> ViewDistance{150};      // "ViewDistance"; read by loaders and unloader
  int DrawBothNormals = 1;                 // "DrawBothNormals"
  int ShadowMode = 0;                      // "Shadows"
  int DoNotShareModsBlocks = 1;            // "Do not share custom Blocks in mods directory"

  // SaveDir + CurrentWorldName + "/": the folder of the current world.
  std::string CurrentWorldFolder() const { return SaveDir + CurrentWorldName + "/"; }
};

}  // namespace orelens::world
