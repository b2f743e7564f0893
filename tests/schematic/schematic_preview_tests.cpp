#include <gtest/gtest.h>

#include <array>

#include "schematic/schematic_preview.h"

namespace orelens::schematic {
namespace {

using world::BlockRecord;

SchematicContent Filled(int32_t sizeX, int32_t sizeZ, int32_t sizeY, uint8_t type) {
  SchematicContent content;
  content.size = {sizeX, sizeZ, sizeY};
  content.blockTypes.assign(static_cast<size_t>(sizeX) * sizeZ * sizeY, type);
  return content;
}

void Set(SchematicContent& content, int32_t x, int32_t z, int32_t y, uint8_t type) {
  content.blockTypes[content.CellIndex(x, z, y)] = type;
}

std::vector<BlockRecord> Preview(const SchematicContent& content) {
  std::vector<BlockRecord> list;
  BuildPreviewBlockList(content, list);
  return list;
}

TEST(SchematicPreview, LoneSolidCellShowsEveryFace) {
  const std::vector<BlockRecord> list = Preview(Filled(1, 1, 1, 1));
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].faceMask, 0x3F);
  EXPECT_EQ(list[0].type, 1);
}

TEST(SchematicPreview, FacesBetweenSolidNeighboursAreHidden) {
  const std::vector<BlockRecord> alongX = Preview(Filled(2, 1, 1, 1));
  ASSERT_EQ(alongX.size(), 2u);
  EXPECT_EQ(alongX[0].faceMask, 0x3F & ~world::kFacePlusX);
  EXPECT_EQ(alongX[1].faceMask, 0x3F & ~world::kFaceMinusX);

  const std::vector<BlockRecord> alongZ = Preview(Filled(1, 2, 1, 1));
  ASSERT_EQ(alongZ.size(), 2u);
  EXPECT_EQ(alongZ[0].faceMask, 0x3F & ~world::kFacePlusZ);
  EXPECT_EQ(alongZ[1].faceMask, 0x3F & ~world::kFaceMinusZ);

  const std::vector<BlockRecord> alongY = Preview(Filled(1, 1, 2, 1));
  ASSERT_EQ(alongY.size(), 2u);
  EXPECT_EQ(alongY[0].faceMask, 0x3F & ~world::kFaceTop);
  EXPECT_EQ(alongY[1].faceMask, 0x3F & ~world::kFaceBottom);

  EXPECT_TRUE(Preview(Filled(3, 3, 3, 1)).size() == 26u) << "the hidden centre cell adds no record";
}

TEST(SchematicPreview, SeeThroughCellsAreDrawnWholeAndOpenTheirNeighboursFaces) {
  SchematicContent content = Filled(2, 1, 1, 1);
  Set(content, 1, 0, 0, 5);
  const std::vector<BlockRecord> list = Preview(content);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].faceMask, 0x3F) << "the face towards the see-through cell shows";
  EXPECT_EQ(list[1].type, 5);
  EXPECT_EQ(list[1].faceMask, world::kFaceWholeBlock);

  for (uint8_t seeThrough : {3, 5, 15, 16, 17, 36, 39, 63}) EXPECT_TRUE(IsSeeThroughInPreview(seeThrough));
  for (int other : {0, 1, 4, 66, 128, 131, 200, 255}) {
    EXPECT_FALSE(IsSeeThroughInPreview(static_cast<uint8_t>(other))) << other;
  }
}

TEST(SchematicPreview, ListsCellsXOutermostThenZThenY) {
  SchematicContent content = Filled(2, 2, 2, 3);
  Set(content, 1, 0, 0, 9);
  Set(content, 0, 1, 1, 9);
  Set(content, 0, 1, 0, 9);
  const std::vector<BlockRecord> list = Preview(content);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ((std::array{list[0].col, list[0].row, list[0].height}), (std::array{0, 1, 0}));
  EXPECT_EQ((std::array{list[1].col, list[1].row, list[1].height}), (std::array{0, 1, 1}));
  EXPECT_EQ((std::array{list[2].col, list[2].row, list[2].height}), (std::array{1, 0, 0}));
}

TEST(SchematicPreview, ExtraValuesComeFromTheListsWithRotationWinningATie) {
  SchematicContent content = Filled(3, 1, 1, 1);
  Set(content, 0, 0, 0, 66);
  Set(content, 2, 0, 0, 15);
  content.customBlocks = {{0, 0, 0, 777}, {2, 0, 0, 888}};
  content.rotations = {{2, 0, 0, -3}};
  const std::vector<BlockRecord> list = Preview(content);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].extra, 777);
  EXPECT_EQ(list[1].extra, 777) << "a cell without a value carries the last one met";
  EXPECT_EQ(list[2].extra, -3);
  EXPECT_EQ(list[2].faceMask, world::kFaceWholeBlock);
}

TEST(SchematicPreview, ValuesOfOtherTypesAreNotTaken) {
  SchematicContent content = Filled(1, 1, 1, 1);
  content.customBlocks = {{0, 0, 0, 99}};
  const std::vector<BlockRecord> list = Preview(content);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].extra, 0);
}

}  // namespace
}  // namespace orelens::schematic
