#include <gtest/gtest.h>

#include <chrono>

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
  // An unfinished query does not block the next statement.
  ASSERT_TRUE(database_->Query("SELECT 1 UNION SELECT 2"));
  EXPECT_TRUE(database_->NextRow());
  EXPECT_EQ(CountRows(*database_, "SELECT 1"), 1);
}

TEST_F(MySqlFrontEndTest, OpeningFailsForBadTextsCredentialsAndServers) {
  std::string error;
  EXPECT_FALSE(driver_->Open("host=" + server_->host + " dbname=tessdb42", server_->user, server_->password,
                             5, &error));
  EXPECT_FALSE(driver_->Open(server_->ConnectionText("tessdb42"), "nobody", "wrong", 5, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(driver_->Open(server_->ConnectionText("tessdb42"), server_->user, "wrong", 5, &error));
  // The test account may use its own database only.
  EXPECT_FALSE(driver_->Open(server_->ConnectionText("mysql"), server_->user, server_->password, 5, &error));
  // Nothing listens on port 1 of the loopback address: refused at once.
  EXPECT_FALSE(driver_->Open("host=127.0.0.1 port=1 dbname=tessdb42", "u", "p", 5, &error));
  // A name under .invalid never resolves.
  EXPECT_FALSE(
      driver_->Open("host=customblocks.orelens.invalid port=3306 dbname=tessdb42", "u", "p", 5, &error));
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
