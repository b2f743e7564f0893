#pragma once

// The cube faces of one height band, gathered by direction and plane so that side-by-side faces
// of one material can be drawn as rectangles: grown along a line of cells, then over as many of
// the next lines as are whole beside it, the way greedy voxel meshers grow them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace orelens::viewer {

class BandFaceGrid {
 public:
  // `cols` x `heights` x `rows` cells from (col, height, row): copies of face `face`.
  struct Rectangle {
    int face = 0;
    int col = 0, height = 0, row = 0;
    int cols = 1, heights = 1, rows = 1;
    int material = 0;
  };

  BandFaceGrid();

  // Face 0..5 in face-mask order (top, bottom, -X, +X, +Z, -Z) of the cell at col and row 0..31
  // and height 0..49 within the band, showing `material` (nonzero). A cell holds one face per
  // direction: false, and nothing put, when it holds one already.
  bool Put(int face, int col, int row, int height, int material) {
    const bool level = face < 2;
    const int plane = level ? height : face < 4 ? col : row;
    uint64_t& cells = lines_[(static_cast<size_t>(face) * kPlanes + static_cast<size_t>(plane)) * kLines +
                             static_cast<size_t>(level ? row : height)];
    const uint64_t bit = uint64_t{1} << (face == 2 || face == 3 ? row : col);
    if ((cells & bit) != 0) return false;
    cells |= bit;
    // By cell in the walk's order (column, row, height), in which the faces come.
    materials_[static_cast<size_t>(face) * kCells + CellIndex(col, row, height)] = material;
    touchedPlanes_[face] |= uint64_t{1} << plane;
    return true;
  }
  // The rectangles of the next plane that holds faces, in `rectangles` (which it empties first),
  // and that plane emptied; false when the grid is empty. A plane is at most 32 x 50 faces, so
  // a caller can stop between planes and go on later.
  bool TakeNextPlane(std::vector<Rectangle>& rectangles);
  void Clear();

 private:
  // Per direction the cells lie in planes across it, each plane in lines of up to 32 cells (top
  // and bottom: a line per row, sides: a line per height).
  static constexpr int kPlanes = 50, kLines = 50, kLineCells = 32, kHeights = 50;
  static constexpr size_t kCells = size_t{32} * 32 * kHeights;
  static size_t CellIndex(int col, int row, int height) {
    return (static_cast<size_t>(col) * 32 + static_cast<size_t>(row)) * kHeights + static_cast<size_t>(height);
  }
  struct Run {  // a rectangle in a plane as stored: from (line, cell), `cells` along and `lines` across
    int line, cell, cells, lines;
    int32_t material;
  };
  void TakePlane(int face, int plane, std::vector<Rectangle>& rectangles);

  std::array<uint64_t, 6> touchedPlanes_{};  // per direction, a bit per plane
  std::vector<uint64_t> lines_;              // per direction, plane and line: a bit per cell (32)
  std::vector<int32_t> materials_;           // per direction and cell
  std::array<uint64_t, kLines> along_{}, across_{};  // one plane's lines, and the plane turned
  std::vector<Run> runsAlong_, runsAcross_;
  std::vector<std::pair<int32_t, int>> counts_;  // per material of a plane
};

}  // namespace orelens::viewer
