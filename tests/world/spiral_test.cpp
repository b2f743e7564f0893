#include "world/spiral.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace orelens::world {
namespace {

std::pair<int, int> Cell(int64_t n) {
  return {SpiralIndexToX(n), SpiralIndexToZ(n)};
}

TEST(Spiral, FirstTwentyFiveIndicesGoRoundTheCentre) {
  const std::pair<int, int> expected[] = {{0, 0},   {1, 0},  {1, 1},  {0, 1},  {-1, 1}, {-1, 0},  {-1, -1},
                                          {0, -1},  {1, -1}, {2, -1}, {2, 0},  {2, 1},  {2, 2},   {1, 2},
                                          {0, 2},   {-1, 2}, {-2, 2}, {-2, 1}, {-2, 0}, {-2, -1}, {-2, -2},
                                          {-1, -2}, {0, -2}, {1, -2}, {2, -2}};
  for (int n = 1; n <= 25; ++n) EXPECT_EQ(Cell(n), expected[n - 1]) << "index " << n;
}

TEST(Spiral, IndexZeroRepeatsTheCellOfIndexEight) {
  EXPECT_EQ(Cell(0), std::make_pair(0, -1));
  EXPECT_EQ(Cell(0), Cell(8));
}

TEST(Spiral, EveryRingCoversItsSquareOnce) {
  for (int k = 1; k <= 12; ++k) {
    std::set<std::pair<int, int>> cells;
    for (int64_t n = (2 * k - 1) * (2 * k - 1) + 1; n <= (2 * k + 1) * (2 * k + 1); ++n) {
      const auto cell = Cell(n);
      EXPECT_EQ(std::max(std::abs(cell.first), std::abs(cell.second)), k) << "index " << n;
      cells.insert(cell);
    }
    EXPECT_EQ(cells.size(), static_cast<size_t>(8 * k));
    EXPECT_EQ(Cell((2 * k - 1) * (2 * k - 1) + 1), std::make_pair(k, -k + 1));
  }
}

}  // namespace
}  // namespace orelens::world
