// The preference file "prefs.ini": read at start-up, written back by SavePreferences.
//
// Input: the file. Properties:
//  - round trip: what is read, saved and read again gives the same settings, and saving a file
//    the program wrote itself changes nothing in it (lines it does not know are kept as they were);
//  - reading and saving a file never fails once it exists, and shows no message.

#include <vector>

#include "fixtures/world_writer.h"
#include "fuzz/fuzz_support.h"
#include "platform/gui/scripted_gui.h"
#include "viewer/preferences.h"
#include "world/settings.h"

namespace {

using namespace orelens;

struct PreferencesRig {
  fixtures::TempFolder temp;
  viewer::PreferenceSources sources;

  PreferencesRig() {
    sources.prefsPath = temp.path() + "prefs.ini";
    // A home without Steam: the registry answers nothing, so "SteamAppsDir" comes from the file.
    sources.environment.homeFolder = temp.MakeFolder("home");
    sources.environment.dataHome = temp.MakeFolder("data");
  }
};

bool SameSettings(const world::Settings& a, const world::Settings& b) {
  return a.CurrentWorldName == b.CurrentWorldName && a.SaveDir == b.SaveDir &&
         a.InstaLoadDir == b.InstaLoadDir && a.SteamAppsDir == b.SteamAppsDir &&
         a.VisibleChunkBorders == b.VisibleChunkBorders &&
         a.NarrowRenderHeight.load() == b.NarrowRenderHeight.load() &&
         a.ViewDistance.load() == b.ViewDistance.load() && a.DrawBothNormals == b.DrawBothNormals &&
         a.ShadowMode == b.ShadowMode && a.DoNotShareModsBlocks == b.DoNotShareModsBlocks;
}

void ReadAndSave(const PreferencesRig& rig, world::Settings& settings) {
  platform::ScriptedGui gui;
  FUZZ_CHECK(viewer::ReadStartupPreferences(settings, rig.sources, gui));
  FUZZ_CHECK(viewer::SavePreferences(settings, rig.sources.prefsPath, gui));
  FUZZ_CHECK(gui.MessageBoxCount() == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static PreferencesRig rig;
  fixtures::WriteBytesToFile(rig.sources.prefsPath, fuzz::InputBytes(data, size));

  world::Settings first;
  ReadAndSave(rig, first);
  const std::vector<uint8_t> firstSave = fixtures::ReadFileBytes(rig.sources.prefsPath);

  world::Settings second;
  ReadAndSave(rig, second);
  FUZZ_CHECK_MSG(SameSettings(first, second), "settings read back from a saved file differ");
  FUZZ_CHECK_MSG(fixtures::ReadFileBytes(rig.sources.prefsPath) == firstSave,
                 "saving the program's own file changed it");
  return 0;
}
