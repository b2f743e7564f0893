#include <gtest/gtest.h>

#include <string>

#include "block_definitions_test_support.h"
#include "platform/draw2d/drawing_session.h"

namespace orelens::viewer {
namespace {

using platform::Image;

// Rows of text drawn from y = `top` in steps of `rowHeight`: which rows hold ink, and how far right.
struct InkRows {
  std::vector<bool> inked;
  std::vector<int> rightmost;
};

InkRows ScanRows(const Image& image, int top, int rowHeight, int rows, uint32_t background) {
  InkRows result{std::vector<bool>(rows, false), std::vector<int>(rows, -1)};
  for (int row = 0; row < rows; ++row) {
    for (int y = top + row * rowHeight; y < top + (row + 1) * rowHeight && y < image.height; ++y) {
      for (int x = 0; x < image.width; ++x) {
        if (image.at(x, y) != background) {
          result.inked[row] = true;
          result.rightmost[row] = std::max(result.rightmost[row], x);
        }
      }
    }
  }
  return result;
}

TEST(DrawWrappedTextTest, SplitsAtLineBreaksIntoRowsOfFourteenCharacters) {
  platform::FontLibrary fonts;
  Image image(400, 200, 0);
  platform::DrawingSession drawing(&image, fonts);
  drawing.DrawingMode(platform::kDrawTransparent);
  const int rowHeight = drawing.TextHeight(" ");
  const int fourteen = drawing.TextWidth("MMMMMMMMMMMMMM");
  DrawWrappedText(drawing, 2, 3, "abc\r\n\r\nMMMMMMMMMMMMMMMMMMMMMMMMMMMMMM");

  const InkRows rows = ScanRows(image, 3, rowHeight, 6, 0);
  EXPECT_EQ(rows.inked, (std::vector<bool>{true, true, true, true, false, false}))
      << "an empty line takes no room; 30 characters take rows of 14, 14 and 2";
  EXPECT_LT(rows.rightmost[0], 2 + fourteen / 2);
  EXPECT_GT(rows.rightmost[1], 2 + fourteen * 3 / 4);
  EXPECT_LE(rows.rightmost[1], 2 + fourteen + 2);
  EXPECT_LT(rows.rightmost[3], 2 + fourteen / 4);
}

TEST(DrawWrappedTextTest, CountsCharactersNotBytes) {
  platform::FontLibrary fonts;
  Image image(400, 100, 0);
  platform::DrawingSession drawing(&image, fonts);
  drawing.DrawingMode(platform::kDrawTransparent);
  const int rowHeight = drawing.TextHeight(" ");
  std::string umlauts;
  for (int i = 0; i < 15; ++i) umlauts += "\xC3\x9C";  // 15 characters, 30 bytes
  DrawWrappedText(drawing, 0, 0, umlauts);
  const InkRows rows = ScanRows(image, 0, rowHeight, 3, 0);
  EXPECT_EQ(rows.inked, (std::vector<bool>{true, true, false}));
}

TEST(BlockPlaceholderTest, AMissingTextureGetsANamedPlaceholderWithoutAMessage) {
  testing::BlockDefinitionsWorld world;
  const std::string missing = "textures_that_went_missing.png";  // 30 characters
  ASSERT_EQ(missing.size(), 30u);
  world.WriteXml("<Blocks><Block id=\"1\" texture0=\"" + missing + "\">Lost</Block></Blocks>");
  world.Load();
  EXPECT_EQ(world.gui.MessageBoxCount(), 0u);
  const Image* placeholder = world.FaceTexture(world.blocks.definitions[1].faceMaterials[0]);
  ASSERT_NE(placeholder, nullptr);
  ASSERT_EQ(placeholder->width, 128);
  ASSERT_EQ(placeholder->height, 128);

  Image scratch(1, 1);
  platform::DrawingSession measure(&scratch, world.fonts);
  const int rowHeight = measure.TextHeight(" ");
  // "Texture missing:" is 16 characters: rows of 14 and 2, then the name in rows of 14, 14 and 2.
  const InkRows rows = ScanRows(*placeholder, 1, rowHeight, 6, platform::PackRgba(0, 0, 0, 255));
  EXPECT_EQ(rows.inked, (std::vector<bool>{true, true, true, true, true, false}));
  int white = 0;
  for (uint32_t pixel : placeholder->pixels) {
    white += platform::RedOf(pixel) > 200 && platform::GreenOf(pixel) > 200 && platform::BlueOf(pixel) > 200;
  }
  EXPECT_GT(white, 40) << "the text is drawn in the default front colour";
}

}  // namespace
}  // namespace orelens::viewer
