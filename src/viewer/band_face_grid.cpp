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
// while the whole stretch is free and of that material; the plane both as stored and turned (its
// lines becoming cells), and for each material the way that needs fewer rectangles.
void BandFaceGrid::TakePlane(int face, int plane, std::vector<Rectangle>& rectangles) {
  const bool level = face < 2, alongRows = face == 2 || face == 3;
  const int lineCount = level ? kLineCells : kLines;
  uint64_t* stored = lines_.data() + (static_cast<size_t>(face) * kPlanes + static_cast<size_t>(plane)) * kLines;
  // The plane's cells as (line, cell), each a step through the direction's materials.
  const int32_t* materials = materials_.data() + static_cast<size_t>(face) * kCells +
                             (level ? CellIndex(0, 0, plane) : alongRows ? CellIndex(plane, 0, 0) : CellIndex(0, plane, 0));
  const size_t lineStep = level ? CellIndex(0, 1, 0) : 1;
  const size_t cellStep = alongRows ? CellIndex(0, 1, 0) : CellIndex(1, 0, 0);
  for (int line = 0; line < lineCount; ++line) {
    along_[line] = stored[line];
    stored[line] = 0;
  }
  auto sweep = [&](std::array<uint64_t, kLines> free, int lines, int cells, bool turned, std::vector<Run>& runs) {
    auto material = [&](int line, int cell) {
      if (turned) std::swap(line, cell);
      return materials[static_cast<size_t>(line) * lineStep + static_cast<size_t>(cell) * cellStep];
    };
    runs.clear();
    for (int line = 0; line < lines; ++line) {
      while (free[line] != 0) {
        const int first = std::countr_zero(free[line]);
        const int32_t shown = material(line, first);
        int end = first + 1;
        while (end < cells && ((free[line] >> end) & 1) != 0 && material(line, end) == shown) ++end;
        const uint64_t stretch = ((uint64_t{1} << (end - first)) - 1) << first;
        free[line] &= ~stretch;
        int next = line + 1;
        for (; next < lines && (free[next] & stretch) == stretch; ++next) {
          bool same = true;
          for (int cell = first; cell < end && same; ++cell) same = material(next, cell) == shown;
          if (!same) break;
          free[next] &= ~stretch;
        }
        // In the plane as stored: from (line, cell), `cells` along the line and `lines` across.
        runs.push_back(turned ? Run{first, line, next - line, end - first, shown}
                              : Run{line, first, end - first, next - line, shown});
      }
    }
  };
  sweep(along_, lineCount, kLineCells, false, runsAlong_);
  runsAcross_.clear();
  if (runsAlong_.size() > 1) {
    across_.fill(0);
    for (int line = 0; line < lineCount; ++line)
      for (uint64_t cells = along_[line]; cells != 0; cells &= cells - 1)
        across_[std::countr_zero(cells)] |= uint64_t{1} << line;
    sweep(across_, kLineCells, lineCount, true, runsAcross_);
  }
  // Per material: rectangles along minus rectangles across; turned where that is more.
  counts_.clear();
  auto countOf = [this](int32_t material) -> int& {
    for (auto& [known, count] : counts_)
      if (known == material) return count;
    return counts_.emplace_back(material, 0).second;
  };
  for (const Run& run : runsAlong_) ++countOf(run.material);
  for (const Run& run : runsAcross_) --countOf(run.material);

  auto take = [&](const Run& run) {
    Rectangle rectangle;
    rectangle.face = face;
    rectangle.material = run.material;
    if (level) {
      rectangle.height = plane;
      rectangle.row = run.line, rectangle.rows = run.lines;
      rectangle.col = run.cell, rectangle.cols = run.cells;
    } else if (alongRows) {
      rectangle.col = plane;
      rectangle.height = run.line, rectangle.heights = run.lines;
      rectangle.row = run.cell, rectangle.rows = run.cells;
    } else {
      rectangle.row = plane;
      rectangle.height = run.line, rectangle.heights = run.lines;
      rectangle.col = run.cell, rectangle.cols = run.cells;
    }
    rectangles.push_back(rectangle);
  };
  const bool anyTurned = !runsAcross_.empty();
  for (const Run& run : runsAlong_)
    if (!anyTurned || countOf(run.material) <= 0) take(run);
  for (const Run& run : runsAcross_)
    if (countOf(run.material) > 0) take(run);
}

}  // namespace orelens::viewer
