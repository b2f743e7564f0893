#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/draw2d/font_library.h"
#include "platform/dynlib/dynamic_library.h"
#include "platform/engine3d/engine3d.h"
#include "platform/gui/gui.h"
#include "platform/input/input.h"
#include "platform/system/environment.h"
#include "schematic/schematic_state.h"
#include "viewer/block_definitions.h"
#include "world/block_reader.h"
#include "world/block_writer.h"
#include "viewer/chunk_mesher.h"
#include "viewer/custom_block_map.h"
#include "viewer/subsystem_calls.h"
#include <random>
#include "viewer/viewer_state.h"
#include "world/chunk_streaming.h"
#include "world/settings.h"
#include "world/world_metadata.h"
#include "world/world_store.h"

namespace orelens::platform {
class ScreenHost;
}

namespace orelens::viewer {

// The platform services a run of the program stands on: the real ones in the program, scripted
// and headless ones in tests.
struct PlatformBundle {
  PlatformBundle(platform::Gui& gui, platform::Input& input, platform::Engine3D& engine,
                 platform::LibraryLocator& libraries)
      : gui(gui), input(input), engine(engine), libraries(libraries) {}

  platform::Gui& gui;
  platform::Input& input;
  platform::Engine3D& engine;
  platform::LibraryLocator& libraries;
  // The folder the program runs in, ending with a separator: "./prefs.ini", "demo.xml" and
  // "Textures/" are found here.
  std::string workingFolder = "./";
  // The main window as the engine draws into it; null for a headless screen of the window's size.
  platform::ScreenHost* screenHost = nullptr;
  platform::Environment environment;
  std::function<int64_t()> elapsedMilliseconds;        // monotonic clock; the system's when empty
  std::function<void(const std::string& url)> openWebPage;  // the system's browser
  SubsystemCalls subsystems;                                // app::BindSubsystemCalls() for the real ones
};

// Thrown when the program must end at once (the preferences can no longer be written); the
// program's entry point catches it and ends without further saving.
struct ProgramEndRequested {};

// The whole state of one run: every subsystem object, owned here instead of process-wide
// globals. Built from a platform bundle; start-up, main loop passes and shutdown work on it.
class ProgramContext {
 public:
  explicit ProgramContext(PlatformBundle& platform);
  ~ProgramContext();
  ProgramContext(const ProgramContext&) = delete;
  ProgramContext& operator=(const ProgramContext&) = delete;

  platform::Gui& gui() { return platform_.gui; }
  platform::Input& input() { return platform_.input; }
  platform::Engine3D& engine() { return platform_.engine; }
  PlatformBundle& platformBundle() { return platform_; }
  int64_t ElapsedMilliseconds() const;
  std::string PathInWorkingFolder(const std::string& name) const { return platform_.workingFolder + name; }

  // ---- streaming ----
  void StopChunkLoaders();
  void UnloadAllChunks();
  void StartChunkLoaderThreads();
  bool ChunkLoadingPaused() const;
  void SetChunkLoadingPaused(bool paused);
  // QuitFlag, set under LoaderSyncMutex.
  void SetQuitFlag();
  bool QuitRequested() const;
  world::ChunkStreaming& Streaming() { return *streaming_; }

  // ---- meshing ----
  int64_t ChunksDisplayed() const;
  int64_t MeshSlotState(int slot) const;
  const viewer::BlockDefinitionTable& Definitions() const { return blocks.definitions; }
  CustomBlockMap& CustomBlocks() { return customBlocks; }
  // The custom block of an id, with the "UNKNOWN" placeholder made for an id not installed.
  const CustomBlockDefinition& CustomBlockOrPlaceholder(int64_t id);

  // ---- schematics ----
  std::string& SchematicPath() { return schematic.SchematicPath; }
  schematic::SchematicPlacement& InsertPlacement() { return schematic.InsertPlacement; }
  const std::vector<world::BlockRecord>& PreviewBlockList() const { return schematic.PreviewBlockList; }
  void ReadSchematicSize();
  int LoadSchematicFile();
  bool SaveSelectionAsSchematic(float x, float y, float z, int sizeX, int sizeY, int sizeZ);
  void InjectSchematic(float centreX, float centreY, float centreZ);

  world::BlockReader& Reader() { return *blockReader_; }
  world::BlockWriter& Writer() { return *blockWriter_; }
  // Stores the block writer's pending change and drops the writer's and the reader's chunks,
  // which belong to the world being left; a change that cannot be stored is reported.
  void ForgetWorldChunks();
  // Drops a rewritten chunk from the loaded chunks and frees its geometry, so it is loaded anew.
  void ReleaseLoadedChunk(const world::ChunkLocation& chunk);

  // ---- scene ----
  // Places camera 0 at a position and the two lights around it.
  void PlaceCameraAndLights(const world::PlayerPosition& position);
  void OpenHelpPage(const std::string& page, const std::string& anchor);
  // The system's local application data folder (ends with a separator, or empty).
  std::string LocalAppDataFolder() const;

  // ---- start-up steps owned by other parts ----
  void OpenImportProgressWindow();
  void LoadBlockDefinitions();
  void CreateFaceTemplateMeshes();
  // Imports the custom blocks of the workshop folder, then those of the mods folder.
  void ImportCustomBlocks();
  // Ends the loader and unloader threads for good (shutdown).
  void StopAllThreads();
  // Writes the preferences; ends the program (ProgramEndRequested) when they cannot be written.
  void SavePreferencesOrEnd();

  // State shared by the viewer's parts (main thread only unless a member says otherwise).
  world::Settings settings;
  world::WorldStore store;
  world::WorldList worlds;
  world::PlayerPosition StartPosition;
  platform::FontLibrary fonts;
  BlockDefinitions blocks;
  viewer::CustomBlockMap customBlocks;
  schematic::SchematicState schematic;
  NavigationState nav;
  MainLoopState loop;

 private:
  PlatformBundle& platform_;
  std::unique_ptr<ChunkMesher> mesher_;
  std::mt19937 placeholderColours_;  // random box colours of the "UNKNOWN" custom block textures
  std::unique_ptr<world::BlockReader> blockReader_;
  std::unique_ptr<world::BlockWriter> blockWriter_;
  std::unique_ptr<world::ChunkStreaming> streaming_;  // last: its threads use everything above

 public:
  ChunkMesher& Mesher() { return *mesher_; }
};

}  // namespace orelens::viewer
