#include "customblocks/custom_block_database.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "customblocks/import_progress_window.h"
#include "platform/files/file.h"

namespace orelens::customblocks {

std::string CustomBlockDatabaseSettings::ConnectionText() const {
  return "host=" + host + " port=" + std::to_string(port) + " dbname=" + database;
}

CustomBlockDatabaseConnector::CustomBlockDatabaseConnector(
    platform::Gui& gui, std::shared_ptr<const platform::MySqlDriver> driver,
    CustomBlockDatabaseSettings settings)
    : gui_(gui), driver_(std::move(driver)), settings_(std::move(settings)) {}

void CustomBlockDatabaseConnector::OpenCustomBlockDatabase() {
  connection_.reset();
  if (!driver_) return;
  connection_ = driver_->Open(settings_.ConnectionText(), settings_.user, settings_.password,
                              settings_.connectTimeoutSeconds);
  // This thread ends here; the client library keeps state for each thread that used it.
  driver_->EndThread();
}

std::unique_ptr<platform::MySqlDatabase> CustomBlockDatabaseConnector::ConnectCustomBlockDatabase() {
  gui_.SetGadgetText(kImportStatusText, "Trying to connect to custom block database,\n\rplease stand by...");
  // Set by the worker as its last step; the main thread only polls it.
  std::atomic<bool> finished{false};
  std::thread worker([this, &finished] {
    OpenCustomBlockDatabase();
    finished.store(true, std::memory_order_release);
  });
  while (!finished.load(std::memory_order_acquire)) {
    gui_.WindowEventNoWait();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  worker.join();
  return std::move(connection_);
}

bool RemoteBlockHasPreview(platform::MySqlDatabase* connection, int32_t id, std::string_view name) {
  if (!connection) return false;
  connection->BindText(0, name);
  const bool queried = connection->Query("SELECT id from CustomBlocks2 WHERE id = " + std::to_string(id) +
                                         " and name = ? and hasPrev = 1;");
  const bool found = queried && connection->NextRow();
  connection->FinishQuery();
  return found;
}

void UploadCustomBlockRecord(platform::MySqlDatabase* connection, int32_t id, int type, std::string_view name,
                             std::string_view author, const std::string& previewFile) {
  if (!connection) return;
  const std::string idText = std::to_string(id);
  const std::string typeText = std::to_string(type);
  connection->BindText(0, name);
  connection->BindText(1, author);

  platform::File file = platform::File::Open(previewFile, platform::FileMode::kRead);
  if (file.IsOpen()) {
    const std::vector<uint8_t> bytes = file.ReadAll();
    file.Close();
    const std::string_view picture(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    connection->BindBlob(2, picture);
    connection->BindText(3, name);
    connection->BindText(4, author);
    connection->BindBlob(5, picture);
    ExecuteDatabaseUpdate(
        connection, "INSERT INTO CustomBlocks2 (id,name,author,type, preview,hasPrev) VALUES (" + idText +
                        ", ?, ?, " + typeText + ", ?, 1) ON DUPLICATE KEY UPDATE type = " + typeText +
                        ", name = ?, author = ?, preview = ?, hasPrev=1;");
    return;
  }
  connection->BindText(2, name);
  connection->BindText(3, author);
  ExecuteDatabaseUpdate(connection, "INSERT INTO CustomBlocks2 (id,name,author,type,hasPrev) VALUES (" +
                                        idText + ", ?, ?, " + typeText +
                                        ", 0) ON DUPLICATE KEY UPDATE type = " + typeText +
                                        ", name = ?, author = ?, hasPrev=0;");
}

bool ExecuteDatabaseUpdate(platform::MySqlDatabase* connection, std::string_view statement) {
  return connection && connection->Update(statement);
}

}  // namespace orelens::customblocks
