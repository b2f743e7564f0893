#include "viewer/navigation_math.h"

#include <gtest/gtest.h>

namespace orelens::viewer {
namespace {

TEST(NavigationMathTest, DragSpeedFollowsTheHalvedBoxDistance) {
  EXPECT_EQ(DragSpeedForDistance(0), 80);
  const int expected[] = {100, 50, 30, 20, 20, 10, 10, 10, 10, 10, 5, 5};
  for (int d = 1; d <= 12; ++d) EXPECT_EQ(DragSpeedForDistance(d), expected[d - 1]) << d;
  EXPECT_EQ(DragSpeedForDistance(1000), 5);
}

TEST(NavigationMathTest, HoverIndexPrefersZThenXAndFallsBackToTheBottomFace) {
  EXPECT_EQ(HoverIndexForNormal(0, 1), 3);
  EXPECT_EQ(HoverIndexForNormal(1, -1), 4);
  EXPECT_EQ(HoverIndexForNormal(1, 0), 2);
  EXPECT_EQ(HoverIndexForNormal(-1, 0), 1);
  EXPECT_EQ(HoverIndexForNormal(0, 0), 0);  // top or bottom face
}

TEST(NavigationMathTest, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(NearestEven(2.5), 2);
  EXPECT_EQ(NearestEven(3.5), 4);
  EXPECT_EQ(NearestEven(-2.5), -2);
  EXPECT_EQ(NearestEven(2.4999), 2);
  EXPECT_EQ(DistanceToPoint(0, 0, 0, 3, 4, 0), 5);
  EXPECT_EQ(DistanceToPoint(0, 0, 0, 1.5, 0, 2), 2);  // 2.5 -> 2
}

}  // namespace
}  // namespace orelens::viewer
