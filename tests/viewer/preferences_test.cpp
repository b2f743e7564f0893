#include <gtest/gtest.h>

#include "fixtures/world_writer.h"
#include "platform/gui/scripted_gui.h"
#include "viewer/preferences.h"

namespace orelens::viewer {
namespace {

using fixtures::ReadFileBytes;
using fixtures::TempFolder;
using fixtures::WriteBytesToFile;

std::string Text(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }
std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

class PreferencesTest : public testing::Test {
 protected:
  PreferencesTest() {
    sources_.prefsPath = work_.path() + "prefs.ini";
    sources_.environment = {home_.path(), ""};
  }
  void InstallSteam() { steamApps_ = home_.MakeFolder(".steam/steam/steamapps"); }

  TempFolder work_;
  TempFolder home_;
  PreferenceSources sources_;
  platform::ScriptedGui gui_;
  world::Settings settings_;
  std::string steamApps_;
};

TEST_F(PreferencesTest, FirstRunCreatesTheFileAndSavesAllTenKeysInOrder) {
  ASSERT_TRUE(ReadStartupPreferences(settings_, sources_, gui_));
  EXPECT_EQ(settings_.CurrentWorldName, "My Great World");
  EXPECT_EQ(settings_.SaveDir, home_.path() + ".local/share/Kelvane/Saved/WorldData/");
  EXPECT_EQ(settings_.InstaLoadDir, home_.path() + ".local/share/Kelvane/Saved/WorldData_InstaLoad/");
  EXPECT_EQ(settings_.SteamAppsDir, home_.path() + ".local/share/Steam/steamapps/");  // Linux Steam's place
  EXPECT_EQ(settings_.VisibleChunkBorders, 0);
  EXPECT_EQ(settings_.ViewDistance, 150);
  EXPECT_EQ(settings_.ShadowMode, 0);
  EXPECT_EQ(settings_.DoNotShareModsBlocks, 1);
  EXPECT_EQ(settings_.DrawBothNormals, 1);
  EXPECT_EQ(Text(ReadFileBytes(sources_.prefsPath)), "\xEF\xBB\xBF\r\n");  // an empty preference file
  EXPECT_EQ(gui_.MessageBoxCount(), 0u);

  settings_.NarrowRenderHeight = 1;
  settings_.ViewDistance = -300;
  ASSERT_TRUE(SavePreferences(settings_, sources_.prefsPath, gui_));
  EXPECT_EQ(Text(ReadFileBytes(sources_.prefsPath)),
            "\xEF\xBB\xBF\r\n"
            "LastWorld = My Great World\r\n"
            "SaveDir = " +
                settings_.SaveDir +
                "\r\n"
                "InstaLoadDir = " +
                settings_.InstaLoadDir +
                "\r\n"
                "SteamAppsDir = " +
                settings_.SteamAppsDir +
                "\r\n"
                "VisibleChunkBorders = 0\r\n"
                "NarrowRenderHeight = 1\r\n"
                "ViewDistance = -300\r\n"
                "DrawBothNormals = 1\r\n"
                "Shadows = 0\r\n"
                "Do not share custom Blocks in mods directory = 1\r\n");
}

TEST_F(PreferencesTest, StoredValuesAreReadTrimmedCaseInsensitivelyAndNotNumbersReadZero) {
  WriteBytesToFile(sources_.prefsPath, Bytes("\xEF\xBB\xBF\r\nsavedir =  /games/save/ \t\r\nlastworld = Home\r\n"
                                             "VIEWDISTANCE = far\r\nShadows = 2\r\nNarrowRenderHeight = 1\r\n"
                                             "DrawBothNormals = 0\r\nSteamAppsDir = /stored/steamapps/\r\n"
                                             "Do not share custom Blocks in mods directory = 0\r\nVisibleChunkBorders = 1\r\n"));
  ASSERT_TRUE(ReadStartupPreferences(settings_, sources_, gui_));
  EXPECT_EQ(settings_.SaveDir, "/games/save/");
  EXPECT_EQ(settings_.CurrentWorldName, "Home");
  EXPECT_EQ(settings_.ViewDistance, 0);
  EXPECT_EQ(settings_.ShadowMode, 2);
  EXPECT_EQ(settings_.NarrowRenderHeight, 0);  // not read at start
  EXPECT_EQ(settings_.DrawBothNormals, 1);      // not read at start
  EXPECT_EQ(settings_.SteamAppsDir, "/stored/steamapps/");
  EXPECT_EQ(settings_.DoNotShareModsBlocks, 0);
  EXPECT_EQ(settings_.VisibleChunkBorders, 1);
}

TEST_F(PreferencesTest, ShadowValuesOutsideTheMenusChoicesReadAsNone) {
  for (const char* stored : {"5", "-1", "3", "$2", "2"}) {
    WriteBytesToFile(sources_.prefsPath,
                     Bytes(std::string("Shadows = ") + stored + "\r\nViewDistance = $258\r\n"));
    ASSERT_TRUE(ReadStartupPreferences(settings_, sources_, gui_));
    EXPECT_EQ(settings_.ShadowMode, std::string(stored) == "2" ? 2 : 0) << stored;
    EXPECT_EQ(settings_.ViewDistance, 0) << stored;  // decimal digits only: "$258" is no number
  }
}

TEST_F(PreferencesTest, KeysInsideAGroupAreNotTheProgramsKeys) {
  WriteBytesToFile(sources_.prefsPath,
                   Bytes("LastWorld = Home\r\n[Elsewhere]\r\nLastWorld = Other\r\nShadows = 2\r\n"));
  ASSERT_TRUE(ReadStartupPreferences(settings_, sources_, gui_));
  EXPECT_EQ(settings_.CurrentWorldName, "Home");
  EXPECT_EQ(settings_.ShadowMode, 0);
}

TEST_F(PreferencesTest, SteamFromTheRegistryWinsOverTheStoredFolder) {
  InstallSteam();
  WriteBytesToFile(sources_.prefsPath, Bytes("SteamAppsDir = /stored/steamapps/\r\n"));
  ASSERT_TRUE(ReadStartupPreferences(settings_, sources_, gui_));
  EXPECT_EQ(settings_.SteamAppsDir, home_.path() + ".steam/steam\\steamapps\\");
  ASSERT_TRUE(SavePreferences(settings_, sources_.prefsPath, gui_));
  EXPECT_NE(Text(ReadFileBytes(sources_.prefsPath)).find("SteamAppsDir = " + settings_.SteamAppsDir + "\r\n"),
            std::string::npos);
}

TEST_F(PreferencesTest, SaveFoldersDefaultUnderTheGamesProtonPrefix) {
  InstallSteam();
  std::string local = home_.MakeFolder(".steam/steam/steamapps/compatdata/731042/pfx/drive_c/users/steamuser/AppData/Local");
  ASSERT_TRUE(ReadStartupPreferences(settings_, sources_, gui_));
  EXPECT_EQ(settings_.SaveDir, local + "Kelvane/Saved/WorldData/");
}

TEST_F(PreferencesTest, NoLocalAppDataFolderGivesRelativeSaveFolders) {
  sources_.environment = {};
  ASSERT_TRUE(ReadStartupPreferences(settings_, sources_, gui_));
  EXPECT_EQ(settings_.SaveDir, "Kelvane/Saved/WorldData/");
  EXPECT_EQ(settings_.InstaLoadDir, "Kelvane/Saved/WorldData_InstaLoad/");
  EXPECT_EQ(settings_.SteamAppsDir, "");
}

TEST_F(PreferencesTest, UnopenableFileShowsTheFileSystemError) {
  sources_.prefsPath = work_.MakeFolder("prefs.ini");
  EXPECT_FALSE(ReadStartupPreferences(settings_, sources_, gui_));
  EXPECT_FALSE(SavePreferences(settings_, sources_.prefsPath, gui_));
  auto boxes = gui_.MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  for (const auto& box : boxes) {
    EXPECT_EQ(box.title, "FileSystem Error");
    EXPECT_EQ(box.text,
              "Could not create or read preferences file, please make sure the current user has write permission to "
              "the application directory!");
  }
  EXPECT_FALSE(SavePreferences(settings_, work_.path() + "missing/prefs.ini", gui_));
}

}  // namespace
}  // namespace orelens::viewer
