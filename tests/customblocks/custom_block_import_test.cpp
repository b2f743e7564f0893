#include "customblocks/custom_block_import.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "customblocks/import_scene.h"
#include "customblocks/scratch_folder.h"
#include "fixtures/custom_block_folder.h"
#include "fixtures/dds_writer.h"
#include "platform/database_test_server.h"
#include "platform/dynlib/dynamic_library.h"

namespace orelens::customblocks {
namespace {

using testing::ImportScene;
using testing::ScratchFolder;

constexpr char kConnectionFailed[] =
    "Connection to Database failed, custom block database could not be updated with your blocks!";
static_assert(std::string_view(kConnectionFailed) == kConnectionFailedMessage);
constexpr char kInitialStatus[] = "Importing custom Blocks, sorry for the Delay!";

// A 2048 x 2048 texture of one 5:6:5 colour.
std::vector<uint8_t> Texture(uint16_t rgb565) {
  return fixtures::MakeUniformDdsFile(2048, 2048, {.alpha0 = 255, .alpha1 = 255, .colour0 = rgb565});
}
const uint16_t kRed = 0xF800, kGreen = 0x07E0, kBlue = 0x001F, kWhite = 0xFFFF, kYellow = 0xFFE0,
               kCyan = 0x07FF;
uint32_t Pixel(uint16_t rgb565) {
  const auto widen = [](unsigned v, unsigned bits) { return v * 255 / ((1u << bits) - 1); };
  return platform::PackRgba(widen(rgb565 >> 11, 5), widen((rgb565 >> 5) & 63, 6), widen(rgb565 & 31, 5), 255);
}

class CustomBlockImportTest : public ::testing::Test {
 protected:
  CustomBlockImportSettings Settings() {
    CustomBlockImportSettings settings;
    settings.preview.previewFolder = previews_.WithSeparator();
    settings.preview.optimiserProgram = "/nonexistent/pingo";
    settings.preview.pauseAfterPreviewMs = 0;
    settings.database.emplace();
    settings.database->login.host = "127.0.0.1";
    settings.database->login.port = 1;  // nothing listens: offline at once
    return settings;
  }
  void Add(const fixtures::CustomBlockFolder& folder, const ScratchFolder& root) {
    ASSERT_TRUE(fixtures::WriteCustomBlockFolder(root.Path().string(), folder));
  }
  void Import(const ScratchFolder& root, int doNotShare = 1) {
    CustomBlockImporter importer(scene_.gui, *scene_.engine, blocks_, nullptr, Settings());
    importer.ImportCustomBlocksFromFolder(root.WithSeparator(), doNotShare);
  }
  const viewer::CustomBlockDefinition* Block(int64_t id) { return blocks_.Find(std::to_string(id)); }
  uint32_t SlotPixel(const viewer::CustomBlockDefinition& block, int slot) {
    const platform::Image* picture = scene_.PictureOfMaterial(block.faces[static_cast<size_t>(slot)]);
    return picture ? picture->at(0, 0) : 0;
  }
  std::string Status() { return scene_.gui.GetGadgetText(kImportStatusText); }

  ScratchFolder workshop_, mods_, previews_;
  ImportScene scene_;
  viewer::CustomBlockMap blocks_;
};

TEST_F(CustomBlockImportTest, ImportsEachLayoutIntoItsSlots) {
  Add({"a",
       fixtures::MakeBlockPropertiesText("Plain", 1, 101, "Ada"),
       "textures",
       {{"all.dds", Texture(kRed)}}},
      workshop_);
  Add({"b",
       fixtures::MakeBlockPropertiesText("Capped", 2, 102, "Ada"),
       "Textures",
       {{"sides.dds", Texture(kGreen)}, {"updown.dds", Texture(kBlue)}}},
      workshop_);
  Add({"c",
       fixtures::MakeBlockPropertiesText("Layered", 3, 103, "Bo"),
       "textures",
       {{"sides.dds", Texture(kGreen)}, {"up.dds", Texture(kRed)}, {"down.dds", Texture(kBlue)}}},
      workshop_);
  Add({"d",
       fixtures::MakeBlockPropertiesText("Dice", 4, -104, "Cy"),
       "textures",
       {{"up.dds", Texture(kRed)},
        {"down.dds", Texture(kGreen)},
        {"left.dds", Texture(kBlue)},
        {"right.dds", Texture(kWhite)},
        {"front.dds", Texture(kYellow)},
        {"back.dds", Texture(kCyan)}}},
      workshop_);
  Import(workshop_);

  ASSERT_EQ(blocks_.Size(), 4u);
  const viewer::CustomBlockDefinition* plain = Block(101);
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->name, "Plain");
  EXPECT_EQ(plain->kind, 1);
  EXPECT_EQ(plain->id, 101);
  EXPECT_EQ(SlotPixel(*plain, 0), Pixel(kRed));
  EXPECT_EQ(plain->faces[1], 0);

  const viewer::CustomBlockDefinition* capped = Block(102);
  ASSERT_TRUE(capped);
  EXPECT_EQ(SlotPixel(*capped, 2), Pixel(kGreen));
  EXPECT_EQ(SlotPixel(*capped, 0), Pixel(kBlue));

  const viewer::CustomBlockDefinition* layered = Block(103);
  ASSERT_TRUE(layered);
  EXPECT_EQ(SlotPixel(*layered, 0), Pixel(kRed));
  EXPECT_EQ(SlotPixel(*layered, 1), Pixel(kBlue));
  EXPECT_EQ(SlotPixel(*layered, 2), Pixel(kGreen));

  const viewer::CustomBlockDefinition* dice = Block(-104);
  ASSERT_TRUE(dice);
  EXPECT_EQ(dice->id, -104);
  const uint16_t expected[] = {kRed, kGreen, kBlue, kWhite, kYellow, kCyan};
  for (int slot = 0; slot < 6; ++slot) EXPECT_EQ(SlotPixel(*dice, slot), Pixel(expected[slot])) << slot;
  EXPECT_EQ(dice->faces[6], 0);

  EXPECT_TRUE(std::filesystem::exists(previews_.File("-104.png")));
  EXPECT_TRUE(std::filesystem::exists(previews_.File("101.png")));
  EXPECT_NE(Status().find("\n\rFound 4 custom blocks so far."), std::string::npos) << Status();
  EXPECT_EQ(scene_.gui.MessageBoxCount(), 0u);
}

TEST_F(CustomBlockImportTest, EntriesThatDoNotQualifyAreSkippedSilently) {
  ASSERT_TRUE(fixtures::WriteBytesFile(workshop_.File("loose-file.txt"), {'x'}));
  Add({"no-properties", std::nullopt, "textures", {{"all.dds", Texture(kRed)}}}, workshop_);
  Add({"empty-properties", "", "textures", {{"all.dds", Texture(kRed)}}}, workshop_);
  Add({"no-textures", fixtures::MakeBlockPropertiesText("A", 1, 1, "x"), std::nullopt, {}}, workshop_);
  Add({"no-name", fixtures::MakeBlockPropertiesText("", 1, 2, "x"), "textures", {{"all.dds", Texture(kRed)}}},
      workshop_);
  Add({"mode-five",
       fixtures::MakeBlockPropertiesText("B", 5, 3, "x"),
       "textures",
       {{"all.dds", Texture(kRed)}}},
      workshop_);
  Add({"mode-zero", "{\"Name\": \"C\", \n\"UniqueID\": 4}", "textures", {{"all.dds", Texture(kRed)}}},
      workshop_);
  Add({"garbage", std::string("\xFF\x00\"Mode\":\x01\r\r\n\"Name\":", 20), "textures", {}}, workshop_);
  // The imported folder itself looks like a block: its "." entry is no block all the same.
  Add({".", fixtures::MakeBlockPropertiesText("Root", 1, 5, "x"), "textures", {{"all.dds", Texture(kRed)}}},
      workshop_);
  Import(workshop_);
  CustomBlockImporter importer(scene_.gui, *scene_.engine, blocks_, nullptr, Settings());
  importer.ImportCustomBlocksFromFolder(workshop_.File("not-there") + "/", 1);
  EXPECT_EQ(blocks_.Size(), 0u);
  EXPECT_EQ(Status(), kInitialStatus);
  EXPECT_EQ(scene_.gui.MessageBoxCount(), 0u);
}

TEST_F(CustomBlockImportTest, EmptyFirstTextureGivesNoEntryButAStatus) {
  Add({"a",
       fixtures::MakeBlockPropertiesText("Hollow", 2, 7, "Ada"),
       "textures",
       {{"sides.dds", {}}, {"updown.dds", Texture(kRed)}}},
      workshop_);
  Import(workshop_);
  EXPECT_EQ(blocks_.Size(), 0u);
  EXPECT_EQ(Status(), "Last Added 'Hollow' from Ada\n\rFound 0 custom blocks so far.");
  EXPECT_FALSE(std::filesystem::exists(previews_.File("7.png")));
}

TEST_F(CustomBlockImportTest, MissingTexturesKeepTheirCreatedContent) {
  // The first file missing (not empty) still makes an entry; a missing later file too.
  Add({"a",
       fixtures::MakeBlockPropertiesText("Half", 2, 8, "Ada"),
       "textures",
       {{"sides.dds", Texture(kRed)}}},
      workshop_);
  Add({"b", fixtures::MakeBlockPropertiesText("None", 1, 9, "Ada"), "textures", {}}, workshop_);
  Import(workshop_);
  ASSERT_TRUE(Block(8));
  EXPECT_EQ(SlotPixel(*Block(8), 2), Pixel(kRed));
  EXPECT_EQ(SlotPixel(*Block(8), 0), platform::PackRgba(0, 0, 0, 255));
  ASSERT_TRUE(Block(9));
  EXPECT_EQ(SlotPixel(*Block(9), 0), platform::PackRgba(0, 0, 0, 255));
}

TEST_F(CustomBlockImportTest, TheSameIdInTheModsFolderReusesTheEntry) {
  Add({"a",
       fixtures::MakeBlockPropertiesText("Workshop Dice", 4, 55, "Ada"),
       "textures",
       {{"up.dds", Texture(kRed)},
        {"down.dds", Texture(kGreen)},
        {"left.dds", Texture(kBlue)},
        {"right.dds", Texture(kWhite)},
        {"front.dds", Texture(kYellow)},
        {"back.dds", Texture(kCyan)}}},
      workshop_);
  Add({"a",
       fixtures::MakeBlockPropertiesText("Mods Crate", 2, 55, "Bo"),
       "textures",
       {{"sides.dds", Texture(kCyan)}, {"updown.dds", Texture(kYellow)}}},
      mods_);
  Import(workshop_);
  const int back = Block(55)->faces[5];
  Import(mods_);
  ASSERT_EQ(blocks_.Size(), 1u);
  const viewer::CustomBlockDefinition& block = *Block(55);
  EXPECT_EQ(block.name, "Mods Crate");
  EXPECT_EQ(block.kind, 2);
  EXPECT_EQ(SlotPixel(block, 0), Pixel(kYellow));
  EXPECT_EQ(SlotPixel(block, 2), Pixel(kCyan));
  EXPECT_EQ(block.faces[5], back);  // not filled by layout 2: kept
  EXPECT_EQ(Status(), "Last Added 'Mods Crate' from Bo\n\rFound 1 custom blocks so far.");
}

TEST_F(CustomBlockImportTest, PropertiesLinesAndEntriesEachHandleAnEvent) {
  // The block: four lines, closing the file, the preview's two sweeps of pending events, the
  // status and the entry itself. Its only texture is missing, so no rows are decoded.
  Add({"a", "\"Name\": \"E\",\n\"Mode\": 1,\n\"UniqueID\": 5,\n\"CreatorName\": \"F\"", "textures", {}},
      workshop_);
  ASSERT_TRUE(fixtures::WriteBytesFile(workshop_.File("loose"), {'x'}));
  const int before = scene_.gui.NoWaitCalls();
  Import(workshop_);
  ASSERT_TRUE(Block(5));
  // The loose file, "." and ".." cost one each, as every listed entry does.
  EXPECT_EQ(scene_.gui.NoWaitCalls() - before, 9 + 3);
}

TEST_F(CustomBlockImportTest, SharingOfflineShowsOneMessageAndGoesOn) {
  Add({"a",
       fixtures::MakeBlockPropertiesText("Crate", 1, 11, "Ada"),
       "textures",
       {{"all.dds", Texture(kRed)}}},
      workshop_);
  Import(workshop_, 0);
  ASSERT_EQ(scene_.gui.MessageBoxCount(), 1u);
  EXPECT_EQ(scene_.gui.MessageBoxes()[0].title, "");
  EXPECT_EQ(scene_.gui.MessageBoxes()[0].text, kConnectionFailed);
  EXPECT_TRUE(Block(11));
  Import(mods_, 1);
  EXPECT_EQ(scene_.gui.MessageBoxCount(), 1u);
}

TEST_F(CustomBlockImportTest, SettingsThatCannotBeUsedAreSaidOnceAndNothingIsTried) {
  Add({"a",
       fixtures::MakeBlockPropertiesText("Crate", 1, 13, "Ada"),
       "textures",
       {{"all.dds", Texture(kRed)}}},
      workshop_);
  CustomBlockImportSettings settings = Settings();
  settings.database.reset();
  settings.databaseSettingsProblem = "the port \"x\" (variable P) is not a number from 1 to 65535.";
  CustomBlockImporter importer(scene_.gui, *scene_.engine, blocks_, nullptr, settings);
  importer.ImportCustomBlocksFromFolder(workshop_.WithSeparator(), 0);
  importer.ImportCustomBlocksFromFolder(mods_.WithSeparator(), 0);
  ASSERT_EQ(scene_.gui.MessageBoxCount(), 1u);
  EXPECT_EQ(scene_.gui.MessageBoxes()[0].title, "");
  EXPECT_EQ(
      scene_.gui.MessageBoxes()[0].text,
      "Your custom blocks are not published: the port \"x\" (variable P) is not a number from 1 to 65535.");
  EXPECT_TRUE(Block(13));
  EXPECT_EQ(Status(), "Last Added 'Crate' from Ada\n\rFound 1 custom blocks so far.");
}

TEST_F(CustomBlockImportTest, WithoutAServerBlocksAreImportedAndTheStatusSaysOnceTheyAreNotPublished) {
  Add({"a",
       fixtures::MakeBlockPropertiesText("Crate", 1, 12, "Ada"),
       "textures",
       {{"all.dds", Texture(kRed)}}},
      workshop_);
  std::vector<std::string> statuses{Status()};
  scene_.gui.SetPollHook([&](platform::ScriptedGui& gui) {
    const std::string status = gui.GetGadgetText(kImportStatusText);
    if (statuses.empty() || statuses.back() != status) statuses.push_back(status);
  });
  CustomBlockImportSettings settings = Settings();
  settings.database.reset();
  CustomBlockImporter importer(scene_.gui, *scene_.engine, blocks_, nullptr, settings);
  importer.ImportCustomBlocksFromFolder(workshop_.WithSeparator(), 0);
  importer.ImportCustomBlocksFromFolder(mods_.WithSeparator(), 0);

  EXPECT_EQ(scene_.gui.MessageBoxCount(), 0u);
  ASSERT_TRUE(Block(12));
  EXPECT_EQ(SlotPixel(*Block(12), 0), Pixel(kRed));
  EXPECT_TRUE(std::filesystem::exists(previews_.File("12.png")));
  // Said before the first block, never again, and no connection was tried.
  ASSERT_GE(statuses.size(), 2u);
  EXPECT_EQ(statuses[0], kInitialStatus);
  EXPECT_EQ(statuses[1], kNoServerStatus);
  EXPECT_EQ(std::count(statuses.begin(), statuses.end(), std::string(kNoServerStatus)), 1);
  EXPECT_EQ(statuses.back(), "Last Added 'Crate' from Ada\n\rFound 1 custom blocks so far.");
}

TEST_F(CustomBlockImportTest, SharedBlocksReachTheTableOnce) {
  const auto server = platform::testing::TestDatabaseServer::FromEnvironment();
  if (!server) GTEST_SKIP() << platform::testing::kNoTestServer;
  auto driver = platform::LoadMySqlDriver(platform::LibraryLocator());
  ASSERT_TRUE(driver);
  auto database = platform::testing::OpenCustomBlockTestDatabase(*driver, *server);
  ASSERT_TRUE(database);
  const int32_t id = platform::testing::UniqueTestId(3);
  const std::string where = "SELECT id FROM CustomBlocks2 WHERE id = " + std::to_string(id);
  database->Update("DELETE FROM CustomBlocks2 WHERE id = " + std::to_string(id));

  Add({"a",
       fixtures::MakeBlockPropertiesText("Shared 'Crate'", 3, id, "Ada"),
       "textures",
       {{"sides.dds", Texture(kRed)}, {"up.dds", Texture(kGreen)}, {"down.dds", Texture(kBlue)}}},
      workshop_);
  CustomBlockImportSettings settings = Settings();
  settings.database->login = server->Login("tessdb42");
  {
    CustomBlockImporter importer(scene_.gui, *scene_.engine, blocks_, driver, settings);
    importer.ImportCustomBlocksFromFolder(workshop_.WithSeparator(), 0);
  }
  EXPECT_EQ(scene_.gui.MessageBoxCount(), 0u);
  EXPECT_EQ(platform::testing::CountRows(
                *database,
                where +
                    " and name = 'Shared \\'Crate\\'' and author = 'Ada' and type = 3 and hasPrev = 1 "
                    "and LENGTH(preview) = " +
                    std::to_string(std::filesystem::file_size(previews_.File(std::to_string(id) + ".png")))),
            1);
  // Already there with its preview: a second import leaves the row alone.
  ASSERT_TRUE(database->Update("UPDATE CustomBlocks2 SET author = 'kept' WHERE id = " + std::to_string(id)));
  {
    CustomBlockImporter importer(scene_.gui, *scene_.engine, blocks_, driver, settings);
    importer.ImportCustomBlocksFromFolder(workshop_.WithSeparator(), 0);
  }
  EXPECT_EQ(platform::testing::CountRows(*database, where + " and author = 'kept'"), 1);
  database->Update("DELETE FROM CustomBlocks2 WHERE id = " + std::to_string(id));
}

}  // namespace
}  // namespace orelens::customblocks
