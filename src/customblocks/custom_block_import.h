#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "customblocks/block_preview.h"
#include "customblocks/custom_block_database.h"
#include "platform/database/mysql_driver.h"
#include "platform/engine3d/engine3d.h"
#include "platform/gui/gui.h"
#include "viewer/custom_block_map.h"

namespace orelens::customblocks {

struct CustomBlockImportSettings {
  BlockPreviewSettings preview;
  // The custom-block server; nullopt when the user has named none: blocks are then imported
  // without being published, and no connection is attempted.
  std::optional<CustomBlockDatabaseSettings> database;
  // What is wrong with the user's server settings (a bad value, a settings file that could not
  // be read), empty when nothing is. When set, nothing is published and no connection is
  // attempted; a box says it once.
  std::string databaseSettingsProblem;
};

// The status line shown, once, instead of connecting when blocks would be published but no
// custom-block server is configured.
inline constexpr std::string_view kNoServerStatus =
    "Your custom blocks are not published: no custom block database server is configured.";
// The message when a configured server cannot be reached, or stops answering during the import.
inline constexpr std::string_view kConnectionFailedMessage =
    "Connection to Database failed, custom block database could not be updated with your blocks!";
// The message that puts the server settings' problem before the user (the problem follows it).
inline constexpr std::string_view kUnusableSettingsMessage = "Your custom blocks are not published: ";

// Imports the custom blocks of a workshop or mods folder at start-up: reads each block's
// properties, turns its DDS textures into materials, records it in the custom block map, makes
// its preview picture and, when sharing, publishes it to the remote custom-block table.
// Main thread only; the progress window (OpenImportProgressWindow) must be open.
class CustomBlockImporter {
 public:
  // driver may be null when the MySQL client library is missing: sharing with a configured
  // server then fails to connect.
  CustomBlockImporter(platform::Gui& gui, platform::Engine3D& engine, viewer::CustomBlockMap& blocks,
                      std::shared_ptr<const platform::MySqlDriver> driver,
                      CustomBlockImportSettings settings = {});

  // folder ends with a separator; doNotShare 0 publishes the imported blocks.
  void ImportCustomBlocksFromFolder(const std::string& folder, int doNotShare);

 private:
  // The connection that publishes this call's blocks, or null: no server configured (said once
  // in the status line), settings that cannot be used (said once in a message box) or the
  // server could not be reached (said in a message box).
  std::unique_ptr<platform::MySqlDatabase> ConnectForPublishing();
  // One qualifying block folder; connection may be null (offline).
  void ImportBlockFolder(const std::string& blockFolder,
                         std::unique_ptr<platform::MySqlDatabase>& connection);
  // Publishes one block; a connection lost on the way is said in a message box and dropped, so
  // the rest of the folder is imported offline.
  void PublishBlock(std::unique_ptr<platform::MySqlDatabase>& connection,
                    const viewer::CustomBlockDefinition& entry, const std::string& author);

  platform::Gui& gui_;
  platform::Engine3D& engine_;
  viewer::CustomBlockMap& blocks_;
  CustomBlockImportSettings settings_;
  std::optional<CustomBlockDatabaseConnector> connector_;  // none without a configured server
  bool toldWhyNotPublished_ = false;                       // no server, or settings that cannot be used
  BlockPreviewMaker previews_;
};

}  // namespace orelens::customblocks
