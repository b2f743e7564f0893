#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "world/block_kind_table.h"
#include "world/block_record.h"
#include "world/chunk_record.h"

namespace orelens::world {

inline constexpr int kHeightBandCount = 16;
inline constexpr int kHeightBandSize = 50;

// One list of visible blocks per height band of 50 heights (band = height / 50).
using HeightBandLists = std::array<std::vector<BlockRecord>, kHeightBandCount>;

// The block planes a walk looks at: the chunk's own and its four side neighbours', each
// 819,200 bytes laid out col + 32 * row + 1024 * height. A neighbour that was not read is all air.
struct ChunkPlanes {
  std::span<const uint8_t> chunk;
  std::span<const uint8_t> minusX;  // the chunk at x - 16
  std::span<const uint8_t> plusX;   // the chunk at x + 16
  std::span<const uint8_t> plusZ;   // the chunk at z + 16
  std::span<const uint8_t> minusZ;  // the chunk at z - 16
};

// The height range a walk covers (inclusive).
struct HeightRange {
  int lo = 0;
  int hi = kChunkHeight - 1;
};

// Works out which blocks of a chunk can be seen and which of their faces to draw, one height band
// at a time so that a band's data stays in the cache. Each (height, row) line of 32 cells becomes
// bit lines, one bit per column, from one table look-up per cell that yields the cell's class bits
// already in place; the faces of a whole line are then a few bit operations, and the face masks
// of eight cells come out of the face lines at once. A band's visible cells are turned into
// columns of heights by transposing 32 x 32 bit blocks, so records come out in walk order (column,
// row, height); only a band of more than one type, or with extras, is sorted, by type in one
// counting pass. One object per loader thread, which reuses its scratch space.
class BlockWalker {
 public:
  explicit BlockWalker(const BlockKindTable& kinds);

  // Fills `bands` (emptied first) with a record for every visible block of `range`, each band
  // sorted by extra value, then block type, then column, row and height. A range reaching outside
  // 0..799 is cut to the plane; a plane of the wrong size counts as all air.
  // `extra` is the custom block id of a type-66 cell and the rotation of a mesh-block cell, when
  // the record lists one for the cell; every other block carries 0.
  void Walk(const ChunkPlanes& planes, HeightRange range, const CellValueMap& rotations,
            const CellValueMap& customIds, HeightBandLists& bands);

 private:
  // The cells of one line of 32 by class, one bit per cell.
  struct ClassLines {
    uint32_t opaque = 0;  // opaque cubes
    uint32_t cube = 0;    // cubes of either kind, opaque or alpha
    uint32_t drawn = 0;   // blocks drawn whatever their neighbours
  };
  // The lines of the four neighbours' cells that face the chunk, at one height.
  struct EdgeLines {
    ClassLines minusX, plusX;  // bit = row
    ClassLines plusZ, minusZ;  // bit = col
  };

  static ClassLines LinesOf(uint64_t classes);
  void MarkLines(std::span<const uint8_t> plane, int first, int last);
  void MarkNeighbourEdges(const ChunkPlanes& planes, int first, int last);
  void MarkFaces(int first, int last, int lo, int hi);
  size_t MarkBandColumns(int first, int last);
  void CollectBand(std::span<const uint8_t> plane, int first, int last, const CellValueMap& rotations,
                   const CellValueMap& customIds, std::vector<BlockRecord>& records);
  void SortBand(std::vector<BlockRecord>& records, size_t negativeExtras);
  int32_t ExtraOf(uint8_t type, int col, int row, int height, const CellValueMap& rotations,
                  const CellValueMap& customIds) const;

  BlockKindTable kinds_;
  // Class bits of each block type at each of the 32 places of a line, a table per place: a type's
  // entry holds bit `place` for a cube and bit 32 + place for a see-through block (see LinesOf).
  std::vector<uint64_t> placedClasses_;
  std::array<uint64_t, 256> lineClasses_{};  // the same for a line of 32 cells of one type
  std::array<uint8_t, 256> recordFlags_{};   // whole-block face bit, and whether an extra is looked up
  std::vector<uint8_t> airPlane_;            // stands in for a plane of the wrong size
  // Scratch, per (height, row) line: its cells by class; and for the band being walked, the cells
  // that give a record, the neighbours' edges per height and the face mask of each visible cube,
  // laid out like the band's part of the plane. Kept to a band, they stay in the cache.
  std::vector<ClassLines> lines_;
  std::vector<uint32_t> visibleLines_;
  std::vector<EdgeLines> edges_;
  std::vector<uint8_t> cellMasks_;
  // One band's visible cells by column of cells: bit h - first of entry col * 32 + row.
  std::array<uint64_t, kChunkColumns * kChunkRows> bandColumns_{};
  std::vector<BlockRecord> sortScratch_;
  std::vector<uint64_t> extraKeys_;  // records with an extra other than 0, by extra and place
};

}  // namespace orelens::world
