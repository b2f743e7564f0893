#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/database/mysql_database.h"
#include "platform/database/mysql_driver.h"
#include "platform/gui/gui.h"

namespace orelens::customblocks {

// Where the shared custom-block table lives and how to log in. Nothing of it is built into the
// program: the user names the server (see app/custom_block_server.h); tests name their own.
struct CustomBlockDatabaseSettings {
  std::string host;
  unsigned port = 3306;
  std::string database = "tessdb42";
  std::string user = "tessdb42";
  std::string password;
  // An unreachable host fails after this long rather than holding up start-up.
  unsigned connectTimeoutSeconds = platform::MySqlDriver::kDefaultConnectTimeoutSeconds;

  // "host=<host> port=<port> dbname=<database>", the front end's connection text.
  std::string ConnectionText() const;
};

// Opens the connection to the custom-block table for one import call.
class CustomBlockDatabaseConnector {
 public:
  // driver may be null (client library missing): connecting then fails.
  CustomBlockDatabaseConnector(platform::Gui& gui, std::shared_ptr<const platform::MySqlDriver> driver,
                               CustomBlockDatabaseSettings settings);

  // Shows the connecting text, opens the connection on a worker thread and keeps the windows
  // alive meanwhile (one event, then 10 ms sleep, until the worker ends). nullptr when offline.
  std::unique_ptr<platform::MySqlDatabase> ConnectCustomBlockDatabase();

 private:
  // Body of the connecting thread.
  void OpenCustomBlockDatabase();

  platform::Gui& gui_;
  std::shared_ptr<const platform::MySqlDriver> driver_;
  CustomBlockDatabaseSettings settings_;
  // Written by the connecting thread only; the main thread reads it after joining that thread.
  std::unique_ptr<platform::MySqlDatabase> connection_;
};

// True when the table holds a row with this id and name that has a preview. False when there is
// no connection or the lookup fails (the block is then uploaded again).
bool RemoteBlockHasPreview(platform::MySqlDatabase* connection, int32_t id, std::string_view name);

// Inserts the block's row or updates it, with the preview picture in previewFile when that
// can be read, else without one (hasPrev 0, the stored picture left as it is). The outcome is
// not reported.
void UploadCustomBlockRecord(platform::MySqlDatabase* connection, int32_t id, int type, std::string_view name,
                             std::string_view author, const std::string& previewFile);

// Runs one statement that returns no rows; true when it succeeded.
bool ExecuteDatabaseUpdate(platform::MySqlDatabase* connection, std::string_view statement);

}  // namespace orelens::customblocks
