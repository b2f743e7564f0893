#include <gtest/gtest.h>

#include <string>

#include "platform/draw2d/drawing_session.h"
#include "platform/draw2d/font_library.h"
#include "platform/text/utf8_text.h"

namespace orelens::platform {
namespace {

constexpr uint32_t kOpaqueBlue = PackRgba(0, 0, 255, 255);
constexpr uint32_t kRed = PackRgba(255, 0, 0, 255);

class DrawingTest : public ::testing::Test {
 protected:
  FontLibrary fonts;
};

// Counts the pixels of a rectangle whose value satisfies `test`.
template <typename Test>
int CountPixels(const Image& image, int x0, int y0, int x1, int y1, Test test) {
  int count = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      if (test(image.at(x, y))) ++count;
  return count;
}

TEST_F(DrawingTest, BoxReplacesCoveredPixelsAndIsClippedToThePicture) {
  Image image(8, 8, kOpaqueBlue);
  {
    DrawingSession drawing(&image, fonts);
    drawing.Box(6, -3, 10, 5, PackRgba(10, 20, 30, 40));
    drawing.Box(2, 6, -2, -1, kRed);  // negative sizes reach left and up: (0..1, 5)
  }
  EXPECT_EQ(image.at(6, 0), PackRgba(10, 20, 30, 40));
  EXPECT_EQ(image.at(7, 1), PackRgba(10, 20, 30, 40));
  EXPECT_EQ(image.at(5, 0), kOpaqueBlue);
  EXPECT_EQ(image.at(6, 2), kOpaqueBlue);
  EXPECT_EQ(image.at(0, 5), kRed);
  EXPECT_EQ(image.at(1, 5), kRed);
  EXPECT_EQ(image.at(2, 5), kOpaqueBlue);
  EXPECT_EQ(image.at(0, 6), kOpaqueBlue);
}

TEST_F(DrawingTest, AlphaChannelModeWritesOnlyAlpha) {
  Image image(10, 10, PackRgba(11, 22, 33, 255));
  DrawingSession drawing(&image, fonts);
  drawing.DrawingMode(kDrawAlphaChannel);
  drawing.Box(0, 0, 10, 10, PackRgba(200, 200, 200, 0));
  EXPECT_EQ(image.at(4, 4), PackRgba(11, 22, 33, 0));
  drawing.Plot(1, 1, PackRgba(0, 0, 0, 77));
  EXPECT_EQ(image.at(1, 1), PackRgba(11, 22, 33, 77));
  drawing.RoundBox(0, 0, 10, 10, 3, 3, PackRgba(0, 0, 0, 255));
  EXPECT_EQ(image.at(5, 5), PackRgba(11, 22, 33, 255));
  EXPECT_LT(AlphaOf(image.at(0, 0)), 16u) << "the curved corner leaves the pixel (almost) alone";
  EXPECT_EQ(image.at(0, 0) & 0xFFFFFF, PackRgba(11, 22, 33, 0));
}

TEST_F(DrawingTest, AlphaBlendIsSourceOverWithTheColoursAlpha) {
  Image image(4, 1);
  image.at(0, 0) = kOpaqueBlue;
  image.at(1, 0) = PackRgba(0, 0, 0, 0);
  image.at(2, 0) = PackRgba(0, 0, 0, 0);
  image.at(3, 0) = PackRgba(0, 255, 0, 128);
  DrawingSession drawing(&image, fonts);
  drawing.DrawingMode(kDrawAlphaBlend | kDrawTransparent);
  drawing.Box(0, 0, 4, 1, PackRgba(255, 0, 0, 128));
  drawing.DrawingMode(kDrawAlphaBlend);
  drawing.Plot(2, 0, PackRgba(0, 0, 0, 100));

  const uint32_t overOpaque = image.at(0, 0);
  EXPECT_NEAR(RedOf(overOpaque), 128, 1);
  EXPECT_NEAR(BlueOf(overOpaque), 127, 1);
  EXPECT_EQ(AlphaOf(overOpaque), 255u);
  EXPECT_EQ(image.at(1, 0), PackRgba(255, 0, 0, 128)) << "over nothing the colour stays as it is";
  // Red 128 over a transparent black pixel, then black 100 over that.
  const uint32_t twice = image.at(2, 0);
  EXPECT_NEAR(AlphaOf(twice), 128 + 100 - 128 * 100 / 255, 1);
  EXPECT_NEAR(RedOf(twice), 255.0 * 128 * 155 / 255 / (128 * 155 / 255.0 + 100), 1);
  // Half-transparent red over half-transparent green.
  const uint32_t mixed = image.at(3, 0);
  EXPECT_NEAR(AlphaOf(mixed), 192, 1);
  EXPECT_NEAR(RedOf(mixed), 170, 1);
  EXPECT_NEAR(GreenOf(mixed), 85, 1);
}

TEST_F(DrawingTest, OutlinedBoxesTouchOnlyTheirEdge) {
  Image image(20, 12, 0);
  DrawingSession drawing(&image, fonts);
  drawing.DrawingMode(kDrawOutlined);
  drawing.Box(2, 2, 10, 6, kRed);
  EXPECT_EQ(CountPixels(image, 0, 0, 20, 12, [](uint32_t p) { return p == kRed; }), 2 * 10 + 2 * 4);
  EXPECT_EQ(image.at(2, 2), kRed);
  EXPECT_EQ(image.at(11, 7), kRed);
  EXPECT_EQ(image.at(3, 3), 0u);
  EXPECT_EQ(image.at(12, 2), 0u);

  Image panel(60, 30, PackRgba(9, 9, 9, 0));
  DrawingSession panelDrawing(&panel, fonts);
  panelDrawing.DrawingMode(kDrawAlphaChannel | kDrawOutlined);
  panelDrawing.RoundBox(0, 0, 60, 30, 10, 10, PackRgba(0, 0, 0, 255));
  EXPECT_EQ(AlphaOf(panel.at(30, 0)), 255u);
  EXPECT_EQ(AlphaOf(panel.at(30, 29)), 255u);
  EXPECT_EQ(AlphaOf(panel.at(0, 15)), 255u);
  EXPECT_EQ(AlphaOf(panel.at(59, 15)), 255u);
  EXPECT_EQ(AlphaOf(panel.at(0, 0)), 0u) << "the corner is curved";
  auto touched = [](uint32_t p) { return AlphaOf(p) != 0; };
  EXPECT_EQ(CountPixels(panel, 10, 1, 50, 29, touched), 0) << "inside untouched between the corners";
  EXPECT_EQ(CountPixels(panel, 1, 10, 59, 20, touched), 0);
  EXPECT_EQ(CountPixels(panel, 4, 4, 7, 7, touched), 0) << "inside the curve of a corner";
  EXPECT_GT(AlphaOf(panel.at(3, 3)), 0u) << "on the curve of a corner";
  EXPECT_EQ(CountPixels(panel, 0, 0, 60, 30, [](uint32_t p) { return (p & 0xFFFFFF) != 0x090909; }), 0)
      << "colour channels untouched";
}

TEST_F(DrawingTest, FilledRoundBoxCoversTheInsideAndRoundsTheCorners) {
  Image image(24, 16, 0);
  DrawingSession drawing(&image, fonts);
  drawing.RoundBox(0, 0, 24, 16, 4, 4, PackRgba(0, 200, 0, 255));
  EXPECT_EQ(image.at(12, 8), PackRgba(0, 200, 0, 255));
  EXPECT_EQ(image.at(12, 0), PackRgba(0, 200, 0, 255));
  EXPECT_EQ(image.at(0, 8), PackRgba(0, 200, 0, 255));
  EXPECT_EQ(image.at(0, 0), 0u);
  EXPECT_EQ(image.at(23, 15), 0u);
  EXPECT_GT(AlphaOf(image.at(1, 1)), 0u) << "the curve's edge is smoothed, not cut";
}

TEST_F(DrawingTest, TextLandsInItsRowsInTheFrontColourOnTheBackColour) {
  Image image(200, 60, PackRgba(0, 0, 0, 0));
  DrawingSession drawing(&image, fonts);
  const int height = drawing.TextHeight(" ");
  ASSERT_GT(height, 5);
  const int end = drawing.DrawText(10, 20, "Hello World", PackRgba(255, 255, 0, 255), PackRgba(0, 0, 80, 255));
  const int width = drawing.TextWidth("Hello World");
  EXPECT_EQ(end, 10 + width);
  EXPECT_GT(width, 30);

  // Glyph edges are smoothed; count the pixels that are mostly the front colour.
  auto isYellow = [](uint32_t p) { return RedOf(p) > 150 && GreenOf(p) > 150 && BlueOf(p) < 60 && AlphaOf(p) == 255; };
  EXPECT_GT(CountPixels(image, 10, 20, 10 + width, 20 + height, isYellow), 20);
  EXPECT_EQ(CountPixels(image, 0, 0, 200, 20, [](uint32_t p) { return p != 0; }), 0) << "nothing above the text";
  EXPECT_EQ(CountPixels(image, 0, 20 + height, 200, 60, [](uint32_t p) { return p != 0; }), 0) << "nothing below";
  EXPECT_EQ(image.at(10, 20), PackRgba(0, 0, 80, 255)) << "the text's box gets the back colour";
  EXPECT_EQ(image.at(9, 20), 0u);
}

TEST_F(DrawingTest, TransparentTextLeavesItsBackgroundAndBlendsWithTheColoursAlpha) {
  Image image(200, 40, PackRgba(0, 0, 0, 100));
  DrawingSession drawing(&image, fonts);
  drawing.DrawingMode(kDrawAlphaBlend | kDrawTransparent);
  drawing.DrawText(10, 10, "Chunkloading paused", PackRgba(255, 255, 255, 255));
  const int height = drawing.TextHeight(" ");
  EXPECT_GT(CountPixels(image, 10, 10, 190, 10 + height, [](uint32_t p) { return RedOf(p) > 150 && AlphaOf(p) > 200; }),
            20);
  EXPECT_EQ(image.at(10, 10), PackRgba(0, 0, 0, 100));
  EXPECT_EQ(CountPixels(image, 0, 10 + height, 200, 40, [](uint32_t p) { return p != PackRgba(0, 0, 0, 100); }), 0);
}

TEST_F(DrawingTest, DrawImagePlotsEachPixelInTheCurrentMode) {
  Image source(2, 2, PackRgba(255, 0, 0, 128));
  Image target(3, 3, kOpaqueBlue);
  DrawingSession drawing(&target, fonts);
  drawing.DrawImage(source, 2, -1);
  EXPECT_EQ(target.at(2, 0), PackRgba(255, 0, 0, 128));
  EXPECT_EQ(target.at(2, 1), kOpaqueBlue);
  drawing.DrawingMode(kDrawAlphaBlend);
  drawing.DrawImage(source, 0, 1);
  EXPECT_NEAR(RedOf(target.at(1, 2)), 128, 1);
  EXPECT_EQ(AlphaOf(target.at(1, 2)), 255u);
}

TEST_F(DrawingTest, SessionOnNothingDoesNothingAndStopRunsOnce) {
  int stops = 0;
  {
    DrawingSession drawing(nullptr, fonts, [&] { ++stops; });
    EXPECT_FALSE(drawing.Started());
    drawing.Box(0, 0, 10, 10, kRed);
    drawing.DrawText(0, 0, "x");
    EXPECT_EQ(drawing.Point(0, 0), 0u);
    drawing.Stop();
  }
  EXPECT_EQ(stops, 1);

  Image broken;
  broken.width = 100;
  broken.height = 100;  // no pixels behind the size
  DrawingSession onBroken(&broken, fonts);
  EXPECT_FALSE(onBroken.Started());
  onBroken.Box(0, 0, 100, 100, kRed);
  EXPECT_TRUE(broken.pixels.empty());
}

TEST_F(DrawingTest, ExtremeCoordinatesAndBadTextAreHarmless) {
  Image image(16, 16, 0);
  DrawingSession drawing(&image, fonts);
  drawing.Box(INT32_MAX - 1, INT32_MAX - 1, INT32_MAX, INT32_MAX, kRed);
  drawing.Box(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, kRed);
  drawing.RoundBox(INT32_MIN, 0, INT32_MAX, 16, INT32_MAX, INT32_MIN, kRed);
  drawing.Plot(-1, 5, kRed);
  drawing.Plot(16, 5, kRed);
  drawing.DrawText(INT32_MAX - 5, INT32_MAX - 5, "far away");
  drawing.DrawText(0, 0, std::string("\xFF\xC3\x28\xE2\x82 ok \xF0\x9F\x98"));
  drawing.DrawText(-1000, 0, std::string(5000, 'W'));
  EXPECT_GT(drawing.TextWidth("\xC3\x28"), 0) << "bad bytes measure as replacement characters";
  EXPECT_EQ(ValidUtf8("a\xC3\xA9\xED\xA0\x80"), "a\xC3\xA9\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

}  // namespace
}  // namespace orelens::platform
