#include "world/world_metadata.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <optional>

#include "fixtures/world_writer.h"

namespace orelens::world {
namespace {

using fixtures::MetadataSpec;
using fixtures::ReadFileBytes;
using fixtures::TempFolder;
using fixtures::WorldWriter;
using fixtures::WriteBytesToFile;

MetadataSpec ElevenChunks() {
  MetadataSpec spec;
  for (int i = 0; i < 11; ++i) spec.chunkOrigins.emplace_back(i * 1600 - 800, 800);
  return spec;
}

TEST(WorldFolders, ListsFoldersHoldingAMetadataFileOnce) {
  TempFolder save;
  WorldWriter("" + save.path(), "Alpha").WriteMetadata(1, {});
  WorldWriter beta(save.path(), "Beta");
  beta.WriteMetadata(1, {});
  beta.WriteMetadata(2, {});
  save.MakeFolder("Empty");
  save.MakeFolder("FolderOnly/sub.important");
  WriteBytesToFile(save.path() + "loose.important", {});
  WorldList list = {"kept"};
  ListWorldFolders(list, save.path());
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0], "kept");
  std::sort(list.begin() + 1, list.end());
  EXPECT_EQ(list[1], "Alpha");
  EXPECT_EQ(list[2], "Beta");
  ListWorldFolders(list, save.path() + "missing/");
  EXPECT_EQ(list.size(), 3u);
}

TEST(WorldMetadata, HighestNumberWinsNumerically) {
  TempFolder save;
  WorldWriter world(save.path(), "W");
  world.WriteMetadata(3, {});
  world.WriteMetadata(12, {});
  WriteBytesToFile(world.folder() + "WorldMetadata.important", {});
  WriteBytesToFile(world.folder() + "XXXXXXXXXXXXX-4.important", {});
  EXPECT_EQ(CurrentMetadataFile(world.folder()), world.folder() + "WorldMetadata12.important");
  WriteBytesToFile(world.folder() + "WorldMetadata$1F.important", {});
  EXPECT_EQ(CurrentMetadataFile(world.folder()), world.folder() + "WorldMetadata$1F.important")
      << "31 is the highest number, and this is the file that has it";
  WriteBytesToFile(world.folder() + "WorldMetadata31.important", {});
  EXPECT_EQ(CurrentMetadataFile(world.folder()), world.folder() + "WorldMetadata31.important")
      << "of two files of one number, the one spelt in decimal";
  TempFolder empty;
  EXPECT_EQ(CurrentMetadataFile(empty.path()), empty.path() + "WorldMetadata0.important");
}

TEST(WorldMetadata, ReadsChunkKeysPositionAndCountTest) {
  TempFolder save;
  WorldWriter world(save.path(), "W");
  MetadataSpec spec;
  spec.chunkOrigins = {{-800, 1600}, {1550, -1550}, {-800, 1600}};
  spec.bRecords.resize(3);
  spec.position = {1000, 2000, 300};
  world.WriteMetadata(7, spec);
  WorldChunkMap map;
  PlayerPosition position;
  EXPECT_EQ(ReadWorldMetadata(map, world.folder(), position), 0.0);
  EXPECT_EQ(map, (WorldChunkMap{{"-8,16", 2}, {"15,-15", 1}}));
  EXPECT_FLOAT_EQ(position.x, 10);
  EXPECT_FLOAT_EQ(position.z, 20);
  EXPECT_FLOAT_EQ(position.height, 5);
}

TEST(WorldMetadata, MoreThanTenDistinctKeysPassTheCountTest) {
  TempFolder save;
  WorldWriter world(save.path(), "W");
  MetadataSpec spec = ElevenChunks();
  spec.chunkOrigins.pop_back();
  world.WriteMetadata(1, spec);
  WorldChunkMap map;
  PlayerPosition position;
  EXPECT_EQ(ReadWorldMetadata(map, world.folder(), position), 0.0);
  world.WriteMetadata(2, ElevenChunks());
  map.clear();
  EXPECT_EQ(ReadWorldMetadata(map, world.folder(), position), 1.0);
  EXPECT_EQ(map.at("-8,8"), 0);
}

TEST(WorldMetadata, MissingFileReadsAsNothingAndIsNeverCreated) {
  TempFolder save;
  std::string folder = save.MakeFolder("W");
  WorldChunkMap map;
  PlayerPosition position{1, 1, 1};
  EXPECT_EQ(ReadWorldMetadata(map, folder, position), 0.0);
  EXPECT_TRUE(map.empty());
  EXPECT_FLOAT_EQ(position.x, 0);
  EXPECT_FLOAT_EQ(position.z, 0);
  EXPECT_FLOAT_EQ(position.height, 2.0f);
  EXPECT_FALSE(std::filesystem::exists(folder + "WorldMetadata0.important"));
  EXPECT_EQ(WritePlayerPosition(folder, 1, 2, 3), PositionWriteResult::kCannotOpen);
  EXPECT_TRUE(std::filesystem::is_empty(folder));
  // A folder that does not exist leaves map and position alone.
  position = {4, 5, 6};
  map["1,1"] = 3;
  EXPECT_EQ(ReadWorldMetadata(map, save.path() + "missing/", position), 0.0);
  EXPECT_FLOAT_EQ(position.x, 4);
  EXPECT_EQ(map.size(), 1u);
  for (int i = 0; i < 10; ++i) map[std::to_string(i) + ",0"] = i;
  EXPECT_EQ(ReadWorldMetadata(map, save.path() + "missing/", position), 1.0)
      << "the count test on the map as it is";
}

TEST(WorldMetadata, TruncatedAndOversizedCountsReadOnlyWhatTheFileHolds) {
  TempFolder save;
  WorldWriter world(save.path(), "W");
  MetadataSpec spec = ElevenChunks();
  spec.position = {100, 200, 300};
  std::vector<uint8_t> bytes = fixtures::MakeMetadataFile(spec);
  // Cut in the middle of the chunk entries: the whole entries before the cut are read.
  std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + 12 + 8 * 5 + 3);
  WriteBytesToFile(world.folder() + "WorldMetadata1.important", cut);
  WorldChunkMap map;
  PlayerPosition position;
  ReadWorldMetadata(map, world.folder(), position);
  EXPECT_EQ(map.size(), 5u);
  EXPECT_FLOAT_EQ(position.height, 2.0f);

  spec.chunkCountOverride = INT32_MAX;
  world.WriteMetadata(2, spec);
  map.clear();
  ReadWorldMetadata(map, world.folder(), position);
  // The bytes after the entries are taken as entries up to the end of the file, no further.
  EXPECT_LE(map.size(), (fixtures::MakeMetadataFile(spec).size() - 12) / 8);
  EXPECT_FLOAT_EQ(position.x, 0);

  // Garbage of every short length.
  for (size_t size = 0; size < 80; ++size) {
    WriteBytesToFile(world.folder() + "WorldMetadata3.important", std::vector<uint8_t>(size, 0xFF));
    map.clear();
    ReadWorldMetadata(map, world.folder(), position);
    WritePlayerPosition(world.folder(), 1, 2, 3);
    EXPECT_EQ(ReadFileBytes(world.folder() + "WorldMetadata3.important"), std::vector<uint8_t>(size, 0xFF));
  }
}

TEST(WorldMetadata, WritesOnlyThePositionBytes) {
  TempFolder save;
  WorldWriter world(save.path(), "W");
  MetadataSpec spec = ElevenChunks();
  spec.bRecords.resize(2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
  world.WriteMetadata(4, spec);
  std::string path = world.folder() + "WorldMetadata4.important";
  std::vector<uint8_t> before = ReadFileBytes(path);
  EXPECT_EQ(WritePlayerPosition(world.folder(), 10, 5, 20), PositionWriteResult::kWritten);
  std::vector<uint8_t> after = ReadFileBytes(path);
  ASSERT_EQ(after.size(), before.size());
  size_t offset = fixtures::PlayerPositionOffset(spec);
  double written[3];
  std::memcpy(written, after.data() + offset, sizeof(written));
  EXPECT_EQ(written[0], 1000);
  EXPECT_EQ(written[1], 2000);
  EXPECT_EQ(written[2], 500);
  std::memcpy(after.data() + offset, before.data() + offset, 24);
  EXPECT_EQ(after, before);

  WorldChunkMap map;
  PlayerPosition position;
  ReadWorldMetadata(map, world.folder(), position);
  EXPECT_FLOAT_EQ(position.x, 10);
  EXPECT_FLOAT_EQ(position.z, 20);
  EXPECT_FLOAT_EQ(position.height, 7);
}

TEST(WorldMetadata, WriterLeavesAFileTooShortForThePositionAlone) {
  TempFolder save;
  WorldWriter world(save.path(), "W");
  std::vector<uint8_t> bytes = fixtures::MakeMetadataFile(ElevenChunks());
  bytes.resize(bytes.size() - 2 - 10);  // drop the bytes after the position and part of it
  WriteBytesToFile(world.folder() + "WorldMetadata1.important", bytes);
  EXPECT_EQ(WritePlayerPosition(world.folder(), 1, 2, 3), PositionWriteResult::kUnknownLayout);
  EXPECT_EQ(ReadFileBytes(world.folder() + "WorldMetadata1.important"), bytes);
}

// Counts that are damaged, or from a layout this program does not know, may place the position
// over the chunk list or past the end: nothing is written. The reader takes the position where
// the counts place it (A entries, none for A below 1, then B and 12 B + 52 bytes, B with its
// sign) when that lies inside the file, and nothing outside the file.
TEST(WorldMetadata, CountsThatDoNotPlaceThePositionInsideTheFileRefuseTheWrite) {
  struct Case {
    const char* name;
    std::optional<int32_t> chunkCount;
    std::optional<int32_t> bCount;
  };
  for (const Case& c :
       {Case{"negative A", -1, {}}, Case{"negative B", {}, -3}, Case{"very negative B", {}, INT32_MIN},
        Case{"A past the end", 1000, {}}, Case{"B past the end", {}, 1000}, Case{"huge A", INT32_MAX, {}},
        Case{"huge B", {}, INT32_MAX}}) {
    TempFolder save;
    WorldWriter world(save.path(), "W");
    MetadataSpec spec = ElevenChunks();
    spec.bRecords.resize(4, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    spec.position = {100, 200, 300};
    std::vector<uint8_t> bytes = fixtures::MakeMetadataFile(spec);
    if (c.chunkCount) std::memcpy(bytes.data() + 8, &*c.chunkCount, 4);
    if (c.bCount) std::memcpy(bytes.data() + 12 + 8 * spec.chunkOrigins.size(), &*c.bCount, 4);
    const std::string path = world.folder() + "WorldMetadata1.important";
    WriteBytesToFile(path, bytes);

    EXPECT_EQ(WritePlayerPosition(world.folder(), 7, 8, 9), PositionWriteResult::kUnknownLayout) << c.name;
    EXPECT_EQ(ReadFileBytes(path), bytes) << c.name;

    const int64_t chunkCount = c.chunkCount.value_or(11);
    const int64_t bAt = 12 + 8 * std::max<int64_t>(chunkCount, 0);
    int32_t bCount = 0;
    if (bAt + 4 <= static_cast<int64_t>(bytes.size())) std::memcpy(&bCount, bytes.data() + bAt, 4);
    const int64_t at = bAt + 4 + 12 * int64_t{bCount} + 52;
    double stored[3] = {0, 0, 0};
    if (at >= 0 && at + 24 <= static_cast<int64_t>(bytes.size())) std::memcpy(stored, bytes.data() + at, 24);
    WorldChunkMap map;
    PlayerPosition position;
    ReadWorldMetadata(map, world.folder(), position);
    EXPECT_FLOAT_EQ(position.x, static_cast<float>(stored[0] / 100)) << c.name;
    EXPECT_FLOAT_EQ(position.z, static_cast<float>(stored[1] / 100)) << c.name;
    EXPECT_FLOAT_EQ(position.height, static_cast<float>(stored[2] / 100 + 2.0)) << c.name;
  }
}

// The reader follows the counts as the file holds them, also where the writer refuses them: with
// A = -1 no chunk entry is read and B stands at offset 12; with B = -1 the position stands 12
// bytes before its usual place, and B = -7 after two entries places it at the very start.
TEST(WorldMetadata, PositionIsReadWhereNegativeCountsPlaceIt) {
  TempFolder save;
  WorldWriter world(save.path(), "W");
  const std::string path = world.folder() + "WorldMetadata1.important";
  MetadataSpec negativeA;
  negativeA.chunkCountOverride = -1;
  negativeA.headFill = 0;  // bytes 4..7 hold a B of 0 for a writer that steps back over A
  negativeA.position = {1000, 2000, 300};
  const std::vector<uint8_t> withNegativeA = fixtures::MakeMetadataFile(negativeA);
  WriteBytesToFile(path, withNegativeA);
  WorldChunkMap map;
  PlayerPosition position;
  EXPECT_EQ(ReadWorldMetadata(map, world.folder(), position), 0.0);
  EXPECT_TRUE(map.empty());
  EXPECT_FLOAT_EQ(position.x, 10);
  EXPECT_FLOAT_EQ(position.z, 20);
  EXPECT_FLOAT_EQ(position.height, 5);
  EXPECT_EQ(WritePlayerPosition(world.folder(), 1, 2, 3), PositionWriteResult::kUnknownLayout);
  EXPECT_EQ(ReadFileBytes(path), withNegativeA) << "no byte changes";

  MetadataSpec negativeB = fixtures::MetadataForEngineOrigins({{-8, -8}, {8, -8}});
  negativeB.bCountOverride = -1;
  std::vector<uint8_t> withNegativeB = fixtures::MakeMetadataFile(negativeB);
  const double stored[3] = {1500, -2500, 700};
  std::memcpy(withNegativeB.data() + 12 + 2 * 8 + 4 - 12 + 52, stored, sizeof(stored));
  WriteBytesToFile(path, withNegativeB);
  map.clear();
  EXPECT_EQ(ReadWorldMetadata(map, world.folder(), position), 0.0);
  EXPECT_EQ(map.size(), 2u);
  EXPECT_FLOAT_EQ(position.x, 15);
  EXPECT_FLOAT_EQ(position.z, -25);
  EXPECT_FLOAT_EQ(position.height, 9);
  EXPECT_EQ(WritePlayerPosition(world.folder(), 1, 2, 3), PositionWriteResult::kUnknownLayout);
  EXPECT_EQ(ReadFileBytes(path), withNegativeB) << "no byte changes";

  // With two chunk entries and B = -7 the counts place the position at offset 0.
  MetadataSpec startSpec = fixtures::MetadataForEngineOrigins({{8, 8}, {24, 8}});  // no NaN in those bytes
  startSpec.bCountOverride = -7;
  const std::vector<uint8_t> atTheStart = fixtures::MakeMetadataFile(startSpec);
  WriteBytesToFile(path, atTheStart);
  double first[3];
  std::memcpy(first, atTheStart.data(), sizeof(first));
  ReadWorldMetadata(map, world.folder(), position);
  EXPECT_FLOAT_EQ(position.x, static_cast<float>(first[0] / 100));
  EXPECT_FLOAT_EQ(position.z, static_cast<float>(first[1] / 100));
  EXPECT_FLOAT_EQ(position.height, static_cast<float>(first[2] / 100 + 2.0));
  EXPECT_EQ(WritePlayerPosition(world.folder(), 1, 2, 3), PositionWriteResult::kUnknownLayout);
  EXPECT_EQ(ReadFileBytes(path), atTheStart) << "no byte changes";
}

TEST(WorldMetadata, PositionAtTheVeryEndOrAfterNoChunksIsWritten) {
  TempFolder save;
  WorldWriter world(save.path(), "W");
  MetadataSpec spec;           // no chunk entries, no B records
  spec.afterPosition.clear();  // the file ends with the position
  world.WriteMetadata(1, spec);
  EXPECT_EQ(WritePlayerPosition(world.folder(), 1, 2, 3), PositionWriteResult::kWritten);
  const std::vector<uint8_t> bytes = ReadFileBytes(world.folder() + "WorldMetadata1.important");
  ASSERT_EQ(bytes.size(), 68u + 24u);
  double written[3];
  std::memcpy(written, bytes.data() + 68, sizeof(written));
  EXPECT_EQ(written[2], 200);
}

TEST(WorldMetadata, FileNumberedWithLeadingZerosIsReadAndWrittenUnderItsOwnName) {
  TempFolder save;
  WorldWriter world(save.path(), "W");
  MetadataSpec spec = ElevenChunks();
  spec.position = {100, 200, 300};
  WriteBytesToFile(world.folder() + "WorldMetadata3.important", fixtures::MakeMetadataFile(MetadataSpec{}));
  const std::string path = world.folder() + "WorldMetadata007.important";
  WriteBytesToFile(path, fixtures::MakeMetadataFile(spec));

  WorldChunkMap map;
  PlayerPosition position;
  EXPECT_EQ(ReadWorldMetadata(map, world.folder(), position), 1.0);
  EXPECT_EQ(map.size(), 11u);
  EXPECT_FLOAT_EQ(position.x, 1);
  EXPECT_EQ(WritePlayerPosition(world.folder(), 10, 5, 20), PositionWriteResult::kWritten);
  double written[3];
  std::memcpy(written, ReadFileBytes(path).data() + fixtures::PlayerPositionOffset(spec), sizeof(written));
  EXPECT_EQ(written[0], 1000);
  EXPECT_FALSE(std::filesystem::exists(world.folder() + "WorldMetadata7.important")) << "no file is created";
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(world.folder()), {}), 2);
}

}  // namespace
}  // namespace orelens::world
