#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/database/mysql_driver.h"
#include "platform/dynlib/dynamic_library.h"

namespace orelens::platform::testing {

// The MariaDB server the test script starts on 127.0.0.1 (ORELENS_TEST_MYSQL_HOST / _PORT), with
// the database "tessdb42", its table CustomBlocks2 and an account of its own that may read and
// write that table and nothing else (ORELENS_TEST_MYSQL_USER / _PASSWORD).
struct TestDatabaseServer {
  std::string host;
  unsigned port = 0;
  std::string user;
  std::string password;

  // nullopt when the environment names no server.
  static std::optional<TestDatabaseServer> FromEnvironment() {
    const auto variable = [](const char* name) -> std::string {
      const char* value = std::getenv(name);
      return value ? value : "";
    };
    TestDatabaseServer server{variable("ORELENS_TEST_MYSQL_HOST"), 0, variable("ORELENS_TEST_MYSQL_USER"),
                              variable("ORELENS_TEST_MYSQL_PASSWORD")};
    server.port = static_cast<unsigned>(std::atoi(variable("ORELENS_TEST_MYSQL_PORT").c_str()));
    if (server.host.empty() || server.port == 0 || server.user.empty()) return std::nullopt;
    return server;
  }

  MySqlLogin Login(const std::string& database) const { return {host, port, database, user, password}; }
};

inline constexpr char kNoTestServer[] =
    "no test MariaDB server (ORELENS_TEST_MYSQL_HOST/PORT/USER; scripts/test-mariadb starts one)";

// A connection to "tessdb42" through the test account. Tests sharing the table use ids of their
// own (see UniqueTestId).
inline std::unique_ptr<MySqlDatabase> OpenCustomBlockTestDatabase(const MySqlDriver& driver,
                                                                  const TestDatabaseServer& server) {
  std::string error;
  auto database = driver.Open(server.Login("tessdb42"), {}, &error);
  if (!database) ADD_FAILURE() << "test server unreachable: " << error;
  return database;
}

// Ids that no other test process uses at the same time.
inline int32_t UniqueTestId(int n) {
  return static_cast<int32_t>((getpid() % 100000) * 100 + n);
}

// A database of the test's own, "tessdb42_scratch_" + a name unique to the process + suffix,
// with a CustomBlocks2 table made like tessdb42's; dropped when the object goes. A test that
// locks its table this way stalls no other test. Its session waits for the server for as long
// as a test may take.
class ScratchBlockDatabase {
 public:
  ScratchBlockDatabase(const MySqlDriver& driver, const TestDatabaseServer& server, int n,
                       const std::string& suffix = "")
      : name_("tessdb42_scratch_" + std::to_string(getpid()) + "_" + std::to_string(n) + suffix) {
    session_ = driver.Open(server.Login("tessdb42"), {.connectSeconds = 5, .statementSeconds = 300});
    if (!session_) {
      ADD_FAILURE() << "test server unreachable";
      return;
    }
    Run("DROP DATABASE IF EXISTS `" + name_ + "`");
    Run("CREATE DATABASE `" + name_ + "` CHARACTER SET utf8mb4");
    Run("CREATE TABLE `" + name_ + "`.CustomBlocks2 LIKE tessdb42.CustomBlocks2");
    Run("USE `" + name_ + "`");
  }
  ~ScratchBlockDatabase() {
    if (!session_) return;
    Run("UNLOCK TABLES");
    Run("DROP DATABASE `" + name_ + "`");
  }
  ScratchBlockDatabase(const ScratchBlockDatabase&) = delete;
  ScratchBlockDatabase& operator=(const ScratchBlockDatabase&) = delete;

  const std::string& Name() const { return name_; }
  // A connection to the database; its statements run while the table is locked.
  MySqlDatabase* Session() { return session_.get(); }
  // Runs a statement in the session (an update, or a query whose rows are dropped).
  void Run(const std::string& statement) {
    if (!session_->Query(statement)) ADD_FAILURE() << statement << ": " << session_->LastError();
    session_->FinishQuery();
  }
  // Holds the table locked for writing, as another client may, until UnlockTable or the end:
  // every other session's statement on it then waits.
  void LockTable() { Run("LOCK TABLES CustomBlocks2 WRITE"); }
  void UnlockTable() { Run("UNLOCK TABLES"); }

 private:
  std::string name_;
  std::unique_ptr<MySqlDatabase> session_;
};

// Counts the rows a query returns.
inline int CountRows(MySqlDatabase& database, const std::string& query) {
  if (!database.Query(query)) {
    ADD_FAILURE() << query << ": " << database.LastError();
    return -1;
  }
  int rows = 0;
  while (database.NextRow()) ++rows;
  database.FinishQuery();
  return rows;
}

}  // namespace orelens::platform::testing
