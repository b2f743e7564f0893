#include "viewer/viewer_test_rig.h"

#include <filesystem>
#include <fstream>
#include <thread>

#include "app/subsystem_wiring.h"
#include "fixtures/chunk_record_writer.h"
#include "viewer/main_loop.h"
#include "viewer/program_main.h"

namespace orelens::viewer::testing {

namespace fs = std::filesystem;

ViewerRig::ViewerRig() : engine_(platform::MakeHeadlessEngine()) {
  workingFolder = temp.MakeFolder("run");
  saveFolder = temp.MakeFolder("run/saves");
  const fs::path assets = fs::path(ORELENS_SOURCE_DIR) / "assets";
  fs::copy_file(assets / "demo.xml", workingFolder + "demo.xml");
  fs::copy(assets / "Textures", workingFolder + "Textures", fs::copy_options::recursive);
  fs::create_directories(workingFolder + "Textures/Block_prev");

  bundle_ = std::make_unique<PlatformBundle>(gui, input, *engine_, libraries);
  bundle_->workingFolder = workingFolder;
  bundle_->environment.homeFolder = temp.MakeFolder("home");  // no Steam, no game folders
  bundle_->elapsedMilliseconds = [this] { return clock; };
  bundle_->openWebPage = [this](const std::string& url) { openedPages.push_back(url); };
  bundle_->subsystems = app::BindSubsystemCalls();
}

ViewerRig::~ViewerRig() { context_.reset(); }

void ViewerRig::MakeWorld(const std::string& name, int chunksPerSide) {
  fixtures::ChunkRecordSpec spec;
  for (int row = 0; row < 32; ++row)
    for (int col = 0; col < 32; ++col) {
      for (int h = 10; h < 20; ++h) spec.SetBlock(col, row, h, 1);
      spec.SetBlock(col, row, 20, 2);
    }
  spec.withLists = true;
  spec.minHeight = 9;
  spec.maxHeight = 21;
  const world::ChunkBlob blob = fixtures::CompressChunkRecord(fixtures::MakeChunkRecord(spec));

  const fixtures::WorldWriter world(saveFolder, name);
  fixtures::MetadataSpec metadata;
  const int half = chunksPerSide / 2;
  int32_t id = 0;
  for (int cz = -half; cz < chunksPerSide - half; ++cz)
    for (int cx = -half; cx < chunksPerSide - half; ++cx, ++id) {
      metadata.chunkOrigins.emplace_back((cx * 16 - 8) * 100, (cz * 16 - 8) * 100);
      if (id % 3 == 2) world.WriteCacheFile(id, blob);
      else world.PutDatabaseRow(id, blob);
    }
  metadata.position = {400, 400, 1000};  // engine (4, 10 + 2, 4)
  world.WriteMetadata(1, metadata);
}

void ViewerRig::WritePreferences(const std::string& lastWorld, const std::vector<std::string>& extraLines) {
  std::ofstream prefs(workingFolder + "prefs.ini", std::ios::binary);
  prefs << "\xEF\xBB\xBF\r\nLastWorld = " << lastWorld << "\r\nSaveDir = " << saveFolder
        << "\r\nInstaLoadDir = " << workingFolder << "instaload/\r\n";
  for (const auto& line : extraLines) prefs << line << "\r\n";
}

bool ViewerRig::Start() {
  context_ = std::make_unique<ProgramContext>(*bundle_);
  if (beforeStartUp) beforeStartUp(*context_);
  const bool started = StartUp(*context_);
  startupMessages_ = started ? gui.MessageBoxCount() : 0;
  return started;
}

bool ViewerRig::StartPaused() {
  context_ = std::make_unique<ProgramContext>(*bundle_);
  context_->SetChunkLoadingPaused(true);
  if (beforeStartUp) beforeStartUp(*context_);
  const bool started = StartUp(*context_);
  startupMessages_ = started ? gui.MessageBoxCount() : 0;
  return started;
}

void ViewerRig::Pass(int count) {
  for (int i = 0; i < count; ++i) {
    input.AdvancePass();
    RunMainLoopPass(*context_);
    clock += 16;
  }
}

std::string ViewerRig::messages() const {
  std::string text;
  const auto boxes = gui.MessageBoxes();
  for (size_t i = startupMessages_; i < boxes.size(); ++i) text += boxes[i].title + "|" + boxes[i].text + "\n";
  return text;
}

}  // namespace orelens::viewer::testing
