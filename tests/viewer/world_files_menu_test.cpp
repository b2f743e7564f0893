// What the menu commands do to a world's files: the block writer's and reader's chunks on a
// switch of worlds, and the player position written into the metadata file.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "fixtures/database_lock.h"
#include "fixtures/database_wait_watch.h"
#include "viewer/menu_commands.h"
#include "viewer/menu_ids.h"
#include "viewer/program_main.h"
#include "viewer/viewer_test_rig.h"
#include "world/chunk_store.h"

namespace orelens::viewer {
namespace {

constexpr uint8_t kStone = 1;  // the rig's worlds are stone from height 10 to 19

class WorldFilesMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Two worlds of the same layout: every chunk has the same id in both.
    rig.MakeWorld("Alpha", 5);
    rig.MakeWorld("Twin", 5);
    rig.WritePreferences("Alpha");
    ASSERT_TRUE(rig.StartPaused());
  }
  void TearDown() override { ShutDown(rig.ctx()); }

  void SwitchTo(const std::string& name) {
    const auto& worlds = rig.ctx().worlds;
    for (size_t i = 0; i < worlds.size(); ++i)
      if (worlds[i] == name) HandleMenuEvent(rig.ctx(), kMenuFirstWorld + static_cast<int>(i));
  }
  uint8_t StoredBlock(const std::string& world, int32_t chunkId, int col, int row, int height) {
    world::ChunkData record;
    world::ChunkStore::Open(rig.libraries, rig.saveFolder + world + "/")->ReadChunkRecord(chunkId, record);
    return record[world::CellOffset(col, row, height)];
  }
  uint8_t Read(float x, float y, float z) {
    world::BlockQuery query;
    return rig.ctx().Reader().GetBlockAt(query, x, y, z);
  }

  testing::ViewerRig rig;
};

TEST_F(WorldFilesMenuTest, SwitchStoresThePendingChangeAndForgetsBothChunks) {
  // (4, y, 4) lies in chunk 12, at origin (-8, -8): col 24, row 24.
  world::BlockWriter& writer = rig.ctx().Writer();
  ASSERT_TRUE(writer.SetBlock(world::kBlockAir, 0, 4.0f, 5.0f, 4.0f));
  ASSERT_TRUE(writer.Flush());
  EXPECT_EQ(Read(4.0f, 5.0f, 4.0f), world::kBlockAir) << "the reader now keeps Alpha's chunk 12";
  ASSERT_TRUE(writer.SetBlock(7, 0, 4.0f, 6.0f, 4.0f));  // pending

  SwitchTo("Twin");
  ASSERT_EQ(rig.ctx().settings.CurrentWorldName, "Twin");
  EXPECT_EQ(StoredBlock("Alpha", 12, 24, 24, 12), 7) << "the pending change went into its own world";
  EXPECT_FALSE(writer.editChunkId());
  EXPECT_FALSE(rig.ctx().Reader().lookupChunkId());
  EXPECT_EQ(Read(4.0f, 5.0f, 4.0f), kStone) << "Twin's chunk 12, not Alpha's";
  EXPECT_EQ(StoredBlock("Twin", 12, 24, 24, 10), kStone);
  EXPECT_EQ(StoredBlock("Twin", 12, 24, 24, 12), kStone);
  EXPECT_EQ(rig.MessageCount(), 0u);
}

// The game holds the world being left: storing the pending change shows the wait, and once the
// lock is let go the change is stored and the switch goes on without a message.
TEST_F(WorldFilesMenuTest, SwitchWaitsVisiblyForTheLeftWorldsDatabase) {
  world::BlockWriter& writer = rig.ctx().Writer();
  ASSERT_TRUE(writer.SetBlock(7, 0, 4.0f, 6.0f, 4.0f));  // pending in Alpha's chunk 12
  fixtures::DatabaseLockHolder game(rig.saveFolder + "Alpha/chunkdata.sqlite");
  ASSERT_TRUE(game.Hold());
  fixtures::DatabaseWaitWatch watch(rig.gui);
  bool letGo = false;
  watch.whileShown = [&] {
    if (!letGo) letGo = game.Release();
  };

  SwitchTo("Twin");
  ASSERT_EQ(rig.ctx().settings.CurrentWorldName, "Twin");
  EXPECT_TRUE(letGo);
  ASSERT_FALSE(watch.texts.empty());
  EXPECT_EQ(watch.texts.front(), world::DatabaseWaitText(20));
  EXPECT_EQ(StoredBlock("Alpha", 12, 24, 24, 12), 7);
  EXPECT_EQ(rig.MessageCount(), 0u);
  for (const int window : rig.gui.WindowNumbers())
    EXPECT_NE(rig.gui.WindowTitle(window), world::kDatabaseWaitTitle);
}

TEST_F(WorldFilesMenuTest, PlayerPositionIsNotWrittenWhereTheFileCannotPlaceIt) {
  const std::string metadata = rig.saveFolder + "Alpha/WorldMetadata1.important";
  std::vector<uint8_t> damaged = fixtures::ReadFileBytes(metadata);
  const int32_t negativeB = -2;  // B follows the 25 chunk entries
  std::memcpy(damaged.data() + 12 + 8 * 25, &negativeB, 4);
  fixtures::WriteBytesToFile(metadata, damaged);
  rig.engine().PBO_MoveCamera2(0, 10.0f, 5.0f, 20.0f, 0);

  rig.gui.QueueYesNoAnswer(true);
  HandleMenuEvent(rig.ctx(), kMenuSetPlayerPosition);
  EXPECT_EQ(fixtures::ReadFileBytes(metadata), damaged);
  ASSERT_EQ(rig.MessageCount(), 2u) << "the question, then why nothing was written";
  EXPECT_EQ(rig.LastMessage().title, "Error");
  EXPECT_EQ(
      rig.LastMessage().text,
      "The player position was not written: the world's metadata file is laid out in a way this program "
      "does not know (it may be damaged, or come from another version of the game), so it was left "
      "unchanged.\n\rLoad the world in the game once so that the game writes the file anew, then try "
      "again.");

  std::filesystem::remove(metadata);
  rig.gui.QueueYesNoAnswer(true);
  HandleMenuEvent(rig.ctx(), kMenuSetPlayerPosition);
  EXPECT_FALSE(std::filesystem::exists(metadata)) << "never created";
  EXPECT_EQ(
      rig.LastMessage().text,
      "The player position was not written: the world's metadata file could not be opened (it is missing, "
      "or another program such as the game holds it).\n\rClose the game, then try again.");
}

}  // namespace
}  // namespace orelens::viewer
