#include "app/custom_block_server.h"

#include <array>
#include <vector>

#include "platform/files/file.h"
#include "platform/files/path_resolver.h"

namespace orelens::app {

namespace {

// A settings file is a few lines; anything larger is not one.
constexpr int64_t kLargestSettingsFile = 64 * 1024;

std::string_view TrimBlanks(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

struct ServerKey {
  std::string_view fileKey;
  std::string_view variable;
  std::string customblocks::CustomBlockDatabaseSettings::*text;  // null for the port
};

const std::array<ServerKey, 5> kKeys{{
    {"Host", kServerHostVariable, &customblocks::CustomBlockDatabaseSettings::host},
    {"Port", kServerPortVariable, nullptr},
    {"Database", kServerDatabaseVariable, &customblocks::CustomBlockDatabaseSettings::database},
    {"User", kServerUserVariable, &customblocks::CustomBlockDatabaseSettings::user},
    {"Password", kServerPasswordVariable, &customblocks::CustomBlockDatabaseSettings::password},
}};

// The "key = value" lines of the file (keys as written), or none when it cannot be read.
std::vector<std::pair<std::string, std::string>> ReadKeyLines(const std::string& path) {
  std::vector<std::pair<std::string, std::string>> keys;
  const int64_t size = platform::FileSize(path);
  if (size <= 0 || size > kLargestSettingsFile) return keys;
  platform::File file = platform::File::Open(path, platform::FileMode::kRead);
  if (!file.IsOpen()) return keys;
  const std::vector<uint8_t> bytes = file.ReadAll();
  std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  while (!text.empty()) {
    const size_t end = text.find_first_of("\r\n");
    const std::string_view line = TrimBlanks(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == '#' || line.front() == ';') continue;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    keys.emplace_back(TrimBlanks(line.substr(0, equals)), TrimBlanks(line.substr(equals + 1)));
  }
  return keys;
}

// 1..65535 written in decimal, else 0.
unsigned PortOf(std::string_view text) {
  if (text.empty() || text.size() > 5) return 0;
  unsigned port = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    port = port * 10 + static_cast<unsigned>(c - '0');
  }
  return port <= 65535 ? port : 0;
}

}  // namespace

std::optional<customblocks::CustomBlockDatabaseSettings> ReadCustomBlockServer(
    const platform::Environment& environment, const std::string& settingsFile) {
  customblocks::CustomBlockDatabaseSettings settings;
  const auto apply = [&settings](const ServerKey& key, std::string_view value) {
    if (key.text)
      settings.*key.text = value;
    else
      settings.port = PortOf(value);
  };
  // Later lines win, as do the variables over the file.
  for (const auto& [name, value] : ReadKeyLines(settingsFile)) {
    for (const ServerKey& key : kKeys) {
      if (platform::EqualsIgnoringCase(name, key.fileKey)) apply(key, value);
    }
  }
  for (const ServerKey& key : kKeys) {
    if (const std::optional<std::string> value = environment.Variable(key.variable)) apply(key, *value);
  }
  if (settings.host.empty()) return std::nullopt;
  return settings;
}

}  // namespace orelens::app
