#include "platform/database/mysql_connection_text.h"

namespace orelens::platform {

namespace {

std::optional<std::string_view> ValueOf(std::string_view text, std::string_view key) {
  const size_t at = text.find(key);
  if (at == std::string_view::npos) return std::nullopt;
  std::string_view value = text.substr(at + key.size());
  return value.substr(0, value.find(' '));
}

}  // namespace

std::optional<MySqlEndpoint> ParseMySqlConnectionText(std::string_view text) {
  const auto host = ValueOf(text, "host=");
  const auto database = ValueOf(text, "dbname=");
  const auto port = ValueOf(text, "port=");
  if (!host || !database || !port) return std::nullopt;

  unsigned portNumber = 0;
  for (char c : *port) {
    if (c < '0' || c > '9') break;
    portNumber = portNumber * 10 + static_cast<unsigned>(c - '0');
    if (portNumber > 65535) return std::nullopt;
  }
  if (portNumber == 0) return std::nullopt;
  return MySqlEndpoint{std::string(*host), portNumber, std::string(*database)};
}

}  // namespace orelens::platform
