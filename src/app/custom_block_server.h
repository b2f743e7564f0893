#pragma once

// Where the user has told Orelens to publish custom blocks. Nothing is built in: without a named
// server the blocks are imported and drawn but not published.

#include <optional>
#include <string>
#include <string_view>

#include "customblocks/custom_block_database.h"
#include "platform/system/environment.h"

namespace orelens::app {

// The program's own settings file for the server, in the working folder beside prefs.ini:
// "key = value" lines with the keys Host, Port, Database, User and Password (any letter case);
// blank lines and lines starting with "#" or ";" are skipped. A file larger than 64 KiB is no
// settings file and is not read.
inline constexpr std::string_view kCustomBlockServerFile = "customblock-server.ini";

// The environment variables that name the server; each one that is set wins over its key in the
// file, even when it is empty (ORELENS_BLOCKDB_PASSWORD= logs in without a password).
inline constexpr std::string_view kServerHostVariable = "ORELENS_BLOCKDB_HOST";
inline constexpr std::string_view kServerPortVariable = "ORELENS_BLOCKDB_PORT";
inline constexpr std::string_view kServerDatabaseVariable = "ORELENS_BLOCKDB_NAME";
inline constexpr std::string_view kServerUserVariable = "ORELENS_BLOCKDB_USER";
inline constexpr std::string_view kServerPasswordVariable = "ORELENS_BLOCKDB_PASSWORD";

// What the settings file and the environment say about the server.
struct CustomBlockServerChoice {
  // The server to publish to; nullopt when no host is named or the settings cannot be used.
  std::optional<customblocks::CustomBlockDatabaseSettings> server;
  // Why the settings cannot be used, for the user: the settings file exists but could not be
  // read, or the port of a named server is not a number from 1 to 65535 (the text names the
  // setting and where it came from). Empty when nothing is wrong.
  std::string problem;
};

// Reads the settings file (a missing one names nothing) and the environment. Values are taken
// as written, blanks inside them included.
CustomBlockServerChoice ReadCustomBlockServer(const platform::Environment& environment,
                                              const std::string& settingsFile);

}  // namespace orelens::app
