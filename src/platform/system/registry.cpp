#include "platform/system/registry.h"

#include <sys/stat.h>

#include <array>
#include <filesystem>

#include "platform/files/path_resolver.h"

namespace orelens::platform {
namespace {

bool IsFolder(const std::string& path) {
  struct stat info;
  return !path.empty() && stat(ResolvePath(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string WithSeparator(std::string folder) {
  if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder += '/';
  return folder;
}

// The first Steam installation folder that exists, or "".
std::string FindSteamFolder(const Environment& environment) {
  if (environment.homeFolder.empty()) return {};
  std::string home = WithSeparator(environment.homeFolder);
  const std::array<std::string, 3> candidates = {
      home + ".steam/steam",
      home + ".local/share/Steam",
      home + ".var/app/com.valvesoftware.Steam/.local/share/Steam",
  };
  for (const std::string& candidate : candidates) {
    if (IsFolder(candidate)) return candidate;
  }
  return {};
}

bool IsSteamKey(std::string_view key) {
  return EqualsIgnoringCase(key, "SOFTWARE\\Valve\\Steam") || EqualsIgnoringCase(key, "SOFTWARE\\Wow6432Node\\Valve\\Steam");
}

}  // namespace

std::string ReadRegistryString(const Environment& environment, RegistryRoot root, std::string_view key,
                               std::string_view valueName) {
  std::string steamFolder;
  if (root == RegistryRoot::kLocalMachine && IsSteamKey(key)) steamFolder = FindSteamFolder(environment);
  if (steamFolder.empty()) return std::string(kRegistryErrorOpeningKey);
  if (!EqualsIgnoringCase(valueName, "InstallPath") || !IsFolder(steamFolder + "/steamapps"))
    return std::string(kRegistryErrorReadingKey);
  return steamFolder;
}

std::string GetLocalAppDataFolder(const Environment& environment, std::string_view steamAppsDir) {
  if (!steamAppsDir.empty()) {
    std::string prefix = WithSeparator(std::string(steamAppsDir)) +
                         "compatdata/731042/pfx/drive_c/users/steamuser/AppData/Local/";
    if (IsFolder(prefix)) return ResolvePath(prefix);
  }
  std::string folder;
  if (!environment.dataHome.empty())
    folder = WithSeparator(environment.dataHome);
  else if (!environment.homeFolder.empty())
    folder = WithSeparator(environment.homeFolder) + ".local/share/";
  if (!folder.empty()) {
    std::error_code ignored;  // a folder that cannot be made shows later, when a file in it is used
    std::filesystem::create_directories(ResolvePath(folder), ignored);
  }
  return folder;
}

std::string DefaultSteamAppsDir(const Environment& environment) {
  if (environment.homeFolder.empty()) return {};
  return WithSeparator(environment.homeFolder) + ".local/share/Steam/steamapps/";
}

}  // namespace orelens::platform
