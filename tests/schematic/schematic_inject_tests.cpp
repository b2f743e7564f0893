#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>

#include "fixtures/child_process.h"
#include "fixtures/database_lock.h"
#include "fixtures/database_wait_watch.h"
#include "fixtures/schematic_writer.h"
#include "schematic/schematic_inject.h"
#include "schematic/schematic_reading.h"
#include "schematic/schematic_save.h"
#include "schematic/schematic_test_world.h"

namespace orelens::schematic {
namespace {

using namespace std::chrono_literals;
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

  // A world whose "chunkdata.sqlite" is there but does not open (breakDatabase makes it so): its
  // chunks are not air. Injecting, writing a block and saving each stop, change no file and say
  // once which file to check. They run in a child that file permissions hold back, also as root.
  void ExpectNothingChangesWhileTheDatabaseDoesNotOpen(const std::function<void()>& breakDatabase,
                                                       const std::function<void()>& mendDatabase) {
    // A schematic over all four chunks.
    const std::string schematic = Write(SchematicSpec::Filled(8, 8, 4, testing::kGlass));
    ChunkRecordSpec glass;
    glass.SetBlock(3, 3, 3, testing::kGlass);
    test.PutCacheFile(1, glass);  // an older copy beside the row
    const std::string meshes = test.settings.InstaLoadDir + "World/chunkmeshes.sqlite";
    std::filesystem::create_directories(test.settings.InstaLoadDir + "World");
    fixtures::WriteBytesToFile(meshes, std::vector<uint8_t>{1});
    fixtures::OpenToEveryone(test.temp.path());
    fixtures::OpenToEveryone(test.world.folder());
    const std::map<std::string, std::string> filesBefore = FilesUnder(test.temp.path());

    breakDatabase();
    const std::optional<std::string> report = fixtures::RunInChild(
        [&] {
          std::string text =
              "inject " + std::to_string(InjectSchematic(test.services, schematic, 7.75f, 1.75f, 7.75f));
          test.writer.ClearFailure();
          const bool set = test.writer.SetBlock(kStone, 0, 8.5f, 0.5f, -7.5f);  // one block of chunk 1
          text += " set " + std::to_string(set) + " flush " + std::to_string(test.writer.Flush());
          test.gui.QueueFileAnswer(test.SchematicPath("saved"));
          text += " save " +
                  std::to_string(SaveSelectionAsSchematic(test.services, 7.75f, 1.75f, 7.75f, 8, 4, 8));
          for (const auto& box : test.gui.MessageBoxes()) text += "\n" + box.title + ": " + box.text;
          return text;
        },
        fixtures::DropPrivileges);
    mendDatabase();

    ASSERT_TRUE(report);
    const std::string what = "the world's database \"chunkdata.sqlite\" could not be opened or read.\n\r";
    const std::string check =
        "Check that \"chunkdata.sqlite\" in the world's folder is the game's database file and that you may "
        "read and write it (a copy made as another user, with sudo for one, belongs to that user), then try "
        "again.";
    EXPECT_EQ(*report,
              "inject 1 set 0 flush 0 save 0\nError: The schematic could not be written into the world: " +
                  what + "Nothing in the world was changed.\n\r" + check +
                  "\nError: The schematic was not saved: " + what + check);
    EXPECT_EQ(FilesUnder(test.temp.path()), filesBefore) << "no cache file, no schematic, no temporary";
  }

  // Every file under a folder, by path, with its size and a hash of its bytes.
  static std::map<std::string, std::string> FilesUnder(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
      if (!entry.is_regular_file()) continue;
      const std::vector<uint8_t> bytes = fixtures::ReadFileBytes(entry.path().string());
      const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
      files[entry.path().string()] = std::to_string(bytes.size()) + " bytes, hash " +
                                     std::to_string(std::hash<std::string_view>{}(text));
    }
    return files;
  }

  testing::SchematicTestWorld test;
};

TEST_F(SchematicInjectTest, DatabaseThatIsAFolderChangesNoFile) {
  const std::string database = test.world.DatabasePath();
  const std::string aside = test.temp.path() + "database-aside";
  ExpectNothingChangesWhileTheDatabaseDoesNotOpen(
      [&] {
        std::filesystem::rename(database, aside);
        std::filesystem::create_directory(database);
      },
      [&] {
        std::filesystem::remove(database);
        std::filesystem::rename(aside, database);
      });
}

TEST_F(SchematicInjectTest, DatabaseTheUserMayNotOpenChangesNoFile) {
  const std::string database = test.world.DatabasePath();
  ExpectNothingChangesWhileTheDatabaseDoesNotOpen([&] { ASSERT_EQ(chmod(database.c_str(), 0), 0); },
                                                  [&] { ASSERT_EQ(chmod(database.c_str(), 0644), 0); });
}

// Cache files are replaced through a temporary that carries the program's mark: the user's own
// files beside a chunk's cache file are never taken for one, a temporary a kill left behind is.
TEST_F(SchematicInjectTest, UsersFilesBesideACacheFileSurviveAndOurStaleTemporaryGoes) {
  test.ListChunk(-8, 24, 40);  // no row: the injection writes its cache file
  const std::vector<uint8_t> backup = {1, 2, 3}, before = {4, 5, 6};
  const std::string folder = test.world.folder();
  fixtures::WriteBytesToFile(folder + "40.chunks.backup", backup);
  fixtures::WriteBytesToFile(folder + "40.chunks.before", before);
  fixtures::WriteBytesToFile(folder + "40.chunks.orelens-tmp-Ab12Z9", std::vector<uint8_t>{7});

  InjectSchematic(test.services, Write(SchematicSpec::Filled(2, 2, 2, 9)), 0.25f, 0.25f, 24.25f);
  EXPECT_EQ(BlockAt(0.0f, 0.0f, 24.0f), 9);
  EXPECT_TRUE(std::filesystem::exists(test.world.CacheFilePath(40)));
  EXPECT_EQ(fixtures::ReadFileBytes(folder + "40.chunks.backup"), backup);
  EXPECT_EQ(fixtures::ReadFileBytes(folder + "40.chunks.before"), before);
  EXPECT_FALSE(std::filesystem::exists(folder + "40.chunks.orelens-tmp-Ab12Z9"));
  EXPECT_EQ(test.gui.MessageBoxCount(), 0u);
}

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

TEST_F(SchematicInjectTest, FirstCellWithoutItsValueGetsZero) {
  InjectSchematic(test.services, Write(SchematicSpec::Filled(1, 1, 1, world::kBlockCustom)), 0.0f, 0.0f,
                  0.0f);
  ASSERT_EQ(test.gui.MessageBoxCount(), 1u);
  world::ChunkRecordLists lists;
  world::DecodeChunkRecordLists(test.StoredRecord(0), lists);
  const auto custom = lists.customBlocks.find(world::MakeCellKey(16, 16, 0));
  ASSERT_NE(custom, lists.customBlocks.end());
  EXPECT_EQ(custom->second, 0);
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

// The block writer and reader belong to one world: after a switch to another world whose chunk
// has the same id, neither the chunk kept from the first world nor its lists or heights reach the
// second, and a save reads the second world.
TEST_F(SchematicInjectTest, ChunksKeptFromOneWorldNeverReachAnother) {
  ChunkRecordSpec other;
  other.withLists = true;
  other.minHeight = 3;
  other.maxHeight = 44;
  for (int col = 0; col < 32; ++col) other.SetBlock(col, 16, 40, testing::kGlass);
  other.SetBlock(1, 2, 3, world::kBlockCustom);
  other.customBlocks = {{1, 2, 3, 777}};
  other.SetBlock(4, 5, 6, kLantern);
  other.rotations = {{4, 5, 6, 2}};
  const fixtures::WorldWriter otherWorld(test.temp.path(), "Other");
  otherWorld.PutDatabaseRow(0, fixtures::CompressChunkRecord(fixtures::MakeChunkRecord(other)));

  // In "World": a save reads chunk 0 and an injection leaves it in the writer.
  test.gui.QueueFileAnswer(test.SchematicPath("first.kvSch"));
  ASSERT_EQ(SaveSelectionAsSchematic(test.services, 0.0f, 20.0f, 0.0f, 1, 1, 1), 1);
  InjectSchematic(test.services, Write(SchematicSpec::Filled(1, 1, 1, 9)), 0.0f, 1.0f, 0.0f);

  test.settings.CurrentWorldName = "Other";  // the same chunk list: chunk 0 lies at the same place
  test.gui.QueueFileAnswer(test.SchematicPath("second.kvSch"));
  ASSERT_EQ(SaveSelectionAsSchematic(test.services, 0.0f, 20.0f, 0.0f, 1, 1, 1), 1);
  platform::File saved = OpenSchematicForReading(test.SchematicPath("second.kvSch"));
  const SchematicReadResult read = ReadSchematic(saved, test.libraries);
  ASSERT_EQ(read.status, SchematicReadStatus::kRead);
  EXPECT_EQ(read.content->BlockAt(0, 0, 0), testing::kGlass) << "the save reads the world it is in";

  InjectSchematic(test.services, Write(SchematicSpec::Filled(1, 1, 1, 9)), -7.0f, 2.0f, -7.0f);
  ChunkRecordSpec expected = other;
  expected.SetBlock(2, 2, 4, 9);
  EXPECT_FALSE(std::filesystem::exists(otherWorld.CacheFilePath(0)));
  EXPECT_EQ(test.StoredRecord(0), fixtures::MakeChunkRecord(expected));
  test.settings.CurrentWorldName = "World";
  EXPECT_EQ(BlockAt(0.0f, 1.0f, 0.0f), 9) << "the first world keeps its own injection";
  EXPECT_EQ(BlockAt(-7.0f, 2.0f, -7.0f), kStone);
  EXPECT_EQ(test.gui.MessageBoxCount(), 0u);
}

// A second program holds the world's database through a whole injection: nothing in the world
// changes, one message says why and what to do, and the same injection succeeds afterwards.
TEST_F(SchematicInjectTest, BusyDatabaseStopsTheInjectionWithOneMessageAndChangesNothing) {
  const std::string path = Write(SchematicSpec::Filled(8, 8, 4, testing::kGlass));  // over all four chunks
  fixtures::ChunkDatabaseWriter database(test.world.folder());
  std::vector<std::vector<uint8_t>> rowsBefore;
  for (int chunk = 0; chunk < 4; ++chunk) rowsBefore.push_back(database.Row(chunk));
  const std::string meshes = test.settings.InstaLoadDir + "World/chunkmeshes.sqlite";
  std::filesystem::create_directories(test.settings.InstaLoadDir + "World");
  fixtures::WriteBytesToFile(meshes, std::vector<uint8_t>{1});

  fixtures::DatabaseLockHolder otherProgram(test.world.DatabasePath());
  ASSERT_TRUE(otherProgram.Hold());
  EXPECT_EQ(InjectSchematic(test.services, path, 7.75f, 1.75f, 7.75f), 1);
  ASSERT_TRUE(otherProgram.Release());

  for (int chunk = 0; chunk < 4; ++chunk) {
    EXPECT_EQ(database.Row(chunk), rowsBefore[static_cast<size_t>(chunk)]) << chunk;
    EXPECT_FALSE(std::filesystem::exists(test.world.CacheFilePath(chunk))) << chunk;
  }
  EXPECT_TRUE(test.released.empty());
  EXPECT_TRUE(std::filesystem::exists(meshes)) << "the game's mesh cache still fits the world";
  const auto boxes = test.gui.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Error");
  EXPECT_EQ(boxes[0].text,
            "The schematic could not be written into the world: the world's database is in use by another "
            "program, such as the game.\n\rNothing in the world was changed.\n\rClose the game and any other "
            "program that uses this world, then try again.");
  EXPECT_TRUE(test.gui.WindowNumbers().empty());

  EXPECT_EQ(InjectSchematic(test.services, path, 7.75f, 1.75f, 7.75f), 1);
  EXPECT_EQ(test.gui.MessageBoxCount(), 1u);
  EXPECT_EQ(BlockAt(6.0f, 1.0f, 6.0f), testing::kGlass);
  EXPECT_EQ(BlockAt(9.5f, 2.5f, 9.5f), testing::kGlass);
  EXPECT_EQ(BlockAt(9.5f, 3.0f, 9.5f), kStone);
  EXPECT_FALSE(std::filesystem::exists(meshes));
}

// The game holds the database for a while: the injection shows that it waits, with the time
// left of the full busy timeout, and simply goes on once the lock is let go.
TEST_F(SchematicInjectTest, HeldDatabaseIsWaitedForVisiblyAndTheInjectionGoesOnWhenLetGo) {
  const std::string path = Write(SchematicSpec::Filled(8, 8, 4, testing::kGlass));
  world::BlockWriter writer(test.store, test.settings, test.kinds, test.libraries,
                            world::ChunkDatabase::kBusyTimeoutMilliseconds);
  schematic::SchematicServices services = test.ServicesWith(test.reader, writer);
  fixtures::DatabaseLockHolder otherProgram(test.world.DatabasePath());
  ASSERT_TRUE(otherProgram.Hold());
  fixtures::DatabaseWaitWatch watch(test.gui);
  bool letGo = false;
  watch.whileShown = [&] {
    if (!letGo) letGo = otherProgram.Release();
  };

  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(InjectSchematic(services, path, 7.75f, 1.75f, 7.75f), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s) << "well before the 20 s timeout";
  EXPECT_TRUE(letGo);
  ASSERT_FALSE(watch.texts.empty());
  EXPECT_EQ(watch.texts.front(), world::DatabaseWaitText(20));
  EXPECT_EQ(test.gui.MessageBoxCount(), 0u);
  EXPECT_TRUE(test.gui.WindowNumbers().empty());
  EXPECT_EQ(BlockAt(6.0f, 1.0f, 6.0f), testing::kGlass);
  EXPECT_EQ(BlockAt(9.5f, 2.5f, 9.5f), testing::kGlass);
  EXPECT_EQ(test.released.size(), 4u);
}

// A lock held past the timeout: the wait is shown all along, then the one busy message comes.
TEST_F(SchematicInjectTest, DatabaseHeldPastTheTimeoutIsShownThenReportedOnce) {
  const std::string path = Write(SchematicSpec::Filled(8, 8, 4, testing::kGlass));
  world::BlockWriter writer(test.store, test.settings, test.kinds, test.libraries, 1'500);
  schematic::SchematicServices services = test.ServicesWith(test.reader, writer);
  fixtures::DatabaseLockHolder otherProgram(test.world.DatabasePath());
  ASSERT_TRUE(otherProgram.Hold());
  fixtures::DatabaseWaitWatch watch(test.gui);
  EXPECT_EQ(InjectSchematic(services, path, 7.75f, 1.75f, 7.75f), 1);
  ASSERT_TRUE(otherProgram.Release());

  EXPECT_GE(watch.eventsWhileShown, 3) << "the windows are kept alive while it waits";
  ASSERT_FALSE(watch.texts.empty());
  for (const std::string& text : watch.texts)
    EXPECT_TRUE(text == world::DatabaseWaitText(2) || text == world::DatabaseWaitText(1)) << text;
  const auto boxes = test.gui.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text,
            "The schematic could not be written into the world: the world's database is in use by another "
            "program, such as the game.\n\rNothing in the world was changed.\n\rClose the game and any other "
            "program that uses this world, then try again.");
  EXPECT_TRUE(test.gui.WindowNumbers().empty());
  EXPECT_EQ(BlockAt(6.0f, 1.0f, 6.0f), kStone);
}

TEST_F(SchematicInjectTest, DamagedChunkStopsTheInjectionAfterTheChunksBeforeIt) {
  const std::vector<uint8_t> damaged = {7, 7, 7, 7, 7, 7, 7, 7};
  test.world.PutDatabaseRow(1, damaged);
  // Cells x 6.0 .. 9.5 in chunks 0 and then 1, z -8.0 .. -6.5, heights 0 .. 1.5.
  InjectSchematic(test.services, Write(SchematicSpec::Filled(8, 4, 4, testing::kGlass)), 7.75f, 0.75f,
                  -7.25f);

  EXPECT_EQ(BlockAt(7.5f, 0.0f, -8.0f), testing::kGlass) << "chunk 0 came first and was written";
  EXPECT_EQ(fixtures::ChunkDatabaseWriter(test.world.folder()).Row(1), damaged);
  EXPECT_FALSE(std::filesystem::exists(test.world.CacheFilePath(1)));
  ASSERT_EQ(test.released.size(), 1u);
  EXPECT_EQ(test.released[0].chunkId, 0);
  const auto boxes = test.gui.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(
      boxes[0].text,
      "The schematic could not be written into the world: chunk 1 of the world is damaged and cannot be "
      "decoded.\n\rIt was written into 1 chunk before it stopped; injecting it again at the same place "
      "completes it.\n\rThe damaged chunk is left as it is; choose a box that does not reach into it.");
}

TEST_F(SchematicInjectTest, ShowsItsProgressWindow) {
  const auto textOfTheWindow = [&]() -> std::string {
    const std::vector<int> windows = test.gui.WindowNumbers();
    if (windows.size() != 1u) return "(" + std::to_string(windows.size()) + " windows)";
    const platform::WindowRecord* record = test.gui.FindWindow(windows[0]);
    EXPECT_EQ(record->title, "Injecting Kelvane Schematic to World...");
    EXPECT_EQ(record->innerWidth, 400);
    EXPECT_EQ(record->innerHeight, 200);
    EXPECT_TRUE(record->style.centred && record->style.toolWindow && record->style.keptAbove);
    const std::vector<int> gadgets = test.gui.GadgetsOf(windows[0]);
    return gadgets.size() == 2u ? test.gui.FindGadget(gadgets[1])->text : "(no text line)";
  };
  std::vector<std::string> texts;
  test.services.releaseLoadedChunk = [&](const world::ChunkLocation&) { texts.push_back(textOfTheWindow()); };
  InjectSchematic(test.services, Write(SchematicSpec::Filled(2, 2, 2, 9)), 0.25f, 0.25f, 0.25f);
  EXPECT_EQ(texts, std::vector<std::string>{"Manipulating Chunks..."}) << "before the first update";

  test.clockStep = 300;  // an update every second cell
  texts.clear();
  test.services.releaseLoadedChunk = nullptr;
  test.gui.SetPollHook([&](platform::ScriptedGui&) { texts.push_back(textOfTheWindow()); });
  InjectSchematic(test.services, Write(SchematicSpec::Filled(2, 2, 2, 9)), 0.25f, 0.25f, 0.25f);
  EXPECT_EQ(texts, (std::vector<std::string>{"Saving cube...25%", "Saving cube...50%", "Saving cube...75%",
                                             "Saving cube...100%"}));
  EXPECT_TRUE(test.gui.WindowNumbers().empty());
}

TEST_F(SchematicInjectTest, TorchThatIsNoMeshBlockIsWrittenWithExtraValueOne) {
  // With type 15 of kind 0 the torch cell takes no rotation and sets the current extra value to 1,
  // which the mesh block after it, lacking its own value, then receives.
  test.kinds[world::kBlockTorch] = world::kKindOpaqueCube;
  SchematicSpec spec = SchematicSpec::Filled(1, 1, 2, world::kBlockTorch);
  spec.Set(0, 0, 1, kLantern);
  spec.rotations = {{0, 0, 0, -3}};
  InjectSchematic(test.services, Write(spec), 0.0f, 0.25f, 0.0f);
  const auto boxes = test.gui.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Torchrot not found");
  world::ChunkRecordLists lists;
  world::DecodeChunkRecordLists(test.StoredRecord(0), lists);  // cells (16, 16, 0) and (16, 16, 1) of chunk 0
  const auto lantern = lists.rotations.find(world::MakeCellKey(16, 16, 1));
  ASSERT_NE(lantern, lists.rotations.end());
  EXPECT_EQ(lantern->second, 1);
  EXPECT_EQ(lists.rotations.count(world::MakeCellKey(16, 16, 0)), 0u);
  EXPECT_EQ(BlockAt(0.0f, 0.0f, 0.0f), world::kBlockTorch);
}

}  // namespace
}  // namespace orelens::schematic
