#include "viewer/band_face_grid.h"

#include <algorithm>
#include <bit>
#include <limits>

namespace orelens::viewer {

BandFaceGrid::BandFaceGrid() : lines_(size_t{6} * kPlanes * kLines), slots_(lines_.size() * kLineCells) {}

void BandFaceGrid::Clear() {
  for (int face = 0; face < 6; ++face) {
    for (uint64_t planes = touchedPlanes_[face]; planes != 0; planes &= planes - 1) {
      const size_t plane = static_cast<size_t>(face) * kPlanes + static_cast<size_t>(std::countr_zero(planes));
      std::fill_n(lines_.begin() + static_cast<std::ptrdiff_t>(plane * kLines), kLines, uint64_t{0});
    }
    touchedPlanes_[face] = 0;
  }
  materials_.clear();
  slotOf_.clear();
  recentMaterials_.fill({});
}

int BandFaceGrid::NoteMaterial(int material) {
  auto known = slotOf_.find(material);
  if (known == slotOf_.end()) {
    if (materials_.size() == kMaxMaterials) return -1;
    known = slotOf_.emplace(material, static_cast<int>(materials_.size())).first;
    materials_.push_back(material);
    if (placeOf_.size() < materials_.size()) placeOf_.push_back(-1);
  }
  recentMaterials_[RecentIndex(material)] = {material, known->second};
  return known->second;
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

// From the first free cell on: along its line as far as the cells are free, then over the next
// lines while the whole stretch is free.
int BandFaceGrid::Sweep(PlaneBits& free, int line, int endLine, bool turned, int limit, std::vector<Run>& runs) {
  int made = 0;
  for (; line < endLine; ++line) {
    while (free[line] != 0) {
      if (made == limit) return made;
      const int first = std::countr_zero(free[line]);
      const int cells = std::countr_one(free[line] >> first);  // at most 50: the shift below stays in range
      const uint64_t stretch = ((uint64_t{1} << cells) - 1) << first;
      free[line] &= ~stretch;
      int next = line + 1;
      for (; next < endLine && (free[next] & stretch) == stretch; ++next) free[next] &= ~stretch;
      // In the plane as stored: from (line, cell), `cells` along the line and `lines` across.
      runs.push_back(turned ? Run{first, line, next - line, cells} : Run{line, first, cells, next - line});
      ++made;
    }
  }
  return made;
}

// Each material's cells apart, swept along the lines and, where that needs more than two
// rectangles, across them (the plane turned, its lines becoming cells): the way that needs fewer
// rectangles, along on a tie.
void BandFaceGrid::TakePlane(int face, int plane, std::vector<Rectangle>& rectangles) {
  const bool level = face < 2, alongRows = face == 2 || face == 3;
  const int lineCount = level ? kLineCells : kLines;
  const size_t firstLine = (static_cast<size_t>(face) * kPlanes + static_cast<size_t>(plane)) * kLines;
  uint64_t* stored = lines_.data() + firstLine;
  const uint16_t* slots = slots_.data() + firstLine * kLineCells;
  shown_.clear();
  for (int line = 0; line < lineCount; ++line) {
    const uint16_t* lineSlots = slots + static_cast<size_t>(line) * kLineCells;
    for (uint64_t cells = stored[line]; cells != 0; cells &= cells - 1) {
      const int cell = std::countr_zero(cells);
      const uint16_t slot = lineSlots[cell];
      int& place = placeOf_[slot];
      if (place < 0) {
        place = static_cast<int>(shown_.size());
        shown_.push_back({slot, line, line, 0});
        if (cellsOf_.size() < shown_.size()) cellsOf_.emplace_back();
      }
      Shown& shown = shown_[static_cast<size_t>(place)];
      PlaneBits& shownCells = cellsOf_[static_cast<size_t>(place)];
      while (shown.endLine <= line) shownCells[static_cast<size_t>(shown.endLine++)] = 0;
      shownCells[static_cast<size_t>(line)] |= uint64_t{1} << cell;
      shown.cellsUsed |= uint64_t{1} << cell;
    }
    stored[line] = 0;
  }

  auto take = [&](const Run& run, int material) {
    Rectangle rectangle;
    rectangle.face = face;
    rectangle.material = material;
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
  for (size_t place = 0; place < shown_.size(); ++place) {
    const Shown& shown = shown_[place];
    placeOf_[shown.slot] = -1;
    const PlaneBits& cells = cellsOf_[place];
    std::copy(cells.begin() + shown.firstLine, cells.begin() + shown.endLine, free_.begin() + shown.firstLine);
    runsAlong_.clear();
    const int along =
        Sweep(free_, shown.firstLine, shown.endLine, false, std::numeric_limits<int>::max(), runsAlong_);
    const std::vector<Run>* runs = &runsAlong_;
    if (along > 2) {  // cells that one rectangle covers make one run along: two are not beaten
      const int firstCell = std::countr_zero(shown.cellsUsed), endCell = 64 - std::countl_zero(shown.cellsUsed);
      std::fill(across_.begin() + firstCell, across_.begin() + endCell, uint64_t{0});
      for (int line = shown.firstLine; line < shown.endLine; ++line)
        for (uint64_t lineCells = cells[static_cast<size_t>(line)]; lineCells != 0; lineCells &= lineCells - 1)
          across_[static_cast<size_t>(std::countr_zero(lineCells))] |= uint64_t{1} << line;
      runsAcross_.clear();
      if (Sweep(across_, firstCell, endCell, true, along, runsAcross_) < along) runs = &runsAcross_;
    }
    for (const Run& run : *runs) take(run, materials_[shown.slot]);
  }
}

}  // namespace orelens::viewer
