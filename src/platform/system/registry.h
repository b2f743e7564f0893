#pragma once

#include <string>
#include <string_view>

#include "platform/system/environment.h"

namespace orelens::platform {

enum class RegistryRoot { kLocalMachine, kCurrentUser };

inline constexpr std::string_view kRegistryErrorOpeningKey = "Error Opening Key";
inline constexpr std::string_view kRegistryErrorReadingKey = "Error Reading Key";

// Answers the registry questions the program asks, from the Linux system. The keys
// "SOFTWARE\Valve\Steam" and "SOFTWARE\Wow6432Node\Valve\Steam" of the local machine open when
// a Steam installation exists at ~/.steam/steam, ~/.local/share/Steam or the Flatpak location;
// their value "InstallPath" is that folder when it holds "steamapps". Returns the value text,
// "Error Opening Key" when the key cannot be opened, or "Error Reading Key" when the value
// cannot be read.
std::string ReadRegistryString(const Environment& environment, RegistryRoot root, std::string_view key,
                               std::string_view valueName);

// The user's local application data folder, always ending with a separator: the game's Proton
// prefix under the Steam library when it exists, else $XDG_DATA_HOME or ~/.local/share/, made
// (with its parents) when missing. Empty when none can be found.
std::string GetLocalAppDataFolder(const Environment& environment, std::string_view steamAppsDir);

// Where Steam keeps its library on Linux when no installation is found: ~/.local/share/Steam/
// steamapps/ (empty without a home folder).
std::string DefaultSteamAppsDir(const Environment& environment);

}  // namespace orelens::platform
