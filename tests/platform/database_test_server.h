#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/database/mysql_driver.h"
#include "platform/dynlib/dynamic_library.h"

namespace orelens::platform::testing {

// The MariaDB server the test script starts on 127.0.0.1 (ORELENS_TEST_MYSQL_HOST / _PORT),
// reached as root without a password.
struct TestDatabaseServer {
  std::string host;
  unsigned port = 0;

  // nullopt when the environment names no server.
  static std::optional<TestDatabaseServer> FromEnvironment() {
    const char* host = std::getenv("ORELENS_TEST_MYSQL_HOST");
    const char* port = std::getenv("ORELENS_TEST_MYSQL_PORT");
    if (!host || !port || !*host || !*port) return std::nullopt;
    return TestDatabaseServer{host, static_cast<unsigned>(std::atoi(port))};
  }

  std::string ConnectionText(const std::string& database) const {
    return "host=" + host + " port=" + std::to_string(port) + " dbname=" + database;
  }
};

// Creates database "tessdb42" with the table CustomBlocks2 (when missing) and returns a root
// connection to it. Tests sharing the table use ids of their own (see UniqueTestId).
inline std::unique_ptr<MySqlDatabase> OpenCustomBlockTestDatabase(const MySqlDriver& driver,
                                                                  const TestDatabaseServer& server) {
  std::string error;
  auto admin = driver.Open(server.ConnectionText("mysql"), "root", "", 5, &error);
  if (!admin) {
    ADD_FAILURE() << "test server unreachable: " << error;
    return nullptr;
  }
  EXPECT_TRUE(admin->Update("CREATE DATABASE IF NOT EXISTS tessdb42 CHARACTER SET utf8mb4"))
      << admin->LastError();
  EXPECT_TRUE(
      admin->Update("CREATE TABLE IF NOT EXISTS tessdb42.CustomBlocks2 (id INT PRIMARY KEY, "
                    "name VARCHAR(255) NOT NULL, author VARCHAR(255) NOT NULL, type INT NOT NULL, "
                    "preview LONGBLOB NULL, hasPrev INT NOT NULL DEFAULT 0) CHARACTER SET utf8mb4"))
      << admin->LastError();
  return driver.Open(server.ConnectionText("tessdb42"), "root", "", 5, &error);
}

// Ids that no other test process uses at the same time.
inline int32_t UniqueTestId(int n) {
  return static_cast<int32_t>((getpid() % 100000) * 100 + n);
}

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
