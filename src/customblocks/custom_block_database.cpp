#include "customblocks/custom_block_database.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "customblocks/import_progress_window.h"
#include "platform/files/file.h"

namespace orelens::customblocks {

CustomBlockDatabaseConnector::CustomBlockDatabaseConnector(
    platform::Gui& gui, std::shared_ptr<const platform::MySqlDriver> driver,
    CustomBlockDatabaseSettings settings)
    : gui_(gui), driver_(std::move(driver)), settings_(std::move(settings)) {}

void CustomBlockDatabaseConnector::RunKeepingWindowsAlive(const std::function<void()>& work) {
  // Set by the worker as its last step; the main thread only polls it.
  std::atomic<bool> finished{false};
  std::thread worker([this, &work, &finished] {
    // The client library keeps state for each thread that uses it; this thread ends here.
    driver_->RunAsClientThread(work);
    finished.store(true, std::memory_order_release);
  });
  while (!finished.load(std::memory_order_acquire)) {
    gui_.WindowEventNoWait();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  worker.join();
}

std::unique_ptr<platform::MySqlDatabase> CustomBlockDatabaseConnector::ConnectCustomBlockDatabase() {
  gui_.SetGadgetText(kImportStatusText, "Trying to connect to custom block database,\n\rplease stand by...");
  if (!driver_) return nullptr;
  // Written by the worker only; read here after it has ended.
  std::unique_ptr<platform::MySqlDatabase> connection;
  RunKeepingWindowsAlive([this, &connection] { connection = OpenCustomBlockDatabase(); });
  return connection;
}

std::unique_ptr<platform::MySqlDatabase> CustomBlockDatabaseConnector::OpenCustomBlockDatabase() const {
  return driver_->Open(settings_.login, settings_.timeouts);
}

bool CustomBlockDatabaseConnector::PublishCustomBlock(platform::MySqlDatabase& connection,
                                                      const PublishedBlock& block) {
  RunKeepingWindowsAlive([&connection, &block] {
    if (!RemoteBlockHasPreview(&connection, block.id, block.name))
      UploadCustomBlockRecord(&connection, block.id, block.type, block.name, block.author, block.previewFile);
  });
  return !connection.ConnectionLost();
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
