#include "customblocks/block_properties.h"

#include <gtest/gtest.h>

#include <limits>

#include "customblocks/scratch_folder.h"
#include "fixtures/dds_writer.h"

namespace orelens::customblocks {
namespace {

BlockProperties FromLines(std::initializer_list<std::string_view> lines) {
  BlockProperties properties;
  for (std::string_view line : lines) ApplyPropertiesLine(line, properties);
  return properties;
}

TEST(BlockPropertiesLine, TypicalLinesSetTheirValues) {
  const BlockProperties p = FromLines({"{", "  \"Name\": \"Oak Crate\",", "  \"Mode\": 3,",
                                       "  \"UniqueID\": 1234567,", "  \"CreatorName\": \"Ada\",", "}"});
  EXPECT_EQ(p.Name, "Oak Crate");
  EXPECT_EQ(p.Mode, 3);
  EXPECT_EQ(p.UniqueID, 1234567);
  EXPECT_EQ(p.CreatorName, "Ada");
}

TEST(BlockPropertiesLine, KeysIgnoreCaseAndLaterLinesWin) {
  const BlockProperties p = FromLines({"\"NAME\": \"First\",", "\"name\": \"Second\","});
  EXPECT_EQ(p.Name, "Second");
}

TEST(BlockPropertiesLine, OnlyTheFirstKeyOfALineCounts) {
  // "CreatorName" holds "Name" but not "Name": with its colon.
  BlockProperties p = FromLines({"\"CreatorName\": \"Bob\","});
  EXPECT_EQ(p.CreatorName, "Bob");
  EXPECT_EQ(p.Name, "");
  p = FromLines({"\"Name\": \"Both\", \"Mode\": 4"});
  EXPECT_EQ(p.Name, "Mode");  // the text between the line's last two quotes
  EXPECT_EQ(p.Mode, 0);
}

TEST(BlockPropertiesLine, ColonPlacementDecides) {
  BlockProperties p = FromLines({"\"Mode\" : 3"});
  EXPECT_EQ(p.Mode, 3);
  p = FromLines({"\"Name\" : \"Spaced\""});
  EXPECT_EQ(p.Name, "");
  p = FromLines({"\"Name\":", "\"Value on its own line\""});
  EXPECT_EQ(p.Name, "Name");
}

TEST(BlockPropertiesLine, IntegersReadAfterTheLastColon) {
  EXPECT_EQ(FromLines({"\"UniqueID\": 12,"}).UniqueID, 12);
  EXPECT_EQ(FromLines({"\"UniqueID\": \"12\","}).UniqueID, 0);
  EXPECT_EQ(FromLines({"\"UniqueID\":\t -42"}).UniqueID, -42);
  EXPECT_EQ(FromLines({"\"UniqueID\": +7x"}).UniqueID, 7);
  EXPECT_EQ(FromLines({"\"UniqueID\" 12"}).UniqueID, 0);
  EXPECT_EQ(FromLines({"\"Mode\": 1: 2"}).Mode, 2);
  EXPECT_EQ(IntegerAfterLastColon(": 99999999999999999999999"), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(IntegerAfterLastColon(": -9223372036854775808"), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(IntegerAfterLastColon(": -99999999999999999999999"), std::numeric_limits<int64_t>::min());
}

TEST(BlockPropertiesLine, TextNeedsTwoQuotes) {
  EXPECT_EQ(TextBetweenLastQuotes("no quotes"), "");
  EXPECT_EQ(TextBetweenLastQuotes("\"one"), "");
  EXPECT_EQ(TextBetweenLastQuotes("\"\""), "");
  EXPECT_EQ(TextBetweenLastQuotes("a\"b\"c\"d\"e"), "d");
}

TEST(ReadBlockProperties, AnyLineEndEndsALineAndEachLineIsReported) {
  testing::ScratchFolder scratch;
  const std::string path = scratch.File("properties.json");
  const std::string text = "\"Name\": \"A\"\r\"Mode\": 2\r\n\"UniqueID\": 9\n\n\"CreatorName\": \"Z\"";
  ASSERT_TRUE(fixtures::WriteBytesFile(path, std::vector<uint8_t>(text.begin(), text.end())));
  int lines = 0;
  const auto p = ReadBlockProperties(path, [&] { ++lines; });
  ASSERT_TRUE(p);
  EXPECT_EQ(lines, 5);
  EXPECT_EQ(p->Name, "A");
  EXPECT_EQ(p->Mode, 2);
  EXPECT_EQ(p->UniqueID, 9);
  EXPECT_EQ(p->CreatorName, "Z");
}

TEST(ReadBlockProperties, GarbageAndMissingFiles) {
  testing::ScratchFolder scratch;
  EXPECT_FALSE(ReadBlockProperties(scratch.File("missing.json"), nullptr));

  std::vector<uint8_t> garbage(70000);
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>((i * 7919) >> 3);
  const std::string path = scratch.File("garbage.json");
  ASSERT_TRUE(fixtures::WriteBytesFile(path, garbage));
  const auto p = ReadBlockProperties(path, nullptr);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->Mode, 0);
  EXPECT_EQ(p->Name, "");
}

}  // namespace
}  // namespace orelens::customblocks
