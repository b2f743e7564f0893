#include "customblocks/dds_thumbnail.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "customblocks/import_scene.h"
#include "customblocks/scratch_folder.h"
#include "fixtures/dds_writer.h"

namespace orelens::customblocks {
namespace {

using testing::ImportScene;
using testing::ScratchFolder;

const uint32_t kCreatedBlack = platform::PackRgba(0, 0, 0, 255);

// Pure red (c0), full alpha: every decoded pixel is (255, 0, 0, 255).
const fixtures::Bc3BlockFields kRed{.alpha0 = 255, .alpha1 = 255, .colour0 = 0xF800, .colour1 = 0};
const uint32_t kRedPixel = platform::PackRgba(255, 0, 0, 255);

class DdsThumbnailTest : public ::testing::Test {
 protected:
  std::string WriteDds(const std::string& name, int width, int height) {
    const std::string path = scratch_.File(name);
    EXPECT_TRUE(fixtures::WriteBytesFile(path, fixtures::MakeUniformDdsFile(width, height, kRed)));
    return path;
  }
  const platform::Image& Picture(int texture) { return *scene_.engine->PBO_LockTexture(texture); }
  // Width and height of the red top-left area.
  std::pair<int, int> RedArea(int texture) {
    const platform::Image& image = Picture(texture);
    int width = 0, height = 0;
    while (width < image.width && image.at(width, 0) == kRedPixel) ++width;
    while (height < image.height && image.at(0, height) == kRedPixel) ++height;
    return {width, height};
  }

  ScratchFolder scratch_;
  ImportScene scene_;
};

TEST_F(DdsThumbnailTest, QuarterSizePictureInTheTopLeftCorner) {
  const int full = LoadDdsPreviewTexture(*scene_.engine, scene_.gui, WriteDds("full.dds", 2048, 2048));
  ASSERT_NE(full, 0);
  EXPECT_EQ(scene_.engine->PBO_TextureWidth(full), 512);
  EXPECT_EQ(RedArea(full), std::make_pair(512, 512));
  EXPECT_EQ(Picture(full).at(511, 511), kRedPixel);

  const int half = LoadDdsPreviewTexture(*scene_.engine, scene_.gui, WriteDds("half.dds", 1024, 1024));
  EXPECT_EQ(RedArea(half), std::make_pair(256, 256));
  EXPECT_EQ(Picture(half).at(256, 0), kCreatedBlack);
  EXPECT_EQ(Picture(half).at(0, 256), kCreatedBlack);
}

TEST_F(DdsThumbnailTest, PicturesLargerThanTheTextureAreNotDrawn) {
  const int tooWide = LoadDdsPreviewTexture(*scene_.engine, scene_.gui, WriteDds("wide.dds", 2052, 16));
  ASSERT_NE(tooWide, 0);
  EXPECT_EQ(Picture(tooWide).at(0, 0), kCreatedBlack);
  const int tooHigh = LoadDdsPreviewTexture(*scene_.engine, scene_.gui, WriteDds("high.dds", 16, 4096));
  EXPECT_EQ(Picture(tooHigh).at(0, 0), kCreatedBlack);
  const int justFits = LoadDdsPreviewTexture(*scene_.engine, scene_.gui, WriteDds("fits.dds", 2051, 8));
  EXPECT_EQ(RedArea(justFits), std::make_pair(512, 2));
}

TEST_F(DdsThumbnailTest, UnreadableFilesStillGiveTheCreatedTexture) {
  ASSERT_TRUE(fixtures::WriteBytesFile(scratch_.File("empty.dds"), {}));
  std::filesystem::create_directory(scratch_.Path() / "folder.dds");
  for (const std::string name : {"missing.dds", "empty.dds", "folder.dds"}) {
    const int texture = LoadDdsPreviewTexture(*scene_.engine, scene_.gui, scratch_.File(name));
    ASSERT_NE(texture, 0) << name;
    EXPECT_EQ(Picture(texture).at(0, 0), kCreatedBlack) << name;
    EXPECT_EQ(scene_.gui.GetGadgetState(kTextureProgressBar), 100);
  }
}

TEST_F(DdsThumbnailTest, PathsWithBackslashesAndOtherLetterCaseAreFound) {
  std::filesystem::create_directory(scratch_.Path() / "textures");
  ASSERT_TRUE(fixtures::WriteBytesFile((scratch_.Path() / "textures" / "all.dds").string(),
                                       fixtures::MakeUniformDdsFile(64, 64, kRed)));
  const int texture =
      LoadDdsPreviewTexture(*scene_.engine, scene_.gui, scratch_.Path().string() + "\\Textures\\ALL.dds");
  EXPECT_EQ(RedArea(texture), std::make_pair(16, 16));
}

TEST_F(DdsThumbnailTest, HandlesOneEventPerRowAndEndsWithTheBarFull) {
  const std::string path = WriteDds("rows.dds", 64, 40);  // 10 rows of blocks
  const int before = scene_.gui.NoWaitCalls();
  const int texture = LoadDdsPreviewTexture(*scene_.engine, scene_.gui, path);
  ASSERT_NE(texture, 0);
  EXPECT_EQ(scene_.gui.NoWaitCalls() - before, 10);
  EXPECT_EQ(scene_.gui.GetGadgetState(kTextureProgressBar), 100);
}

}  // namespace
}  // namespace orelens::customblocks
