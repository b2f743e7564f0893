#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "database_test_server.h"
#include "platform/database/mysql_database.h"
#include "platform/database/mysql_driver.h"
#include "platform/dynlib/dynamic_library.h"

namespace orelens::platform {
namespace {

using testing::CountRows;
using testing::TestDatabaseServer;

class MySqlFrontEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = TestDatabaseServer::FromEnvironment();
    if (!server_) GTEST_SKIP() << testing::kNoTestServer;
    driver_ = LoadMySqlDriver(LibraryLocator());
    ASSERT_TRUE(driver_);
    database_ = testing::OpenCustomBlockTestDatabase(*driver_, *server_);
    ASSERT_TRUE(database_);
    id_ = testing::UniqueTestId(1);
    database_->Update("DELETE FROM CustomBlocks2 WHERE id = " + std::to_string(id_));
  }
  void TearDown() override {
    if (database_) database_->Update("DELETE FROM CustomBlocks2 WHERE id = " + std::to_string(id_));
  }
  std::string Id() const { return std::to_string(id_); }

  std::optional<TestDatabaseServer> server_;
  std::shared_ptr<const MySqlDriver> driver_;
  std::unique_ptr<MySqlDatabase> database_;
  int32_t id_ = 0;
};

TEST_F(MySqlFrontEndTest, BoundTextWithQuotesAndBlobsTravelIntact) {
  const std::string name = "O'Brien's \"crate\" \\ ?";
  const std::string blob("\0\x01\xFF'\"\\", 6);
  database_->BindText(0, name);
  database_->BindBlob(1, blob);
  ASSERT_TRUE(database_->Update("INSERT INTO CustomBlocks2 (id,name,author,type,preview,hasPrev) VALUES (" +
                                Id() + ", ?, 'a', 1, ?, 1)"))
      << database_->LastError();
  database_->BindText(0, name);
  database_->BindBlob(1, blob);
  EXPECT_EQ(CountRows(*database_,
                      "SELECT id FROM CustomBlocks2 WHERE id = " + Id() + " and name = ? and preview = ?"),
            1);
  // A question mark inside quotes is text, not a parameter.
  database_->BindText(0, name);
  EXPECT_EQ(CountRows(*database_, "SELECT id FROM CustomBlocks2 WHERE name = ? and author <> '?'"), 1);
}

TEST_F(MySqlFrontEndTest, WrongParameterCountsFailWithoutSending) {
  database_->BindText(0, "x");
  EXPECT_FALSE(database_->Query("SELECT ?, ?"));
  EXPECT_EQ(database_->LastError(), "Wrong number of bound parameters");
  EXPECT_FALSE(database_->NextRow());
  database_->BindText(0, "x");
  database_->BindText(1, "y");
  EXPECT_FALSE(database_->Update("INSERT INTO CustomBlocks2 (id,name,author,type,hasPrev) VALUES (" + Id() +
                                 ", ?, 'a', 1, 0)"));
  EXPECT_EQ(database_->LastError(), "Wrong number of bound parameters");
  EXPECT_EQ(CountRows(*database_, "SELECT id FROM CustomBlocks2 WHERE id = " + Id()), 0);
  // The failed calls cleared their parameters: a plain statement runs again.
  EXPECT_TRUE(database_->Update("INSERT INTO CustomBlocks2 (id,name,author,type,hasPrev) VALUES (" + Id() +
                                ", 'n', 'a', 1, 0)"))
      << database_->LastError();
}

TEST_F(MySqlFrontEndTest, ServerErrorsBecomeTheLastError) {
  EXPECT_FALSE(database_->Query("SELEC nonsense"));
  EXPECT_FALSE(database_->LastError().empty());
  EXPECT_FALSE(database_->NextRow());
  EXPECT_FALSE(database_->Update("INSERT INTO NoSuchTable VALUES (1)"));
  EXPECT_NE(database_->LastError().find("NoSuchTable"), std::string::npos) << database_->LastError();
  // The server answered: the connection still stands.
  EXPECT_FALSE(database_->ConnectionLost());
  // An unfinished query does not block the next statement.
  ASSERT_TRUE(database_->Query("SELECT 1 UNION SELECT 2"));
  EXPECT_TRUE(database_->NextRow());
  EXPECT_EQ(CountRows(*database_, "SELECT 1"), 1);
}

TEST_F(MySqlFrontEndTest, OpeningFailsForBadPortsCredentialsAndServers) {
  std::string error;
  // Port 0 would be the client's default port: refused before anything is tried.
  for (unsigned port : {0u, 65536u}) {
    MySqlLogin login = server_->Login("tessdb42");
    login.port = port;
    EXPECT_FALSE(driver_->Open(login, {}, &error)) << port;
    EXPECT_EQ(error, "The port is not a number from 1 to 65535");
  }
  MySqlLogin login = server_->Login("tessdb42");
  login.user = "nobody";
  EXPECT_FALSE(driver_->Open(login, {}, &error));
  EXPECT_FALSE(error.empty());
  login = server_->Login("tessdb42");
  login.password = "wrong";
  EXPECT_FALSE(driver_->Open(login, {}, &error));
  // The test account may use its own database only.
  EXPECT_FALSE(driver_->Open(server_->Login("mysql"), {}, &error));
  // Nothing listens on port 1 of the loopback address: refused at once.
  EXPECT_FALSE(driver_->Open({"127.0.0.1", 1, "tessdb42", "u", "p"}, {}, &error));
  // A name under .invalid never resolves.
  EXPECT_FALSE(driver_->Open({"customblocks.orelens.invalid", 3306, "tessdb42", "u", "p"}, {}, &error));
  // A host with a blank is a host with a blank: nothing after the blank is read as a setting.
  EXPECT_FALSE(driver_->Open({server_->host + " port=" + std::to_string(server_->port), server_->port,
                              "tessdb42", server_->user, server_->password},
                             {}, &error));
}

TEST_F(MySqlFrontEndTest, ValuesWithBlanksReachTheServerAsTheyAre) {
  testing::ScratchBlockDatabase scratch(*driver_, *server_, 1, " with blanks dbname=tessdb42");
  std::string error;
  const auto database = driver_->Open(server_->Login(scratch.Name()), {}, &error);
  ASSERT_TRUE(database) << error;
  database->BindText(0, scratch.Name());
  EXPECT_EQ(CountRows(*database, "SELECT 1 FROM DUAL WHERE DATABASE() = ?"), 1);
}

TEST_F(MySqlFrontEndTest, TextThatIsNotUtf8IsStoredWithReplacementCharacters) {
  // In strict mode the server refuses text that is not UTF-8 instead of cutting it.
  ASSERT_EQ(CountRows(*database_, "SELECT 1 FROM DUAL WHERE @@SESSION.sql_mode LIKE '%STRICT_TRANS_TABLES%'"),
            1);
  const std::string latin1 = "Caf\xe9 cr\xeame \xff";
  database_->BindText(0, latin1);
  database_->BindText(1, "\xc3\xa9t\xc3");
  ASSERT_TRUE(database_->Update("INSERT INTO CustomBlocks2 (id,name,author,type,hasPrev) VALUES (" + Id() +
                                ", ?, ?, 1, 0)"))
      << database_->LastError();
  EXPECT_EQ(CountRows(*database_, "SELECT id FROM CustomBlocks2 WHERE id = " + Id() +
                                      " and name = 'Caf\xEF\xBF\xBD cr\xEF\xBF\xBDme \xEF\xBF\xBD'"
                                      " and author = '\xC3\xA9t\xEF\xBF\xBD'"),
            1);
  // A lookup by the same bytes finds the row.
  database_->BindText(0, latin1);
  EXPECT_EQ(CountRows(*database_, "SELECT id FROM CustomBlocks2 WHERE name = ?"), 1);
}

TEST_F(MySqlFrontEndTest, AServerThatStallsFailsTheStatementWithinItsTimeoutAndLosesTheConnection) {
  testing::ScratchBlockDatabase scratch(*driver_, *server_, 2);
  const auto connect = [&] {
    std::string error;
    auto database =
        driver_->Open(server_->Login(scratch.Name()), {.connectSeconds = 5, .statementSeconds = 1}, &error);
    EXPECT_TRUE(database) << error;
    return database;
  };
  const auto queried = connect(), updated = connect(), streamed = connect();
  ASSERT_TRUE(queried && updated && streamed);
  EXPECT_EQ(CountRows(*queried, "SELECT id FROM CustomBlocks2"), 0);
  EXPECT_FALSE(queried->ConnectionLost());
  // How long a step took: each one gives up after the 1 s timeout, well before 4 s.
  const auto durationOf = [](const std::function<void()>& step) {
    const auto start = std::chrono::steady_clock::now();
    step();
    return std::chrono::steady_clock::now() - start;
  };

  // Another client holds the table: a query and an update wait for it, until they give up.
  scratch.LockTable();
  EXPECT_LT(durationOf([&] { EXPECT_FALSE(queried->Query("SELECT id FROM CustomBlocks2")); }),
            std::chrono::seconds(4));
  EXPECT_TRUE(queried->ConnectionLost()) << queried->LastError();
  EXPECT_LT(durationOf([&] {
              EXPECT_FALSE(updated->Update(
                  "INSERT INTO CustomBlocks2 (id,name,author,type,hasPrev) VALUES (1, 'n', 'a', 1, 0)"));
            }),
            std::chrono::seconds(4));
  EXPECT_TRUE(updated->ConnectionLost()) << updated->LastError();
  scratch.UnlockTable();

  // The server stalls in the middle of the rows: the first one is 20,000 bytes, the second one
  // takes 3 s to make.
  ASSERT_TRUE(streamed->Query("SELECT REPEAT('x', 20000), SLEEP(IF(seq = 2, 3, 0)) FROM seq_1_to_2"))
      << streamed->LastError();
  EXPECT_LT(durationOf([&] {
              while (streamed->NextRow()) {
              }
            }),
            std::chrono::seconds(4));
  EXPECT_TRUE(streamed->ConnectionLost());
  streamed->FinishQuery();

  // The client does not reconnect: everything after fails at once, and it stays lost.
  EXPECT_FALSE(
      queried->Update("INSERT INTO CustomBlocks2 (id,name,author,type,hasPrev) VALUES (1, 'n', 'a', 1, 0)"));
  EXPECT_FALSE(queried->Query("SELECT 1"));
  EXPECT_TRUE(queried->ConnectionLost());
}

TEST(MySqlDriverLoading, MissingClientLibraryGivesNoDriver) {
  LibraryLocator locator;
  locator.SetLibraryFile(kMariaDbLibraryName, "/nonexistent/libmariadb.so.3");
  EXPECT_FALSE(LoadMySqlDriver(locator));
  // A library without the client's functions is no driver either.
  locator.SetLibraryFile(kMariaDbLibraryName, "libz.so.1");
  EXPECT_FALSE(LoadMySqlDriver(locator));
}

}  // namespace
}  // namespace orelens::platform
