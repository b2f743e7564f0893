#include <gtest/gtest.h>

#include "platform/draw2d/drawing_session.h"
#include "platform/draw2d/font_library.h"

namespace orelens::platform {
namespace {

TEST(FontLibraryTest, PalatinoResolvesToItsMetricCompatibleFace) {
  FontLibrary fonts;
  ASSERT_TRUE(fonts.LoadFont(10, "Palatino Linotype", 16));
  const Font* font = fonts.Find(10);
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(font->resolvedFamily, "P052");
  EXPECT_NEAR(font->pixelSize, 16 * 96.0 / 72.0, 1e-9);
  EXPECT_TRUE(fonts.IsFont(10));
  EXPECT_FALSE(fonts.IsFont(11));
}

TEST(FontLibraryTest, FontsAreSelectedByNumberAndSizeChangesTheMetrics) {
  FontLibrary fonts;
  ASSERT_TRUE(fonts.LoadFont(0, "Palatino Linotype", 5));
  ASSERT_TRUE(fonts.LoadFont(1, "Palatino Linotype", 25));
  Image image(10, 10);
  DrawingSession drawing(&image, fonts);
  const int defaultHeight = drawing.TextHeight(" ");
  drawing.DrawingFont(0);
  const int small = drawing.TextHeight(" ");
  const int smallWidth = drawing.TextWidth("Kelvane");
  drawing.DrawingFont(1);
  const int large = drawing.TextHeight(" ");
  EXPECT_LT(small, large);
  EXPECT_LT(smallWidth, drawing.TextWidth("Kelvane"));
  drawing.DrawingFont(42);  // never loaded
  EXPECT_EQ(drawing.TextHeight(" "), defaultHeight);
  drawing.DrawingFont(1);
  fonts.FreeFont(1);
  EXPECT_EQ(drawing.TextHeight(" "), defaultHeight) << "a freed font falls back to the default";
}

TEST(FontLibraryTest, ReloadingReplacesAndBadRequestsFail) {
  FontLibrary fonts;
  ASSERT_TRUE(fonts.LoadFont(3, "Palatino Linotype", 10));
  const int before = fonts.Find(3)->lineHeight;
  ASSERT_TRUE(fonts.LoadFont(3, "Palatino Linotype", 30));
  EXPECT_GT(fonts.Find(3)->lineHeight, before);
  EXPECT_FALSE(fonts.LoadFont(4, "Palatino Linotype", 0));
  EXPECT_FALSE(fonts.LoadFont(4, "Palatino Linotype", -7));
  EXPECT_FALSE(fonts.IsFont(4));
  EXPECT_GT(fonts.DefaultFont().lineHeight, 0);
}

}  // namespace
}  // namespace orelens::platform
