#include "viewer/program_context.h"

#include <filesystem>
#include <mutex>

#include "platform/system/clock.h"
#include "platform/system/registry.h"
#include "viewer/face_templates.h"
#include "viewer/preferences.h"
#include "viewer/unknown_custom_block.h"
#include "world/database_wait_window.h"
#include "world/store_chunk_reader.h"

namespace orelens::viewer {

ProgramContext::ProgramContext(PlatformBundle& platform) : platform_(platform) {
  mesher_ = std::make_unique<ChunkMesher>(platform_.engine, blocks.definitions, customBlocks, fonts, settings,
                                          [this] { return ElapsedMilliseconds(); });
  blockReader_ = std::make_unique<world::BlockReader>(store, settings, platform_.libraries, platform_.gui);
  blockWriter_ = std::make_unique<world::BlockWriter>(store, settings, blocks.kinds, platform_.libraries);

  world::StreamingServices services;
  services.loadedChunkMapMutex = &store.LoadedChunkMapMutex;
  services.loaderSyncMutex = &store.LoaderSyncMutex;
  services.worldChunkMap = &store.WorldChunkMap;
  services.settings = &settings;
  services.blockKinds = &blocks.kinds;
  platform::Engine3D* engine = &platform_.engine;
  services.cameraPosition = [engine] {
    return world::CameraPosition{engine->PBO_CameraX(objects::kCamera), engine->PBO_CameraZ(objects::kCamera)};
  };
  const platform::LibraryLocator* libraries = &platform_.libraries;
  services.openChunkReader = [libraries](const std::string& worldFolder, world::DatabaseWaitObserver& stopWatch) {
    return world::OpenStoreChunkReader(*libraries, worldFolder, world::ChunkDatabase::kBusyTimeoutMilliseconds,
                                       &stopWatch);
  };
  platform::Gui* gui = &platform_.gui;
  services.showMessage = [gui](std::string_view title, std::string_view text) { gui->MessageBox(title, text); };
  services.answerWaitingMessages = [gui] { gui->AnswerWorkerMessageBoxes(); };
  services.savePreferences = [this] { SavePreferencesOrEnd(); };
  services.freeChunkGeometry = [this](int32_t chunkId) { mesher_->FreeChunkGeometry(chunkId); };
  services.freeAllChunkGeometry = [this] { mesher_->FreeAllChunkGeometry(); };
  streaming_ = std::make_unique<world::ChunkStreaming>(std::move(services));
}

ProgramContext::~ProgramContext() { streaming_.reset(); }

int64_t ProgramContext::ElapsedMilliseconds() const {
  return platform_.elapsedMilliseconds ? platform_.elapsedMilliseconds() : platform::ElapsedMilliseconds();
}

void ProgramContext::StopChunkLoaders() { streaming_->StopChunkLoaders(); }
void ProgramContext::UnloadAllChunks() { streaming_->UnloadAllChunks(); }
void ProgramContext::StartChunkLoaderThreads() { streaming_->StartChunkLoaderThreads(); }
bool ProgramContext::ChunkLoadingPaused() const { return streaming_->ChunkLoadingPaused.load() != 0; }
void ProgramContext::SetChunkLoadingPaused(bool paused) { streaming_->ChunkLoadingPaused.store(paused ? 1 : 0); }

void ProgramContext::SetQuitFlag() {
  std::lock_guard lock(store.LoaderSyncMutex);
  streaming_->QuitFlag.store(1);
}

bool ProgramContext::QuitRequested() const { return streaming_->QuitFlag.load() != 0; }

void ProgramContext::StopAllThreads() { streaming_.reset(); }

int64_t ProgramContext::ChunksDisplayed() const { return static_cast<int64_t>(mesher_->RenderMap().size()); }
int64_t ProgramContext::MeshSlotState(int slot) const { return mesher_->MeshSlotState(slot); }

const CustomBlockDefinition& ProgramContext::CustomBlockOrPlaceholder(int64_t id) {
  return FindOrAddUnknownCustomBlock(customBlocks, static_cast<int32_t>(id), platform_.engine, fonts,
                                     placeholderColours_);
}

void ProgramContext::ForgetWorldChunks() {
  blockWriter_->ClearFailure();  // an earlier operation's failure has been reported by it
  world::DatabaseWaitWindow databaseWait(platform_.gui);
  const world::ScopedWaitObserver watchWrites(*blockWriter_, &databaseWait);
  if (!blockWriter_->FlushAndForget()) {
    platform_.gui.MessageBox(
        "Error", world::ChunkFailureMessage("The last changes to the world you left could not be stored",
                                            *blockWriter_->failure()));
  }
  blockReader_->Forget();
}

void ProgramContext::ReleaseLoadedChunk(const world::ChunkLocation& chunk) {
  {
    std::lock_guard lock(store.LoadedChunkMapMutex);
    streaming_->LoadedChunks().erase(world::ChunkOriginKey(chunk.originX, chunk.originZ));
  }
  mesher_->FreeChunkGeometry(chunk.chunkId);
}

void ProgramContext::ReadSchematicSize() {
  if (platform_.subsystems.readSchematicSize) platform_.subsystems.readSchematicSize(*this);
}

int ProgramContext::LoadSchematicFile() {
  return platform_.subsystems.loadSchematicFile ? platform_.subsystems.loadSchematicFile(*this) : 0;
}

bool ProgramContext::SaveSelectionAsSchematic(float x, float y, float z, int sizeX, int sizeY, int sizeZ) {
  auto& save = platform_.subsystems.saveSelectionAsSchematic;
  return save && save(*this, x, y, z, sizeX, sizeY, sizeZ) != 0;
}

void ProgramContext::InjectSchematic(float centreX, float centreY, float centreZ) {
  if (platform_.subsystems.injectSchematic) platform_.subsystems.injectSchematic(*this, centreX, centreY, centreZ);
}

void ProgramContext::PlaceCameraAndLights(const world::PlayerPosition& position) {
  platform::Engine3D& engine = platform_.engine;
  const float x = position.x, y = position.height, z = position.z;
  const int lightColour = platform::PackRgb(205, 200, 155);
  if (engine.PBO_IsLight(0)) {
    engine.PBO_MoveLight(0, x - 100, y + 300, z - 200);
    engine.PBO_SetLightColor(1, 0, lightColour);
  } else {
    engine.PBO_CreateLight2(0, platform::PackRgb(255, 255, 255), x - 100, y + 300, z - 200);
  }
  if (engine.PBO_IsLight(1)) {
    engine.PBO_MoveLight(1, x + 300, y + 400, z + 200);
    engine.PBO_SetLightColor(1, 0, lightColour);
  } else {
    engine.PBO_CreateLight2(1, lightColour, x + 300, y + 400, z + 200);
  }
  engine.PBO_MoveCamera2(objects::kCamera, x, y, z, 0);
  engine.PBO_CameraLookAt(objects::kCamera, x + 10, y, z);
}

void ProgramContext::OpenHelpPage(const std::string& page, const std::string& anchor) {
  std::error_code error;
  std::filesystem::path file = std::filesystem::absolute(PathInWorkingFolder("docs/help/" + page), error);
  std::string url = "file://" + file.lexically_normal().string();
  if (!anchor.empty()) url += "#" + anchor;
  if (platform_.openWebPage) platform_.openWebPage(url);
}

std::string ProgramContext::LocalAppDataFolder() const {
  return platform::GetLocalAppDataFolder(platform_.environment, settings.SteamAppsDir);
}

void ProgramContext::SavePreferencesOrEnd() {
  if (!viewer::SavePreferences(settings, PathInWorkingFolder("prefs.ini"), platform_.gui)) throw ProgramEndRequested{};
}

void ProgramContext::OpenImportProgressWindow() {
  if (platform_.subsystems.openImportProgressWindow) platform_.subsystems.openImportProgressWindow(*this);
}

void ProgramContext::LoadBlockDefinitions() {
  viewer::LoadBlockDefinitions(blocks, platform_.engine, platform_.gui, fonts, PathInWorkingFolder("demo.xml"));
}

void ProgramContext::CreateFaceTemplateMeshes() { viewer::CreateFaceTemplateMeshes(platform_.engine, blocks.definitions); }

void ProgramContext::ImportCustomBlocks() {
  if (platform_.subsystems.importCustomBlocks) platform_.subsystems.importCustomBlocks(*this);
}

}  // namespace orelens::viewer
