#pragma once

// The cube faces of one height band, gathered by direction and plane so that side-by-side faces
// of one material can be drawn as rectangles: grown along a line of cells, then over as many of
// the next lines as are whole beside it, the way greedy voxel meshers grow them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

namespace orelens::viewer {

class BandFaceGrid {
 public:
  // `cols` x `heights` x `rows` cells from (col, height, row): copies of face `face`, drawn in
  // the layout its faces were put with.
  struct Rectangle {
    int face = 0;
    int col = 0, height = 0, row = 0;
    int cols = 1, heights = 1, rows = 1;
    int material = 0;
    int layout = 0;
  };

  BandFaceGrid();

  // Face 0..5 in face-mask order (top, bottom, -X, +X, +Z, -Z) of the cell at col and row 0..31
  // and height 0..49 within the band, showing `material` (nonzero) in `layout` (0..255, the
  // caller's: faces of different layouts never share a rectangle). A cell holds one face per
  // direction: false, and nothing put, when it holds one already (or when the band holds
  // 65,535 material and layout pairs and this one is new).
  bool Put(int face, int col, int row, int height, int material, int layout = 0) {
    const int slot = SlotOf(material, layout);
    return slot >= 0 && PutInSlot(face, col, row, height, slot);
  }
  // The slot of `material` in `layout` until the grid is emptied, -1 when the band holds 65,535
  // material and layout pairs and this one is new; a caller that puts many faces of one material
  // looks it up once and puts them with PutInSlot.
  int SlotOf(int material, int layout = 0) {
    const MaterialKey key = KeyOf(material, layout);
    const KnownMaterial& known = recentMaterials_[RecentIndex(key)];
    return known.key == key ? known.slot : NoteMaterial(key);
  }
  [[gnu::always_inline]] bool PutInSlot(int face, int col, int row, int height, int slot) {
    const bool level = face < 2;
    const int plane = level ? height : face < 4 ? col : row;
    const size_t planeIndex = static_cast<size_t>(face) * kPlanes + static_cast<size_t>(plane);
    const int line = level ? row : height;
    const int cell = face == 2 || face == 3 ? row : col;
    const uint64_t bit = uint64_t{1} << cell;
    uint64_t& stored = lines_[planeIndex * kLines + static_cast<size_t>(line)];
    if ((stored & bit) != 0) return false;
    stored |= bit;
    planeFaces_[planeIndex].push_back(static_cast<uint32_t>(slot) | static_cast<uint32_t>(line) << 16 |
                                      static_cast<uint32_t>(cell) << 24);
    touchedPlanes_[face] |= uint64_t{1} << plane;
    return true;
  }
  // The rectangles of the next plane that holds faces, in `rectangles` (which it empties first),
  // and that plane emptied; false when the grid is empty. A plane is at most 32 x 50 faces, so
  // a caller can stop between planes and go on later.
  bool TakeNextPlane(std::vector<Rectangle>& rectangles);
  // Empties the grid and forgets its materials.
  void Clear();

 private:
  // Per direction the cells lie in planes across it, each plane in lines of up to 32 cells (top
  // and bottom: a line per row, sides: a line per height).
  static constexpr int kPlanes = 50, kLines = 50, kLineCells = 32;
  static constexpr size_t kMaxMaterials = 0xFFFF;
  static constexpr size_t kRecentMaterials = 64;
  // A material in a layout, as the grid tells them apart.
  using MaterialKey = uint64_t;
  static MaterialKey KeyOf(int material, int layout) {
    return static_cast<uint32_t>(material) | static_cast<MaterialKey>(static_cast<uint8_t>(layout)) << 32;
  }
  static size_t RecentIndex(MaterialKey key) {
    const auto bits = static_cast<uint32_t>(key) ^ static_cast<uint32_t>(key >> 29);
    return (bits ^ (bits >> 6) ^ (bits >> 24)) % kRecentMaterials;
  }
  using PlaneBits = std::array<uint64_t, kLines>;  // a bit per cell of each line
  struct KnownMaterial {
    MaterialKey key = 0;  // 0: none
    int slot = 0;
  };
  struct Run {  // a rectangle in a plane as stored: from (line, cell), `cells` along and `lines` across
    int line, cell, cells, lines;
  };

  int NoteMaterial(MaterialKey key);  // its slot, -1 when there is no room for another
  void TakePlane(int face, int plane, std::vector<Rectangle>& rectangles);
  // Rectangles over the cells of `free` (which it empties) in lines `line` up to `endLine`,
  // appended to `runs`; stops once it has made `limit`. Returns how many it made.
  static int Sweep(std::span<uint64_t> free, int line, int endLine, bool turned, int limit, std::vector<Run>& runs);

  std::array<uint64_t, 6> touchedPlanes_{};  // per direction, a bit per plane
  std::vector<uint64_t> lines_;              // per direction, plane and line: a bit per cell (32)
  // Per direction and plane, its faces in the order put: slot, line << 16 and cell << 24. A band's
  // faces are written one after another this way, not spread over a grid of every cell.
  std::vector<std::vector<uint32_t>> planeFaces_;
  // The band's materials in their layouts by slot; one is looked up in the map only when it is
  // not the one last seen at its place in recentMaterials_.
  std::vector<MaterialKey> materials_;
  std::unordered_map<MaterialKey, int> slotOf_;
  std::array<KnownMaterial, kRecentMaterials> recentMaterials_{};
  // Taking a plane: the cells of each material it shows, in the order the materials first come.
  struct Shown {
    uint16_t slot;
    int firstLine, endLine;  // the lines that hold its cells
    uint64_t cellsUsed;      // the cells it holds in any line
    int cellCount;
  };
  std::vector<int> placeOf_;  // by slot: where in shown_ and cellsOf_, -1 not in the plane
  std::vector<Shown> shown_;
  std::vector<PlaneBits> cellsOf_;  // all zero but for a plane being taken
  PlaneBits free_{};
  // The cells of a material turned: a bit per line in a word per cell. Turned a bit at a time,
  // or, for more than this many cells, all 64 x 64 bits at once.
  static constexpr int kCellsWorthATranspose = 192;
  std::array<uint64_t, 64> across_{};
  std::vector<Run> runsAlong_, runsAcross_;
};

}  // namespace orelens::viewer
