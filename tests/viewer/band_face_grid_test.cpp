// The band grid on its own: which rectangles a plane's faces become, and what each shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <tuple>
#include <vector>

#include "viewer/band_face_grid.h"

namespace orelens::viewer {
namespace {

using Rectangle = BandFaceGrid::Rectangle;
using Cell = std::tuple<int, int, int, int>;  // face, col, row, height

std::vector<Rectangle> TakeAll(BandFaceGrid& grid) {
  std::vector<Rectangle> all, plane;
  while (grid.TakeNextPlane(plane)) all.insert(all.end(), plane.begin(), plane.end());
  return all;
}

// Every cell the rectangles cover, with the material and layout it shows; a cell covered twice
// fails.
std::map<Cell, std::pair<int, int>> CellsOf(const std::vector<Rectangle>& rectangles) {
  std::map<Cell, std::pair<int, int>> cells;
  for (const Rectangle& r : rectangles)
    for (int col = r.col; col < r.col + r.cols; ++col)
      for (int row = r.row; row < r.row + r.rows; ++row)
        for (int height = r.height; height < r.height + r.heights; ++height)
          EXPECT_TRUE(cells.emplace(Cell{r.face, col, row, height}, std::pair{r.material, r.layout}).second)
              << col << " " << row;
  return cells;
}

auto AsTuple(const Rectangle& r) { return std::tuple(r.face, r.material, r.col, r.row, r.height, r.cols, r.rows, r.heights); }

TEST(BandFaceGrid, EachMaterialTakesTheWayWithFewerRectangles) {
  BandFaceGrid grid;
  // Tops at height 5. Material 7, an upside-down T: three rectangles along the rows, two across.
  for (const auto& [col, row] : {std::pair{1, 1}, {0, 2}, {1, 2}, {2, 2}}) ASSERT_TRUE(grid.Put(0, col, row, 5, 7));
  // Material 9 the T turned: two along, three across.
  for (const auto& [col, row] : {std::pair{12, 10}, {12, 11}, {12, 12}, {11, 11}}) ASSERT_TRUE(grid.Put(0, col, row, 5, 9));
  EXPECT_FALSE(grid.Put(0, 12, 11, 5, 9));  // that face is there already
  std::vector<Rectangle> taken = TakeAll(grid);
  std::vector<std::tuple<int, int, int, int, int, int, int, int>> got;
  for (const Rectangle& r : taken) got.push_back(AsTuple(r));
  std::sort(got.begin(), got.end());
  const std::vector<std::tuple<int, int, int, int, int, int, int, int>> expected = {
      {0, 7, 0, 2, 5, 3, 1, 1}, {0, 7, 1, 1, 5, 1, 1, 1}, {0, 9, 11, 11, 5, 1, 1, 1}, {0, 9, 12, 10, 5, 1, 3, 1}};
  EXPECT_EQ(got, expected);
  EXPECT_TRUE(TakeAll(grid).empty());

  // A whole plane of such Ts, 352 faces of one material: 264 rectangles along, 176 across.
  std::map<Cell, std::pair<int, int>> put;
  for (int col = 0; col < 32; ++col)
    for (int row = 0; row < 32; ++row)
      if ((row % 3 == 0 && col % 4 == 1) || (row % 3 == 1 && col % 4 < 3)) {
        ASSERT_TRUE(grid.Put(0, col, row, 5, 7));
        put[{0, col, row, 5}] = {7, 0};
      }
  taken = TakeAll(grid);
  EXPECT_EQ(taken.size(), 176u);
  EXPECT_EQ(CellsOf(taken), put);
}

TEST(BandFaceGrid, EveryFaceShowsTheMaterialAndLayoutItWasPutWith) {
  // Hundreds of materials, more than the grid keeps at hand, changing from face to face in every
  // direction, a material in two layouts; the grid emptied and filled again shows only the
  // second filling. The third fills whole planes of a few materials with holes, so that a
  // material's cells are many and turned at once.
  BandFaceGrid grid;
  for (int filling = 0; filling < 3; ++filling) {
    grid.Clear();
    std::map<Cell, std::pair<int, int>> put;
    const bool dense = filling == 2;
    for (int face = 0; face < 6; ++face)
      for (int col = 0; col < 32; col += dense ? 1 : 1 + face % 2)
        for (int row = 0; row < 32; row += dense ? 1 : 3)
          for (int height = face; height < 50; height += dense ? 9 : 7) {
            if (dense && (col * 5 + row * 3 + height) % 17 == 0) continue;
            const int material =
                dense ? 1 + (col / 16 + row / 8 + face) % 3 : 1 + (col * 7 + row * 3 + height + face * 64 + filling * 1000) % 300;
            const int layout = (col + row) % 5 == 0 ? 255 : 0;
            ASSERT_TRUE(grid.Put(face, col, row, height, material, layout));
            put[{face, col, row, height}] = {material, layout};
          }
    EXPECT_EQ(CellsOf(TakeAll(grid)), put);
  }
}

TEST(BandFaceGrid, ABandHoldsAtMost65535Materials) {
  BandFaceGrid grid;
  int material = 1;
  for (int face = 0; face < 6 && material <= 65535; ++face)
    for (int col = 0; col < 32 && material <= 65535; ++col)
      for (int row = 0; row < 32 && material <= 65535; ++row)
        for (int height = 0; height < 50 && material <= 65535; ++height) ASSERT_TRUE(grid.Put(face, col, row, height, material++));
  EXPECT_FALSE(grid.Put(5, 31, 31, 49, 65536));  // a new material: refused, nothing put
  EXPECT_TRUE(grid.Put(5, 31, 31, 49, 65535));
  EXPECT_EQ(TakeAll(grid).size(), 65536u);
  grid.Clear();  // forgets the materials
  EXPECT_TRUE(grid.Put(5, 31, 31, 49, 65536));
}

}  // namespace
}  // namespace orelens::viewer
