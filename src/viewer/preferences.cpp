#include "viewer/preferences.h"

#include "platform/files/file.h"
#include "platform/prefs/preference_file.h"
#include "platform/system/registry.h"

namespace orelens::viewer {
namespace {

constexpr std::string_view kSteamKey = "SOFTWARE\\Valve\\Steam";
constexpr std::string_view kSteamKey32On64 = "SOFTWARE\\Wow6432Node\\Valve\\Steam";
constexpr std::string_view kInstallPath = "InstallPath";

constexpr std::string_view kKeyLastWorld = "LastWorld";
constexpr std::string_view kKeySaveDir = "SaveDir";
constexpr std::string_view kKeyInstaLoadDir = "InstaLoadDir";
constexpr std::string_view kKeySteamAppsDir = "SteamAppsDir";
constexpr std::string_view kKeyVisibleChunkBorders = "VisibleChunkBorders";
constexpr std::string_view kKeyNarrowRenderHeight = "NarrowRenderHeight";
constexpr std::string_view kKeyViewDistance = "ViewDistance";
constexpr std::string_view kKeyDrawBothNormals = "DrawBothNormals";
constexpr std::string_view kKeyShadows = "Shadows";
constexpr std::string_view kKeyDoNotShareModsBlocks = "Do not share custom Blocks in mods directory";

constexpr std::string_view kDefaultWorldName = "My Great World";
constexpr std::string_view kDefaultSaveFolder = "Kelvane/Saved/WorldData/";
constexpr std::string_view kDefaultInstaLoadFolder = "Kelvane/Saved/WorldData_InstaLoad/";

bool IsRegistryError(std::string_view value) {
  return value == platform::kRegistryErrorOpeningKey || value == platform::kRegistryErrorReadingKey;
}

bool ShowPreferencesError(platform::Gui& gui) {
  gui.MessageBox(kPreferencesErrorTitle, kPreferencesErrorText);
  return false;
}

int ClampToInt(int64_t value) {
  // The file may hold any 64-bit number; the settings are ints.
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int>(value);
}

}  // namespace

std::string SteamAppsDirFromRegistry(const platform::Environment& environment) {
  using platform::RegistryRoot;
  std::string installPath = platform::ReadRegistryString(environment, RegistryRoot::kLocalMachine, kSteamKey, kInstallPath);
  if (IsRegistryError(installPath))
    installPath = platform::ReadRegistryString(environment, RegistryRoot::kLocalMachine, kSteamKey32On64, kInstallPath);
  if (IsRegistryError(installPath)) return {};
  return installPath + "\\steamapps\\";
}

bool ReadStartupPreferences(world::Settings& settings, const PreferenceSources& sources, platform::Gui& gui) {
  if (platform::FileSize(sources.prefsPath) == -1) platform::PreferenceFile::Create(sources.prefsPath);
  settings.SteamAppsDir = SteamAppsDirFromRegistry(sources.environment);

  // The file is written back at every restart of the streaming and at the end: one that can
  // never be written ends the program here, not in the middle of a session. Held by another
  // reader for the moment, it is read all the same.
  if (!platform::IsWritableFile(sources.prefsPath)) return ShowPreferencesError(gui);
  std::optional<platform::PreferenceFile> file = platform::PreferenceFile::OpenForReading(sources.prefsPath);
  if (!file) return ShowPreferencesError(gui);

  std::string appData = platform::GetLocalAppDataFolder(sources.environment, settings.SteamAppsDir);
  settings.SaveDir = file->ReadString(kKeySaveDir, appData + std::string(kDefaultSaveFolder));
  settings.InstaLoadDir = file->ReadString(kKeyInstaLoadDir, appData + std::string(kDefaultInstaLoadFolder));
  if (settings.SteamAppsDir.empty())
    settings.SteamAppsDir =
        file->ReadString(kKeySteamAppsDir, platform::DefaultSteamAppsDir(sources.environment));
  settings.CurrentWorldName = file->ReadString(kKeyLastWorld, kDefaultWorldName);
  settings.VisibleChunkBorders = ClampToInt(file->ReadInteger(kKeyVisibleChunkBorders, 0));
  settings.ViewDistance = ClampToInt(file->ReadInteger(kKeyViewDistance, 150));
  // Any other value would give the view one shadow mode and the menu's check mark another.
  const int64_t shadows = file->ReadInteger(kKeyShadows, 0);
  settings.ShadowMode = shadows >= 0 && shadows <= 2 ? static_cast<int>(shadows) : 0;
  settings.DoNotShareModsBlocks = ClampToInt(file->ReadInteger(kKeyDoNotShareModsBlocks, 1));
  settings.DrawBothNormals = 1;
  return true;
}

bool SavePreferences(const world::Settings& settings, std::string_view prefsPath, platform::Gui& gui) {
  std::optional<platform::PreferenceFile> file = platform::PreferenceFile::Open(prefsPath);
  if (!file) return ShowPreferencesError(gui);
  file->WriteString(kKeyLastWorld, settings.CurrentWorldName);
  file->WriteString(kKeySaveDir, settings.SaveDir);
  file->WriteString(kKeyInstaLoadDir, settings.InstaLoadDir);
  file->WriteString(kKeySteamAppsDir, settings.SteamAppsDir);
  file->WriteInteger(kKeyVisibleChunkBorders, settings.VisibleChunkBorders);
  file->WriteInteger(kKeyNarrowRenderHeight, settings.NarrowRenderHeight.load());
  file->WriteInteger(kKeyViewDistance, settings.ViewDistance.load());
  file->WriteInteger(kKeyDrawBothNormals, settings.DrawBothNormals);
  file->WriteInteger(kKeyShadows, settings.ShadowMode);
  file->WriteInteger(kKeyDoNotShareModsBlocks, settings.DoNotShareModsBlocks);
  if (!file->Close()) return ShowPreferencesError(gui);
  return true;
}

}  // namespace orelens::viewer
