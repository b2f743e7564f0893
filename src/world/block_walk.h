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

// Works out which blocks of a chunk can be seen and which of their faces to draw.
// Each (height, row) line of 32 cells is turned into bit lines, one bit per column, eight cells
// at a time from one table look-up per cell; the faces of a whole line are then a few bit
// operations, and the face masks of eight cells come out of the face lines at once. Records come
// out in walk order (column, row, height), so sorting them needs only a stable pass by type and,
// when extras differ, by extra. One object per loader thread, which reuses its scratch space.
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
  struct ClassLines {
    uint32_t opaque = 0, alpha = 0, drawn = 0, whole = 0;
  };
  ClassLines ClassLinesOf(const uint8_t* line) const;
  void MarkLines(std::span<const uint8_t> plane, int lo, int hi);
  void MarkNeighbourEdges(const ChunkPlanes& planes, int lo, int hi);
  void MarkFaces(int lo, int hi);
  void CollectBand(std::span<const uint8_t> plane, int first, int last, const CellValueMap& rotations,
                   const CellValueMap& customIds, std::vector<BlockRecord>& records);
  void SortBand(std::vector<BlockRecord>& records);
  int32_t ExtraOf(uint8_t type, int col, int row, int height, const CellValueMap& rotations,
                  const CellValueMap& customIds) const;

  BlockKindTable kinds_;
  std::array<uint8_t, 256> classes_{};     // CellClass bits of each block type
  std::array<bool, 256> mayCarryExtra_{};  // custom blocks and mesh blocks
  std::vector<uint8_t> airPlane_;          // stands in for a plane of the wrong size
  // Scratch, one bit per column, per (height, row) line: cells of each class, and cells that
  // give a record.
  std::vector<uint32_t> opaqueLines_;
  std::vector<uint32_t> alphaLines_;
  std::vector<uint32_t> drawnLines_;
  std::vector<uint32_t> wholeLines_;
  std::vector<uint32_t> visibleLines_;
  std::vector<uint8_t> cellMasks_;  // face mask of each visible cell, laid out like the plane
  std::vector<BlockRecord> sortScratch_;
  std::array<uint64_t, kChunkColumns * kChunkRows> bandColumns_{};  // one band's visible cells by column
  // Opaque cells of the neighbours' facing edges, per height: bit = row (X sides) or col (Z sides).
  std::vector<uint32_t> edgeMinusX_, edgePlusX_, edgePlusZ_, edgeMinusZ_;
  // The same edges for cubes of either kind (opaque or alpha), which hide an alpha cube's faces.
  std::vector<uint32_t> cubeEdgeMinusX_, cubeEdgePlusX_, cubeEdgePlusZ_, cubeEdgeMinusZ_;
};

}  // namespace orelens::world
