#include "viewer/band_face_grid.h"

#include <algorithm>
#include <bit>
#include <limits>

namespace orelens::viewer {
namespace {

// Bit c of row r becomes bit r of row c, in a few dozen word operations per row pair: halves,
// then quarters and so on, of each row are swapped with those of the row that far away.
void TransposeBits(std::array<uint64_t, 64>& rows) {
  uint64_t lowHalves = 0x00000000FFFFFFFFu;
  for (int distance = 32; distance != 0; distance >>= 1, lowHalves ^= lowHalves << distance) {
    for (int low = 0; low < 64; low = ((low | distance) + 1) & ~distance) {
      const int high = low | distance;
      const uint64_t swapped = ((rows[low] >> distance) ^ rows[high]) & lowHalves;
      rows[low] ^= swapped << distance;
      rows[high] ^= swapped;
    }
  }
}

// The fewest rectangles that can cover the cells of lines `line` up to `endLine`: the one that
// covers a cell with none before it across the lines starts at that line, and one rectangle can
// cover such cells only within a single stretch of its line.
int FewestRectangles(std::span<const uint64_t> cells, int line, int endLine) {
  int fewest = 0;
  uint64_t before = 0;
  for (; line < endLine; before = cells[line], ++line) {
    for (uint64_t rest = cells[line]; rest != 0;) {
      const int first = std::countr_zero(rest);
      const uint64_t stretch = rest & ~(rest + (uint64_t{1} << first));  // the first stretch of rest
      if ((stretch & ~before) != 0) ++fewest;
      rest &= ~stretch;
    }
  }
  return fewest;
}

}  // namespace

BandFaceGrid::BandFaceGrid() : lines_(size_t{6} * kPlanes * kLines), planeFaces_(size_t{6} * kPlanes) {}

void BandFaceGrid::Clear() {
  for (int face = 0; face < 6; ++face) {
    for (uint64_t planes = touchedPlanes_[face]; planes != 0; planes &= planes - 1) {
      const size_t plane = static_cast<size_t>(face) * kPlanes + static_cast<size_t>(std::countr_zero(planes));
      std::fill_n(lines_.begin() + static_cast<std::ptrdiff_t>(plane * kLines), kLines, uint64_t{0});
      planeFaces_[plane].clear();
    }
    touchedPlanes_[face] = 0;
  }
  materials_.clear();
  slotOf_.clear();
  recentMaterials_.fill({});
}

int BandFaceGrid::NoteMaterial(MaterialKey key) {
  auto known = slotOf_.find(key);
  if (known == slotOf_.end()) {
    if (materials_.size() == kMaxMaterials) return -1;
    known = slotOf_.emplace(key, static_cast<int>(materials_.size())).first;
    materials_.push_back(key);
    if (placeOf_.size() < materials_.size()) placeOf_.push_back(-1);
  }
  recentMaterials_[RecentIndex(key)] = {key, known->second};
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
int BandFaceGrid::Sweep(std::span<uint64_t> free, int line, int endLine, bool turned, int limit, std::vector<Run>& runs) {
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
  std::fill_n(lines_.begin() + static_cast<std::ptrdiff_t>(firstLine), lineCount, uint64_t{0});
  std::vector<uint32_t>& faces = planeFaces_[firstLine / kLines];
  shown_.clear();
  // Faces of one material mostly come one after another: a run of them at a time.
  for (size_t next = 0; next < faces.size();) {
    const auto slot = static_cast<uint16_t>(faces[next]);
    int& place = placeOf_[slot];
    if (place < 0) {
      place = static_cast<int>(shown_.size());
      shown_.push_back({slot, kLines, 0, 0, 0});
      if (cellsOf_.size() < shown_.size()) cellsOf_.emplace_back();  // zeroed; emptied again below
    }
    Shown& shown = shown_[static_cast<size_t>(place)];
    PlaneBits& cells = cellsOf_[static_cast<size_t>(place)];
    int firstLine = shown.firstLine, endLine = shown.endLine;
    const size_t runStart = next;
    uint64_t cellsUsed = shown.cellsUsed;
    for (; next < faces.size() && static_cast<uint16_t>(faces[next]) == slot; ++next) {
      const int line = static_cast<int>(faces[next] >> 16 & 0xFF);
      const uint64_t bit = uint64_t{1} << (faces[next] >> 24);
      cells[static_cast<size_t>(line)] |= bit;
      cellsUsed |= bit;
      firstLine = std::min(firstLine, line);
      endLine = std::max(endLine, line + 1);
    }
    shown.firstLine = firstLine;
    shown.endLine = endLine;
    shown.cellsUsed = cellsUsed;
    shown.cellCount += static_cast<int>(next - runStart);
  }
  faces.clear();

  auto take = [&](const Run& run, MaterialKey key) {
    Rectangle rectangle;
    rectangle.face = face;
    rectangle.material = static_cast<int>(static_cast<uint32_t>(key));
    rectangle.layout = static_cast<int>(key >> 32);
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
    PlaneBits& cells = cellsOf_[place];
    if (shown.cellCount == 1) {  // nothing to sweep
      take(Run{shown.firstLine, std::countr_zero(shown.cellsUsed), 1, 1}, materials_[shown.slot]);
      cells[static_cast<size_t>(shown.firstLine)] = 0;
      continue;
    }
    std::copy(cells.begin() + shown.firstLine, cells.begin() + shown.endLine, free_.begin() + shown.firstLine);
    runsAlong_.clear();
    const int along =
        Sweep(free_, shown.firstLine, shown.endLine, false, std::numeric_limits<int>::max(), runsAlong_);
    const std::vector<Run>* runs = &runsAlong_;
    // Cells that one rectangle covers make one run along, so two are not beaten; nor is a count
    // that no cover of the cells goes below.
    if (along > 2 && FewestRectangles(cells, shown.firstLine, shown.endLine) < along) {
      const int firstCell = std::countr_zero(shown.cellsUsed), endCell = 64 - std::countl_zero(shown.cellsUsed);
      if (shown.cellCount > kCellsWorthATranspose) {
        std::fill(across_.begin(), across_.end(), uint64_t{0});
        std::copy(cells.begin() + shown.firstLine, cells.begin() + shown.endLine, across_.begin() + shown.firstLine);
        TransposeBits(across_);
      } else {
        std::fill(across_.begin() + firstCell, across_.begin() + endCell, uint64_t{0});
        for (int line = shown.firstLine; line < shown.endLine; ++line)
          for (uint64_t lineCells = cells[static_cast<size_t>(line)]; lineCells != 0; lineCells &= lineCells - 1)
            across_[static_cast<size_t>(std::countr_zero(lineCells))] |= uint64_t{1} << line;
      }
      runsAcross_.clear();
      if (Sweep(across_, firstCell, endCell, true, along, runsAcross_) < along) runs = &runsAcross_;
    }
    for (const Run& run : *runs) take(run, materials_[shown.slot]);
    std::fill(cells.begin() + shown.firstLine, cells.begin() + shown.endLine, uint64_t{0});
  }
}

}  // namespace orelens::viewer
