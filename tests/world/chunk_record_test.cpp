#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "fixtures/chunk_record_writer.h"
#include "world/chunk_record.h"

namespace orelens::world {
namespace {

using fixtures::ChunkRecordSpec;
using fixtures::MakeChunkRecord;

ChunkRecordSpec SpecWithLists() {
  ChunkRecordSpec spec;
  spec.withLists = true;
  spec.rotations = {{1, 2, 3, 4}, {31, 31, 799, -2}};
  spec.n2Records = {{9, 9, 9, 9, 9}};
  spec.minHeight = 12;
  spec.maxHeight = 345;
  spec.groups = {{{1, 2, 3}, {7, 8}}, {{}, {}}};
  spec.customBlocks = {{7, 31, 402, 123456}, {0, 0, -1, -5}};
  return spec;
}

ChunkRecordLists Decode(const ChunkRecordSpec& spec) {
  ChunkRecordLists lists;
  DecodeChunkRecordLists(MakeChunkRecord(spec), lists);
  return lists;
}

TEST(ChunkRecord, CellOffsetsAndKeys) {
  EXPECT_EQ(CellOffset(31, 31, 799), 819'203u);
  EXPECT_EQ(CellOffset(0, 0, 1), 1'028u);
  EXPECT_EQ(CellKeyText(MakeCellKey(7, 31, 402)), "7,31,402");
  EXPECT_EQ(CellKeyText(MakeCellKey(0, 0, -3)), "0,0,-3");
  CellKey key = MakeCellKey(255, 1, -32768);
  EXPECT_EQ(CellKeyCol(key), 255);
  EXPECT_EQ(CellKeyRow(key), 1);
  EXPECT_EQ(CellKeyHeight(key), -32768);
}

TEST(ChunkRecord, DecodesEveryListOfAFullRecord) {
  ChunkRecordSpec spec = SpecWithLists();
  ChunkRecordLists lists = Decode(spec);
  EXPECT_TRUE(lists.hasLists);
  ASSERT_TRUE(lists.hasHeightRange);
  EXPECT_EQ(lists.MinHeight, 12);
  EXPECT_EQ(lists.MaxHeight, 345);
  EXPECT_EQ(lists.rotationCount, 2);
  EXPECT_EQ(lists.rotations, (CellValueMap{{MakeCellKey(1, 2, 3), 4}, {MakeCellKey(31, 31, 799), -2}}));
  ASSERT_TRUE(lists.customBlockCountOffset);
  EXPECT_EQ(*lists.customBlockCountOffset, fixtures::CustomBlockCountOffset(spec));
  EXPECT_EQ(lists.customBlockCount, 2);
  EXPECT_EQ(lists.customBlocks, (CellValueMap{{MakeCellKey(7, 31, 402), 123456}, {MakeCellKey(0, 0, -1), -5}}));
}

TEST(ChunkRecord, RecordWithoutListsHasEmptyMaps) {
  ChunkRecordSpec spec = SpecWithLists();
  spec.withLists = false;
  std::vector<uint8_t> record = MakeChunkRecord(spec);
  ASSERT_EQ(record.size(), kChunkSizeWithoutLists);
  ChunkRecordLists lists;
  DecodeChunkRecordLists(record, lists);
  EXPECT_FALSE(lists.hasLists);
  EXPECT_FALSE(lists.hasHeightRange);
  EXPECT_TRUE(lists.rotations.empty());
  EXPECT_TRUE(lists.customBlocks.empty());
}

TEST(ChunkRecord, LaterRecordForTheSameCellWins) {
  ChunkRecordSpec spec = SpecWithLists();
  spec.rotations = {{1, 1, 1, 1}, {1, 1, 1, 3}};
  spec.customBlocks = {{2, 2, 2, 10}, {2, 2, 2, 20}};
  ChunkRecordLists lists = Decode(spec);
  EXPECT_EQ(lists.rotations, (CellValueMap{{MakeCellKey(1, 1, 1), 3}}));
  EXPECT_EQ(lists.customBlocks, (CellValueMap{{MakeCellKey(2, 2, 2), 20}}));
  EXPECT_EQ(lists.customBlockCount, 2);
}

TEST(ChunkRecord, FailedChecksKeepRotationsAndHeightsButNoCustomBlocks) {
  auto expectStopsBeforeCustomBlocks = [](ChunkRecordSpec spec, const char* what) {
    ChunkRecordLists lists = Decode(spec);
    EXPECT_EQ(lists.rotations.size(), 2u) << what;
    EXPECT_TRUE(lists.hasHeightRange) << what;
    EXPECT_EQ(lists.MaxHeight, 345) << what;
    EXPECT_TRUE(lists.customBlocks.empty()) << what;
    EXPECT_FALSE(lists.customBlockCountOffset) << what;
  };
  ChunkRecordSpec spec = SpecWithLists();
  spec.flags[5] = 2;
  expectStopsBeforeCustomBlocks(spec, "flag 2");
  spec = SpecWithLists();
  spec.flags[0] = -1;
  expectStopsBeforeCustomBlocks(spec, "flag -1");
  spec = SpecWithLists();
  spec.v = 51;
  expectStopsBeforeCustomBlocks(spec, "V 51");
  spec = SpecWithLists();
  spec.l = 1023;
  expectStopsBeforeCustomBlocks(spec, "L 1023");
  spec = SpecWithLists();
  spec.l = 1025;
  expectStopsBeforeCustomBlocks(spec, "L 1025");

  for (int32_t v : {50, -1, INT32_MIN}) {
    spec = SpecWithLists();
    spec.v = v;
    EXPECT_EQ(Decode(spec).customBlocks.size(), 2u) << "V " << v;
  }
}

TEST(ChunkRecord, NoGroupsForZeroOrNegativeK) {
  ChunkRecordSpec spec = SpecWithLists();
  spec.groups.clear();
  spec.groupCountOverride = -5;
  EXPECT_EQ(Decode(spec).customBlocks.size(), 2u);
}

TEST(ChunkRecord, CountsRunningPastTheEndStopTheWalk) {
  ChunkRecordSpec spec = SpecWithLists();
  spec.rotationCountOverride = 1'000'000;
  ChunkRecordLists lists = Decode(spec);
  EXPECT_TRUE(lists.rotations.empty());
  EXPECT_FALSE(lists.hasHeightRange);
  EXPECT_TRUE(lists.customBlocks.empty());

  spec = SpecWithLists();
  spec.rotationCountOverride = -1;
  lists = Decode(spec);
  EXPECT_TRUE(lists.rotations.empty());
  EXPECT_FALSE(lists.hasHeightRange);

  spec = SpecWithLists();
  spec.n2CountOverride = INT32_MAX;
  lists = Decode(spec);
  EXPECT_EQ(lists.rotations.size(), 2u);
  EXPECT_FALSE(lists.hasHeightRange);

  spec = SpecWithLists();
  spec.groupCountOverride = INT32_MAX;
  lists = Decode(spec);
  EXPECT_TRUE(lists.hasHeightRange);
  EXPECT_TRUE(lists.customBlocks.empty());

  spec = SpecWithLists();
  spec.customBlockCountOverride = 3;  // one more than the record holds
  spec.trailing.clear();
  lists = Decode(spec);
  EXPECT_EQ(lists.rotations.size(), 2u);
  EXPECT_TRUE(lists.customBlocks.empty());
}

TEST(ChunkRecord, TruncatedAndGarbageRecordsNeverReadOutside) {
  std::vector<uint8_t> full = MakeChunkRecord(SpecWithLists());
  // Every cut through the lists: the walk keeps to the bytes it has.
  for (size_t size = kChunkSizeWithoutLists + 1; size <= full.size(); ++size) {
    std::vector<uint8_t> cut(full.begin(), full.begin() + static_cast<ptrdiff_t>(size));
    ChunkRecordLists lists;
    DecodeChunkRecordLists(cut, lists);
    EXPECT_LE(lists.rotations.size(), 2u);
    if (size < full.size() - 2) {
      EXPECT_TRUE(lists.customBlocks.empty()) << size;
    }
  }
  std::mt19937 random(11);
  for (int round = 0; round < 200; ++round) {
    std::vector<uint8_t> garbage(kChunkSizeWithoutLists + 4 + random() % 4000);
    for (size_t i = kChunkSizeWithoutLists; i < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>(random() % 8);
    ChunkRecordLists lists;
    DecodeChunkRecordLists(garbage, lists);
  }
}

TEST(ChunkRecord, DecodedSizeFromTrailer) {
  std::vector<uint8_t> blob = {0xAA, 0xBB, 0, 0, 0, 0};
  auto withTrailer = [&](int32_t size) {
    std::memcpy(blob.data() + 2, &size, 4);
    return DecodedSizeOfBlob(blob);
  };
  EXPECT_EQ(withTrailer(1'700'000), 1'700'000u);
  EXPECT_EQ(withTrailer(819'204), 819'204u);
  EXPECT_FALSE(withTrailer(819'203));
  EXPECT_FALSE(withTrailer(0));
  EXPECT_FALSE(withTrailer(-5));
  EXPECT_FALSE(withTrailer(INT32_MAX));
  EXPECT_FALSE(DecodedSizeOfBlob(std::vector<uint8_t>{1, 2, 3}));
  EXPECT_FALSE(DecodedSizeOfBlob({}));
}

}  // namespace
}  // namespace orelens::world
