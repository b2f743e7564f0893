#include "viewer/band_face_grid.h"

#include <algorithm>
#include <bit>

namespace orelens::viewer {

BandFaceGrid::BandFaceGrid() : lines_(size_t{6} * kPlanes * kLines), materials_(6 * kCells) {}

void BandFaceGrid::Clear() {
  for (int face = 0; face < 6; ++face) {
    for (uint64_t planes = touchedPlanes_[face]; planes != 0; planes &= planes - 1) {
      const size_t plane = static_cast<size_t>(face) * kPlanes + static_cast<size_t>(std::countr_zero(planes));
      std::fill_n(lines_.begin() + static_cast<std::ptrdiff_t>(plane * kLines), kLines, uint64_t{0});
    }
    touchedPlanes_[face] = 0;
  }
}

bool BandFaceGrid::TakeNextPlane(std::vector<Rectangle>& rectangles) {
  rectangles.clear();
  for (int face = 0; face < 6; ++face) {
    if (touchedPlanes_[face] == 0) continue;
    const int plane = std::countr_zero(touchedPlanes_[face]);
    touchedPlanes_[face] &= touchedPlanes_[face] - 1;
    TakePlane(face, plane, rectangles);
    return true;
  }
  return false;
}

// From the first free cell on: along its line while the material holds, then over the next lines
// while the whole stretch is free and of that material.
void BandFaceGrid::TakePlane(int face, int plane, std::vector<Rectangle>& rectangles) {
  const bool level = face < 2, alongRows = face == 2 || face == 3;
  const int lineCount = level ? 32 : kLines;
  uint64_t* lines = lines_.data() + (static_cast<size_t>(face) * kPlanes + static_cast<size_t>(plane)) * kLines;
  // The plane's cells as (line, cell), each a step through the direction's materials.
  const int32_t* materials = materials_.data() + static_cast<size_t>(face) * kCells +
                             (level ? CellIndex(0, 0, plane) : alongRows ? CellIndex(plane, 0, 0) : CellIndex(0, plane, 0));
  const size_t lineStep = level ? CellIndex(0, 1, 0) : 1;
  const size_t cellStep = alongRows ? CellIndex(0, 1, 0) : CellIndex(1, 0, 0);
  auto material = [=](int line, int cell) {
    return materials[static_cast<size_t>(line) * lineStep + static_cast<size_t>(cell) * cellStep];
  };
  for (int line = 0; line < lineCount; ++line) {
    while (lines[line] != 0) {
      const int first = std::countr_zero(lines[line]);
      const int32_t shown = material(line, first);
      int end = first + 1;
      while (end < kLineCells && ((lines[line] >> end) & 1) != 0 && material(line, end) == shown) ++end;
      const uint64_t stretch = ((uint64_t{1} << (end - first)) - 1) << first;
      lines[line] &= ~stretch;
      int next = line + 1;
      for (; next < lineCount && (lines[next] & stretch) == stretch; ++next) {
        bool same = true;
        for (int cell = first; cell < end && same; ++cell) same = material(next, cell) == shown;
        if (!same) break;
        lines[next] &= ~stretch;
      }
      Rectangle rectangle;
      rectangle.face = face;
      rectangle.material = shown;
      if (level) {
        rectangle.height = plane;
        rectangle.row = line, rectangle.rows = next - line;
        rectangle.col = first, rectangle.cols = end - first;
      } else if (alongRows) {
        rectangle.col = plane;
        rectangle.height = line, rectangle.heights = next - line;
        rectangle.row = first, rectangle.rows = end - first;
      } else {
        rectangle.row = plane;
        rectangle.height = line, rectangle.heights = next - line;
        rectangle.col = first, rectangle.cols = end - first;
      }
      rectangles.push_back(rectangle);
    }
  }
}

}  // namespace orelens::viewer
