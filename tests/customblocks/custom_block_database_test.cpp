#include "customblocks/custom_block_database.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "customblocks/import_progress_window.h"
#include "customblocks/scratch_folder.h"
#include "fixtures/dds_writer.h"
#include "platform/database_test_server.h"
#include "platform/dynlib/dynamic_library.h"
#include "platform/gui/scripted_gui.h"

namespace orelens::customblocks {
namespace {

using platform::testing::CountRows;
using platform::testing::TestDatabaseServer;

class CustomBlockDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = TestDatabaseServer::FromEnvironment();
    if (!server_) GTEST_SKIP() << platform::testing::kNoTestServer;
    driver_ = platform::LoadMySqlDriver(platform::LibraryLocator());
    ASSERT_TRUE(driver_);
    database_ = platform::testing::OpenCustomBlockTestDatabase(*driver_, *server_);
    ASSERT_TRUE(database_);
    id_ = platform::testing::UniqueTestId(2);
    Delete();
  }
  void TearDown() override {
    if (database_) Delete();
  }
  void Delete() { database_->Update("DELETE FROM CustomBlocks2 WHERE id = " + std::to_string(id_)); }
  int Rows(const std::string& condition) {
    return CountRows(*database_,
                     "SELECT id FROM CustomBlocks2 WHERE id = " + std::to_string(id_) + " and " + condition);
  }
  std::string PreviewFile(size_t bytes) {
    const std::string path = scratch_.File(std::to_string(id_) + ".png");
    EXPECT_TRUE(fixtures::WriteBytesFile(path, std::vector<uint8_t>(bytes, 0x5A)));
    return path;
  }

  testing::ScratchFolder scratch_;
  std::optional<TestDatabaseServer> server_;
  std::shared_ptr<const platform::MySqlDriver> driver_;
  std::unique_ptr<platform::MySqlDatabase> database_;
  int32_t id_ = 0;
};

TEST_F(CustomBlockDatabaseTest, UploadedBlockWithPreviewIsNotUploadedAgain) {
  EXPECT_FALSE(RemoteBlockHasPreview(database_.get(), id_, "Crate"));
  UploadCustomBlockRecord(database_.get(), id_, 3, "Crate", "Ada", PreviewFile(300));
  EXPECT_EQ(Rows("name = 'Crate' and author = 'Ada' and type = 3 and hasPrev = 1 and LENGTH(preview) = 300"),
            1);
  EXPECT_TRUE(RemoteBlockHasPreview(database_.get(), id_, "Crate"));
  // Renamed: the lookup misses, so the import uploads again and the row takes the new name.
  EXPECT_FALSE(RemoteBlockHasPreview(database_.get(), id_, "Big Crate"));
  UploadCustomBlockRecord(database_.get(), id_, 4, "Big Crate", "Ada", PreviewFile(200));
  EXPECT_EQ(Rows("name = 'Big Crate' and type = 4 and hasPrev = 1 and LENGTH(preview) = 200"), 1);
  EXPECT_TRUE(RemoteBlockHasPreview(database_.get(), id_, "Big Crate"));
}

TEST_F(CustomBlockDatabaseTest, QuotesInNamesAndAuthorsAreDataNotStatement) {
  const std::string name = "Bob's 'best' block\\'; DROP TABLE CustomBlocks2; --";
  const std::string author = "O'Hara ?";
  UploadCustomBlockRecord(database_.get(), id_, 1, name, author, PreviewFile(10));
  EXPECT_TRUE(RemoteBlockHasPreview(database_.get(), id_, name));
  EXPECT_FALSE(RemoteBlockHasPreview(database_.get(), id_, "Bob"));
  database_->BindText(0, name);
  database_->BindText(1, author);
  EXPECT_EQ(Rows("name = ? and author = ?"), 1);
}

TEST_F(CustomBlockDatabaseTest, UploadWithoutPreviewKeepsTheStoredPicture) {
  UploadCustomBlockRecord(database_.get(), id_, 2, "Lamp", "Cy", PreviewFile(123));
  std::filesystem::remove(scratch_.File(std::to_string(id_) + ".png"));
  UploadCustomBlockRecord(database_.get(), id_, 2, "Lamp", "Cy", scratch_.File(std::to_string(id_) + ".png"));
  EXPECT_EQ(Rows("hasPrev = 0 and LENGTH(preview) = 123"), 1);
  EXPECT_FALSE(RemoteBlockHasPreview(database_.get(), id_, "Lamp"));
  // A new block without a preview gets a row too.
  Delete();
  UploadCustomBlockRecord(database_.get(), id_, 1, "Bare", "Cy", scratch_.File("missing.png"));
  EXPECT_EQ(Rows("name = 'Bare' and hasPrev = 0 and preview IS NULL"), 1);
}

TEST_F(CustomBlockDatabaseTest, ConnectsOnAWorkerThreadThreaded) {
  platform::ScriptedGui gui;
  OpenImportProgressWindow(gui);
  CustomBlockDatabaseSettings settings;
  settings.login = server_->Login("tessdb42");
  CustomBlockDatabaseConnector connector(gui, driver_, settings);
  std::unique_ptr<platform::MySqlDatabase> connection = connector.ConnectCustomBlockDatabase();
  ASSERT_TRUE(connection);
  EXPECT_EQ(gui.GetGadgetText(kImportStatusText),
            "Trying to connect to custom block database,\n\rplease stand by...");
  EXPECT_TRUE(
      connector.PublishCustomBlock(*connection, {id_, 1, "Threaded", "T", scratch_.File("none.png")}));
  EXPECT_EQ(Rows("name = 'Threaded' and author = 'T' and type = 1 and hasPrev = 0"), 1);
  // Found with its preview: left alone.
  ASSERT_TRUE(database_->Update("UPDATE CustomBlocks2 SET hasPrev = 1, author = 'kept' WHERE id = " +
                                std::to_string(id_)));
  EXPECT_TRUE(
      connector.PublishCustomBlock(*connection, {id_, 2, "Threaded", "T", scratch_.File("none.png")}));
  EXPECT_EQ(Rows("author = 'kept' and type = 1"), 1);

  settings.login.port = 1;  // refused
  CustomBlockDatabaseConnector refused(gui, driver_, settings);
  EXPECT_FALSE(refused.ConnectCustomBlockDatabase());
  CustomBlockDatabaseConnector withoutClient(gui, nullptr, settings);
  EXPECT_FALSE(withoutClient.ConnectCustomBlockDatabase());
  EXPECT_FALSE(RemoteBlockHasPreview(nullptr, id_, "Threaded"));
}

// A server that takes the connection but never says a word.
class SilentServer {
 public:
  SilentServer() {
    socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (::bind(socket_, reinterpret_cast<sockaddr*>(&address), length) == 0 && ::listen(socket_, 4) == 0 &&
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      port_ = ntohs(address.sin_port);
    }
  }
  ~SilentServer() { ::close(socket_); }
  unsigned Port() const { return port_; }

 private:
  int socket_ = -1;
  unsigned port_ = 0;
};

TEST(CustomBlockDatabaseConnector, KeepsTheWindowsAliveWhileAServerStallsThreaded) {
  auto driver = platform::LoadMySqlDriver(platform::LibraryLocator());
  ASSERT_TRUE(driver);
  SilentServer server;
  ASSERT_NE(server.Port(), 0u);
  platform::ScriptedGui gui;
  OpenImportProgressWindow(gui);
  CustomBlockDatabaseSettings settings;
  settings.login.host = "127.0.0.1";
  settings.login.port = server.Port();
  settings.timeouts.connectSeconds = 1;
  CustomBlockDatabaseConnector connector(gui, driver, settings);
  EXPECT_FALSE(connector.ConnectCustomBlockDatabase());
  // Polled every 10 ms while the attempt ran out its second: not in a busy loop.
  EXPECT_GE(gui.NoWaitCalls(), 20);
  EXPECT_LE(gui.NoWaitCalls(), 1000);
  EXPECT_EQ(gui.GetGadgetText(kImportStatusText),
            "Trying to connect to custom block database,\n\rplease stand by...");
}

TEST_F(CustomBlockDatabaseTest, PublishingKeepsTheWindowsAliveWhileTheTableIsLockedThreaded) {
  platform::testing::ScratchBlockDatabase locked(*driver_, *server_, 2);
  platform::ScriptedGui gui;
  OpenImportProgressWindow(gui);
  CustomBlockDatabaseSettings settings;
  settings.login = server_->Login(locked.Name());
  settings.timeouts.statementSeconds = 1;
  CustomBlockDatabaseConnector connector(gui, driver_, settings);
  std::unique_ptr<platform::MySqlDatabase> connection = connector.ConnectCustomBlockDatabase();
  ASSERT_TRUE(connection);
  locked.LockTable();
  const int before = gui.NoWaitCalls();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(connector.PublishCustomBlock(*connection, {id_, 1, "Stalled", "S", PreviewFile(10)}));
  // Given up after the statement timeout, the windows taken care of every 10 ms meanwhile.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
  EXPECT_GE(gui.NoWaitCalls() - before, 20);
  EXPECT_TRUE(connection->ConnectionLost());
}

// The client library's own functions, but the thread ends are counted by the thread that made them.
struct ThreadEndLog {
  static inline std::mutex mutex;
  static inline std::vector<std::thread::id> threads;
  static inline decltype(&::mysql_thread_end) realThreadEnd = nullptr;
  static void Record() {
    {
      std::lock_guard lock(mutex);
      threads.push_back(std::this_thread::get_id());
    }
    realThreadEnd();
  }
};

TEST(CustomBlockDatabaseConnector, TheConnectingThreadEndsItsClientStateThreaded) {
  auto library = std::make_shared<platform::DynamicLibrary>(
      platform::LibraryLocator().Load(platform::kMariaDbLibraryName));
  ASSERT_TRUE(library->IsLoaded());
  platform::MySqlClientApi api;
  ASSERT_TRUE(api.Resolve([&](std::string_view name) { return library->Symbol(std::string(name).c_str()); }));
  ThreadEndLog::realThreadEnd = api.thread_end;
  api.thread_end = &ThreadEndLog::Record;
  auto driver =
      std::make_shared<platform::MySqlDriver>(std::make_shared<platform::MySqlClientSession>(library, api));

  platform::ScriptedGui gui;
  OpenImportProgressWindow(gui);
  CustomBlockDatabaseSettings settings;
  settings.login.host = "127.0.0.1";
  settings.login.port = 1;  // refused at once
  CustomBlockDatabaseConnector connector(gui, driver, settings);
  EXPECT_FALSE(connector.ConnectCustomBlockDatabase());
  std::lock_guard lock(ThreadEndLog::mutex);
  ASSERT_EQ(ThreadEndLog::threads.size(), 1u);
  EXPECT_NE(ThreadEndLog::threads[0], std::this_thread::get_id());
}

TEST(CustomBlockDatabaseSettings, NothingIsBuiltInButTheTableNames) {
  CustomBlockDatabaseSettings settings;
  EXPECT_EQ(settings.login.host, "");
  EXPECT_EQ(settings.login.password, "");
  EXPECT_EQ(settings.login.port, 3306u);
  EXPECT_EQ(settings.login.database, "tessdb42");
  EXPECT_EQ(settings.login.user, "tessdb42");
  // Neither a connection attempt nor a statement holds the import up for long.
  EXPECT_EQ(settings.timeouts.connectSeconds, 5u);
  EXPECT_EQ(settings.timeouts.statementSeconds, 5u);
}

}  // namespace
}  // namespace orelens::customblocks
