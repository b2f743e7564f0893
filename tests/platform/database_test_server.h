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

  std::string ConnectionText(const std::string& database) const {
    return "host=" + host + " port=" + std::to_string(port) + " dbname=" + database;
  }
};

inline constexpr char kNoTestServer[] =
    "no test MariaDB server (ORELENS_TEST_MYSQL_HOST/PORT/USER; scripts/test-mariadb starts one)";

// A connection to "tessdb42" through the test account. Tests sharing the table use ids of their
// own (see UniqueTestId).
inline std::unique_ptr<MySqlDatabase> OpenCustomBlockTestDatabase(const MySqlDriver& driver,
                                                                  const TestDatabaseServer& server) {
  std::string error;
  auto database = driver.Open(server.ConnectionText("tessdb42"), server.user, server.password, 5, &error);
  if (!database) ADD_FAILURE() << "test server unreachable: " << error;
  return database;
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
