#include "platform/system/registry.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "fixtures/world_writer.h"

namespace orelens::platform {
namespace {

using fixtures::TempFolder;

constexpr std::string_view kSteamKey = "SOFTWARE\\Valve\\Steam";
constexpr std::string_view kSteamKey32On64 = "SOFTWARE\\Wow6432Node\\Valve\\Steam";

TEST(Registry, SteamInstallPathFromEachKnownLocation) {
  for (std::string location : {".steam/steam", ".local/share/Steam", ".var/app/com.valvesoftware.Steam/.local/share/Steam"}) {
    TempFolder home;
    home.MakeFolder(location + "/steamapps");
    Environment environment{home.path(), ""};
    EXPECT_EQ(ReadRegistryString(environment, RegistryRoot::kLocalMachine, kSteamKey, "InstallPath"),
              home.path() + location);
    EXPECT_EQ(ReadRegistryString(environment, RegistryRoot::kLocalMachine, kSteamKey32On64, "InstallPath"),
              home.path() + location);
  }
}

TEST(Registry, ErrorTextsForMissingKeysAndValues) {
  TempFolder home;
  Environment environment{home.path(), ""};
  EXPECT_EQ(ReadRegistryString(environment, RegistryRoot::kLocalMachine, kSteamKey, "InstallPath"), "Error Opening Key");
  home.MakeFolder(".steam/steam");  // Steam folder without a library
  EXPECT_EQ(ReadRegistryString(environment, RegistryRoot::kLocalMachine, kSteamKey, "InstallPath"), "Error Reading Key");
  home.MakeFolder(".steam/steam/steamapps");
  EXPECT_EQ(ReadRegistryString(environment, RegistryRoot::kLocalMachine, kSteamKey, "Other"), "Error Reading Key");
  EXPECT_EQ(ReadRegistryString(environment, RegistryRoot::kLocalMachine, "SOFTWARE\\Other", "InstallPath"),
            "Error Opening Key");
  EXPECT_EQ(ReadRegistryString(environment, RegistryRoot::kCurrentUser, kSteamKey, "InstallPath"), "Error Opening Key");
  EXPECT_EQ(ReadRegistryString(Environment{}, RegistryRoot::kLocalMachine, kSteamKey, "InstallPath"), "Error Opening Key");
}

TEST(Registry, LocalAppDataPrefersTheGamesProtonPrefix) {
  TempFolder home;
  std::string steamApps = home.MakeFolder("steamapps");
  Environment environment{home.path(), ""};
  EXPECT_EQ(GetLocalAppDataFolder(environment, steamApps), home.path() + ".local/share/");
  EXPECT_EQ(GetLocalAppDataFolder(Environment{home.path(), home.path() + "data"}, steamApps),
            home.path() + "data/");
  std::string prefix = home.MakeFolder("steamapps/compatdata/731042/pfx/drive_c/users/steamuser/AppData/Local");
  EXPECT_EQ(GetLocalAppDataFolder(environment, steamApps), prefix);
  // The registry's form of the library folder, with "\" separators, finds it too.
  EXPECT_EQ(GetLocalAppDataFolder(environment, home.path() + "\\steamapps\\"), prefix);
  EXPECT_EQ(GetLocalAppDataFolder(Environment{}, ""), "");
}

TEST(Registry, MissingLocalAppDataFolderIsMade) {
  TempFolder home;
  const std::string dataHome = home.path() + "xdg/data";
  EXPECT_EQ(GetLocalAppDataFolder(Environment{home.path(), dataHome}, ""), dataHome + "/");
  EXPECT_TRUE(std::filesystem::is_directory(dataHome));
  EXPECT_EQ(GetLocalAppDataFolder(Environment{home.path(), ""}, ""), home.path() + ".local/share/");
  EXPECT_TRUE(std::filesystem::is_directory(home.path() + ".local/share"));
}

TEST(Registry, SteamLibraryDefaultsToTheLinuxSteamFolder) {
  EXPECT_EQ(DefaultSteamAppsDir(Environment{"/home/player", ""}),
            "/home/player/.local/share/Steam/steamapps/");
  EXPECT_EQ(DefaultSteamAppsDir(Environment{"/home/player/", ""}),
            "/home/player/.local/share/Steam/steamapps/");
  EXPECT_EQ(DefaultSteamAppsDir(Environment{}), "");
}

}  // namespace
}  // namespace orelens::platform
