#include <gtest/gtest.h>
#include <lz4.h>
#include <signal.h>
#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <random>

#include "fixtures/child_process.h"
#include "fixtures/database_lock.h"
#include "fixtures/database_wait_watch.h"
#include "fixtures/schematic_writer.h"
#include "schematic/schematic_reading.h"
#include "schematic/schematic_save.h"
#include "schematic/schematic_test_world.h"

namespace orelens::schematic {
namespace {

using fixtures::ChunkRecordSpec;
using testing::kStone;

// The block the test world holds at a cell: a pattern of ordinary types with custom blocks and
// torches here and there.
uint8_t PatternBlock(int chunk, int col, int row, int height) {
  const int n = chunk * 1000 + col * 31 + row * 7 + height * 3;
  if (n % 11 == 0) return world::kBlockCustom;
  if (n % 13 == 0) return world::kBlockTorch;
  return static_cast<uint8_t>(100 + n % 150);  // never 66 or 15
}

TEST(SchematicSaveName, AddsTheExtensionUnlessItIsExactlyKvSch) {
  EXPECT_EQ(WithSchematicExtension("/tmp/a.KvSch"), "/tmp/a.KvSch.kvSch");
  EXPECT_EQ(WithSchematicExtension("/tmp/a"), "/tmp/a.kvSch");
  EXPECT_EQ(WithSchematicExtension("/tmp/a.kvSch"), "/tmp/a.kvSch");
  EXPECT_EQ(WithSchematicExtension("/tmp/dir.kvSch/a"), "/tmp/dir.kvSch/a.kvSch");
  EXPECT_EQ(WithSchematicExtension("C:\\dir.x\\a"), "C:\\dir.x\\a.kvSch");
  EXPECT_EQ(WithSchematicExtension("/tmp/a.txt"), "/tmp/a.txt.kvSch");
}

class SchematicSaveTest : public ::testing::Test {
 protected:
  SchematicSaveTest() {
    // Chunks 0 and 1 side by side along X, filled with the pattern up to height 7.
    test.ListChunk(-8, -8, 0);
    test.ListChunk(8, -8, 1);
    for (int chunk : {0, 1}) {
      ChunkRecordSpec spec;
      spec.withLists = true;
      for (int col = 0; col < 32; ++col) {
        for (int row = 0; row < 32; ++row) {
          for (int height = 0; height < 8; ++height) {
            const uint8_t type = PatternBlock(chunk, col, row, height);
            spec.SetBlock(col, row, height, type);
            const auto c = static_cast<uint8_t>(col), r = static_cast<uint8_t>(row);
            const auto h = static_cast<int16_t>(height);
            if (type == world::kBlockCustom) spec.customBlocks.push_back({c, r, h, 5000 + col + row * 100});
            if (type == world::kBlockTorch)
              spec.rotations.push_back({c, r, h, static_cast<int8_t>(-(col % 4))});
          }
        }
      }
      test.PutRow(chunk, spec);
    }
  }

  SchematicContent ReadBack(const std::string& file) {
    platform::File opened = OpenSchematicForReading(file);
    SchematicReadResult read = ReadSchematic(opened, test.libraries);
    EXPECT_EQ(read.status, SchematicReadStatus::kRead);
    return read.content.value_or(SchematicContent{});
  }

  testing::SchematicTestWorld test;
};

TEST_F(SchematicSaveTest, SavesEveryCellOfABoxAcrossChunks) {
  // Cells x 6.0 .. 9.5 (chunk 0 up to 7.5), z -8.0 .. -6.5, heights 0 .. 1.5.
  test.gui.QueueFileAnswer(test.SchematicPath("cut"));
  ASSERT_EQ(SaveSelectionAsSchematic(test.services, 7.75f, 0.75f, -7.25f, 8, 4, 4), 1);
  ASSERT_EQ(test.gui.Requesters().size(), 1u);
  EXPECT_EQ(test.gui.Requesters()[0].title, "Choose a File to save to");
  EXPECT_EQ(test.gui.Requesters()[0].pattern, "Kelvane Schematic | *.KvSch");
  EXPECT_EQ(test.gui.MessageBoxCount(), 0u);

  const SchematicContent content = ReadBack(test.SchematicPath("cut.kvSch"));
  ASSERT_EQ(content.size.sizeX, 8);
  ASSERT_EQ(content.size.sizeZ, 4);
  ASSERT_EQ(content.size.sizeY, 4);
  size_t customs = 0, torches = 0;
  for (int x = 0; x < 8; ++x) {
    for (int z = 0; z < 4; ++z) {
      for (int y = 0; y < 4; ++y) {
        const int worldCol = 28 + x;  // x 6.0 is column 28 of chunk 0
        const int chunk = worldCol < 32 ? 0 : 1;
        const uint8_t expected = PatternBlock(chunk, worldCol % 32, z, y);
        ASSERT_EQ(content.BlockAt(x, z, y), expected) << x << "," << z << "," << y;
        customs += expected == world::kBlockCustom;
        torches += expected == world::kBlockTorch;
      }
    }
  }
  ASSERT_EQ(content.customBlocks.size(), customs);
  ASSERT_EQ(content.rotations.size(), torches);
  ASSERT_GT(customs, 0u);
  ASSERT_GT(torches, 0u);
  for (const SchematicExtraEntry& entry : content.customBlocks) {
    EXPECT_EQ(entry.value, 5000 + (28 + entry.x) % 32 + entry.z * 100);
  }
  for (const SchematicExtraEntry& entry : content.rotations)
    EXPECT_EQ(entry.value, -((28 + entry.x) % 32 % 4));
}

TEST_F(SchematicSaveTest, CellsOfEveryUnlistedChunkAreSavedAsAir) {
  // Cells x 6.0 .. 9.5 and z -9.5 .. -8.0: z up to -8.5 lies in the unlisted chunks (-8, -24) and
  // (8, -24), which share the id -1; z -8.0 in the listed chunks 0 and 1.
  test.gui.QueueFileAnswer(test.SchematicPath("edge.kvSch"));
  ASSERT_EQ(SaveSelectionAsSchematic(test.services, 7.75f, 0.25f, -8.75f, 8, 2, 4), 1);
  const SchematicContent content = ReadBack(test.SchematicPath("edge.kvSch"));
  for (int x = 0; x < 8; ++x) {
    for (int y = 0; y < 2; ++y) {
      for (int z = 0; z < 3; ++z)
        ASSERT_EQ(content.BlockAt(x, z, y), world::kBlockAir) << x << "," << z << "," << y;
      const int worldCol = 28 + x;
      EXPECT_EQ(content.BlockAt(x, 3, y), PatternBlock(worldCol < 32 ? 0 : 1, worldCol % 32, 0, y));
    }
  }
  // The missing-chunk message comes once for each cell read in an unlisted chunk: the 4 x 3 x 2
  // cells of the one of them that is visited.
  const auto boxes = test.gui.MessageBoxes();
  EXPECT_EQ(boxes.size(), 24u);
  for (const auto& box : boxes) EXPECT_NE(box.text.find("could not be found."), std::string::npos);
}

TEST(SchematicSaveLarge, PayloadThatDoesNotCompressStillFitsTheFile) {
  // Four full-height chunks of random blocks: a 3,276,808-byte payload that LZ4 cannot shrink
  // below the 3,000,000 bytes of the standard output room.
  testing::SchematicTestWorld test;
  std::mt19937 random(5);
  for (int chunk = 0; chunk < 4; ++chunk) {
    test.ListChunk(chunk % 2 ? 8 : -8, chunk < 2 ? -8 : 8, chunk);
    ChunkRecordSpec spec;
    for (uint8_t& block : spec.blockPlane) {
      block = static_cast<uint8_t>(random());
      if (block == world::kBlockCustom || block == world::kBlockTorch) block = 0;
    }
    test.PutRow(chunk, spec);
  }
  test.gui.QueueFileAnswer(test.SchematicPath("big.kvSch"));
  ASSERT_EQ(SaveSelectionAsSchematic(test.services, 7.75f, 199.75f, 7.75f, 64, 800, 64), 1);
  EXPECT_GT(fixtures::ReadFileBytes(test.SchematicPath("big.kvSch")).size(), kCompressedOutputCapacity);

  platform::File opened = OpenSchematicForReading(test.SchematicPath("big.kvSch"));
  const SchematicReadResult read = ReadSchematic(opened, test.libraries);
  ASSERT_EQ(read.status, SchematicReadStatus::kRead);
  const world::ChunkData corner = test.StoredRecord(3);
  EXPECT_EQ(read.content->BlockAt(63, 63, 799), corner[world::CellOffset(31, 31, 799)]);
  EXPECT_EQ(read.content->BlockAt(32, 32, 0), corner[world::CellOffset(0, 0, 0)]);
}

TEST_F(SchematicSaveTest, CancelledRequesterSavesNothing) {
  EXPECT_EQ(SaveSelectionAsSchematic(test.services, 0, 0, 0, 2, 2, 2), 0);
  EXPECT_TRUE(test.gui.WindowNumbers().empty());
}

TEST_F(SchematicSaveTest, FileThatCannotBeMadeEndsTheSaveWithoutAWord) {
  test.gui.QueueFileAnswer(test.SchematicPath("missing/folder/a.kvSch"));
  EXPECT_EQ(SaveSelectionAsSchematic(test.services, 7.75f, 0.75f, -7.25f, 8, 4, 4), 0);
  std::filesystem::create_directory(test.SchematicPath("held.kvSch"));
  test.gui.QueueFileAnswer(test.SchematicPath("held.kvSch"));
  EXPECT_EQ(SaveSelectionAsSchematic(test.services, 7.75f, 0.75f, -7.25f, 8, 4, 4), 0);
  EXPECT_EQ(test.gui.MessageBoxCount(), 0u);
  EXPECT_TRUE(test.gui.WindowNumbers().empty());
  EXPECT_TRUE(std::filesystem::is_directory(test.SchematicPath("held.kvSch")));
}

TEST_F(SchematicSaveTest, OneCellBoxHasANinePayload) {
  test.gui.QueueFileAnswer(test.SchematicPath("one.kvSch"));
  ASSERT_EQ(SaveSelectionAsSchematic(test.services, -7.5f, 0.0f, -8.0f, 1, 1, 1), 1);  // an ordinary block
  const std::vector<uint8_t> bytes = fixtures::ReadFileBytes(test.SchematicPath("one.kvSch"));
  ASSERT_GT(bytes.size(), 20u);
  EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 4, bytes.end()), (std::vector<uint8_t>{9, 0, 0, 0}));
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 16),
            (std::vector<uint8_t>{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0x37, 0x13, 0x37, 0x13}));
  EXPECT_EQ(ReadBack(test.SchematicPath("one.kvSch")).blockTypes[0], PatternBlock(0, 1, 0, 0));
}

TEST_F(SchematicSaveTest, WithoutLz4TheFileHoldsNoPayloadAndTheSaveEnds) {
  test.BreakLz4();
  test.gui.QueueFileAnswer(test.SchematicPath("a.kvSch"));
  EXPECT_EQ(SaveSelectionAsSchematic(test.services, 0.0f, 1.0f, 0.0f, 2, 3, 4), 1);
  EXPECT_EQ(fixtures::ReadFileBytes(test.SchematicPath("a.kvSch")).size(), 20u);
  const auto boxes = test.gui.MessageBoxes();
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.back().title, "Error");
  EXPECT_EQ(boxes.back().text,
            "Lz4.dll not found, or not accessible. This file should have been shipped with the tool, try to "
            "re-download.");
}

TEST_F(SchematicSaveTest, BoxesTheFileCannotHoldAreRefused) {
  for (auto [x, y, z] : std::vector<std::array<int32_t, 3>>{{0, 1, 1}, {65536, 65536, 2}, {1, -3, 1}}) {
    test.gui.QueueFileAnswer(test.SchematicPath("huge.kvSch"));
    EXPECT_EQ(SaveSelectionAsSchematic(test.services, 0, 0, 0, x, y, z), 0);
    EXPECT_FALSE(std::filesystem::exists(test.SchematicPath("huge.kvSch"))) << "a failed save makes no file";
  }
  for (const auto& box : test.gui.MessageBoxes()) {
    EXPECT_EQ(box.title, "Out of memory");
    EXPECT_EQ(
        box.text,
        "Sorry, not enough free memory available to save this map portion, try to lower the viewdistance, or "
        "reduce schematic size.");
  }
  EXPECT_EQ(test.gui.MessageBoxCount(), 3u);
  EXPECT_TRUE(test.gui.WindowNumbers().empty()) << "the progress window is closed";
}

TEST_F(SchematicSaveTest, FailedCompressionLeavesNoSchematic) {
  // A library without the LZ4 entry points loads, but every codec call gives 0. The box lies in
  // a listed chunk without a stored record, which reads as air without decoding anything.
  test.ListChunk(-8, 8, 7);
  test.libraries.SetLibraryFile(platform::kLz4LibraryName, "libz.so.1");
  test.gui.QueueFileAnswer(test.SchematicPath("z.kvSch"));
  EXPECT_EQ(SaveSelectionAsSchematic(test.services, 0.0f, 1.0f, 16.0f, 2, 3, 4), 0);
  EXPECT_FALSE(std::filesystem::exists(test.SchematicPath("z.kvSch")));
  const auto boxes = test.gui.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Out of memory");
}

// A second program holds the world's database: the save reports it once and leaves no file that
// could pass for the box; once the database is free the same save succeeds.
TEST_F(SchematicSaveTest, BusyDatabaseIsReportedOnceAndSavesNothing) {
  const std::string path = test.SchematicPath("busy.kvSch");
  fixtures::DatabaseLockHolder otherProgram(test.world.DatabasePath());
  ASSERT_TRUE(otherProgram.Hold());
  test.gui.QueueFileAnswer(path);
  EXPECT_EQ(SaveSelectionAsSchematic(test.services, 7.75f, 0.75f, -7.25f, 8, 4, 4), 0);
  ASSERT_TRUE(otherProgram.Release());
  EXPECT_FALSE(std::filesystem::exists(path));
  const auto boxes = test.gui.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Error");
  EXPECT_EQ(boxes[0].text,
            "The schematic was not saved: the world's database is in use by another program, such as the "
            "game.\n\rClose the game and any other program that uses this world, then try again.");
  EXPECT_TRUE(test.gui.WindowNumbers().empty()) << "the progress window is closed";

  test.gui.QueueFileAnswer(path);
  EXPECT_EQ(SaveSelectionAsSchematic(test.services, 7.75f, 0.75f, -7.25f, 8, 4, 4), 1);
  EXPECT_EQ(test.gui.MessageBoxCount(), 1u);
  EXPECT_EQ(ReadBack(path).BlockAt(0, 0, 0), PatternBlock(0, 28, 0, 0));
}

// The game holds the database for a while: the save shows that it waits and goes on once the
// lock is let go, within the full busy timeout.
TEST_F(SchematicSaveTest, HeldDatabaseIsWaitedForVisiblyAndTheSaveGoesOnWhenLetGo) {
  const std::string path = test.SchematicPath("waited.kvSch");
  world::BlockReader reader(test.store, test.settings, test.libraries, test.gui,
                            world::ChunkDatabase::kBusyTimeoutMilliseconds);
  schematic::SchematicServices services = test.ServicesWith(reader, test.writer);
  fixtures::DatabaseLockHolder otherProgram(test.world.DatabasePath());
  ASSERT_TRUE(otherProgram.Hold());
  fixtures::DatabaseWaitWatch watch(test.gui);
  bool letGo = false;
  watch.whileShown = [&] {
    if (!letGo) letGo = otherProgram.Release();
  };
  test.gui.QueueFileAnswer(path);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(SaveSelectionAsSchematic(services, 7.75f, 0.75f, -7.25f, 8, 4, 4), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << "well before the 20 s timeout";
  EXPECT_TRUE(letGo);
  ASSERT_FALSE(watch.texts.empty());
  EXPECT_EQ(watch.texts.front(), world::DatabaseWaitText(20));
  EXPECT_EQ(test.gui.MessageBoxCount(), 0u);
  EXPECT_TRUE(test.gui.WindowNumbers().empty());
  EXPECT_EQ(ReadBack(path).BlockAt(0, 0, 0), PatternBlock(0, 28, 0, 0));
}

// A damaged chunk is saved as the viewer draws it: air where nothing decoded, the blocks that
// did decode where they did, without a message.
TEST_F(SchematicSaveTest, DamagedChunksAreSavedAsTheyRead) {
  test.world.PutDatabaseRow(1, std::vector<uint8_t>{5, 5, 5, 5, 5, 5});  // decodes to nothing
  test.gui.QueueFileAnswer(test.SchematicPath("nothing.kvSch"));
  ASSERT_EQ(SaveSelectionAsSchematic(test.services, 7.75f, 0.75f, -7.25f, 8, 4, 4), 1);
  const SchematicContent nothing = ReadBack(test.SchematicPath("nothing.kvSch"));
  for (int x = 0; x < 8; ++x) {
    for (int z = 0; z < 4; ++z) {
      for (int y = 0; y < 4; ++y) {
        const int worldCol = 28 + x;
        ASSERT_EQ(nothing.BlockAt(x, z, y),
                  worldCol < 32 ? PatternBlock(0, worldCol, z, y) : world::kBlockAir);
      }
    }
  }

  // A row cut in the middle of its LZ4 block: the column (0, 0) of chunk 1 decodes from the
  // bottom up to where the block was cut.
  ChunkRecordSpec column;
  for (int height = 0; height < world::kChunkHeight; ++height)
    column.SetBlock(0, 0, height, static_cast<uint8_t>(100 + height % 100));
  const std::vector<uint8_t> record = fixtures::MakeChunkRecord(column);
  const world::ChunkBlob whole = fixtures::CompressChunkRecord(record);
  const size_t cutAt = (whole.size() - 4) / 2;
  world::ChunkBlob cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cutAt));
  cut.insert(cut.end(), whole.end() - 4, whole.end());
  test.world.PutDatabaseRow(1, cut);
  // What the decoder makes of it, into a record prepared as the reader prepares its own.
  std::vector<uint8_t> decoded(record.size(), 0);
  std::fill_n(decoded.begin(), world::kChunkHeadAndPlaneSize, world::kBlockAir);
  ASSERT_LT(
      LZ4_decompress_safe(reinterpret_cast<const char*>(cut.data()), reinterpret_cast<char*>(decoded.data()),
                          static_cast<int>(cutAt), static_cast<int>(decoded.size())),
      0);
  ASSERT_EQ(decoded[world::CellOffset(0, 0, 0)], 100) << "the bottom decodes";
  ASSERT_EQ(decoded[world::CellOffset(0, 0, 799)], world::kBlockAir) << "the top does not";

  test.reader.Forget();  // it keeps chunk 1 as the first save read it
  test.gui.QueueFileAnswer(test.SchematicPath("part.kvSch"));
  ASSERT_EQ(SaveSelectionAsSchematic(test.services, 8.0f, 199.75f, -8.0f, 1, 800, 1), 1);
  const SchematicContent part = ReadBack(test.SchematicPath("part.kvSch"));
  for (int y = 0; y < world::kChunkHeight; ++y)
    ASSERT_EQ(part.BlockAt(0, 0, y), decoded[world::CellOffset(0, 0, y)]) << "height " << y;
  EXPECT_EQ(test.gui.MessageBoxCount(), 0u);
}

// A save that fails keeps the file it was to replace byte for byte and leaves nothing beside it;
// one that succeeds replaces it.
TEST_F(SchematicSaveTest, FailedSaveKeepsTheFileItWasToReplace) {
  const std::string path = test.SchematicPath("keep.kvSch");
  const std::vector<uint8_t> old =
      fixtures::MakeSchematicFile(fixtures::SchematicSpec::Filled(2, 2, 2, kStone));
  fixtures::WriteBytesToFile(path, old);
  const auto folderHoldsOnlyTheOldFile = [&] {
    return fixtures::ReadFileBytes(path) == old &&
           std::distance(std::filesystem::directory_iterator(test.temp.path()), {}) == 3;  // World, InstaLoad
  };
  ASSERT_TRUE(folderHoldsOnlyTheOldFile());

  {  // the game holds the database past the timeout
    fixtures::DatabaseLockHolder otherProgram(test.world.DatabasePath());
    ASSERT_TRUE(otherProgram.Hold());
    test.gui.QueueFileAnswer(path);
    EXPECT_EQ(SaveSelectionAsSchematic(test.services, 7.75f, 0.75f, -7.25f, 8, 4, 4), 0);
    ASSERT_TRUE(otherProgram.Release());
    EXPECT_TRUE(folderHoldsOnlyTheOldFile()) << "busy database";
  }
  // A chunk whose cache file cannot be read.
  test.ListChunk(-8, 8, 7);
  std::filesystem::create_directory(test.world.CacheFilePath(7));
  test.gui.QueueFileAnswer(path);
  EXPECT_EQ(SaveSelectionAsSchematic(test.services, 0.0f, 1.0f, 16.0f, 2, 3, 4), 0);
  EXPECT_TRUE(folderHoldsOnlyTheOldFile()) << "unreadable chunk";
  // A box too large to keep.
  test.gui.QueueFileAnswer(path);
  EXPECT_EQ(SaveSelectionAsSchematic(test.services, 0, 0, 0, 65536, 65536, 2), 0);
  EXPECT_TRUE(folderHoldsOnlyTheOldFile()) << "out of memory";
  // A full disk: the file may grow by 20 bytes only, in a child.
  const std::optional<std::string> diskFull = fixtures::RunInChild(
      [&] {
        test.gui.QueueFileAnswer(path);
        const int result = SaveSelectionAsSchematic(test.services, 7.75f, 0.75f, -7.25f, 8, 4, 4);
        return std::to_string(result) + " " + test.gui.MessageBoxes().back().text;
      },
      [] {
        signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead of ending the process
        const rlimit fileSize{20, 20};
        return setrlimit(RLIMIT_FSIZE, &fileSize) == 0;
      });
  EXPECT_EQ(diskFull, "0 The schematic file could not be written.");
  EXPECT_TRUE(folderHoldsOnlyTheOldFile()) << "disk full";
  EXPECT_EQ(test.gui.MessageBoxCount(), 3u) << "busy, unreadable, out of memory";

  test.gui.QueueFileAnswer(path);
  ASSERT_EQ(SaveSelectionAsSchematic(test.services, 7.75f, 0.75f, -7.25f, 8, 4, 4), 1);
  EXPECT_EQ(ReadBack(path).BlockAt(0, 0, 0), PatternBlock(0, 28, 0, 0));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(test.temp.path()), {}), 3);
}

TEST_F(SchematicSaveTest, ShowsProgressAndKeepsTheWindowsAlive) {
  test.clockStep = 300;  // an update every second cell
  std::vector<std::string> texts;
  std::vector<int> bars;
  test.gui.SetPollHook([&](platform::ScriptedGui& gui) {
    for (int window : gui.WindowNumbers()) {
      const platform::WindowRecord* record = gui.FindWindow(window);
      if (record->title != "Saving Kelvane Schematic...") continue;
      EXPECT_EQ(record->innerWidth, 400);
      EXPECT_EQ(record->innerHeight, 200);
      EXPECT_TRUE(record->style.centred && record->style.toolWindow && record->style.keptAbove);
      const std::vector<int> gadgets = gui.GadgetsOf(window);
      ASSERT_EQ(gadgets.size(), 2u);
      bars.push_back(gui.FindGadget(gadgets[0])->state);
      texts.push_back(gui.FindGadget(gadgets[1])->text);
    }
  });
  test.gui.QueueFileAnswer(test.SchematicPath("p.kvSch"));
  ASSERT_EQ(SaveSelectionAsSchematic(test.services, -8.0f, 0.0f, -8.0f, 2, 2, 2), 1);
  EXPECT_EQ(texts, (std::vector<std::string>{"Saving cube...25%", "Saving cube...50%", "Saving cube...75%",
                                             "Saving cube...100%"}));
  EXPECT_EQ(bars, (std::vector<int>{25, 50, 75, 100}));
  EXPECT_EQ(test.gui.NoWaitCalls(), 4) << "one pending window event per progress update";
  EXPECT_TRUE(test.gui.WindowNumbers().empty());
}

}  // namespace
}  // namespace orelens::schematic
