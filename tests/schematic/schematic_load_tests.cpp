#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "fixtures/schematic_writer.h"
#include "fixtures/world_writer.h"
#include "platform/gui/scripted_gui.h"
#include "schematic/schematic_load.h"

namespace orelens::schematic {
namespace {

using fixtures::SchematicSpec;

constexpr std::string_view kNoMemoryText =
    "There is not enough memory available to ofen this schematic. Try unloading some chunks and closing "
    "applications to make some space.";
constexpr std::string_view kUnpackText =
    "Failed to unkack schematic file. Sorry, but this file is not useable.";

class SchematicLoadTest : public ::testing::Test {
 protected:
  std::string Write(const SchematicSpec& spec) {
    fixtures::WriteSchematicFile(path, spec);
    return path;
  }
  std::string WriteBytes(const std::vector<uint8_t>& bytes) {
    fixtures::WriteBytesToFile(path, bytes);
    return path;
  }
  int Load(const std::string& file) { return LoadSchematicFile(gui, libraries, file, list); }
  // The one message box shown, as "title|text".
  std::string OnlyMessage() const {
    const auto boxes = gui.MessageBoxes();
    return boxes.size() == 1 ? boxes[0].title + "|" + boxes[0].text
                             : "(" + std::to_string(boxes.size()) + " boxes)";
  }

  fixtures::TempFolder temp;
  std::string path = temp.path() + "box.kvSch";
  platform::ScriptedGui gui;
  platform::LibraryLocator libraries;
  std::vector<world::BlockRecord> list = {{9, 9, 9, 1, 0x3F, 0}};  // an earlier preview
};

TEST_F(SchematicLoadTest, ReadsSizesWhateverTheRestOfTheFileHolds) {
  SchematicSpec spec = SchematicSpec::Filled(3, 4, 5, 1);
  spec.magic = 0;
  SchematicPlacement placement;
  ReadSchematicSize(placement, Write(spec));
  EXPECT_EQ(placement.sizeX, 3);
  EXPECT_EQ(placement.sizeZ, 4);
  EXPECT_EQ(placement.sizeHeight, 5);

  EXPECT_EQ(Load(path), 0);
  EXPECT_EQ(gui.MessageBoxCount(), 0u) << "a file that is no schematic is passed over silently";
  EXPECT_EQ(list.size(), 1u);
}

TEST_F(SchematicLoadTest, SizesStayWhenTheFileCannotGiveThem) {
  SchematicPlacement placement{1, 2, 3, 7, 8, 9};
  const std::string missing = temp.path() + "missing.kvSch";
  ReadSchematicSize(placement, missing);
  WriteBytes({1, 0, 0, 0, 2, 0, 0});
  ReadSchematicSize(placement, path);
  EXPECT_EQ(placement.sizeX, 7);
  EXPECT_EQ(placement.sizeHeight, 8);
  EXPECT_EQ(placement.sizeZ, 9);
  EXPECT_FALSE(std::filesystem::exists(missing)) << "reading sizes never creates the file";
}

TEST_F(SchematicLoadTest, LoadingNeverCreatesOrChangesTheFile) {
  const std::string missing = temp.path() + "missing.kvSch";
  EXPECT_EQ(Load(missing), 0);
  EXPECT_EQ(OnlyMessage(), "Error|The selected file could not be read, sorry.");
  EXPECT_FALSE(std::filesystem::exists(missing));

  std::filesystem::permissions(Write(SchematicSpec::Filled(2, 2, 2, 1)), std::filesystem::perms::owner_read);
  const std::vector<uint8_t> before = fixtures::ReadFileBytes(path);
  EXPECT_EQ(Load(path), 1) << "a read-only file loads";
  EXPECT_EQ(fixtures::ReadFileBytes(path), before);
}

TEST_F(SchematicLoadTest, BuildsThePreviewFromTheFile) {
  SchematicSpec spec = SchematicSpec::Filled(2, 1, 1, 1);
  spec.Set(1, 0, 0, 66);
  spec.customBlocks = {{1, 0, 0, 31337}};
  EXPECT_EQ(Load(Write(spec)), 1);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].faceMask, 0x3F & ~world::kFacePlusX);
  EXPECT_EQ(list[1].type, 66);
  EXPECT_EQ(list[1].extra, 31337);
  EXPECT_EQ(gui.MessageBoxCount(), 0u);

  EXPECT_EQ(Load(Write(SchematicSpec::Filled(3, 3, 3, 3))), 1);
  EXPECT_TRUE(list.empty()) << "an all-air schematic loads as an empty preview";
}

TEST_F(SchematicLoadTest, FileWithoutPayloadIsRejected) {
  SchematicSpec spec = SchematicSpec::Filled(2, 2, 2, 1);
  spec.withoutPayload = true;  // what the writer leaves without the LZ4 library: 20 bytes
  EXPECT_EQ(Load(Write(spec)), 0);
  EXPECT_EQ(OnlyMessage(), "Error|" + std::string(kNoMemoryText));
  EXPECT_EQ(list.size(), 1u);
}

TEST_F(SchematicLoadTest, StoredSizesOfZeroOrLessAreRejected) {
  for (int32_t storedSize : {0, -1, std::numeric_limits<int32_t>::min()}) {
    SchematicSpec spec = SchematicSpec::Filled(2, 2, 2, 1);
    spec.storedSize = storedSize;
    EXPECT_EQ(Load(Write(spec)), 0);
  }
  for (const auto& box : gui.MessageBoxes()) EXPECT_EQ(box.text, kNoMemoryText);
  EXPECT_EQ(gui.MessageBoxCount(), 3u);
  EXPECT_EQ(list.size(), 1u);
}

TEST_F(SchematicLoadTest, WithoutLz4NothingLoads) {
  libraries.SetLibraryFile(platform::kLz4LibraryName, temp.path() + "no-liblz4.so");
  EXPECT_EQ(Load(Write(SchematicSpec::Filled(2, 2, 2, 1))), 0);
  EXPECT_EQ(
      OnlyMessage(),
      "Error|Lz4.dll not found, or not accessible. This file should have been shipped with the tool, try to "
      "re-download.");
  EXPECT_EQ(list.size(), 1u);
}

TEST_F(SchematicLoadTest, PayloadThatDoesNotUnpackToItsSizeIsRejected) {
  SchematicSpec spec = SchematicSpec::Filled(4, 4, 4, 1);
  spec.storedSize = 4 * 4 * 4 + 9;  // one byte more than the payload holds
  EXPECT_EQ(Load(Write(spec)), 0);
  EXPECT_EQ(OnlyMessage(), "|" + std::string(kUnpackText));

  std::vector<uint8_t> damaged = fixtures::MakeSchematicFile(SchematicSpec::Filled(4, 4, 4, 1));
  for (size_t i = 16; i + 4 < damaged.size(); ++i) damaged[i] = 0xFF;
  EXPECT_EQ(Load(WriteBytes(damaged)), 0);
  EXPECT_EQ(list.size(), 1u);
}

TEST_F(SchematicLoadTest, AbsurdStoredSizeIsRejectedWithoutUnpacking) {
  SchematicSpec spec = SchematicSpec::Filled(2, 2, 2, 1);
  spec.storedSize = std::numeric_limits<int32_t>::max();
  EXPECT_EQ(Load(Write(spec)), 0);
  EXPECT_EQ(OnlyMessage(), "|" + std::string(kUnpackText));
}

TEST_F(SchematicLoadTest, SizesAndCountsThatDoNotFitThePayloadAreRejected) {
  std::vector<SchematicSpec> bad;
  for (auto [x, z, y] : std::vector<std::array<int32_t, 3>>{{0, 2, 2},
                                                            {2, -2, 2},
                                                            {3, 2, 2},
                                                            {2, 2, 3},
                                                            {65536, 65536, 1},
                                                            {0x7fffffff, 0x7fffffff, 0x7fffffff}}) {
    SchematicSpec spec = SchematicSpec::Filled(2, 2, 2, 1);  // an 8-cell payload under other sizes
    spec.sizeX = x;
    spec.sizeZ = z;
    spec.sizeY = y;
    bad.push_back(spec);
  }
  SchematicSpec counts = SchematicSpec::Filled(2, 2, 2, 66);
  counts.customBlocks = {{0, 0, 0, 1}};
  counts.customCount = 1000;
  bad.push_back(counts);
  counts.customCount = -1;
  bad.push_back(counts);
  counts.customCount.reset();
  counts.rotationCount = 0x7fffffff;
  bad.push_back(counts);

  for (const SchematicSpec& spec : bad) {
    EXPECT_EQ(Load(Write(spec)), 0) << spec.sizeX << "," << spec.sizeZ << "," << spec.sizeY;
  }
  for (const auto& box : gui.MessageBoxes()) EXPECT_EQ(box.text, kUnpackText);
  EXPECT_EQ(gui.MessageBoxCount(), bad.size());
  EXPECT_EQ(list.size(), 1u);
}

TEST_F(SchematicLoadTest, GarbageFilesNeverCrash) {
  std::mt19937 random(77);
  const std::vector<uint8_t> good = fixtures::MakeSchematicFile(SchematicSpec::Filled(3, 2, 2, 1));
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> bytes = good;
    if (round % 3 == 0) bytes.resize(random() % (good.size() + 1));
    for (int flips = 0; flips < 4 && !bytes.empty(); ++flips)
      bytes[random() % bytes.size()] = static_cast<uint8_t>(random());
    if (round % 5 == 0) {
      bytes.assign(random() % 200, 0);
      for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    }
    const int result = Load(WriteBytes(bytes));
    EXPECT_TRUE(result == 0 || result == 1);
  }
}

}  // namespace
}  // namespace orelens::schematic
