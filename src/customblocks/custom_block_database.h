#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/database/mysql_database.h"
#include "platform/database/mysql_driver.h"
#include "platform/gui/gui.h"

namespace orelens::customblocks {

// Where the shared custom-block table lives and how to log in. Nothing of it is built into the
// program but the table's own names: the user names the server (see app/custom_block_server.h);
// tests name their own.
struct CustomBlockDatabaseSettings {
  platform::MySqlLogin login{
      .host = "", .port = 3306, .database = "tessdb42", .user = "tessdb42", .password = ""};
  platform::MySqlTimeouts timeouts;
};

// One block as the import publishes it.
struct PublishedBlock {
  int32_t id = 0;
  int type = 0;
  std::string_view name;
  std::string_view author;
  std::string previewFile;
};

// The import's way to the custom-block table: opens the connection for one import call and runs
// its statements. Each runs on a worker thread while the main thread keeps the windows alive,
// and none waits longer for the server than the settings' timeouts.
class CustomBlockDatabaseConnector {
 public:
  // driver may be null (client library missing): connecting then fails.
  CustomBlockDatabaseConnector(platform::Gui& gui, std::shared_ptr<const platform::MySqlDriver> driver,
                               CustomBlockDatabaseSettings settings);

  // Shows the connecting text and opens the connection. nullptr when offline.
  std::unique_ptr<platform::MySqlDatabase> ConnectCustomBlockDatabase();

  // Uploads the block unless the table holds it with this name and a preview. False when the
  // connection was lost on the way (the server stopped answering or went away): it is of no
  // more use. A statement that merely fails counts as done, as the import ignores its outcome.
  bool PublishCustomBlock(platform::MySqlDatabase& connection, const PublishedBlock& block);

 private:
  // Runs work on a thread of its own, which may use the client library; until it ends, the main
  // thread handles one window event every 10 ms.
  void RunKeepingWindowsAlive(const std::function<void()>& work);
  // Body of the connecting thread.
  std::unique_ptr<platform::MySqlDatabase> OpenCustomBlockDatabase() const;

  platform::Gui& gui_;
  std::shared_ptr<const platform::MySqlDriver> driver_;
  CustomBlockDatabaseSettings settings_;
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
