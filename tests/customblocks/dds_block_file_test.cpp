#include "customblocks/dds_block_file.h"

#include <gtest/gtest.h>

#include "customblocks/scratch_folder.h"
#include "fixtures/dds_writer.h"

namespace orelens::customblocks {
namespace {

using testing::ScratchFolder;

constexpr uint32_t kUntouched = 0x12345678;

// Block (x, y) carries x in its alpha0 and y in its alpha1, so every drawn pixel tells where it
// came from (alpha index 0 selects alpha0; the colour is black).
fixtures::Bc3BlockBytes PositionBlock(int x, int y) {
  return fixtures::MakeBc3Block({.alpha0 = static_cast<uint8_t>(x), .alpha1 = static_cast<uint8_t>(y)});
}

struct Drawn {
  platform::Image image{512, 512, kUntouched};
  int rowsCompleted = 0;
  bool opened = false;
};

Drawn DrawFile(const std::string& path) {
  Drawn drawn;
  auto file = DdsBlockFile::Open(path);
  if (!file) return drawn;
  drawn.opened = true;
  DrawDdsBlockRows(*file, drawn.image, [&] { ++drawn.rowsCompleted; });
  return drawn;
}

int DrawnWidth(const platform::Image& image, int y) {
  int x = 0;
  while (x < image.width && image.at(x, y) != kUntouched) ++x;
  return x;
}

TEST(DdsBlockFile, QuarterSizeGridFromHeader) {
  ScratchFolder scratch;
  const std::string path = scratch.File("wide.dds");
  ASSERT_TRUE(fixtures::WriteBytesFile(path, fixtures::MakeDdsFile(256, 128, PositionBlock)));
  Drawn drawn = DrawFile(path);
  ASSERT_TRUE(drawn.opened);
  EXPECT_EQ(drawn.rowsCompleted, 32);
  EXPECT_EQ(DrawnWidth(drawn.image, 0), 64);
  EXPECT_EQ(DrawnWidth(drawn.image, 31), 64);
  EXPECT_EQ(drawn.image.at(0, 32), kUntouched);
  EXPECT_EQ(drawn.image.at(63, 31), platform::PackRgba(0, 0, 0, 63));
  EXPECT_EQ(drawn.image.at(5, 0), platform::PackRgba(0, 0, 0, 5));
}

TEST(DdsBlockFile, OddAndTinyWidthsDropTheRemainder) {
  ScratchFolder scratch;
  const std::string six = scratch.File("six.dds");
  ASSERT_TRUE(fixtures::WriteBytesFile(six, fixtures::MakeDdsFile(6, 8, PositionBlock)));
  Drawn drawn = DrawFile(six);
  EXPECT_EQ(DrawnWidth(drawn.image, 0), 1);
  EXPECT_EQ(DrawnWidth(drawn.image, 1), 1);
  EXPECT_EQ(drawn.image.at(0, 2), kUntouched);

  const std::string three = scratch.File("three.dds");
  ASSERT_TRUE(fixtures::WriteBytesFile(three, fixtures::MakeDdsFile(3, 64, PositionBlock)));
  drawn = DrawFile(three);
  EXPECT_EQ(drawn.rowsCompleted, 0);
  EXPECT_EQ(drawn.image.at(0, 0), kUntouched);
}

TEST(DdsBlockFile, TruncatedFilesStopAtTheLastWholeBlock) {
  ScratchFolder scratch;
  std::vector<uint8_t> bytes = fixtures::MakeDdsFile(64, 64, PositionBlock);  // 16 x 16 blocks
  // Cut in the middle of block 5 of row 3.
  bytes.resize(128 + (3 * 16 + 5) * 16 + 7);
  const std::string path = scratch.File("cut.dds");
  ASSERT_TRUE(fixtures::WriteBytesFile(path, bytes));
  Drawn drawn = DrawFile(path);
  ASSERT_TRUE(drawn.opened);
  EXPECT_EQ(drawn.rowsCompleted, 3);
  EXPECT_EQ(DrawnWidth(drawn.image, 2), 16);
  EXPECT_EQ(DrawnWidth(drawn.image, 3), 5);
  EXPECT_EQ(drawn.image.at(0, 4), kUntouched);
}

TEST(DdsBlockFile, HeadersThatEndEarlyOrLieDrawNothing) {
  ScratchFolder scratch;
  const std::vector<uint8_t> full = fixtures::MakeDdsFile(16, 16, PositionBlock);

  // Ends inside the size fields: not a file to draw from.
  const std::string tiny = scratch.File("tiny.dds");
  ASSERT_TRUE(fixtures::WriteBytesFile(tiny, std::vector<uint8_t>(full.begin(), full.begin() + 18)));
  EXPECT_FALSE(DrawFile(tiny).opened);

  // Sizes present, blocks missing.
  const std::string headerOnly = scratch.File("header.dds");
  ASSERT_TRUE(fixtures::WriteBytesFile(headerOnly, std::vector<uint8_t>(full.begin(), full.begin() + 100)));
  Drawn drawn = DrawFile(headerOnly);
  EXPECT_TRUE(drawn.opened);
  EXPECT_EQ(drawn.rowsCompleted, 0);
  EXPECT_EQ(drawn.image.at(0, 0), kUntouched);

  // Negative height and width.
  std::vector<uint8_t> negative = full;
  for (size_t i = 12; i < 20; ++i) negative[i] = 0xFF;
  const std::string negativePath = scratch.File("negative.dds");
  ASSERT_TRUE(fixtures::WriteBytesFile(negativePath, negative));
  drawn = DrawFile(negativePath);
  EXPECT_EQ(drawn.rowsCompleted, 0);
  EXPECT_EQ(drawn.image.at(0, 0), kUntouched);

  // A folder and a missing file.
  EXPECT_FALSE(DrawFile(scratch.Path().string()).opened);
  EXPECT_FALSE(DrawFile(scratch.File("missing.dds")).opened);
}

TEST(DdsBlockFile, HugeSizesPromiseRowsTheFileDoesNotHave) {
  ScratchFolder scratch;
  std::vector<uint8_t> bytes = fixtures::MakeDdsFile(8, 8, PositionBlock);
  // Claims 2044 x 2147483644 pixels but holds 4 blocks.
  const uint32_t height = 0x7FFFFFFC;
  const uint32_t width = 2044;
  for (int i = 0; i < 4; ++i) {
    bytes[12 + i] = static_cast<uint8_t>(height >> (8 * i));
    bytes[16 + i] = static_cast<uint8_t>(width >> (8 * i));
  }
  const std::string path = scratch.File("liar.dds");
  ASSERT_TRUE(fixtures::WriteBytesFile(path, bytes));
  auto file = DdsBlockFile::Open(path);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->BlocksPerRow(), 511);
  platform::Image image(512, 512, kUntouched);
  int rows = 0;
  DrawDdsBlockRows(*file, image, [&] { ++rows; });
  EXPECT_EQ(rows, 0);
  EXPECT_EQ(DrawnWidth(image, 0), 4);
  EXPECT_EQ(image.at(0, 1), kUntouched);
}

}  // namespace
}  // namespace orelens::customblocks
