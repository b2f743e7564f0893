#include "world/block_walk.h"

#include <gtest/gtest.h>

#include <vector>

namespace orelens::world {
namespace {

constexpr uint8_t kStone = 1;      // opaque cube
constexpr uint8_t kGlass = 20;     // alpha cube
constexpr uint8_t kFern = 21;      // double-sided alpha
constexpr uint8_t kTorch = 15;     // mesh block
constexpr uint8_t kHidden = 22;    // not drawn
constexpr uint8_t kLantern = 200;  // a mesh block with a type above 127

BlockKindTable TestKinds() {
  BlockKindTable kinds{};
  kinds[kBlockAir] = kKindNotDrawn;
  kinds[kGlass] = kKindAlphaCube;
  kinds[kFern] = kKindDoubleSidedAlpha;
  kinds[kTorch] = kKindMeshBlock;
  kinds[kHidden] = kKindNotDrawn;
  kinds[kLantern] = kKindMeshBlock;
  kinds[30] = 7;  // a kind no definition gives: drawn like an alpha cube
  return kinds;
}

struct Plane {
  std::vector<uint8_t> cells = std::vector<uint8_t>(kBlockPlaneSize, kBlockAir);
  void Set(int col, int row, int height, uint8_t type) { cells[col + 32 * row + 1024 * height] = type; }
  void FillLayer(int height, uint8_t type) {
    for (int col = 0; col < 32; ++col)
      for (int row = 0; row < 32; ++row) Set(col, row, height, type);
  }
};

struct WalkFixture : ::testing::Test {
  BlockWalker walker{TestKinds()};
  Plane chunk, minusX, plusX, plusZ, minusZ;
  CellValueMap rotations, customIds;
  HeightBandLists bands;

  void Walk(HeightRange range = {}) {
    walker.Walk({chunk.cells, minusX.cells, plusX.cells, plusZ.cells, minusZ.cells}, range, rotations,
                customIds, bands);
  }
  const BlockRecord* Find(int col, int row, int height) const {
    for (const auto& record : bands[height / 50])
      if (record.col == col && record.row == row && record.height == height) return &record;
    return nullptr;
  }
  size_t Total() const {
    size_t n = 0;
    for (const auto& band : bands) n += band.size();
    return n;
  }
};

TEST_F(WalkFixture, EachFaceFollowsItsOwnNeighbour) {
  chunk.Set(20, 20, 300, kStone);  // alone: all six faces
  chunk.Set(10, 10, 300, kStone);
  chunk.Set(10, 10, 301, kStone);  // above: hides top
  chunk.Set(9, 10, 300, kGlass);   // -X: alpha blocks do not hide
  chunk.Set(11, 10, 300, kStone);  // +X
  chunk.Set(10, 11, 300, kStone);  // +Z
  for (int col = 4; col <= 6; ++col)
    for (int row = 4; row <= 6; ++row)
      for (int height = 99; height <= 101; ++height) chunk.Set(col, row, height, kStone);
  Walk();
  EXPECT_EQ(Find(20, 20, 300)->faceMask, 0x3F);
  EXPECT_EQ(Find(20, 20, 300)->extra, 0);
  EXPECT_EQ(Find(10, 10, 300)->faceMask, kFaceBottom | kFaceMinusX | kFaceMinusZ);
  EXPECT_EQ(Find(5, 5, 100), nullptr);  // enclosed
  EXPECT_EQ(Total(), 1u + 5u + 26u);
}

TEST_F(WalkFixture, KindsDecideTheRecord) {
  chunk.Set(1, 1, 10, kGlass);
  chunk.Set(2, 1, 10, kFern);
  chunk.Set(3, 1, 10, kTorch);
  chunk.Set(4, 1, 10, kHidden);
  chunk.Set(5, 1, 10, 30);
  Walk();
  EXPECT_EQ(Total(), 4u);
  EXPECT_EQ(Find(1, 1, 10)->faceMask, 0x3F);  // an alpha cube alone shows every face
  EXPECT_EQ(Find(2, 1, 10)->faceMask, kFaceWholeBlock);
  EXPECT_EQ(Find(3, 1, 10)->faceMask, 0);
  EXPECT_EQ(Find(4, 1, 10), nullptr);
  EXPECT_EQ(Find(5, 1, 10)->faceMask, 0);
}

TEST_F(WalkFixture, AlphaCubesHideTheFacesBetweenCubesButShowTheirSurface) {
  // A 2 x 1 x 2 pool of glass on stone, stone on its -X side, and a chunk neighbour of glass at +Z.
  for (int col : {30, 31})
    for (int height : {20, 21}) chunk.Set(col, 31, height, kGlass);
  chunk.Set(29, 31, 20, kStone);
  plusZ.Set(30, 0, 20, kGlass);
  Walk();
  EXPECT_EQ(Find(30, 31, 21)->faceMask, kFaceTop | kFaceMinusX | kFacePlusZ | kFaceMinusZ);
  EXPECT_EQ(Find(31, 31, 21)->faceMask, kFaceTop | kFacePlusX | kFacePlusZ | kFaceMinusZ);
  EXPECT_EQ(Find(30, 31, 20)->faceMask, kFaceBottom | kFaceMinusZ);  // stone at -X, glass at +Z
  EXPECT_EQ(Find(31, 31, 20)->faceMask, kFaceBottom | kFacePlusX | kFacePlusZ | kFaceMinusZ);
  EXPECT_EQ(Find(29, 31, 20)->faceMask & kFacePlusX, kFacePlusX);  // stone still shows its face to glass
  // Enclosed glass gives no record.
  for (int col = 4; col <= 6; ++col)
    for (int row = 4; row <= 6; ++row)
      for (int height = 4; height <= 6; ++height)
        chunk.Set(col, row, height, col == 5 && row == 5 && height == 5 ? kGlass : kStone);
  Walk();
  EXPECT_EQ(Find(5, 5, 5), nullptr);
}

TEST_F(WalkFixture, ChunkEdgesLookIntoTheNeighbours) {
  for (int height : {200, 201}) {
    chunk.Set(0, 5, height, kStone);
    chunk.Set(31, 6, height, kStone);
    chunk.Set(7, 31, height, kStone);
    chunk.Set(8, 0, height, kStone);
  }
  // Neighbours cover the faces at height 200 only.
  minusX.Set(31, 5, 200, kStone);
  plusX.Set(0, 6, 200, kStone);
  plusZ.Set(7, 0, 200, kStone);
  minusZ.Set(8, 31, 200, kStone);
  Walk();
  EXPECT_FALSE(Find(0, 5, 200)->faceMask & kFaceMinusX);
  EXPECT_FALSE(Find(31, 6, 200)->faceMask & kFacePlusX);
  EXPECT_FALSE(Find(7, 31, 200)->faceMask & kFacePlusZ);
  EXPECT_FALSE(Find(8, 0, 200)->faceMask & kFaceMinusZ);
  EXPECT_TRUE(Find(0, 5, 201)->faceMask & kFaceMinusX);
  EXPECT_TRUE(Find(31, 6, 201)->faceMask & kFacePlusX);
  EXPECT_TRUE(Find(7, 31, 201)->faceMask & kFacePlusZ);
  EXPECT_TRUE(Find(8, 0, 201)->faceMask & kFaceMinusZ);
}

TEST_F(WalkFixture, RockShowsItsSideToAnOpenNeighbourOnly) {
  // Three whole layers of rock, the chunks around them rock too except the one at -X (air).
  for (int height : {10, 11, 12}) {
    chunk.FillLayer(height, kStone);
    plusX.FillLayer(height, kStone);
    plusZ.FillLayer(height, kStone);
    minusZ.FillLayer(height, kStone);
  }
  Walk({0, 100});
  for (int row = 0; row < 32; ++row) {
    ASSERT_NE(Find(0, row, 11), nullptr) << row;
    EXPECT_EQ(Find(0, row, 11)->faceMask, kFaceMinusX) << row;
  }
  EXPECT_EQ(Find(31, 7, 11), nullptr);
  EXPECT_EQ(Find(9, 7, 11), nullptr);
  EXPECT_EQ(Total(), 32u + 2u * 1024u);
}

TEST_F(WalkFixture, MissingNeighbourPlanesCountAsAir) {
  chunk.Set(0, 0, 40, kStone);
  walker.Walk({chunk.cells, {}, {}, {}, {}}, {}, rotations, customIds, bands);
  EXPECT_EQ(Find(0, 0, 40)->faceMask, 0x3F);

  // When air is itself an opaque kind, a missing neighbour hides the faces towards it.
  auto kinds = TestKinds();
  kinds[kBlockAir] = kKindOpaqueCube;
  BlockWalker airIsSolid(kinds);
  airIsSolid.Walk({chunk.cells, {}, {}, {}, {}}, {}, rotations, customIds, bands);
  EXPECT_EQ(Find(0, 0, 40), nullptr);
}

TEST_F(WalkFixture, RangeEndsShowTopAndBottomAndDamagedRangesStayInThePlane) {
  for (int height = 3; height <= 10; ++height) chunk.Set(3, 3, height, kStone);
  Walk({4, 9});
  EXPECT_EQ(Find(3, 3, 3), nullptr);  // outside the range: neither walked nor looked at
  EXPECT_EQ(Find(3, 3, 10), nullptr);
  EXPECT_EQ(Find(3, 3, 4)->faceMask & (kFaceTop | kFaceBottom), kFaceBottom);
  EXPECT_EQ(Find(3, 3, 9)->faceMask & (kFaceTop | kFaceBottom), kFaceTop);

  chunk.FillLayer(0, kStone);
  chunk.FillLayer(799, kStone);
  Walk({-5000, 32000});
  EXPECT_EQ(Find(0, 0, 799)->faceMask & kFaceTop, kFaceTop);
  EXPECT_EQ(Find(0, 0, 0)->faceMask & kFaceBottom, kFaceBottom);
  EXPECT_EQ(bands[0].size(), 1024u + 8u);
  EXPECT_EQ(bands[15].size(), 1024u);
  Walk({500, 100});
  EXPECT_EQ(Total(), 0u);
  // An empty range whose ends lie in one band empties that band too.
  chunk.FillLayer(57, kStone);
  for (const HeightRange empty : {HeightRange{9, 4}, HeightRange{799, 760}, HeightRange{60, 55}}) {
    Walk({-5000, 32000});
    ASSERT_FALSE(bands[empty.lo / 50].empty());
    Walk(empty);
    EXPECT_EQ(Total(), 0u) << empty.lo << ".." << empty.hi;
  }

  std::vector<uint8_t> truncated(1000, kStone);
  walker.Walk({truncated, truncated, truncated, truncated, truncated}, {}, rotations, customIds, bands);
  EXPECT_EQ(Total(), 0u);
}

TEST_F(WalkFixture, ExtraComesFromTheRecordListsByKind) {
  chunk.Set(1, 2, 3, kBlockCustom);
  chunk.Set(4, 5, 6, kTorch);
  chunk.Set(7, 8, 9, kBlockCustom);  // no entry: 0
  chunk.Set(10, 11, 12, kStone);     // entries for other kinds are not used
  customIds[MakeCellKey(1, 2, 3)] = 123456;
  rotations[MakeCellKey(4, 5, 6)] = -2;
  rotations[MakeCellKey(10, 11, 12)] = 9;
  customIds[MakeCellKey(10, 11, 12)] = 9;
  Walk();
  EXPECT_EQ(Find(1, 2, 3)->extra, 123456);
  EXPECT_EQ(Find(4, 5, 6)->extra, -2);
  EXPECT_EQ(Find(7, 8, 9)->extra, 0);
  EXPECT_EQ(Find(10, 11, 12)->extra, 0);

  // A record with rotations only: custom blocks carry 0, and the other way round.
  customIds.clear();
  Walk();
  EXPECT_EQ(Find(1, 2, 3)->extra, 0);
  EXPECT_EQ(Find(4, 5, 6)->extra, -2);
  customIds[MakeCellKey(1, 2, 3)] = 123456;
  rotations.clear();
  Walk();
  EXPECT_EQ(Find(1, 2, 3)->extra, 123456);
  EXPECT_EQ(Find(4, 5, 6)->extra, 0);
}

TEST_F(WalkFixture, BandsAreOrderedByExtraThenTypeThenWalkOrder) {
  chunk.Set(0, 0, 10, kBlockCustom);
  customIds[MakeCellKey(0, 0, 10)] = 7;
  chunk.Set(5, 0, 10, kBlockCustom);
  customIds[MakeCellKey(5, 0, 10)] = 4;
  chunk.Set(9, 9, 10, kBlockCustom);
  customIds[MakeCellKey(9, 9, 10)] = -3;
  chunk.Set(20, 3, 11, kGlass);
  chunk.Set(3, 20, 12, kGlass);
  chunk.Set(3, 4, 12, kGlass);
  chunk.Set(3, 4, 11, kGlass);
  chunk.Set(2, 30, 13, kStone);
  chunk.Set(6, 6, 10, kLantern);
  rotations[MakeCellKey(6, 6, 10)] = 2;
  chunk.Set(7, 7, 10, kBlockCustom);
  customIds[MakeCellKey(7, 7, 10)] = 3;
  Walk();
  std::vector<std::array<int, 4>> order;  // extra, type, col, row
  for (const auto& r : bands[0]) order.push_back({r.extra, r.type, r.col, r.row});
  const std::vector<std::array<int, 4>> expected = {
      {-3, kBlockCustom, 9, 9}, {0, kStone, 2, 30},     {0, kGlass, 3, 4},   {0, kGlass, 3, 4},
      {0, kGlass, 3, 20},       {0, kGlass, 20, 3},     {2, kLantern, 6, 6}, {3, kBlockCustom, 7, 7},
      {4, kBlockCustom, 5, 0},  {7, kBlockCustom, 0, 0}};
  EXPECT_EQ(order, expected);
  EXPECT_LT(bands[0][2].height, bands[0][3].height);
}

TEST_F(WalkFixture, CheckerboardShowsEveryFaceOfEveryBlock) {
  for (int height = 0; height < 100; ++height)
    for (int row = 0; row < 32; ++row)
      for (int col = 0; col < 32; ++col)
        if ((col + row + height) % 2 == 0) chunk.Set(col, row, height, kStone);
  Walk({0, 99});
  EXPECT_EQ(Total(), 100u * 512u);
  for (const auto& band : bands)
    for (const auto& record : band) ASSERT_EQ(record.faceMask, 0x3F);
}

}  // namespace
}  // namespace orelens::world
