#include "customblocks/block_properties.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
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

TEST(ReadBlockProperties, ALineLongerThanTheBoundIsSkippedAsALineWithoutAKey) {
  testing::ScratchFolder scratch;
  const std::string path = scratch.File("properties.json");
  // "Name": "nnn...n" exactly as long as the bound, then a "Mode" line one byte longer.
  const std::string atBound = "\"Name\": \"" + std::string(kLongestPropertiesLine - 10, 'n') + "\"";
  const std::string beyond = "\"Mode\": 3" + std::string(kLongestPropertiesLine - 8, ' ');
  ASSERT_EQ(atBound.size(), kLongestPropertiesLine);
  ASSERT_EQ(beyond.size(), kLongestPropertiesLine + 1);
  const std::string text = "\"Mode\": 1\r" + atBound + "\n" + beyond + "\r\n\"UniqueID\": 7";
  ASSERT_TRUE(fixtures::WriteBytesFile(path, std::vector<uint8_t>(text.begin(), text.end())));
  int lines = 0;
  const auto p = ReadBlockProperties(path, [&] { ++lines; });
  ASSERT_TRUE(p);
  EXPECT_EQ(lines, 4);
  EXPECT_EQ(p->Name, std::string(kLongestPropertiesLine - 10, 'n'));
  EXPECT_EQ(p->Mode, 1);
  EXPECT_EQ(p->UniqueID, 7);
}

// The address space the process has mapped now, in bytes.
rlim_t AddressSpaceInUse() {
  std::ifstream statm("/proc/self/statm");
  rlim_t pages = 0;
  statm >> pages;
  return pages * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
}

TEST(ReadBlockProperties, AHugeLineTakesNoMoreMemoryThanTheBound) {
  testing::ScratchFolder scratch;
  const std::string path = scratch.File("properties.json");
  // A sparse file: a "Name" line that runs on through 256 MiB of zero bytes, then the lines
  // that count.
  constexpr off_t kHugeLine = off_t{256} << 20;
  const std::string head = "\"Name\": \"Huge";
  const std::string tail = "\"\n\"Name\": \"After\"\n\"Mode\": 2\n";
  const int file = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
  ASSERT_GE(file, 0);
  ASSERT_EQ(::pwrite(file, head.data(), head.size(), 0), static_cast<ssize_t>(head.size()));
  ASSERT_EQ(::pwrite(file, tail.data(), tail.size(), kHugeLine), static_cast<ssize_t>(tail.size()));
  ::close(file);

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Room for the reader's own needs, a fraction of what the line would take.
    const rlim_t limit = AddressSpaceInUse() + (rlim_t{64} << 20);
    const rlimit bound{limit, limit};
    if (setrlimit(RLIMIT_AS, &bound) != 0) _exit(3);
    int lines = 0;
    const auto p = ReadBlockProperties(path, [&] { ++lines; });
    _exit(p && p->Name == "After" && p->Mode == 2 && lines == 3 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the reader died under the memory bound";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace orelens::customblocks
