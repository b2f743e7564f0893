#include "viewer/hud_text.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/image/image.h"

namespace orelens::viewer {
namespace {

using platform::PackRgba;

TEST(HudTextTest, CameraCoordinatesHaveOneDecimalRoundedToTheNearestTenth) {
  EXPECT_EQ(FormatTenths(12.5f), "12.5");
  EXPECT_EQ(FormatTenths(-0.3f), "-0.3");
  EXPECT_EQ(FormatTenths(0.0f), "0.0");
  EXPECT_EQ(FormatTenths(-0.0f), "0.0");
  EXPECT_EQ(FormatTenths(-0.04f), "-0.0");
  EXPECT_EQ(FormatTenths(7.0f), "7.0");
  EXPECT_EQ(FormatTenths(1234.56f), "1234.6");
  EXPECT_EQ(FormatTenths(-99.94f), "-99.9");
  // 0.25 is exact in binary: a true tie, which goes to the even tenth.
  EXPECT_EQ(FormatTenths(0.25f), "0.2");
  EXPECT_EQ(FormatTenths(0.75f), "0.8");
}

TEST(HudTextTest, BrowseModeShowsCountWorldPositionInGameAxisOrderAndChunk) {
  HudFacts facts;
  facts.mode = 0;
  facts.chunkId = -1;
  facts.chunksDisplayed = 0;
  facts.worldName = "My Great World";
  facts.cameraX = 10.04f;
  facts.cameraY = 100.0f;  // up
  facts.cameraZ = -20.26f;
  const auto lines = HudLinesFor(facts);
  ASSERT_EQ(lines.size(), 3u);
  const uint32_t grey = PackRgba(200, 200, 200, 255);
  EXPECT_EQ(lines[0].y, 30);
  EXPECT_EQ(lines[0].rgba, grey);
  EXPECT_EQ(lines[0].text, "0 Chunks displaying of 'My Great World'");
  EXPECT_EQ(lines[1].y, 50);
  EXPECT_EQ(lines[1].text, "Position: X=10.0m Y=-20.3m z=100.0m ");
  EXPECT_EQ(lines[2].y, 70);
  EXPECT_EQ(lines[2].text, "Currently within Chunk ID -1");
}

TEST(HudTextTest, EachModeHasItsLinesAndColours) {
  HudFacts facts;
  facts.mode = -1;
  auto lines = HudLinesFor(facts);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].text, "Click into world to rotate view.");
  EXPECT_EQ(lines[0].y, 10);
  EXPECT_EQ(lines[1].text, "WASD To move, hold Shift For fast move.");

  facts.mode = 1;
  lines = HudLinesFor(facts);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1].text, "Press Enter to generate schematic file of selected block.");
  EXPECT_EQ(lines[1].rgba, PackRgba(50, 200, 50, 255));
  EXPECT_EQ(lines[2].rgba, PackRgba(255, 150, 0, 255));

  facts.mode = 2;
  lines = HudLinesFor(facts);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1].text, "Press Enter to update position (nothing will be written to your world yet)");
  EXPECT_EQ(lines[2].text, "Press ctrl+S to write changes to the world.");
  for (const auto& line : lines) EXPECT_EQ(line.rgba, PackRgba(255, 255, 255, 255));

  facts.mode = 3;
  lines = HudLinesFor(facts);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].text, "Drag the Block to move, Shift Drag to resize.");
  EXPECT_EQ(lines[1].text, "Press ENTER to confirm selection and continue.");
  EXPECT_EQ(lines[2].text, "Press ESC to discard this selection.");
}

TEST(HudTextTest, PausedLineComesFirstAndUnknownModesDrawNothingElse) {
  HudFacts facts;
  facts.loadingPaused = true;
  facts.mode = -1;
  auto lines = HudLinesFor(facts);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].text, "Chunkloading paused");
  EXPECT_EQ(lines[0].y, 10);
  EXPECT_EQ(lines[0].rgba, PackRgba(255, 255, 0, 255));
  EXPECT_EQ(lines[1].y, 10);  // drawn over the paused line

  facts.mode = 7;
  lines = HudLinesFor(facts);
  ASSERT_EQ(lines.size(), 1u);
  facts.loadingPaused = false;
  EXPECT_TRUE(HudLinesFor(facts).empty());
}

}  // namespace
}  // namespace orelens::viewer
