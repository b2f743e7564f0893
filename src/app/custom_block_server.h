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
// blank lines and lines starting with "#" or ";" are skipped.
inline constexpr std::string_view kCustomBlockServerFile = "customblock-server.ini";

// The environment variables that name the server; each one wins over its key in the file.
inline constexpr std::string_view kServerHostVariable = "ORELENS_BLOCKDB_HOST";
inline constexpr std::string_view kServerPortVariable = "ORELENS_BLOCKDB_PORT";
inline constexpr std::string_view kServerDatabaseVariable = "ORELENS_BLOCKDB_NAME";
inline constexpr std::string_view kServerUserVariable = "ORELENS_BLOCKDB_USER";
inline constexpr std::string_view kServerPasswordVariable = "ORELENS_BLOCKDB_PASSWORD";

// The server from the settings file (missing or unreadable: no keys) and the environment.
// nullopt when neither names a host. A port that is not a number from 1 to 65535 is kept as 0,
// so connecting fails and the user is told so.
std::optional<customblocks::CustomBlockDatabaseSettings> ReadCustomBlockServer(
    const platform::Environment& environment, const std::string& settingsFile);

}  // namespace orelens::app
