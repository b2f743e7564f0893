// The custom-block import as the program's start-up runs it: the app's wiring, a Steam library in
// the user's home with a workshop folder for the game and its mods folder, the preview optimiser
// beside the executable, and the server (when one is named) reached through the environment.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/subsystem_wiring.h"
#include "customblocks/custom_block_import.h"
#include "customblocks/import_progress_window.h"
#include "fixtures/custom_block_folder.h"
#include "fixtures/dds_writer.h"
#include "fixtures/png_reader.h"
#include "fixtures/world_writer.h"
#include "platform/database_test_server.h"
#include "platform/engine3d/engine3d.h"
#include "platform/engine3d/scene.h"
#include "platform/gui/scripted_gui.h"
#include "platform/input/scripted_input.h"
#include "viewer/program_context.h"
#include "viewer/program_main.h"

namespace orelens::app {
namespace {

namespace fs = std::filesystem;
using platform::PackRgb;

constexpr int kWhite = PackRgb(255, 255, 255);
constexpr int kSky = PackRgb(100, 156, 251);
constexpr char kConnecting[] = "Trying to connect to custom block database,\n\rplease stand by...";

// What the program showed each time it let the window system work during start-up.
struct Moment {
  glm::vec3 camera{0.0f};  // camera 0's place and direction
  glm::vec3 cameraDirection{0.0f};
  std::array<glm::vec3, 2> lights{};  // lights 0 and 1 (0, 0, 0 while one is missing)
  std::array<int, 2> lightColours{};
  int background = 0;                 // camera 0
  bool importWindowHidden = false;
  size_t customBlocks = 0;
  std::string status;
  size_t messageBoxes = 0;
  std::chrono::steady_clock::time_point when;
};

class StartupImportTest : public ::testing::Test {
 protected:
  StartupImportTest() : engine_(platform::MakeHeadlessEngine()), bundle_(gui_, input_, *engine_, libraries_) {
    working_ = temp_.MakeFolder("run");
    const fs::path assets = fs::path(ORELENS_SOURCE_DIR) / "assets";
    fs::copy_file(assets / "demo.xml", working_ + "demo.xml");
    fs::copy(assets / "Textures", working_ + "Textures", fs::copy_options::recursive);
    fs::create_directories(working_ + "Textures/Block_prev");
    // Steam as the registry layer finds it: ~/.steam/steam holding steamapps.
    const std::string steamApps = temp_.MakeFolder("home/.steam/steam/steamapps");
    workshop_ = temp_.MakeFolder("home/.steam/steam/steamapps/workshop/content/731042");
    mods_ = temp_.MakeFolder("home/.steam/steam/steamapps/common/Kelvane/Kelvane/Mods/Blocks");

    bundle_.workingFolder = working_;
    bundle_.environment.homeFolder = temp_.path() + "home";
    bundle_.subsystems = BindSubsystemCalls();
    gui_.SetPollHook([this](platform::ScriptedGui& gui) {
      if (!ctx_) return;
      const platform::Scene& scene = engine_->GetScene();
      Moment moment{scene.cameras[0].Position(),
                    {engine_->PBO_CameraDirectionX(0), engine_->PBO_CameraDirectionY(0),
                     engine_->PBO_CameraDirectionZ(0)},
                    {},
                    {},
                    scene.cameras[0].backRgb,
                    gui.IsWindowHidden(customblocks::kImportProgressWindow),
                    ctx_->customBlocks.Size(),
                    gui.GetGadgetText(customblocks::kImportStatusText),
                    gui.MessageBoxCount(),
                    std::chrono::steady_clock::now()};
      for (int light = 0; light < 2; ++light) {
        if (const platform::Light* found = scene.lights.Find(light)) {
          moment.lights[light] = found->position;
          moment.lightColours[light] = found->diffuse;
        }
      }
      moments_.push_back(moment);
    });
  }
  ~StartupImportTest() override {
    if (ctx_) viewer::ShutDown(*ctx_);
  }

  void AddBlock(const std::string& folder, const std::string& entry, const std::string& name, int mode,
                int64_t id) {
    const std::vector<uint8_t> texture =
        fixtures::MakeUniformDdsFile(64, 64, {.alpha0 = 255, .alpha1 = 255, .colour0 = 0xF800});
    std::map<std::string, std::vector<uint8_t>> textures;
    for (const char* file : {"all.dds", "sides.dds", "updown.dds", "up.dds", "down.dds"})
      textures[file] = texture;
    ASSERT_TRUE(fixtures::WriteCustomBlockFolder(
        folder, {entry, fixtures::MakeBlockPropertiesText(name, mode, id, "Ada"), "Textures", textures}));
  }
  void WritePreferences(int doNotShareMods) {
    std::ofstream prefs(working_ + "prefs.ini", std::ios::binary);
    prefs << "\xEF\xBB\xBF\r\nSaveDir = " << temp_.MakeFolder("saves")
          << "\r\nDo not share custom Blocks in mods directory = " << doNotShareMods << "\r\n";
  }
  void NameServer(const std::string& host, unsigned port, const std::string& user,
                  const std::string& password, const std::string& database = "tessdb42") {
    bundle_.environment.variables = {{"ORELENS_BLOCKDB_HOST", host},
                                     {"ORELENS_BLOCKDB_PORT", std::to_string(port)},
                                     {"ORELENS_BLOCKDB_USER", user},
                                     {"ORELENS_BLOCKDB_PASSWORD", password},
                                     {"ORELENS_BLOCKDB_NAME", database}};
  }
  void WriteServerSettings(const std::string& text) {
    std::ofstream settings(working_ + "customblock-server.ini", std::ios::binary);
    settings << text;
  }
  // Start-up with the chunk loaders paused: there is no world to stream.
  void Start() {
    ctx_ = std::make_unique<viewer::ProgramContext>(bundle_);
    ctx_->SetChunkLoadingPaused(true);
    ASSERT_TRUE(viewer::StartUp(*ctx_));
  }
  const viewer::CustomBlockDefinition* Block(int64_t id) {
    return ctx_->customBlocks.Find(std::to_string(id));
  }
  std::string Preview(int64_t id) { return working_ + "Textures/Block_prev/" + std::to_string(id) + ".png"; }
  // The message boxes but the one about the missing world.
  std::vector<platform::RecordedMessageBox> ImportMessages() {
    std::vector<platform::RecordedMessageBox> boxes;
    for (const auto& box : gui_.MessageBoxes())
      if (box.title != "No current World") boxes.push_back(box);
    return boxes;
  }
  size_t MomentsShowing(std::string_view status) {
    size_t count = 0;
    for (size_t i = 0; i < moments_.size(); ++i)
      if (moments_[i].status == status && (i == 0 || moments_[i - 1].status != status)) ++count;
    return count;
  }

  fixtures::TempFolder temp_;
  std::string working_, workshop_, mods_;
  platform::ScriptedGui gui_;
  platform::ScriptedInput input_;
  platform::LibraryLocator libraries_;
  std::unique_ptr<platform::Engine3D> engine_;
  viewer::PlatformBundle bundle_;
  std::unique_ptr<viewer::ProgramContext> ctx_;
  std::vector<Moment> moments_;
};

TEST_F(StartupImportTest, ImportsWorkshopThenModsOnAWhiteBackgroundBeforeTheWindowHidesAndTheSkyComes) {
  AddBlock(workshop_, "1001", "Crate", 1, 501);
  AddBlock(workshop_, "1002", "Lamp", 3, 502);
  AddBlock(mods_, "door", "Door", 2, 503);
  // The same block in both folders: the mods folder's comes second and wins.
  AddBlock(mods_, "crate-again", "Mods Crate", 2, 501);
  WritePreferences(0);
  Start();

  ASSERT_EQ(ctx_->customBlocks.Size(), 3u);
  ASSERT_TRUE(Block(501) && Block(502) && Block(503));
  EXPECT_EQ(Block(501)->name, "Mods Crate");
  EXPECT_EQ(Block(501)->kind, 2);
  EXPECT_EQ(Block(502)->name, "Lamp");
  EXPECT_EQ(Block(502)->kind, 3);
  EXPECT_EQ(Block(503)->name, "Door");

  // Every moment of the import had the white background and the import window up, and the
  // camera and the two lights where the previews want them: the camera up a corner of the face
  // templates, as far out as the view is high, looking at them.
  const float s = static_cast<float>(gui_.WindowInnerHeight(0)) / 1000.0f * 1.1f;
  const glm::vec3 towardsTemplates = glm::normalize(glm::vec3(0.06f, 0, 0.06f) - glm::vec3(s));
  size_t importing = 0;
  for (const Moment& moment : moments_) {
    if (moment.customBlocks == 0 && moment.status == "Importing custom Blocks, sorry for the Delay!")
      continue;
    ++importing;
    EXPECT_EQ(moment.background, kWhite) << moment.status;
    EXPECT_FALSE(moment.importWindowHidden) << moment.status;
    EXPECT_LT(glm::distance(moment.camera, glm::vec3(s)), 1e-4f);
    EXPECT_LT(glm::distance(moment.cameraDirection, towardsTemplates), 1e-3f);
    EXPECT_EQ(moment.lights[0], glm::vec3(-100, 100, -100));
    EXPECT_EQ(moment.lights[1], glm::vec3(-100, 100, 100));
    EXPECT_EQ(moment.lightColours, (std::array<int, 2>{PackRgb(250, 250, 230), PackRgb(250, 250, 230)}));
  }
  EXPECT_GT(importing, 20u);
  EXPECT_EQ(moments_.back().customBlocks, 3u);
  // Then the window went and the sky colour came.
  EXPECT_TRUE(gui_.IsWindowHidden(customblocks::kImportProgressWindow));
  EXPECT_EQ(engine_->GetScene().cameras[0].backRgb, kSky);

  // Previews in the working folder, white made transparent, then optimised by tools/pingo beside
  // the executable (it leaves a palette picture).
  for (int64_t id : {501, 502, 503}) {
    const auto picture = fixtures::ReadPngFile(Preview(id));
    ASSERT_TRUE(picture) << id;
    EXPECT_EQ(picture->width, 512);
    EXPECT_EQ(platform::AlphaOf(picture->at(256, 256)), 0u);
    EXPECT_EQ(fixtures::PngColourType(Preview(id)), 3) << id;
  }

  // No server named: nothing tried, nothing asked, said once.
  EXPECT_TRUE(ImportMessages().empty());
  EXPECT_EQ(MomentsShowing(customblocks::kNoServerStatus), 1u);
  EXPECT_EQ(MomentsShowing(kConnecting), 0u);
}

TEST_F(StartupImportTest, WithoutTheGameFoldersNothingIsImportedOrSaid) {
  fs::remove_all(temp_.path() + "home/.steam/steam/steamapps/workshop");
  fs::remove_all(temp_.path() + "home/.steam/steam/steamapps/common");
  WritePreferences(0);
  Start();
  EXPECT_EQ(ctx_->customBlocks.Size(), 0u);
  EXPECT_TRUE(ImportMessages().empty());
  EXPECT_EQ(MomentsShowing(customblocks::kNoServerStatus), 0u);
  EXPECT_TRUE(gui_.IsWindowHidden(customblocks::kImportProgressWindow));
}

TEST_F(StartupImportTest, AServerThatCannotBeReachedIsReportedForEachSharedFolder) {
  AddBlock(workshop_, "a", "Crate", 1, 601);
  AddBlock(mods_, "b", "Door", 1, 602);
  NameServer("127.0.0.1", 1, "someone", "secret");  // nothing listens on port 1
  WritePreferences(0);
  Start();
  const auto boxes = ImportMessages();
  ASSERT_EQ(boxes.size(), 2u);
  for (const auto& box : boxes) {
    EXPECT_EQ(box.title, "");
    EXPECT_EQ(box.text, customblocks::kConnectionFailedMessage);
  }
  EXPECT_EQ(MomentsShowing(kConnecting), 2u);
  EXPECT_EQ(MomentsShowing(customblocks::kNoServerStatus), 0u);
  // The import went on without the server.
  EXPECT_TRUE(Block(601) && Block(602));
}

TEST_F(StartupImportTest, ServerSettingsThatCannotBeUsedAreSaidOnceAndNoConnectionIsTried) {
  AddBlock(workshop_, "a", "Crate", 1, 611);
  AddBlock(mods_, "b", "Door", 1, 612);
  WriteServerSettings("Host = 127.0.0.1\nPort = 3306 # default\n");
  WritePreferences(0);
  Start();
  const auto boxes = ImportMessages();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "");
  EXPECT_EQ(boxes[0].text, "Your custom blocks are not published: the port \"3306 # default\" (Port in " +
                               working_ + "customblock-server.ini) is not a number from 1 to 65535.");
  EXPECT_EQ(MomentsShowing(kConnecting), 0u);
  EXPECT_TRUE(Block(611) && Block(612));
}

TEST_F(StartupImportTest, ASettingsFileTooLargeToReadIsSaid) {
  AddBlock(workshop_, "a", "Crate", 1, 613);
  WriteServerSettings("Host = 127.0.0.1\n" + std::string(70000, '#'));
  bundle_.environment.variables = {{"ORELENS_BLOCKDB_HOST", "127.0.0.1"}};
  WritePreferences(0);
  Start();
  const auto boxes = ImportMessages();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text,
            "Your custom blocks are not published: " + working_ +
                "customblock-server.ini was not read: it is larger than 64 KiB, too large for a "
                "settings file.");
  EXPECT_EQ(MomentsShowing(kConnecting), 0u);
  EXPECT_TRUE(Block(613));
}

// Publishing through the server the environment names, with the test account.
class StartupPublishingTest : public StartupImportTest {
 protected:
  void SetUp() override {
    server_ = platform::testing::TestDatabaseServer::FromEnvironment();
    if (!server_) GTEST_SKIP() << platform::testing::kNoTestServer;
    driver_ = platform::LoadMySqlDriver(libraries_);
    ASSERT_TRUE(driver_);
    database_ = platform::testing::OpenCustomBlockTestDatabase(*driver_, *server_);
    ASSERT_TRUE(database_);
    for (int n = 0; n < 2; ++n) ids_.push_back(platform::testing::UniqueTestId(40 + n));
    Delete();
    NameServer(server_->host, server_->port, server_->user, server_->password);
    AddBlock(workshop_, "w", "Workshop Crate", 1, ids_[0]);
    AddBlock(mods_, "m", "Mods Door", 2, ids_[1]);
  }
  void TearDown() override {
    if (database_) Delete();
  }
  void Delete() {
    for (int32_t id : ids_) database_->Update("DELETE FROM CustomBlocks2 WHERE id = " + std::to_string(id));
  }
  // Rows of the block that hold its preview file as it was left.
  int PublishedRows(int32_t id, const std::string& name, int type) {
    database_->BindText(0, name);
    return platform::testing::CountRows(*database_,
                                        "SELECT id FROM CustomBlocks2 WHERE id = " + std::to_string(id) +
                                            " and name = ? and type = " + std::to_string(type) +
                                            " and author = 'Ada' and hasPrev = 1 and LENGTH(preview) = " +
                                            std::to_string(fs::file_size(Preview(id))));
  }

  std::optional<platform::testing::TestDatabaseServer> server_;
  std::shared_ptr<const platform::MySqlDriver> driver_;
  std::unique_ptr<platform::MySqlDatabase> database_;
  std::vector<int32_t> ids_;
};

TEST_F(StartupPublishingTest, TheWorkshopIsPublishedAndTheModsFolderOnlyWhenShared) {
  WritePreferences(1);
  Start();
  EXPECT_TRUE(ImportMessages().empty());
  EXPECT_EQ(PublishedRows(ids_[0], "Workshop Crate", 1), 1);
  EXPECT_EQ(platform::testing::CountRows(
                *database_, "SELECT id FROM CustomBlocks2 WHERE id = " + std::to_string(ids_[1])),
            0);
  // The mods folder was imported all the same, without connecting for it.
  EXPECT_TRUE(Block(ids_[1]));
  EXPECT_EQ(MomentsShowing(kConnecting), 1u);
}

TEST_F(StartupPublishingTest, BothFoldersArePublishedWhenTheModsFolderIsShared) {
  WritePreferences(0);
  Start();
  EXPECT_TRUE(ImportMessages().empty());
  EXPECT_EQ(PublishedRows(ids_[0], "Workshop Crate", 1), 1);
  EXPECT_EQ(PublishedRows(ids_[1], "Mods Door", 2), 1);
  EXPECT_EQ(MomentsShowing(kConnecting), 2u);
}

TEST_F(StartupPublishingTest, ALatin1NameIsPublishedAsValidUtf8) {
  AddBlock(workshop_, "w", "Caf\xe9 Cr\xeate", 1, ids_[0]);
  WritePreferences(0);
  Start();
  EXPECT_TRUE(ImportMessages().empty());
  EXPECT_EQ(PublishedRows(ids_[0], "Caf\xEF\xBF\xBD Cr\xEF\xBF\xBDte", 1), 1);
  EXPECT_EQ(PublishedRows(ids_[1], "Mods Door", 2), 1);
}

TEST_F(StartupPublishingTest, AVariableSetToNothingWinsOverTheSettingsFile) {
  WriteServerSettings("Host = " + server_->host + "\nPort = " + std::to_string(server_->port) +
                      "\nUser = " + server_->user + "\nPassword = " + server_->password + "\n");
  // The file's password cleared: the server refuses the login, once for each folder.
  bundle_.environment.variables = {{"ORELENS_BLOCKDB_PASSWORD", ""}};
  WritePreferences(0);
  Start();
  EXPECT_EQ(ImportMessages().size(), 2u);
  EXPECT_EQ(MomentsShowing(kConnecting), 2u);
  EXPECT_EQ(platform::testing::CountRows(
                *database_, "SELECT id FROM CustomBlocks2 WHERE id = " + std::to_string(ids_[0])),
            0);
}

TEST_F(StartupPublishingTest, ADatabaseNameWithBlanksIsTheDatabaseUsed) {
  platform::testing::ScratchBlockDatabase scratch(*driver_, *server_, 43, " of blocks dbname=tessdb42");
  NameServer(server_->host, server_->port, server_->user, server_->password, scratch.Name());
  WritePreferences(0);
  Start();
  EXPECT_TRUE(ImportMessages().empty());
  EXPECT_EQ(platform::testing::CountRows(*scratch.Session(), "SELECT id FROM CustomBlocks2"), 2);
  EXPECT_EQ(platform::testing::CountRows(
                *database_, "SELECT id FROM CustomBlocks2 WHERE id = " + std::to_string(ids_[0])),
            0);
}

TEST_F(StartupPublishingTest, AStalledServerIsReportedOnceForEachFolderWhileTheWindowsStayDrawn) {
  platform::testing::ScratchBlockDatabase stalled(*driver_, *server_, 44);
  NameServer(server_->host, server_->port, server_->user, server_->password, stalled.Name());
  AddBlock(workshop_, "w2", "Second Crate", 1, ids_[0] + 50);
  WritePreferences(0);
  // The server takes the logins, but another client holds the table.
  stalled.LockTable();
  Start();
  stalled.UnlockTable();

  const auto boxes = ImportMessages();
  ASSERT_EQ(boxes.size(), 2u);
  for (const auto& box : boxes) EXPECT_EQ(box.text, customblocks::kConnectionFailedMessage);
  EXPECT_EQ(MomentsShowing(kConnecting), 2u);
  // The import went on without the server.
  EXPECT_TRUE(Block(ids_[0]) && Block(ids_[0] + 50) && Block(ids_[1]));
  EXPECT_EQ(platform::testing::CountRows(*stalled.Session(), "SELECT id FROM CustomBlocks2"), 0);

  // Each folder's box came within the statement timeout of its connection (one stalled statement,
  // not one per block), and the windows were taken care of all along: the longest pause between
  // two window events stayed far below that timeout.
  const auto statementTimeout =
      std::chrono::seconds(customblocks::CustomBlockDatabaseSettings{}.timeouts.statementSeconds);
  std::chrono::steady_clock::time_point connecting;
  std::chrono::steady_clock::duration longestPause{};
  size_t boxesSeen = 0;
  for (size_t i = 0; i < moments_.size(); ++i) {
    const Moment& moment = moments_[i];
    const Moment* before = i > 0 ? &moments_[i - 1] : nullptr;
    if (moment.status == kConnecting && (!before || before->status != kConnecting)) connecting = moment.when;
    if (connecting == std::chrono::steady_clock::time_point{} || !before) continue;
    longestPause = std::max(longestPause, moment.when - before->when);
    if (moment.messageBoxes > before->messageBoxes) {
      ++boxesSeen;
      EXPECT_LT(moment.when - connecting, statementTimeout + std::chrono::seconds(3)) << "box " << boxesSeen;
    }
  }
  EXPECT_EQ(boxesSeen, 2u);
  EXPECT_LT(longestPause, statementTimeout / 2);
}

}  // namespace
}  // namespace orelens::app
