// The preference file "prefs.ini": read at start-up, written back by SavePreferences.
//
// Input: the file. Properties:
//  - what is read is written back unchanged: the first save holds every line of the file as the
//    format reads it (comments, empty lines, groups and whatever follows them as they stood, other
//    top-level keys as "key = value"), and only the program's ten keys take the values read: in
//    their places, or, when missing, before the first group;
//  - round trip: what is read, saved and read again gives the same settings, and saving the
//    program's own file again changes nothing in it;
//  - reading and saving a file never fails once it exists, and shows no message.

#include <cctype>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fixtures/world_writer.h"
#include "fuzz/fuzz_support.h"
#include "platform/gui/scripted_gui.h"
#include "viewer/preferences.h"
#include "world/settings.h"

namespace {

using namespace orelens;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

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

// ---- the format, written down here a second time as the model the save is held to ----

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool SameKey(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// The file's lines: after a byte-order mark UTF-8 text, whose first line break is the mark's;
// without one ISO-8859-1 text. A line ends at "\n", with a "\r" before it.
std::vector<std::string> FileLines(std::span<const uint8_t> bytes) {
  std::string text(bytes.begin(), bytes.end());
  if (text.starts_with(kByteOrderMark)) {
    text.erase(0, kByteOrderMark.size());
    if (text.starts_with("\r\n")) text.erase(0, 2);
    else if (text.starts_with('\n')) text.erase(0, 1);
  } else {
    std::string utf8;
    for (unsigned char c : text) {
      if (c < 0x80) {
        utf8 += static_cast<char>(c);
      } else {
        utf8 += static_cast<char>(0xC0 | (c >> 6));
        utf8 += static_cast<char>(0x80 | (c & 0x3F));
      }
    }
    text = std::move(utf8);
  }
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

// What saving `keys` (in their order) into the file of these lines must give.
std::vector<uint8_t> ExpectedSave(const std::vector<std::string>& lines,
                                  const std::vector<std::pair<std::string, std::string>>& keys) {
  std::vector<std::string> out;
  std::vector<bool> placed(keys.size(), false);
  std::optional<size_t> firstGroup;
  for (const std::string& line : lines) {
    if (!firstGroup && Trim(line).starts_with('[')) firstGroup = out.size();
    const size_t equals = line.find('=');
    const std::string_view key = equals == std::string::npos ? std::string_view() : Trim(std::string_view(line).substr(0, equals));
    if (firstGroup || key.empty() || key.front() == ';' || key.front() == '[') {
      out.push_back(line);  // not a top-level key: kept as it stands
      continue;
    }
    std::string value(Trim(std::string_view(line).substr(equals + 1)));
    for (size_t i = 0; i < keys.size(); ++i) {
      if (!placed[i] && SameKey(key, keys[i].first)) {  // the first line of a key takes its value
        value = keys[i].second;
        placed[i] = true;
        break;
      }
    }
    out.push_back(std::string(key) + " = " + value);
  }
  std::vector<std::string> added;
  for (size_t i = 0; i < keys.size(); ++i)
    if (!placed[i]) added.push_back(keys[i].first + " = " + keys[i].second);
  out.insert(out.begin() + static_cast<std::ptrdiff_t>(firstGroup.value_or(out.size())), added.begin(), added.end());

  std::string file(kByteOrderMark);
  file += "\r\n";
  for (const std::string& line : out) file += line + "\r\n";
  return {file.begin(), file.end()};
}

std::vector<std::pair<std::string, std::string>> SavedKeys(const world::Settings& settings) {
  return {{"LastWorld", settings.CurrentWorldName},
          {"SaveDir", settings.SaveDir},
          {"InstaLoadDir", settings.InstaLoadDir},
          {"SteamAppsDir", settings.SteamAppsDir},
          {"VisibleChunkBorders", std::to_string(settings.VisibleChunkBorders)},
          {"NarrowRenderHeight", std::to_string(settings.NarrowRenderHeight.load())},
          {"ViewDistance", std::to_string(settings.ViewDistance.load())},
          {"DrawBothNormals", std::to_string(settings.DrawBothNormals)},
          {"Shadows", std::to_string(settings.ShadowMode)},
          {"Do not share custom Blocks in mods directory", std::to_string(settings.DoNotShareModsBlocks)}};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static PreferencesRig rig;
  const std::span<const uint8_t> input = fuzz::InputBytes(data, size);
  fixtures::WriteBytesToFile(rig.sources.prefsPath, input);

  world::Settings first;
  ReadAndSave(rig, first);
  const std::vector<uint8_t> firstSave = fixtures::ReadFileBytes(rig.sources.prefsPath);
  FUZZ_CHECK_MSG(firstSave == ExpectedSave(FileLines(input), SavedKeys(first)),
                 "the save did not write back what was read");

  world::Settings second;
  ReadAndSave(rig, second);
  FUZZ_CHECK_MSG(SameSettings(first, second), "settings read back from a saved file differ");
  FUZZ_CHECK_MSG(fixtures::ReadFileBytes(rig.sources.prefsPath) == firstSave,
                 "saving the program's own file changed it");
  return 0;
}
