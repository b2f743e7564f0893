// Schematics that ask for more memory than there is: loading them, in a child process whose
// address space is limited, either succeeds or says so in a message, and never ends the program.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

#include "fixtures/world_writer.h"
#include "platform/files/byte_writer.h"
#include "platform/gui/scripted_gui.h"
#include "schematic/schematic_file.h"
#include "schematic/schematic_inject.h"
#include "schematic/schematic_load.h"
#include "schematic/schematic_test_world.h"
#include "world/block_kind_table.h"

namespace orelens::schematic {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
constexpr const char* kWhySkipped = "the sanitizers reserve far more address space than a limit allows";

// What the child reports through its exit code.
constexpr int kLoaded = 10;
constexpr int kRefusedWithTheMessage = 20;
constexpr int kSomethingElse = 30;
constexpr int kThrew = 40;  // an exception escaped: the program would have ended
constexpr int kNoExit = -1000;

constexpr size_t kMiB = size_t{1} << 20;

// The address space this process has mapped now.
size_t MappedBytes() {
  std::ifstream statm("/proc/self/statm");
  size_t pages = 0;
  statm >> pages;
  return pages * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

// Runs work in a child process that may map `headroom` bytes more than this process has mapped
// now. Its exit code, minus the signal that ended it, or kNoExit when it did not end in time.
int RunWithMemoryLimit(size_t headroom, const std::function<int()>& work) {
  const size_t limit = MappedBytes() + headroom;
  const pid_t child = fork();
  if (child == 0) {
    const rlimit addressSpace{limit, limit};
    if (setrlimit(RLIMIT_AS, &addressSpace) != 0) _exit(kSomethingElse + 1);
    try {
      _exit(work());
    } catch (...) {
      _exit(kThrew);  // never back into the test program's own code
    }
  }
  if (child < 0) return kNoExit;
  int status = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (waitpid(child, &status, WNOHANG) != child) {
    if (std::chrono::steady_clock::now() > end) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return kNoExit;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// One LZ4 block that decodes to `count` bytes of `value` followed by `tail`: a literal, one long
// match of it, then the tail as the closing literals. Kept small however large the run, so a
// file can claim a huge box without the test holding it.
std::vector<uint8_t> RunOfBytesAsLz4Block(uint8_t value, size_t count, std::span<const uint8_t> tail) {
  std::vector<uint8_t> block;
  const auto writeLength = [&](size_t rest) {  // the bytes after a nibble of 15
    for (; rest >= 255; rest -= 255) block.push_back(255);
    block.push_back(static_cast<uint8_t>(rest));
  };
  const size_t match = count - 1;  // at least 4, and the tail is 5 bytes or more
  block.push_back(static_cast<uint8_t>((1 << 4) | std::min<size_t>(match - 4, 15)));
  block.push_back(value);
  block.insert(block.end(), {1, 0});  // offset 1: repeat the byte before
  if (match - 4 >= 15) writeLength(match - 4 - 15);
  block.push_back(static_cast<uint8_t>(std::min<size_t>(tail.size(), 15) << 4));
  if (tail.size() >= 15) writeLength(tail.size() - 15);
  block.insert(block.end(), tail.begin(), tail.end());
  return block;
}

// A schematic of sizeX x sizeZ x sizeY cells all of one type, without custom blocks or rotations.
std::vector<uint8_t> FilledSchematicFile(int32_t sizeX, int32_t sizeZ, int32_t sizeY, uint8_t type) {
  const size_t cells = static_cast<size_t>(sizeX) * static_cast<size_t>(sizeZ) * static_cast<size_t>(sizeY);
  const std::vector<uint8_t> emptyLists(8, 0);
  std::vector<uint8_t> file = EncodeSchematicHeader({sizeX, sizeZ, sizeY});
  const std::vector<uint8_t> block = RunOfBytesAsLz4Block(type, cells, emptyLists);
  file.insert(file.end(), block.begin(), block.end());
  const std::vector<uint8_t> trailer = EncodeSchematicTrailer(static_cast<int32_t>(cells + 8));
  file.insert(file.end(), trailer.begin(), trailer.end());
  return file;
}

class SchematicMemoryTest : public ::testing::Test {
 protected:
  // Loads the file in a child limited to `headroom` more address space.
  int LoadUnderLimit(const std::vector<uint8_t>& file, size_t headroom) {
    fixtures::WriteBytesToFile(path, file);
    return RunWithMemoryLimit(headroom, [&] {
      platform::ScriptedGui gui;
      platform::LibraryLocator libraries;
      std::vector<world::BlockRecord> list = {{9, 9, 9, 1, 0x3F, 0}};  // an earlier preview
      const int result = LoadSchematicFile(gui, libraries, path, list);
      if (result == 1) return kLoaded;
      const auto boxes = gui.MessageBoxes();
      const bool told =
          boxes.size() == 1 && boxes[0].title == "Error" && boxes[0].text == kNotEnoughMemoryText;
      return told && list.size() == 1 ? kRefusedWithTheMessage : kSomethingElse;
    });
  }

  fixtures::TempFolder temp;
  std::string path = temp.path() + "huge.kvSch";
};

TEST_F(SchematicMemoryTest, TheFixtureBlockDecodesToTheClaimedBox) {
  platform::ScriptedGui gui;
  platform::LibraryLocator libraries;
  std::vector<world::BlockRecord> list;
  fixtures::WriteBytesToFile(path, FilledSchematicFile(20, 30, 40, 7));
  ASSERT_EQ(LoadSchematicFile(gui, libraries, path, list), 1);
  EXPECT_EQ(list.size(), 2u * (20 * 30 + 30 * 40 + 20 * 40) - 4u * (20 + 30 + 40) + 8u);  // the surface
  EXPECT_EQ(gui.MessageBoxCount(), 0u);
}

TEST_F(SchematicMemoryTest, PayloadLargerThanMemoryIsRefusedWithTheMessage) {
  if (kSanitized) GTEST_SKIP() << kWhySkipped;
  // An 847 KB file that claims 600 x 600 x 600 cells: a 216 MB payload.
  const std::vector<uint8_t> file = FilledSchematicFile(600, 600, 600, 1);
  EXPECT_LT(file.size(), 900'000u);
  EXPECT_EQ(LoadUnderLimit(file, 96 * kMiB), kRefusedWithTheMessage);
}

TEST_F(SchematicMemoryTest, PayloadThatFitsOnceIsNotCopied) {
  if (kSanitized) GTEST_SKIP() << kWhySkipped;
  // 64 MB of air: the payload fits, a second copy of its cells would not.
  EXPECT_EQ(LoadUnderLimit(FilledSchematicFile(400, 400, 400, world::kBlockAir), 96 * kMiB), kLoaded);
}

TEST_F(SchematicMemoryTest, PreviewLargerThanMemoryIsRefusedWithTheMessage) {
  if (kSanitized) GTEST_SKIP() << kWhySkipped;
  // 8 million see-through cells, each drawn whole: the payload fits, their preview records not.
  EXPECT_EQ(LoadUnderLimit(FilledSchematicFile(200, 200, 200, 5), 96 * kMiB), kRefusedWithTheMessage);
}

TEST_F(SchematicMemoryTest, InjectionOfAPayloadLargerThanMemoryIsRefusedWithTheMessage) {
  if (kSanitized) GTEST_SKIP() << kWhySkipped;
  testing::SchematicTestWorld test;
  test.ListChunk(-8, -8, 0);
  fixtures::WriteBytesToFile(path, FilledSchematicFile(600, 600, 600, 1));
  EXPECT_EQ(RunWithMemoryLimit(96 * kMiB,
                               [&] {
                                 InjectSchematic(test.services, path, 0, 0, 0);
                                 const auto boxes = test.gui.MessageBoxes();
                                 const bool told = boxes.size() == 1 && boxes[0].text == kNotEnoughMemoryText;
                                 return told && test.released.empty() ? kRefusedWithTheMessage
                                                                      : kSomethingElse;
                               }),
            kRefusedWithTheMessage);
}

}  // namespace
}  // namespace orelens::schematic
