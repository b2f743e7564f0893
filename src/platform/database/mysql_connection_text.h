#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orelens::platform {

// Where the MySQL driver connects, from the front end's connection text
// "host=... port=... dbname=...": the three keys in any order, each value ending at the next
// blank, the port in decimal.
struct MySqlEndpoint {
  std::string host;
  unsigned port = 0;
  std::string database;
};

// nullopt when a key is missing or the port is not a number from 1 to 65535.
std::optional<MySqlEndpoint> ParseMySqlConnectionText(std::string_view text);

}  // namespace orelens::platform
