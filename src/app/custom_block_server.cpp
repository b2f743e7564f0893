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
  std::string platform::MySqlLogin::*text;  // null for the port
};

const std::array<ServerKey, 5> kKeys{{
    {"Host", kServerHostVariable, &platform::MySqlLogin::host},
    {"Port", kServerPortVariable, nullptr},
    {"Database", kServerDatabaseVariable, &platform::MySqlLogin::database},
    {"User", kServerUserVariable, &platform::MySqlLogin::user},
    {"Password", kServerPasswordVariable, &platform::MySqlLogin::password},
}};

struct KeyLines {
  // As written, in file order.
  std::vector<std::pair<std::string, std::string>> keys;
  // Why an existing file could not be read.
  std::string problem;
};

// The "key = value" lines of the file; none when it is missing.
KeyLines ReadKeyLines(const std::string& path) {
  const int64_t size = platform::FileSize(path);
  if (size == -1) return {};
  const auto notRead = [&path](std::string_view why) {
    return KeyLines{{}, path + " was not read: " + std::string(why)};
  };
  if (size == -2) return notRead("it is a folder.");
  if (size > kLargestSettingsFile) return notRead("it is larger than 64 KiB, too large for a settings file.");
  platform::File file = platform::File::Open(path, platform::FileMode::kRead);
  if (!file.IsOpen()) return notRead("it cannot be opened.");

  KeyLines lines;
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
    lines.keys.emplace_back(TrimBlanks(line.substr(0, equals)), TrimBlanks(line.substr(equals + 1)));
  }
  return lines;
}

// 1..65535 written in decimal digits alone, else nullopt.
std::optional<unsigned> PortOf(std::string_view text) {
  if (text.empty()) return std::nullopt;
  unsigned port = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    port = port * 10 + static_cast<unsigned>(c - '0');
    if (port > 65535) return std::nullopt;
  }
  if (port == 0) return std::nullopt;
  return port;
}

}  // namespace

CustomBlockServerChoice ReadCustomBlockServer(const platform::Environment& environment,
                                              const std::string& settingsFile) {
  const KeyLines file = ReadKeyLines(settingsFile);
  if (!file.problem.empty()) return {std::nullopt, file.problem};

  customblocks::CustomBlockDatabaseSettings settings;
  std::optional<std::string> port;  // as written
  std::string portSource;
  const auto apply = [&](const ServerKey& key, std::string_view value, std::string source) {
    if (key.text) {
      settings.login.*key.text = value;
    } else {
      port = value;
      portSource = std::move(source);
    }
  };
  // Later lines win, as do the variables over the file.
  for (const auto& [name, value] : file.keys) {
    for (const ServerKey& key : kKeys) {
      if (platform::EqualsIgnoringCase(name, key.fileKey)) apply(key, value, name + " in " + settingsFile);
    }
  }
  for (const ServerKey& key : kKeys) {
    if (const std::optional<std::string> value = environment.Variable(key.variable))
      apply(key, *value, "variable " + std::string(key.variable));
  }
  if (settings.login.host.empty()) return {};
  if (port) {
    const std::optional<unsigned> number = PortOf(*port);
    if (!number)
      return {std::nullopt,
              "the port \"" + *port + "\" (" + portSource + ") is not a number from 1 to 65535."};
    settings.login.port = *number;
  }
  return {settings, {}};
}

}  // namespace orelens::app
