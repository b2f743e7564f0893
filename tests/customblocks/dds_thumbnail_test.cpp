#include "customblocks/dds_thumbnail.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "customblocks/import_scene.h"
#include "customblocks/scratch_folder.h"
#include "fixtures/dds_writer.h"

namespace orelens::customblocks {
namespace {

const uint32_t kCreatedBlack = platform::PackRgba(0, 0, 0, 255);

// Block (x, y) carries x in its alpha0 and y in its alpha1 (alpha index 0 picks alpha0, the
// colour is black), so every drawn pixel tells which block it came from.
fixtures::Bc3BlockBytes PositionBlock(int x, int y) {
  return fixtures::MakeBc3Block({.alpha0 = static_cast<uint8_t>(x), .alpha1 = static_cast<uint8_t>(y)});
}
uint32_t PositionPixel(int x) {
  return platform::PackRgba(0, 0, 0, static_cast<uint32_t>(x));
}

class DdsThumbnailTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = scratch_.File(name);
    EXPECT_TRUE(fixtures::WriteBytesFile(path, bytes));
    return path;
  }
  std::string WritePositions(const std::string& name, int width, int height) {
    return Write(name, fixtures::MakeDdsFile(width, height, PositionBlock));
  }
  // Loads the file into a new texture and returns its picture.
  const platform::Image& Load(const std::string& path) {
    const int texture = LoadDdsPreviewTexture(*scene_.engine, scene_.gui, path);
    EXPECT_NE(texture, 0);
    EXPECT_EQ(scene_.gui.GetGadgetState(kTextureProgressBar), 100);
    return *scene_.engine->PBO_LockTexture(texture);
  }
  // Width of the drawn run of a row, and the number of drawn rows in column 0.
  static int DrawnWidth(const platform::Image& image, int y) {
    int x = 0;
    while (x < image.width && image.at(x, y) != kCreatedBlack) ++x;
    return x;
  }
  static int DrawnHeight(const platform::Image& image) {
    int y = 0;
    while (y < image.height && image.at(0, y) != kCreatedBlack) ++y;
    return y;
  }

  testing::ScratchFolder scratch_;
  testing::ImportScene scene_;
};

TEST_F(DdsThumbnailTest, OnePixelPerBlockInTheTopLeftCorner) {
  const fixtures::Bc3BlockFields red{.alpha0 = 255, .alpha1 = 255, .colour0 = 0xF800};
  const platform::Image& full = Load(Write("full.dds", fixtures::MakeUniformDdsFile(2048, 2048, red)));
  EXPECT_EQ(full.at(0, 0), platform::PackRgba(255, 0, 0, 255));
  EXPECT_EQ(full.at(511, 511), platform::PackRgba(255, 0, 0, 255));

  const platform::Image& half = Load(Write("half.dds", fixtures::MakeUniformDdsFile(1024, 1024, red)));
  EXPECT_EQ(DrawnWidth(half, 0), 256);
  EXPECT_EQ(DrawnHeight(half), 256);

  // Block (x, y) lands on pixel (x, y); a 256 x 128 file gives 64 x 32 pixels.
  const platform::Image& wide = Load(WritePositions("wide.dds", 256, 128));
  EXPECT_EQ(wide.at(5, 0), PositionPixel(5));
  EXPECT_EQ(wide.at(63, 31), platform::PackRgba(0, 0, 0, 63));
  EXPECT_EQ(wide.at(64, 0), kCreatedBlack);
  EXPECT_EQ(wide.at(1, 32), kCreatedBlack);
}

TEST_F(DdsThumbnailTest, SizesDropTheirRemainderAndMustFitTheTexture) {
  const platform::Image& six = Load(WritePositions("six.dds", 6, 8));
  EXPECT_EQ(six.at(0, 1), platform::PackRgba(0, 0, 0, 0));
  EXPECT_EQ(six.at(1, 0), kCreatedBlack);
  EXPECT_EQ(six.at(0, 2), kCreatedBlack);

  const fixtures::Bc3BlockFields white{.alpha0 = 255, .alpha1 = 255, .colour0 = 0xFFFF};
  EXPECT_EQ(DrawnWidth(Load(Write("three.dds", fixtures::MakeUniformDdsFile(3, 64, white))), 0), 0);
  EXPECT_EQ(DrawnWidth(Load(Write("fits.dds", fixtures::MakeUniformDdsFile(2051, 8, white))), 1), 512);
  EXPECT_EQ(DrawnWidth(Load(Write("wide.dds", fixtures::MakeUniformDdsFile(2052, 8, white))), 0), 0);
  EXPECT_EQ(DrawnWidth(Load(Write("huge.dds", fixtures::MakeUniformDdsFile(16, 4096, white))), 0), 0);
}

TEST_F(DdsThumbnailTest, TruncatedFilesStopAtTheLastWholeBlock) {
  std::vector<uint8_t> bytes = fixtures::MakeDdsFile(64, 64, PositionBlock);  // 16 x 16 blocks
  bytes.resize(128 + (3 * 16 + 5) * 16 + 7);                                  // cut inside block 5 of row 3
  const platform::Image& cut = Load(Write("cut.dds", bytes));
  EXPECT_EQ(cut.at(15, 2), PositionPixel(15));
  EXPECT_EQ(cut.at(4, 3), PositionPixel(4));
  EXPECT_EQ(cut.at(5, 3), kCreatedBlack);
  EXPECT_EQ(cut.at(0, 4), kCreatedBlack);

  // Sizes that promise far more rows than the file holds.
  bytes = fixtures::MakeDdsFile(8, 8, PositionBlock);
  bytes[15] = 0x7F;  // height 0x7F000008
  const platform::Image& liar = Load(Write("liar.dds", bytes));
  EXPECT_EQ(liar.at(0, 0), kCreatedBlack);  // too many rows for the texture: nothing drawn
}

TEST_F(DdsThumbnailTest, UnreadableFilesLeaveTheTextureAsCreated) {
  const std::vector<uint8_t> header = fixtures::MakeDdsFile(16, 16, PositionBlock);
  std::vector<uint8_t> negative = header;
  for (size_t i = 12; i < 20; ++i) negative[i] = 0xFF;
  Write("empty.dds", {});
  Write("short.dds", std::vector<uint8_t>(header.begin(), header.begin() + 18));
  Write("header-only.dds", std::vector<uint8_t>(header.begin(), header.begin() + 100));
  Write("negative.dds", negative);
  std::vector<uint8_t> garbage(5000);
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>(i * 131 + 7);
  Write("garbage.dds", garbage);
  std::filesystem::create_directory(scratch_.Path() / "folder.dds");

  for (const std::string name : {"missing.dds", "empty.dds", "short.dds", "header-only.dds", "negative.dds",
                                 "folder.dds", "garbage.dds"}) {
    const platform::Image& picture = Load(scratch_.File(name));
    EXPECT_EQ(picture.at(0, 0), kCreatedBlack) << name;
    EXPECT_EQ(picture.at(511, 511), kCreatedBlack) << name;
  }
}

TEST_F(DdsThumbnailTest, PathsWithBackslashesAndOtherLetterCaseAreFound) {
  std::filesystem::create_directory(scratch_.Path() / "textures");
  ASSERT_TRUE(fixtures::WriteBytesFile((scratch_.Path() / "textures" / "all.dds").string(),
                                       fixtures::MakeDdsFile(64, 64, PositionBlock)));
  EXPECT_EQ(DrawnWidth(Load(scratch_.Path().string() + "\\Textures\\ALL.dds"), 1), 16);
}

TEST_F(DdsThumbnailTest, HandlesOneEventPerRowOfBlocks) {
  const std::string path = WritePositions("rows.dds", 64, 40);
  const int before = scene_.gui.NoWaitCalls();
  Load(path);
  EXPECT_EQ(scene_.gui.NoWaitCalls() - before, 10);
}

TEST_F(DdsThumbnailTest, TheProgressBarIsAtZeroWhileEachThumbnailIsDecoded) {
  const std::string path = WritePositions("rows.dds", 64, 40);
  std::vector<int> statesSeen;  // the bar at each row's event
  scene_.gui.SetPollHook(
      [&](platform::ScriptedGui& gui) { statesSeen.push_back(gui.GetGadgetState(kTextureProgressBar)); });
  for (int thumbnail = 0; thumbnail < 2; ++thumbnail) {
    statesSeen.clear();
    Load(path);  // leaves the bar at 100
    EXPECT_EQ(statesSeen, std::vector<int>(10, 0)) << thumbnail;
  }
}

}  // namespace
}  // namespace orelens::customblocks
