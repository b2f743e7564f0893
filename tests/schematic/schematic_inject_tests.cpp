#include <gtest/gtest.h>

#include <filesystem>

#include "fixtures/schematic_writer.h"
#include "schematic/schematic_inject.h"
#include "schematic/schematic_save.h"
#include "schematic/schematic_test_world.h"

namespace orelens::schematic {
namespace {

using fixtures::ChunkRecordSpec;
using fixtures::SchematicSpec;
using testing::kLantern;
using testing::kStone;

class SchematicInjectTest : public ::testing::Test {
 protected:
  SchematicInjectTest() {
    // Four chunks, two by two, all stone up to height 9 (4.5 units).
    test.ListChunk(-8, -8, 0);
    test.ListChunk(8, -8, 1);
    test.ListChunk(-8, 8, 2);
    test.ListChunk(8, 8, 3);
    ChunkRecordSpec stone;
    stone.withLists = true;
    for (int col = 0; col < 32; ++col) {
      for (int row = 0; row < 32; ++row) {
        for (int height = 0; height < 10; ++height) stone.SetBlock(col, row, height, kStone);
      }
    }
    for (int chunk = 0; chunk < 4; ++chunk) test.PutRow(chunk, stone);
  }

  uint8_t BlockAt(float x, float y, float z, int32_t* extra = nullptr) {
    world::BlockReader fresh(test.store, test.settings, test.libraries, test.gui);
    world::BlockQuery query;
    const uint8_t type = fresh.GetBlockAt(query, x, y, z);
    if (extra) *extra = query.extra;
    return type;
  }

  std::string Write(const SchematicSpec& spec) {
    const std::string path = test.SchematicPath("in.kvSch");
    fixtures::WriteSchematicFile(path, spec);
    return path;
  }

  testing::SchematicTestWorld test;
};

TEST_F(SchematicInjectTest, AirSchematicClearsItsBox) {
  // Cells x 6.0 .. 9.5, z 6.0 .. 9.5, heights 1.0 .. 2.5: across all four chunks.
  EXPECT_EQ(InjectSchematic(test.services, Write(SchematicSpec::Filled(8, 8, 4, world::kBlockAir)), 7.75f,
                            1.75f, 7.75f),
            1);
  for (float x = 5.5f; x <= 10.0f; x += 0.5f) {
    for (float z = 5.5f; z <= 10.0f; z += 0.5f) {
      for (float y = 0.5f; y <= 3.0f; y += 0.5f) {
        const bool inside = x >= 6.0f && x <= 9.5f && z >= 6.0f && z <= 9.5f && y >= 1.0f && y <= 2.5f;
        ASSERT_EQ(BlockAt(x, y, z), inside ? world::kBlockAir : kStone) << x << "," << y << "," << z;
      }
    }
  }
  EXPECT_EQ(test.gui.MessageBoxCount(), 0u);
}

TEST_F(SchematicInjectTest, SavedBoxWrittenElsewhereKeepsItsBlocksAndValues) {
  SchematicSpec spec = SchematicSpec::Filled(3, 2, 2, 7);
  spec.Set(0, 0, 0, world::kBlockCustom);
  spec.Set(1, 1, 1, world::kBlockTorch);
  spec.Set(2, 0, 1, kLantern);
  spec.Set(2, 1, 0, world::kBlockAir);
  spec.customBlocks = {{0, 0, 0, 424242}};
  spec.rotations = {{1, 1, 1, -1}, {2, 0, 1, 3}};
  InjectSchematic(test.services, Write(spec), 0.5f, 0.25f, 0.25f);  // first cell at (0, 0, 0)

  test.gui.QueueFileAnswer(test.SchematicPath("out.kvSch"));
  ASSERT_EQ(SaveSelectionAsSchematic(test.services, 0.5f, 0.25f, 0.25f, 3, 2, 2), 1);
  const SchematicSpec copy = [&] {
    SchematicSpec s = spec;
    s.rotations = {{1, 1, 1, -1}};  // the file keeps rotations of torches only
    return s;
  }();
  EXPECT_EQ(fixtures::ReadFileBytes(test.SchematicPath("out.kvSch")), fixtures::MakeSchematicFile(copy));

  int32_t extra = 0;
  EXPECT_EQ(BlockAt(0.0f, 0.0f, 0.0f, &extra), world::kBlockCustom);
  EXPECT_EQ(extra, 424242);
  EXPECT_EQ(BlockAt(0.5f, 0.5f, 0.5f, &extra), world::kBlockTorch);
  EXPECT_EQ(extra, -1);
  EXPECT_EQ(test.gui.MessageBoxCount(), 0u);
}

TEST_F(SchematicInjectTest, ReleasesEveryChunkItMeetsAfterStoringIt) {
  // Cells x 6.0 .. 7.5 end right at the edge of chunk 0; x 8.0, one step past, lies in chunk 1.
  std::vector<uint8_t> storedWhenReleased;
  test.services.releaseLoadedChunk = [&](const world::ChunkLocation& chunk) {
    test.released.push_back(chunk);
    if (chunk.chunkId == 0) storedWhenReleased.push_back(test.StoredBlock(0, 28, 0, 0));
  };
  InjectSchematic(test.services, Write(SchematicSpec::Filled(4, 1, 1, 9)), 6.75f, 0.0f, -8.0f);
  ASSERT_EQ(test.released.size(), 2u);
  EXPECT_EQ(test.released[0].chunkId, 0);
  EXPECT_EQ(test.released[0].originX, -8);
  EXPECT_EQ(test.released[1].chunkId, 1);
  EXPECT_EQ(test.released[1].originX, 8);
  EXPECT_EQ(test.released[1].originZ, -8);
  EXPECT_EQ(storedWhenReleased, (std::vector<uint8_t>{9})) << "a released chunk is already stored";
  EXPECT_EQ(BlockAt(8.0f, 0.0f, -8.0f), kStone);
}

TEST_F(SchematicInjectTest, DeletesTheWorldsMeshCache) {
  const std::string meshes = test.settings.InstaLoadDir + "World/chunkmeshes.sqlite";
  std::filesystem::create_directories(test.settings.InstaLoadDir + "World");
  fixtures::WriteBytesToFile(meshes, std::vector<uint8_t>{1, 2, 3});
  InjectSchematic(test.services, Write(SchematicSpec::Filled(1, 1, 1, 9)), 0, 0, 0);
  EXPECT_FALSE(std::filesystem::exists(meshes));
  EXPECT_EQ(InjectSchematic(test.services, Write(SchematicSpec::Filled(1, 1, 1, 9)), 0, 0, 0), 1)
      << "a missing mesh cache is no error";
}

TEST_F(SchematicInjectTest, CellsWithoutTheirValueAreReportedAndStillWritten) {
  SchematicSpec spec = SchematicSpec::Filled(3, 1, 1, world::kBlockCustom);
  spec.Set(2, 0, 0, kLantern);
  spec.customBlocks = {{0, 0, 0, 55}};
  InjectSchematic(test.services, Write(spec), 0.5f, 0.0f, 0.0f);
  const auto boxes = test.gui.MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].title, "");
  EXPECT_EQ(boxes[0].text, "Cblock not found");
  EXPECT_EQ(boxes[1].text, "Torchrot not found");
  int32_t extra = 0;
  EXPECT_EQ(BlockAt(0.5f, 0.0f, 0.0f, &extra), world::kBlockCustom);
  EXPECT_EQ(extra, 55) << "the value of the cell before";
  EXPECT_EQ(BlockAt(1.0f, 0.0f, 0.0f), kLantern);
}

TEST_F(SchematicInjectTest, UnreadableFilesWriteNothing) {
  const world::ChunkData before = test.StoredRecord(0);
  EXPECT_EQ(InjectSchematic(test.services, test.SchematicPath("missing.kvSch"), 0, 0, 0), 1);
  EXPECT_TRUE(test.gui.WindowNumbers().empty()) << "no window for a file that does not open";
  EXPECT_FALSE(std::filesystem::exists(test.SchematicPath("missing.kvSch")));

  SchematicSpec bad = SchematicSpec::Filled(2, 2, 2, world::kBlockAir);
  bad.magic = 1;
  EXPECT_EQ(InjectSchematic(test.services, Write(bad), 0, 0, 0), 1);
  bad.magic = 0x13371337;
  bad.customCount = 99;
  EXPECT_EQ(InjectSchematic(test.services, Write(bad), 0, 0, 0), 1);
  test.BreakLz4();
  EXPECT_EQ(InjectSchematic(test.services, Write(SchematicSpec::Filled(2, 2, 2, 3)), 0, 0, 0), 1);
  test.MendLz4();

  EXPECT_EQ(test.StoredRecord(0), before);
  EXPECT_EQ(test.gui.MessageBoxCount(), 0u);
  EXPECT_TRUE(test.released.empty());
  EXPECT_TRUE(test.gui.WindowNumbers().empty());
}

}  // namespace
}  // namespace orelens::schematic
