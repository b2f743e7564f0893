// The real program in a window of its own X server, driven as a person drives it with xdotool:
// every menu item, the interaction modes, boxes answered with the keyboard, the file requesters
// typed into. After each step the program must still be there and drawing, and each step must
// have done what it is for: the overlay's lines and the boxes' texts are read off the screen, the
// view is compared before and after, and at the end every file of every world folder must be as
// it was but where the steps changed it.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "e2e/desktop_person.h"
#include "e2e/running_program.h"
#include "e2e/screen_text.h"
#include "e2e/world_files.h"
#include "fixtures/chunk_record_writer.h"
#include "fixtures/schematic_writer.h"
#include "fixtures/world_writer.h"
#include "world/world_metadata.h"

namespace orelens::e2e {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kBricks = 10;                // a block type the demo worlds do not use
constexpr char kValley[] = "Demo Valley";  // 30 x 30 chunks of hills and trees
constexpr char kIsle[] = "Tiny Isle";      // 8 x 8 of them
constexpr int64_t kShortDistance = 150, kMediumDistance = 300, kFarDistance = 600;
// Mean differences (0..255) of two views of the same place: settled, and plainly another picture.
constexpr double kSameView = 2.0, kOtherView = 12.0;

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

world::PlayerPosition PlayerPositionOf(const fs::path& worldFolder) {
  world::WorldChunkMap chunks;
  world::PlayerPosition position;
  world::ReadWorldMetadata(chunks, worldFolder.string() + "/", position);
  return position;
}

// The chunks a world stores, in its database and in cache files.
int64_t StoredChunks(const WorldSnapshot& world) {
  int64_t files = 0;
  for (const auto& [name, bytes] : world.files) files += fs::path(name).extension() == ".chunks" ? 1 : 0;
  return static_cast<int64_t>(world.rows.size()) + files;
}

std::vector<std::string> CountTexts() {
  std::vector<std::string> texts;
  for (int count = 0; count <= 20; ++count) texts.push_back("Chunks: " + std::to_string(count));
  return texts;
}

// A world of its own for the view settings: 8 x 8 chunks of air but for those at its +x end,
// stone from height 0 to 399 (a slab 16 units thick and 200 high). The player stands 100 units
// before it, 15 units above the narrow render height's band (heights 100 to 249, up to 124.5
// units), where a new camera looks along +x: the slab fills the view from top to bottom, and
// without its heights above the band, the upper half of the view shows the sky.
constexpr char kWall[] = "Stone Wall";
constexpr float kWallFaceX = 40.0f;  // the slab's near face; its far face at 56 ends the world

void WriteStoneWallWorld(const fs::path& saves) {
  constexpr uint8_t kStone = 1;
  const fixtures::WorldWriter world(saves.string() + "/", kWall);
  // Records without their lists, so without a height range of their own: the loaders then walk
  // the heights that the narrow render height gives them.
  fixtures::ChunkRecordSpec air, stone;
  for (int h = 0; h < 400; ++h)
    for (int row = 0; row < 32; ++row)
      for (int col = 0; col < 32; ++col) stone.SetBlock(col, row, h, kStone);
  const world::ChunkBlob airBlob = fixtures::MakeChunkBlob(air), stoneBlob = fixtures::MakeChunkBlob(stone);
  std::vector<std::pair<int32_t, int32_t>> origins;
  for (int cz = -4; cz < 4; ++cz)
    for (int cx = -4; cx < 4; ++cx) {
      world.PutDatabaseRow(static_cast<int32_t>(origins.size()), cx == 3 ? stoneBlob : airBlob);
      origins.emplace_back(cx * 16 - 8, cz * 16 - 8);
    }
  fixtures::MetadataSpec metadata = fixtures::MetadataForEngineOrigins(origins);
  metadata.position = {-60.0 * 100, 0.0, (140.0 - 2.0) * 100};  // the reader adds 2 units of height
  world.WriteMetadata(1, metadata);
}

// A world of its own for the draw distances: 28 x 28 chunks, each holding one stone block and
// nothing else (quick to load and draw), the player in the middle. Every place of the far draw
// distance's spiral (600 chunks) lies in the world, so what each distance shows is its own.
constexpr char kField[] = "Stone Field";

void WriteStoneFieldWorld(const fs::path& saves) {
  constexpr uint8_t kStone = 1;
  const fixtures::WorldWriter world(saves.string() + "/", kField);
  fixtures::ChunkRecordSpec chunk;
  chunk.withLists = true;
  chunk.minHeight = 0;
  chunk.maxHeight = 1;
  chunk.SetBlock(16, 16, 0, kStone);
  const world::ChunkBlob blob = fixtures::MakeChunkBlob(chunk);
  std::vector<std::pair<int32_t, int32_t>> origins;
  for (int cz = -14; cz < 14; ++cz)
    for (int cx = -14; cx < 14; ++cx) {
      world.PutDatabaseRow(static_cast<int32_t>(origins.size()), blob);
      origins.emplace_back(cx * 16 - 8, cz * 16 - 8);
    }
  fixtures::MetadataSpec metadata = fixtures::MetadataForEngineOrigins(origins);
  metadata.position = {4.0 * 100, 4.0 * 100, 10.0 * 100};
  world.WriteMetadata(1, metadata);
}

class RealWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // Minutes of a sanitized program rendering in software: the plain build walks it.
    GTEST_SKIP() << "the walk through the real window runs in the plain build";
#endif
    ASSERT_TRUE(desktop_.Running()) << "Xvfb could not be started";
  }

  void PrepareFolder(int64_t viewDistance, const std::string& world) {
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    folder_ = PrepareDemoFolder(name, world, static_cast<int>(viewDistance));
    if (world == kWall) WriteStoneWallWorld(folder_.saves);
    if (world == kField) WriteStoneFieldWorld(folder_.saves);
    prefs_ = folder_.root / "prefs.ini";
    artefacts_ = fs::path(ORELENS_BINARY_DIR) / "e2e" / (name + "-shots");
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
    ASSERT_TRUE(person_->SeeOverlayAfterStart()) << "no overlay on the screen\n" << person_->Stacks();
  }

  bool SeeHud(HudSign sign, const std::string& name, std::chrono::milliseconds limit = 15s) {
    return person_->SeeHud(sign, name, limit);
  }

  // Waits for a box and answers it with Return. The box is told by where its title bar lies, so
  // that a second box coming up at once does not pass for the first one still waiting.
  bool AnswerBoxWithReturn(const std::string& name, std::optional<std::string>* text = nullptr) {
    int titleRow = -1;
    if (!person_->SeeWithin(
            20s,
            [&](const Screenshot& shot) {
              titleRow = DesktopPerson::ModalTitleRow(shot);
              if (text != nullptr) *text = ReadMessageBoxText(shot, CountTexts());
              return DesktopPerson::MessageBoxShown(shot);
            },
            name)) {
      return false;
    }
    return person_->TapUntil(
        "Return", [&](const Screenshot& shot) { return DesktopPerson::ModalTitleRow(shot) != titleRow; },
        name);
  }

  // Types the file name into the open requester and confirms it with Return.
  bool TypeIntoRequester(const std::string& text, const std::string& name) {
    if (!person_->SeeWithin(20s, DesktopPerson::RequesterShown, name)) return false;
    person_->Type(text);  // the requester opens with the keyboard in its name field
    return person_->TapUntil(
        "Return", [](const Screenshot& shot) { return !DesktopPerson::RequesterShown(shot); }, name);
  }

  // Holds keys until the sign shows on the screen (bounded).
  bool HoldUntil(const std::string& keys, const std::function<bool(const Screenshot&)>& sign,
                 const std::string& name, std::chrono::milliseconds limit = 60s) {
    person_->KeyDown(keys);
    const bool seen = person_->SeeWithin(limit, sign, name);
    person_->KeyUp(keys);
    return seen;
  }

  // Holds a key until the overlay's position line shows that the camera moved.
  bool FlyWith(const std::string& keys) {
    const Screenshot before = person_->Shoot("before-" + keys);
    return HoldUntil(
        keys, [&](const Screenshot& shot) { return DesktopPerson::HudLineDifference(before, shot, 50) > 6; },
        "fly", 40s);
  }

  // The camera's position as the overlay's position line tells it.
  struct Position {
    float x, z, height;
  };
  static std::optional<Position> PositionShown(const Screenshot& shot) {
    const std::optional<std::string> line = ReadHudPositionLine(shot);
    if (!line) return std::nullopt;
    const auto field = [&](const char* name) { return std::stof(line->substr(line->find(name) + 2)); };
    return Position{field("X="), field("Y="), field("z=")};
  }
  // One coordinate of it; not a number when the line cannot be read.
  static float Shown(const Screenshot& shot, float Position::*coordinate) {
    const std::optional<Position> position = PositionShown(shot);
    return position ? (*position).*coordinate : std::nanf("");
  }

  // The world the overlay names, with the number of chunks it shows of it.
  std::optional<std::pair<std::string, int64_t>> WorldShown(const Screenshot& shot) const {
    for (const std::string& world : worlds_)
      if (const auto count = ReadHudNumber(shot, 30, kHudGrey, "", " Chunks displaying of '" + world + "'"))
        return std::make_pair(world, *count);
    return std::nullopt;
  }
  std::optional<int64_t> ChunksShown(const Screenshot& shot, const std::string& world) const {
    return ReadHudNumber(shot, 30, kHudGrey, "", " Chunks displaying of '" + world + "'");
  }

  // The overlay's chunk count once it has stopped changing for a while: the loaders have filled
  // the draw distance and take no more.
  std::optional<int64_t> SettledChunks(const std::string& world) {
    std::optional<int64_t> count;
    auto changed = std::chrono::steady_clock::now();
    person_->SeeWithin(
        240s,
        [&](const Screenshot& shot) {
          const std::optional<int64_t> now = ChunksShown(shot, world);
          if (now != count) {
            count = now;
            changed = std::chrono::steady_clock::now();
          }
          return count && std::chrono::steady_clock::now() - changed > 6s;
        },
        "chunks");
    return count;
  }

  // The view once it has stopped changing: alike over two seconds of looks (a frame drawn in
  // software on a busy machine can take a second).
  Screenshot SettledView(const std::string& name) {
    Screenshot still = person_->Shoot(name);
    auto since = std::chrono::steady_clock::now();
    DesktopPerson::WithinTime(60s, [&] {
      const Screenshot now = person_->Shoot(name);
      if (DesktopPerson::ViewDifference(still, now) >= 1.0) since = std::chrono::steady_clock::now();
      still = now;
      return std::chrono::steady_clock::now() - since > 2s;
    });
    return still;
  }

  // Waits for the view to become like the reference again, or plainly another picture.
  bool ViewBecomes(const Screenshot& reference, bool alike, const std::string& name) {
    return person_->SeeWithin(
        60s,
        [&](const Screenshot& shot) {
          const double difference = DesktopPerson::ViewDifference(reference, shot);
          return alike ? difference < kSameView : difference > kOtherView;
        },
        name);
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
  bool DistanceMarks(int checked) {
    std::string expected = "---";
    expected[static_cast<size_t>(checked)] = 'x';
    return Marks(kVisuals, 4, &kDrawDistance, 3, kDistanceCheckX) == expected;
  }

  // Capture and look: a drag in the view turns the camera, here up to the sky. The view must be
  // still first (chunk loading paused).
  bool LookUp() {
    return person_->LookUpFrom(SettledView("still"), 20s);
  }

  bool PrefsSay(const std::string& key, const std::string& value) {
    return DesktopPerson::WithinTime(20s, [&] { return PreferenceValue(prefs_, key) == value; });
  }

  // Shadows "None" chosen again: a restart of the streaming that changes nothing else (the
  // shadows are off in the demo folders); it saves the preferences.
  bool RestartStreaming() {
    const auto saved = fs::last_write_time(prefs_);
    return person_->ChooseSubMenu(kVisuals, 2, kShadows, 0) &&
           DesktopPerson::WithinTime(20s, [&] { return fs::last_write_time(prefs_) != saved; });
  }

  // Viewing writes nothing into any world.
  void ExpectWorldsUnchanged() {
    for (const std::string& name : worlds_) {
      SCOPED_TRACE(name);
      const WorldChanges changes = CompareWorld(before_[name], SnapshotWorld(folder_.saves / name));
      for (const std::string& problem : changes.problems) ADD_FAILURE() << problem;
      EXPECT_TRUE(changes.cells.empty() && changes.rewrittenChunks.empty());
      EXPECT_GT(changes.metadata.first, changes.metadata.last) << "the metadata changed";
    }
  }

  bool Quit() {
    person_->ChooseMenu(kFile, 4);  // its sign is the end of the program
    return program_->WaitForExit(60s) == 0;
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

// Narrow render height and surface visible from inside blocks, judged by what the view of a
// stone slab shows: from 100 units before it, the slab fills the view from top to bottom only
// without the narrow render height; from inside it, its faces are seen from behind only while
// the surface setting is on.
TEST_F(RealWindowTest, NarrowHeightAndSurfaceChangeTheViewDisplay) {
  PrepareFolder(kShortDistance, kWall);
  ASSERT_NO_FATAL_FAILURE(Start());
  const std::optional<int64_t> chunks = SettledChunks(kWall);
  STEP("the wall's world shown", chunks > 0);
  const Screenshot wall = SettledView("wall");
  person_->Keep("wall");

  // Narrow render height: the loaders take only the middle heights of the chunks they load from
  // then on; once the streaming has restarted, the sky shows above the slab's band.
  STEP("narrow render height", person_->ChooseMenu(kVisuals, 1));
  STEP("narrow mark on", MenuCheck(kVisuals, 1, true));
  STEP("restart narrow", RestartStreaming());
  STEP("narrow chunks", SettledChunks(kWall) == chunks);
  STEP("narrow band", ViewBecomes(wall, false, "narrow"));
  person_->Keep("narrow");
  STEP("narrow render height off", person_->ChooseMenu(kVisuals, 1));
  STEP("narrow mark off", MenuCheck(kVisuals, 1, false));
  STEP("restart full", RestartStreaming());
  STEP("full chunks", SettledChunks(kWall) == chunks);
  STEP("full wall again", ViewBecomes(wall, true, "full"));

  // Into the slab: fast for a part of the way (a light view passes quickly, and the overlay
  // tells the position only twice a second), then slowly until a few units in.
  STEP("towards the wall",
       HoldUntil(
           "Shift_L+w", [](const Screenshot& shot) { return Shown(shot, &Position::x) > kWallFaceX - 60; },
           "towards"));
  STEP("into the wall",
       HoldUntil(
           "w", [](const Screenshot& shot) { return Shown(shot, &Position::x) > kWallFaceX + 2; }, "in",
           180s));
  STEP("inside the wall", Shown(person_->Shoot("in"), &Position::x) < kWallFaceX + 16);
  const Screenshot inside = SettledView("inside");
  person_->Keep("inside-the-wall");

  // Surface visible from inside blocks: on at start. Off, the slab's faces are not drawn from
  // behind and the view looks through it; on again, they come back.
  STEP("surface mark at start", MenuCheck(kVisuals, 3, true));
  STEP("surface from inside off", person_->ChooseMenu(kVisuals, 3));
  STEP("surface mark off", MenuCheck(kVisuals, 3, false));
  STEP("faces not drawn from behind", ViewBecomes(inside, false, "one-sided"));
  person_->Keep("surface-off");
  STEP("surface from inside on", person_->ChooseMenu(kVisuals, 3));
  STEP("surface mark on", MenuCheck(kVisuals, 3, true));
  STEP("faces drawn from behind again", ViewBecomes(inside, true, "two-sided"));

  ASSERT_TRUE(Quit()) << person_->Stacks();
  EXPECT_EQ(PreferenceValue(prefs_, "NarrowRenderHeight"), "0");
  EXPECT_EQ(PreferenceValue(prefs_, "DrawBothNormals"), "1");
  ExpectWorldsUnchanged();
}

// The draw distances, judged by the overlay's count of the chunks shown: Medium loads from the
// spiral of 300 chunk places, Far from that of 600; Short keeps what is loaded until the
// streaming restarts and then loads from its 150 places again. Chunk borders and shadows change
// what they save.
TEST_F(RealWindowTest, DrawDistancesChangeTheChunksShownDisplay) {
  PrepareFolder(kShortDistance, kField);
  ASSERT_NO_FATAL_FAILURE(Start());
  // Each distance settles at more chunks than the spiral of the next shorter one holds.
  const std::optional<int64_t> shortChunks = SettledChunks(kField);
  STEP("short distance at start", shortChunks > 0 && shortChunks <= kShortDistance);
  STEP("short marks at start", DistanceMarks(2));
  STEP("medium", person_->ChooseSubMenu(kVisuals, 4, kDrawDistance, 1));
  STEP("medium marks", DistanceMarks(1));
  const std::optional<int64_t> mediumChunks = SettledChunks(kField);
  STEP("medium distance", mediumChunks > kShortDistance && mediumChunks <= kMediumDistance);
  STEP("short", person_->ChooseSubMenu(kVisuals, 4, kDrawDistance, 2));
  STEP("short marks", DistanceMarks(2));
  STEP("restart short", RestartStreaming());
  STEP("short distance again", SettledChunks(kField) == shortChunks);
  STEP("far", person_->ChooseSubMenu(kVisuals, 4, kDrawDistance, 0));
  STEP("far marks", DistanceMarks(0));
  const std::optional<int64_t> farChunks = SettledChunks(kField);
  STEP("far distance", farChunks > kMediumDistance && farChunks <= kFarDistance);

  // Chunk borders: the mark tells the setting at start; each change restarts streaming, which
  // saves the preferences.
  const bool bordersShown = MenuCheck(kVisuals, 0, true);
  const std::string borders = bordersShown ? "1" : "0";
  STEP("chunk borders", person_->ChooseMenu(kVisuals, 0));
  STEP("chunk borders saved", PrefsSay("VisibleChunkBorders", bordersShown ? "0" : "1"));
  STEP("chunk borders mark", MenuCheck(kVisuals, 0, !bordersShown));
  STEP("chunk borders back", person_->ChooseMenu(kVisuals, 0));
  STEP("chunk borders saved back", PrefsSay("VisibleChunkBorders", borders));

  for (const int shadows : {2, 0, 1}) {  // Advanced, None, Simple
    const auto saved = fs::last_write_time(prefs_);
    STEP("shadows", person_->ChooseSubMenu(kVisuals, 2, kShadows, shadows));
    STEP("shadows saved", PrefsSay("Shadows", std::to_string(shadows)) && DesktopPerson::WithinTime(20s, [&] {
                            return fs::last_write_time(prefs_) != saved;
                          }));
    std::string expected = "---";
    expected[static_cast<size_t>(shadows)] = 'x';
    STEP("shadow marks", Marks(kVisuals, 2, &kShadows, 3, kShadowsCheckX) == expected);
  }

  ASSERT_TRUE(Quit()) << person_->Stacks();
  EXPECT_EQ(PreferenceValue(prefs_, "ViewDistance"), "600");
  EXPECT_EQ(PreferenceValue(prefs_, "Shadows"), "1");
  EXPECT_EQ(PreferenceValue(prefs_, "VisibleChunkBorders"), borders);
  ExpectWorldsUnchanged();
}

// Flying, the worlds, the player position and a schematic written into the world, at the far
// draw distance with the ground in view; at the end every file of every world folder is
// compared with what it was.
TEST_F(RealWindowTest, WorldsPlayerPositionAndSchematicDisplay) {
  PrepareFolder(kFarDistance, kValley);
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
  STEP("pause", person_->TapUntil("p", HudShowsPaused, "paused"));
  person_->Tap("Escape");  // nothing to leave: still browsing, still paused
  STEP("escape in browse mode", HudShowsPaused(person_->Shoot("escape")));

  // ---- Capture and look: a drag in the view turns the camera (loading paused: a still view).
  STEP("look around", LookUp());
  STEP("resume loading", person_->TapUntil(
                             "p", [](const Screenshot& shot) { return !HudShowsPaused(shot); }, "resumed"));
  STEP("browse overlay", SeeHud(HudSign::kBrowse, "browse"));

  // ---- Flying: every key moves the camera, Shift faster.
  for (const char* keys : {"w", "s", "a", "d", "e", "Shift_L+w"})
    STEP(std::string("fly ") + keys, FlyWith(keys));

  // ---- World: every entry of "Active World" shows its world: the overlay names it and counts
  // its chunks (no more than it has), and the camera stands at its player position. A switch
  // saves the preferences, which name it too.
  std::map<std::string, int> rowOf;
  for (int row = 0; row < static_cast<int>(worlds_.size()); ++row) {
    const std::string current = PreferenceValue(prefs_, "LastWorld");
    STEP("world entry", person_->ChooseSubMenu(kWorld, 0, kActiveWorld, row));
    // The entry of the world already shown does nothing.
    DesktopPerson::WithinTime(10s, [&] { return PreferenceValue(prefs_, "LastWorld") != current; });
    const std::string chosen = PreferenceValue(prefs_, "LastWorld");
    rowOf[chosen] = row;
    if (chosen == current) continue;
    const world::PlayerPosition start = PlayerPositionOf(folder_.saves / chosen);
    const int64_t chunks = StoredChunks(before_[chosen]);
    STEP("world shown",
         person_->SeeWithin(
             60s,
             [&](const Screenshot& shot) {
               const auto shown = WorldShown(shot);
               return shown && shown->first == chosen && shown->second > 0 && shown->second <= chunks &&
                      HudLineShows(shot, 50, HudPositionLine(start.x, start.height, start.z), kHudGrey);
             },
             "world-" + chosen));
  }
  ASSERT_EQ(rowOf.size(), worlds_.size()) << "the entries did not name every world";
  const std::string world = kValley;
  const std::string elsewhere = worlds_.front() == world ? worlds_.back() : worlds_.front();
  if (PreferenceValue(prefs_, "LastWorld") != world)
    STEP("back to the valley", person_->ChooseSubMenu(kWorld, 0, kActiveWorld, rowOf[world]));
  STEP("valley shown",
       person_->SeeWithin(
           60s, [&](const Screenshot& shot) { return ChunksShown(shot, world) > 0; }, "valley"));

  // ---- Set Playerposition, answered Yes, then the confirmation; from a new place. The world
  // entered again shows the camera there (the stored height reads 2 units higher).
  STEP("fly before setting the position", FlyWith("Shift_L+w"));
  const std::optional<Position> camera = PositionShown(person_->Shoot("camera"));
  STEP("camera position read", camera.has_value());
  STEP("set player position", person_->ChooseMenu(kWorld, 1));
  STEP("answer Yes", AnswerBoxWithReturn("question"));
  STEP("confirmation", AnswerBoxWithReturn("confirmation"));
  const world::PlayerPosition stored = PlayerPositionOf(folder_.saves / world);
  // The file holds hundredths; the overlay showed tenths.
  STEP("position written", std::abs(stored.x - camera->x) <= 0.06f &&
                               std::abs(stored.z - camera->z) <= 0.06f &&
                               std::abs(stored.height - 2.0f - camera->height) <= 0.06f);
  STEP("switch away", person_->ChooseSubMenu(kWorld, 0, kActiveWorld, rowOf[elsewhere]));
  STEP("other world shown",
       person_->SeeWithin(
           60s, [&](const Screenshot& shot) { return ChunksShown(shot, elsewhere) > 0; }, "away"));
  STEP("switch back", person_->ChooseSubMenu(kWorld, 0, kActiveWorld, rowOf[world]));
  STEP("shown at the new position",
       person_->SeeWithin(
           60s,
           [&](const Screenshot& shot) {
             return ChunksShown(shot, world) > 0 &&
                    HudLineShows(shot, 50, HudPositionLine(stored.x, stored.height, stored.z), kHudGrey);
           },
           "at-position"));
  person_->Keep("at-the-new-position");

  // ---- Load Schematic through the requester, looking along the ground at the far draw
  // distance; Return keeps the preview's place, Ctrl+S writes it there. The preview lies
  // ahead of the camera, which looks along +x after the switch: its cells start 2 units ahead
  // (rounded up) and 1 unit below.
  STEP("load schematic", person_->ChooseMenu(kFile, 0));
  STEP("schematic chosen", TypeIntoRequester((folder_.root / "bricks.kvSch").string(), "load-requester"));
  STEP("insertion mode", SeeHud(HudSign::kInsertion, "insertion"));
  person_->Keep("preview");
  person_->Tap("Return");  // updates the preview's place; the mode stays
  STEP("still inserting", SeeHud(HudSign::kInsertion, "insertion"));
  STEP("ctrl+s writes the schematic",
       HoldUntil(
           "Control_L+s", [](const Screenshot& shot) { return ReadHud(shot) == HudSign::kBrowse; },
           "injected"));
  person_->Keep("injected");
  STEP("mesh cache removed", DesktopPerson::WithinTime(20s, [&] {
         return !fs::exists(folder_.root / "instaload" / world / "chunkmeshes.sqlite");
       }));
  const int cornerX = 2 * (static_cast<int>(std::ceil(stored.x)) + 2);
  const int cornerHeight = 2 * (static_cast<int>(std::ceil(stored.height)) - 1);
  const int cornerZ = 2 * (static_cast<int>(std::ceil(stored.z)) - 1);

  ASSERT_TRUE(Quit()) << person_->Stacks();

  // ---- What the run left behind.
  EXPECT_EQ(PreferenceValue(prefs_, "LastWorld"), world);
  EXPECT_EQ(PreferenceValue(prefs_, "ViewDistance"), "600");
  for (const std::string& other : worlds_) {
    if (other == world) continue;
    EXPECT_TRUE(fs::exists(folder_.root / "instaload" / other / "chunkmeshes.sqlite")) << other;
  }

  for (const std::string& name : worlds_) {
    SCOPED_TRACE(name);
    const WorldChanges changes = CompareWorld(before_[name], SnapshotWorld(folder_.saves / name));
    for (const std::string& problem : changes.problems) ADD_FAILURE() << problem;
    if (name != world) {
      EXPECT_TRUE(changes.cells.empty() && changes.rewrittenChunks.empty());
      EXPECT_GT(changes.metadata.first, changes.metadata.last) << "metadata of a world nobody set changed";
      continue;
    }
    // The player position: only its 24 bytes changed.
    ASSERT_LE(changes.metadata.first, changes.metadata.last) << "the player position was not written";
    EXPECT_LT(changes.metadata.last - changes.metadata.first, 24u);
    // The schematic: 27 bricks where the preview was, nothing else; only their chunks rewritten.
    std::set<std::tuple<int, int, int>> expected, written;
    for (int dx = 0; dx < 3; ++dx)
      for (int dy = 0; dy < 3; ++dy)
        for (int dz = 0; dz < 3; ++dz) expected.insert({cornerX + dx, cornerHeight + dy, cornerZ + dz});
    for (const ChangedCell& cell : changes.cells) {
      EXPECT_EQ(cell.after, kBricks);
      EXPECT_NE(cell.before, kBricks);
      written.insert({cell.x, cell.height, cell.z});
    }
    EXPECT_EQ(changes.cells.size(), 27u);
    EXPECT_EQ(written, expected) << "the bricks are not where the preview was";
    EXPECT_GE(changes.rewrittenChunks.size(), 1u);
    EXPECT_LE(changes.rewrittenChunks.size(), 4u);
  }
}

// The save box, markers counted in a box that names their number, the mods item and the Help
// menu, in the small world; none of it writes into a world.
TEST_F(RealWindowTest, SaveBoxMarkersAndHelpDisplay) {
  PrepareFolder(kShortDistance, kIsle);
  ASSERT_NO_FATAL_FAILURE(Start());
  STEP("the isle shown",
       person_->SeeWithin(
           60s, [](const Screenshot& shot) { return ReadHud(shot) == HudSign::kBrowse; }, "isle"));

  // ---- Save Schematic Cube: Return opens the save requester; the file appears.
  STEP("save schematic cube", person_->ChooseMenu(kFile, 1));
  STEP("save box mode", SeeHud(HudSign::kBoxSelection, "save-box"));
  STEP("return opens the requester",
       person_->TapUntil("Return", DesktopPerson::RequesterShown, "save-requester"));
  STEP("name typed", TypeIntoRequester("walk-box", "save-requester"));
  STEP("schematic saved",
       DesktopPerson::WithinTime(20s, [&] { return fs::exists(folder_.root / "walk-box.kvSch"); }));
  STEP("back to browsing", SeeHud(HudSign::kBrowse, "saved"));

  // ---- Escape leaves a mode.
  STEP("save schematic cube again", person_->ChooseMenu(kFile, 1));
  STEP("save box mode again", SeeHud(HudSign::kBoxSelection, "save-box"));
  STEP("escape",
       person_->TapUntil(
           "Escape", [](const Screenshot& shot) { return ReadHud(shot) == HudSign::kBrowse; }, "escape"));

  // ---- Markers, counted in a box that names the number: none, then the one chunk under the
  // marker, then none again after "Remove all markers". A Return let go in browse mode is not
  // kept for the marker placed next.
  std::optional<std::string> count;
  STEP("count without markers", person_->ChooseSubMenu(kFile, 2, kClearChunks, 3));
  STEP("count box", AnswerBoxWithReturn("count-none", &count));
  STEP("no chunks counted", count == "Chunks: 0");
  person_->Tap("Return");
  STEP("add a marker area", person_->ChooseSubMenu(kFile, 2, kClearChunks, 0));
  STEP("marker mode", SeeHud(HudSign::kBoxSelection, "marker"));
  std::this_thread::sleep_for(1500ms);  // three overlay refreshes: the mode must hold without a key
  STEP("marker not placed by the old Return",
       ReadHud(person_->Shoot("marker-held")) == HudSign::kBoxSelection);
  STEP("confirm the marker",
       person_->TapUntil(
           "Return", [](const Screenshot& shot) { return ReadHud(shot) == HudSign::kBrowse; },
           "marker-confirmed"));
  STEP("count marked chunks", person_->ChooseSubMenu(kFile, 2, kClearChunks, 3));
  STEP("count box", AnswerBoxWithReturn("count", &count));
  STEP("one chunk counted", count == "Chunks: 1");
  STEP("delete unmarked chunks (does nothing)", person_->ChooseSubMenu(kFile, 2, kClearChunks, 2));
  STEP("remove all markers", person_->ChooseSubMenu(kFile, 2, kClearChunks, 1));
  STEP("count after removing", person_->ChooseSubMenu(kFile, 2, kClearChunks, 3));
  STEP("empty count box", AnswerBoxWithReturn("count-empty", &count));
  STEP("no chunks counted after removing", count == "Chunks: 0");

  // ---- The mods-directory item toggles its mark.
  const bool shareMark = PreferenceValue(prefs_, "Do not share custom Blocks in mods directory") != "0";
  STEP("mods item", person_->ChooseMenu(kFile, 3));
  STEP("mods mark", MenuCheck(kFile, 3, !shareMark));

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

  ASSERT_TRUE(Quit()) << person_->Stacks();

  const std::vector<std::string> pageLines = Lines(pages);
  ASSERT_EQ(pageLines.size(), 3u);
  EXPECT_NE(pageLines[0].find("docs/help/quickstart.html"), std::string::npos) << pageLines[0];
  EXPECT_NE(pageLines[1].find("docs/help/quickstart.html#Version"), std::string::npos) << pageLines[1];
  EXPECT_NE(pageLines[2].find("docs/help/custom-blocks.html"), std::string::npos) << pageLines[2];
  EXPECT_EQ(PreferenceValue(prefs_, "Do not share custom Blocks in mods directory"), shareMark ? "0" : "1");

  const std::vector<uint8_t> saved = ReadFileBytes(folder_.root / "walk-box.kvSch");
  ASSERT_GE(saved.size(), 20u);
  int32_t sizes[4];
  std::memcpy(sizes, saved.data(), sizeof sizes);
  EXPECT_EQ(sizes[0], 3);
  EXPECT_EQ(sizes[1], 3);
  EXPECT_EQ(sizes[2], 3);
  EXPECT_EQ(sizes[3], 0x13371337);
  ExpectWorldsUnchanged();
}

// SIGTERM and SIGINT end the program as Quit does, even while it waits for a person: in a
// question box (answered No: nothing written) and in the About window.
TEST_F(RealWindowTest, TerminationSignalsEndTheProgramLikeQuitDisplay) {
  PrepareFolder(kShortDistance, kValley);
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
