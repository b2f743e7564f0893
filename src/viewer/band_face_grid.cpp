#include "viewer/band_face_grid.h"

#include <algorithm>
#include <bit>
#include <limits>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orelens::viewer {
namespace {

// A bit for each of a line's 32 cells whose slot is `slot` (stale slots of empty cells included).
uint64_t CellsWithSlot(const uint16_t* lineSlots, uint16_t slot) {
#if defined(__SSE2__)
  const __m128i wanted = _mm_set1_epi16(static_cast<short>(slot));
  uint64_t cells = 0;
  for (int quarter = 0; quarter < 4; ++quarter) {
    const __m128i eight = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lineSlots + quarter * 8));
    const __m128i equal = _mm_packs_epi16(_mm_cmpeq_epi16(eight, wanted), _mm_setzero_si128());
    cells |= static_cast<uint64_t>(_mm_movemask_epi8(equal) & 0xFF) << (quarter * 8);
  }
  return cells;
#else
  uint64_t cells = 0;
  for (int cell = 0; cell < 32; ++cell) cells |= static_cast<uint64_t>(lineSlots[cell] == slot) << cell;
  return cells;
#endif
}

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

}  // namespace

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
  uint64_t* stored = lines_.data() + firstLine;
  const uint16_t* slots = slots_.data() + firstLine * kLineCells;
  shown_.clear();
  for (int line = 0; line < lineCount; ++line) {
    const uint16_t* lineSlots = slots + static_cast<size_t>(line) * kLineCells;
    // A material at a time: a line mostly shows one or two.
    for (uint64_t cells = stored[line]; cells != 0;) {
      const uint16_t slot = lineSlots[std::countr_zero(cells)];
      const uint64_t same = CellsWithSlot(lineSlots, slot) & cells;
      cells &= ~same;
      int& place = placeOf_[slot];
      if (place < 0) {
        place = static_cast<int>(shown_.size());
        shown_.push_back({slot, line, line, 0});
        if (cellsOf_.size() < shown_.size()) cellsOf_.emplace_back();
      }
      Shown& shown = shown_[static_cast<size_t>(place)];
      PlaneBits& shownCells = cellsOf_[static_cast<size_t>(place)];
      while (shown.endLine <= line) shownCells[static_cast<size_t>(shown.endLine++)] = 0;
      shownCells[static_cast<size_t>(line)] |= same;
      shown.cellsUsed |= same;
    }
    stored[line] = 0;
  }

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
    const PlaneBits& cells = cellsOf_[place];
    std::copy(cells.begin() + shown.firstLine, cells.begin() + shown.endLine, free_.begin() + shown.firstLine);
    runsAlong_.clear();
    const int along =
        Sweep(free_, shown.firstLine, shown.endLine, false, std::numeric_limits<int>::max(), runsAlong_);
    const std::vector<Run>* runs = &runsAlong_;
    if (along > 2) {  // cells that one rectangle covers make one run along: two are not beaten
      const int firstCell = std::countr_zero(shown.cellsUsed), endCell = 64 - std::countl_zero(shown.cellsUsed);
      if ((shown.endLine - shown.firstLine) * (endCell - firstCell) > kCellsWorthATranspose) {
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
  }
}

}  // namespace orelens::viewer
