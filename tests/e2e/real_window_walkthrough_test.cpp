// The real program in a window of its own X server, driven as a person drives it with xdotool:
// every menu item, the interaction modes, boxes answered with the keyboard, the file requesters
// typed into; after each step the program must still be there and drawing, and at the end the
// world files must have changed exactly where the steps asked.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "e2e/desktop_person.h"
#include "e2e/running_program.h"
#include "e2e/world_files.h"
#include "fixtures/schematic_writer.h"
#include "world/world_metadata.h"

namespace orelens::e2e {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kBricks = 10;  // a block type the demo worlds do not use

std::string PreferenceValue(const fs::path& prefs, const std::string& key) {
  for (const std::string& line : PreferenceLines(prefs))
    if (line.rfind(key + " = ", 0) == 0) return line.substr(key.size() + 3);
  return {};
}

std::vector<std::string> Lines(const fs::path& file) {
  std::vector<std::string> lines;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class RealWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // Several minutes of a sanitized program rendering in software: the plain build walks it.
    GTEST_SKIP() << "the walk through the real window runs in the plain build";
#endif
    ASSERT_TRUE(desktop_.Running()) << "Xvfb could not be started";
    folder_ = PrepareDemoFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    prefs_ = folder_.root / "prefs.ini";
    artefacts_ = fs::path(ORELENS_BINARY_DIR) / "e2e" /
                 (std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-shots");
    fs::remove_all(artefacts_);
    for (const auto& entry : fs::directory_iterator(folder_.saves))
      worlds_.push_back(entry.path().filename().string());
    std::sort(worlds_.begin(), worlds_.end());
    for (const std::string& world : worlds_) before_[world] = SnapshotWorld(folder_.saves / world);
  }

  // Starts the program and waits for its overlay: the start hint, or, once the main loop has
  // refreshed it (every half second), the browsing lines.
  void Start() {
    program_ = std::make_unique<RunningProgram>(folder_.root, &desktop_);
    person_ = std::make_unique<DesktopPerson>(desktop_, *program_, artefacts_);
    ASSERT_FALSE(program_->WaitForMainWindow(60s).empty()) << "the main window never showed";
    ASSERT_TRUE(person_->SeeWithin(
        90s,
        [](const Screenshot& shot) {
          const HudSign sign = ReadHud(shot);
          return sign == HudSign::kStartHint || sign == HudSign::kBrowse;
        },
        "start"))
        << "no overlay on the screen\n"
        << person_->Stacks();
  }

  bool SeeHud(HudSign sign, const std::string& name, std::chrono::milliseconds limit = 15s) {
    return person_->SeeWithin(
        limit, [sign](const Screenshot& shot) { return ReadHud(shot) == sign; }, name);
  }

  // A key that acts when it is let go: tapped again, should a pass have missed it, until the
  // sign shows.
  bool TapUntil(const std::string& keys, const std::function<bool(const Screenshot&)>& sign,
                const std::string& name) {
    for (int attempt = 0; attempt < 4; ++attempt) {
      person_->Tap(keys);
      if (person_->SeeWithin(20s, sign, name)) return true;
    }
    return false;
  }

  // Waits for a box and answers it with Return. The box is told by where its title bar lies, so
  // that a second box coming up at once does not pass for the first one still waiting.
  bool AnswerBoxWithReturn(const std::string& name) {
    int titleRow = -1;
    if (!person_->SeeWithin(
            20s,
            [&](const Screenshot& shot) {
              titleRow = DesktopPerson::ModalTitleRow(shot);
              return DesktopPerson::MessageBoxShown(shot);
            },
            name)) {
      return false;
    }
    return TapUntil(
        "Return", [&](const Screenshot& shot) { return DesktopPerson::ModalTitleRow(shot) != titleRow; },
        name);
  }

  bool TypeIntoRequester(const std::string& text, const std::string& name) {
    if (!person_->SeeWithin(20s, DesktopPerson::RequesterShown, name)) return false;
    person_->Click(530, 592);  // the name field
    std::this_thread::sleep_for(300ms);
    person_->Type(text);
    return TapUntil(
        "Return", [](const Screenshot& shot) { return !DesktopPerson::RequesterShown(shot); }, name);
  }

  // Holds a key until the overlay's position line shows that the camera moved.
  bool FlyWith(const std::string& keys) {
    const Screenshot before = person_->Shoot("before-" + keys);
    person_->KeyDown(keys);
    const bool moved = person_->SeeWithin(
        40s, [&](const Screenshot& shot) { return DesktopPerson::HudLineDifference(before, shot, 50) > 6; },
        "fly");
    person_->KeyUp(keys);
    return moved;
  }

  // Opens the menu (and sub-menu) and tells whether each row of the pop-up that opened last
  // carries a check mark; "?" when it would not open.
  std::string Marks(const MenuPlace& title, int row, const MenuPlace* subMenu, int rows, int checkX) {
    const bool opened = subMenu ? person_->OpenSubMenu(title, row, *subMenu) : person_->OpenMenu(title);
    if (!opened) return "?";
    const Screenshot shot = person_->Shoot("marks");
    person_->CloseMenus(title);
    std::string marks;
    const int first = subMenu ? subMenu->firstRow : title.firstRow;
    for (int r = 0; r < rows; ++r)
      marks += DesktopPerson::CheckMarkAt(shot, checkX, first + kRow * r) ? 'x' : '-';
    return marks;
  }
  bool MenuCheck(const MenuPlace& title, int row, bool expected) {
    const std::string marks =
        Marks(title, 0, nullptr, row + 1, title.x == kFile.x ? kFileCheckX : kVisualsCheckX);
    return marks.size() > static_cast<size_t>(row) && (marks[row] == 'x') == expected;
  }

  // Capture and look: a drag in the view turns the camera, here up to the sky. Software
  // rendering draws a sky view much faster than a view full of terrain, which keeps the walk
  // quick on a busy machine. The view must be still first (chunk loading paused).
  bool LookUp() {
    Screenshot still = person_->Shoot("still");
    DesktopPerson::WithinTime(20s, [&] {
      const Screenshot now = person_->Shoot("still");
      const bool settled = DesktopPerson::ViewDifference(still, now) < 1.0;
      still = now;
      return settled;
    });
    person_->PointAt(640, 500);
    std::this_thread::sleep_for(300ms);
    desktop_.Run("xdotool mousedown 1");
    const bool turned = person_->SeeWithin(
        20s,
        [&](const Screenshot& shot) {
          desktop_.Run("xdotool mousemove_relative -- 0 -40");
          return DesktopPerson::ViewDifference(still, shot) > 8.0;
        },
        "look");
    desktop_.Run("xdotool mouseup 1");
    return turned;
  }

  bool PrefsSay(const std::string& key, const std::string& value) {
    return DesktopPerson::WithinTime(20s, [&] { return PreferenceValue(prefs_, key) == value; });
  }

  PrivateDesktop desktop_;
  DemoFolder folder_;
  fs::path prefs_;
  fs::path artefacts_;
  std::vector<std::string> worlds_;
  std::map<std::string, WorldSnapshot> before_;
  std::unique_ptr<RunningProgram> program_;
  std::unique_ptr<DesktopPerson> person_;
};

// A step and its sign; then the program must still be there and drawing.
#define STEP(name, condition)                                                                       \
  do {                                                                                              \
    ASSERT_TRUE(condition) << "step \"" << (name) << "\" failed\n" << person_->Stacks();            \
    ASSERT_TRUE(person_->Alive(name)) << "program gone or screen black after \"" << (name) << "\""; \
  } while (false)

TEST_F(RealWindowTest, EveryMenuItemAndModeThroughTheRealWindowDisplay) {
  // The schematic to insert: 3 x 3 x 3 bricks. And a mesh cache that the injection must remove.
  fixtures::WriteSchematicFile((folder_.root / "bricks.kvSch").string(),
                               fixtures::SchematicSpec::Filled(3, 3, 3, kBricks));
  for (const std::string& world : worlds_) {
    fs::create_directories(folder_.root / "instaload" / world);
    std::ofstream(folder_.root / "instaload" / world / "chunkmeshes.sqlite") << "cache";
  }
  ASSERT_NO_FATAL_FAILURE(Start());
  person_->Keep("start");

  // ---- P pauses and resumes chunk loading; Escape in browse mode does nothing.
  STEP("pause", TapUntil("p", HudShowsPaused, "paused"));
  person_->Tap("Escape");  // nothing to leave: still browsing, still paused
  STEP("escape in browse mode", HudShowsPaused(person_->Shoot("escape")));

  // ---- Capture and look: a drag in the view turns the camera (loading paused: a still view).
  STEP("look around", LookUp());
  STEP("resume loading", TapUntil(
                             "p", [](const Screenshot& shot) { return !HudShowsPaused(shot); }, "resumed"));
  STEP("browse overlay", SeeHud(HudSign::kBrowse, "browse"));

  // ---- Flying: every key moves the camera, Shift faster.
  for (const char* keys : {"w", "s", "a", "d", "e", "Shift_L+w"})
    STEP(std::string("fly ") + keys, FlyWith(keys));

  // ---- Visuals: each item and its check mark.
  // Chunk borders: the mark tells the setting at start; each change restarts streaming, which
  // saves the preferences.
  const bool bordersShown = MenuCheck(kVisuals, 0, true);
  const std::string borders = bordersShown ? "1" : "0";
  STEP("chunk borders", person_->ChooseMenu(kVisuals, 0));
  STEP("chunk borders saved", PrefsSay("VisibleChunkBorders", bordersShown ? "0" : "1"));
  STEP("chunk borders mark", MenuCheck(kVisuals, 0, !bordersShown));
  STEP("chunk borders back", person_->ChooseMenu(kVisuals, 0));
  STEP("chunk borders saved back", PrefsSay("VisibleChunkBorders", borders));
  STEP("narrow render height", person_->ChooseMenu(kVisuals, 1));
  STEP("narrow mark on", MenuCheck(kVisuals, 1, true));
  STEP("narrow render height off", person_->ChooseMenu(kVisuals, 1));
  STEP("narrow mark off", MenuCheck(kVisuals, 1, false));
  STEP("surface from inside", person_->ChooseMenu(kVisuals, 3));
  STEP("surface mark off", MenuCheck(kVisuals, 3, false));
  STEP("surface from inside again", person_->ChooseMenu(kVisuals, 3));
  STEP("surface mark on", MenuCheck(kVisuals, 3, true));
  for (const int distance : {1, 2, 0}) {  // Medium, Short, then Far for the rest of the walk
    STEP("draw distance", person_->ChooseSubMenu(kVisuals, 4, kDrawDistance, distance));
    std::string expected = "---";
    expected[distance] = 'x';
    STEP("draw distance marks", Marks(kVisuals, 4, &kDrawDistance, 3, kDistanceCheckX) == expected);
  }
  for (const int shadows : {1, 2, 0, 1}) {  // Simple, Advanced, None, Simple again (restarts all the same)
    const auto saved = fs::last_write_time(prefs_);
    STEP("shadows", person_->ChooseSubMenu(kVisuals, 2, kShadows, shadows));
    STEP("shadows saved", PrefsSay("Shadows", std::to_string(shadows)) && DesktopPerson::WithinTime(20s, [&] {
                            return fs::last_write_time(prefs_) != saved;
                          }));
    std::string expected = "---";
    expected[shadows] = 'x';
    STEP("shadow marks", Marks(kVisuals, 2, &kShadows, 3, kShadowsCheckX) == expected);
  }
  STEP("far view saved", PrefsSay("ViewDistance", "600"));
  person_->Keep("visuals-done");

  // ---- World: every entry of "Active World". A switch saves the preferences, which names it.
  std::vector<std::string> entries;
  for (int row = 0; row < static_cast<int>(worlds_.size()); ++row) {
    const std::string current = PreferenceValue(prefs_, "LastWorld");
    STEP("world entry", person_->ChooseSubMenu(kWorld, 0, kActiveWorld, row));
    DesktopPerson::WithinTime(10s, [&] { return PreferenceValue(prefs_, "LastWorld") != current; });
    entries.push_back(PreferenceValue(prefs_, "LastWorld"));
    STEP("world shown", SeeHud(HudSign::kBrowse, "world"));
  }
  EXPECT_EQ(std::set<std::string>(entries.begin(), entries.end()).size(), worlds_.size())
      << "the entries did not name every world";
  const std::string world = PreferenceValue(prefs_, "LastWorld");
  // The switch put the camera at the world's player position, looking along the ground.
  STEP("pause", TapUntil("p", HudShowsPaused, "paused"));
  STEP("look up", LookUp());
  STEP("resume", TapUntil(
                     "p", [](const Screenshot& shot) { return !HudShowsPaused(shot); }, "resumed"));

  // ---- Set Playerposition, answered Yes, then the confirmation; from a new place.
  STEP("fly before setting the position", FlyWith("Shift_L+w"));
  STEP("set player position", person_->ChooseMenu(kWorld, 1));
  STEP("answer Yes", AnswerBoxWithReturn("question"));
  STEP("confirmation", AnswerBoxWithReturn("confirmation"));

  // ---- Save Schematic Cube: Return opens the save requester; the file appears.
  STEP("save schematic cube", person_->ChooseMenu(kFile, 1));
  STEP("save box mode", SeeHud(HudSign::kBoxSelection, "save-box"));
  STEP("return opens the requester", TapUntil("Return", DesktopPerson::RequesterShown, "save-requester"));
  STEP("name typed", TypeIntoRequester("walk-box", "save-requester"));
  STEP("schematic saved",
       DesktopPerson::WithinTime(20s, [&] { return fs::exists(folder_.root / "walk-box.kvSch"); }));
  STEP("back to browsing", SeeHud(HudSign::kBrowse, "saved"));

  // ---- Escape leaves a mode.
  STEP("save schematic cube again", person_->ChooseMenu(kFile, 1));
  STEP("save box mode again", SeeHud(HudSign::kBoxSelection, "save-box"));
  STEP("escape",
       TapUntil(
           "Escape", [](const Screenshot& shot) { return ReadHud(shot) == HudSign::kBrowse; }, "escape"));

  // ---- Markers. A Return let go in browse mode is not kept for the marker placed next.
  person_->Tap("Return");
  STEP("add a marker area", person_->ChooseSubMenu(kFile, 2, kClearChunks, 0));
  STEP("marker mode", SeeHud(HudSign::kBoxSelection, "marker"));
  std::this_thread::sleep_for(1500ms);  // three overlay refreshes: the mode must hold without a key
  STEP("marker not placed by the old Return",
       ReadHud(person_->Shoot("marker-held")) == HudSign::kBoxSelection);
  STEP("confirm the marker",
       TapUntil(
           "Return", [](const Screenshot& shot) { return ReadHud(shot) == HudSign::kBrowse; },
           "marker-confirmed"));
  STEP("count marked chunks", person_->ChooseSubMenu(kFile, 2, kClearChunks, 3));
  STEP("count box", AnswerBoxWithReturn("count"));
  STEP("delete unmarked chunks (does nothing)", person_->ChooseSubMenu(kFile, 2, kClearChunks, 2));
  STEP("remove all markers", person_->ChooseSubMenu(kFile, 2, kClearChunks, 1));
  STEP("count after removing", person_->ChooseSubMenu(kFile, 2, kClearChunks, 3));
  STEP("empty count box", AnswerBoxWithReturn("count-empty"));

  // ---- The mods-directory item toggles its mark.
  const bool shareMark = PreferenceValue(prefs_, "Do not share custom Blocks in mods directory") != "0";
  STEP("mods item", person_->ChooseMenu(kFile, 3));
  STEP("mods mark", MenuCheck(kFile, 3, !shareMark));

  // ---- Load Schematic through the requester, move the preview with Return, write it with Ctrl+S.
  STEP("load schematic", person_->ChooseMenu(kFile, 0));
  STEP("schematic chosen", TypeIntoRequester((folder_.root / "bricks.kvSch").string(), "load-requester"));
  STEP("insertion mode", SeeHud(HudSign::kInsertion, "insertion"));
  person_->Tap("Return");  // updates the preview's place; the mode stays
  STEP("still inserting", SeeHud(HudSign::kInsertion, "insertion"));
  person_->KeyDown("Control_L+s");
  const bool injected = SeeHud(HudSign::kBrowse, "injected", 60s);
  person_->KeyUp("Control_L+s");
  STEP("ctrl+s writes the schematic", injected);
  person_->Keep("injected");
  STEP("mesh cache removed", DesktopPerson::WithinTime(20s, [&] {
         return !fs::exists(folder_.root / "instaload" / world / "chunkmeshes.sqlite");
       }));

  // ---- Help: the three pages go to the desktop's opener; About opens and closes.
  const fs::path pages = folder_.root / "opened-pages.txt";
  for (int row = 0; row < 3; ++row) {
    STEP("help page", person_->ChooseMenu(kHelp, row));
    STEP("page opened",
         DesktopPerson::WithinTime(20s, [&] { return Lines(pages).size() == static_cast<size_t>(row + 1); }));
  }
  STEP("about", person_->ChooseMenu(kHelp, 3));
  STEP("about window", person_->SeeWithin(20s, DesktopPerson::AboutWindowShown, "about"));
  bool aboutClosed = false;
  for (int attempt = 0; attempt < 3 && !aboutClosed; ++attempt) {
    person_->Click(300, 369);  // "Close"
    aboutClosed = person_->SeeWithin(
        20s, [](const Screenshot& shot) { return !DesktopPerson::AboutWindowShown(shot); }, "about-closed");
  }
  STEP("about closed", aboutClosed);

  // ---- Quit.
  person_->ChooseMenu(kFile, 4);  // its sign is the end of the program
  ASSERT_EQ(program_->WaitForExit(60s), 0) << person_->Stacks();

  // ---- What the run left behind.
  const std::vector<std::string> pageLines = Lines(pages);
  ASSERT_EQ(pageLines.size(), 3u);
  EXPECT_NE(pageLines[0].find("docs/help/quickstart.html"), std::string::npos) << pageLines[0];
  EXPECT_NE(pageLines[1].find("docs/help/quickstart.html#Version"), std::string::npos) << pageLines[1];
  EXPECT_NE(pageLines[2].find("docs/help/custom-blocks.html"), std::string::npos) << pageLines[2];

  EXPECT_EQ(PreferenceValue(prefs_, "LastWorld"), world);
  EXPECT_EQ(PreferenceValue(prefs_, "ViewDistance"), "600");
  EXPECT_EQ(PreferenceValue(prefs_, "Shadows"), "1");
  EXPECT_EQ(PreferenceValue(prefs_, "VisibleChunkBorders"), borders);
  EXPECT_EQ(PreferenceValue(prefs_, "NarrowRenderHeight"), "0");
  EXPECT_EQ(PreferenceValue(prefs_, "DrawBothNormals"), "1");
  EXPECT_EQ(PreferenceValue(prefs_, "Do not share custom Blocks in mods directory"), shareMark ? "0" : "1");

  const std::vector<uint8_t> saved = ReadFileBytes(folder_.root / "walk-box.kvSch");
  ASSERT_GE(saved.size(), 20u);
  int32_t sizes[4];
  std::memcpy(sizes, saved.data(), sizeof sizes);
  EXPECT_EQ(sizes[0], 3);
  EXPECT_EQ(sizes[1], 3);
  EXPECT_EQ(sizes[2], 3);
  EXPECT_EQ(sizes[3], 0x13371337);

  for (const std::string& name : worlds_) {
    SCOPED_TRACE(name);
    const WorldSnapshot after = SnapshotWorld(folder_.saves / name);
    const WorldChanges changes = CompareWorld(before_[name], after);
    EXPECT_TRUE(changes.problems.empty()) << changes.problems.front();
    // The player position: only its 24 bytes changed, in the world where it was set.
    const ByteRange metadata = DifferingBytes(before_[name].metadata, after.metadata);
    EXPECT_EQ(after.metadataName, before_[name].metadataName);
    if (name != world) {
      EXPECT_TRUE(changes.cells.empty() && changes.rewrittenChunks.empty());
      EXPECT_GT(metadata.first, metadata.last) << "metadata of a world nobody set changed";
      continue;
    }
    ASSERT_LE(metadata.first, metadata.last) << "the player position was not written";
    EXPECT_LT(metadata.last - metadata.first, 24u);
    EXPECT_EQ(after.metadata.size(), before_[name].metadata.size());
    // The schematic: 27 bricks in a 3 x 3 x 3 box, nothing else; only its chunks rewritten.
    ASSERT_EQ(changes.cells.size(), 27u);
    int low[3] = {1 << 30, 1 << 30, 1 << 30}, high[3] = {-(1 << 30), -(1 << 30), -(1 << 30)};
    for (const ChangedCell& cell : changes.cells) {
      EXPECT_EQ(cell.after, kBricks);
      const int at[3] = {cell.x, cell.height, cell.z};
      for (int axis = 0; axis < 3; ++axis) {
        low[axis] = std::min(low[axis], at[axis]);
        high[axis] = std::max(high[axis], at[axis]);
      }
    }
    for (int axis = 0; axis < 3; ++axis) EXPECT_EQ(high[axis] - low[axis], 2) << "axis " << axis;
    EXPECT_GE(changes.rewrittenChunks.size(), 1u);
    EXPECT_LE(changes.rewrittenChunks.size(), 4u);
  }
}

// SIGTERM and SIGINT end the program as Quit does, even while it waits for a person: in a
// question box (answered No: nothing written) and in the About window.
TEST_F(RealWindowTest, TerminationSignalsEndTheProgramLikeQuitDisplay) {
  const fs::path metadata = before_["Demo Valley"].folder / before_["Demo Valley"].metadataName;
  for (const int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal == SIGTERM ? "SIGTERM in a question box" : "SIGINT in the About window");
    fs::remove(prefs_);
    std::ofstream(prefs_, std::ios::binary)
        << "LastWorld = Demo Valley\r\nSaveDir = " << folder_.saves.string() << "/\r\nViewDistance = 300\r\n";
    ASSERT_NO_FATAL_FAILURE(Start());
    if (signal == SIGTERM) {
      STEP("set player position", person_->ChooseMenu(kWorld, 1));
      STEP("question shown", person_->SeeWithin(20s, DesktopPerson::MessageBoxShown, "question"));
    } else {
      STEP("about", person_->ChooseMenu(kHelp, 3));
      STEP("about window", person_->SeeWithin(20s, DesktopPerson::AboutWindowShown, "about"));
    }
    program_->Signal(signal);
    ASSERT_EQ(program_->WaitForExit(60s), 0) << person_->Stacks();
    // Saved as on Quit: all ten keys, the settings of the run.
    EXPECT_EQ(PreferenceLines(prefs_).size(), 10u);
    EXPECT_EQ(PreferenceValue(prefs_, "LastWorld"), "Demo Valley");
    EXPECT_EQ(PreferenceValue(prefs_, "ViewDistance"), "300");
    EXPECT_EQ(ReadFileBytes(metadata), before_["Demo Valley"].metadata);
  }
}

}  // namespace
}  // namespace orelens::e2e
