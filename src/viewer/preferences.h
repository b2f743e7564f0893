#pragma once

#include <string>
#include <string_view>

#include "platform/gui/gui.h"
#include "platform/system/environment.h"
#include "world/settings.h"

namespace orelens::viewer {

inline constexpr std::string_view kPreferencesErrorTitle = "FileSystem Error";
inline constexpr std::string_view kPreferencesErrorText =
    "Could not create or read preferences file, please make sure the current user has write permission to the "
    "application directory!";

// Where the preferences and the game paths come from.
struct PreferenceSources {
  std::string prefsPath = "./prefs.ini";
  platform::Environment environment;  // answers the registry and the local application data folder
};

// The Steam library folder from the registry ("<install path>\steamapps\"), or "" when neither
// Steam key can be read.
std::string SteamAppsDirFromRegistry(const platform::Environment& environment);

// The start-up reading of the preferences: creates an empty preference file when there is none,
// takes the Steam library from the registry, then reads the keys into the settings (the stored
// "SteamAppsDir" only when the registry gave none). When the file cannot be opened, or could never
// be written back, shows the "FileSystem Error" message and returns false: the program then ends.
bool ReadStartupPreferences(world::Settings& settings, const PreferenceSources& sources, platform::Gui& gui);

// Writes the ten preference keys in their order. When the file cannot be opened or written,
// shows the "FileSystem Error" message and returns false: the program then ends.
bool SavePreferences(const world::Settings& settings, std::string_view prefsPath, platform::Gui& gui);

}  // namespace orelens::viewer
