#pragma once

#include <memory>
#include <string>

#include "customblocks/block_preview.h"
#include "customblocks/custom_block_database.h"
#include "platform/database/mysql_driver.h"
#include "platform/engine3d/engine3d.h"
#include "platform/gui/gui.h"
#include "viewer/custom_block_map.h"

namespace orelens::customblocks {

struct CustomBlockImportSettings {
  BlockPreviewSettings preview;
  CustomBlockDatabaseSettings database;
};

// Imports the custom blocks of a workshop or mods folder at start-up: reads each block's
// properties, turns its DDS textures into materials, records it in the custom block map, makes
// its preview picture and, when sharing, publishes it to the remote custom-block table.
// Main thread only; the progress window (OpenImportProgressWindow) must be open.
class CustomBlockImporter {
 public:
  // driver may be null when the MySQL client library is missing: sharing then fails to connect.
  CustomBlockImporter(platform::Gui& gui, platform::Engine3D& engine, viewer::CustomBlockMap& blocks,
                      std::shared_ptr<const platform::MySqlDriver> driver,
                      CustomBlockImportSettings settings = {});

  // folder ends with a separator; doNotShare 0 publishes the imported blocks.
  void ImportCustomBlocksFromFolder(const std::string& folder, int doNotShare);

 private:
  // One qualifying block folder; connection may be null (offline).
  void ImportBlockFolder(const std::string& blockFolder, platform::MySqlDatabase* connection);

  platform::Gui& gui_;
  platform::Engine3D& engine_;
  viewer::CustomBlockMap& blocks_;
  CustomBlockImportSettings settings_;
  CustomBlockDatabaseConnector connector_;
  BlockPreviewMaker previews_;
};

}  // namespace orelens::customblocks
