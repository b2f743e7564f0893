#pragma once

// The block walk as it stood before masks were built eight cells at a time (commit 0dbe1af),
// kept only so that the benchmark can time today's walk against it side by side in one run.
// Not used by the program; its output is the same, which block_walk_output_test holds.

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "world/block_walk.h"

namespace orelens::bench_before {

using namespace orelens::world;

class WalkerBefore {
 public:
  explicit WalkerBefore(const BlockKindTable& kinds);
  void Walk(const ChunkPlanes& planes, HeightRange range, const CellValueMap& rotations,
            const CellValueMap& customIds, HeightBandLists& bands);

 private:
  void MarkOpaqueLines(std::span<const uint8_t> plane, int lo, int hi);
  void MarkNeighbourEdges(const ChunkPlanes& planes, int lo, int hi);
  void SortBand(std::vector<BlockRecord>& records);
  int32_t ExtraOf(uint8_t type, int col, int row, int height, const CellValueMap& rotations,
                  const CellValueMap& customIds) const;

  BlockKindTable kinds_;
  std::array<bool, 256> opaque_{};
  std::array<bool, 256> alphaCube_{};
  std::array<bool, 256> drawnWhole_{};
  std::vector<uint8_t> airPlane_;
  std::vector<uint32_t> opaqueLines_;
  std::vector<uint32_t> alphaLines_;
  std::vector<uint32_t> drawnLines_;
  std::vector<uint32_t> visibleLines_;
  std::vector<uint8_t> cellMasks_;
  std::vector<BlockRecord> sortScratch_;
  std::array<uint64_t, kChunkColumns * kChunkRows> bandColumns_{};
  std::vector<uint32_t> edgeMinusX_, edgePlusX_, edgePlusZ_, edgeMinusZ_;
  std::vector<uint32_t> cubeEdgeMinusX_, cubeEdgePlusX_, cubeEdgePlusZ_, cubeEdgeMinusZ_;
};

namespace {

constexpr int kLineCount = kChunkHeight * kChunkRows;  // one line = the 32 columns of a (height, row)

size_t CellIndex(int col, int row, int height) {
  return static_cast<size_t>(col) + 32u * static_cast<size_t>(row) + 1024u * static_cast<size_t>(height);
}

bool Bit(uint32_t bits, int index) {
  return ((bits >> index) & 1u) != 0;
}

}  // namespace

inline WalkerBefore::WalkerBefore(const BlockKindTable& kinds)
    : kinds_(kinds),
      airPlane_(kBlockPlaneSize, kBlockAir),
      opaqueLines_(kLineCount),
      alphaLines_(kLineCount),
      drawnLines_(kLineCount),
      visibleLines_(kLineCount),
      cellMasks_(kBlockPlaneSize),
      edgeMinusX_(kChunkHeight),
      edgePlusX_(kChunkHeight),
      edgePlusZ_(kChunkHeight),
      edgeMinusZ_(kChunkHeight),
      cubeEdgeMinusX_(kChunkHeight),
      cubeEdgePlusX_(kChunkHeight),
      cubeEdgePlusZ_(kChunkHeight),
      cubeEdgeMinusZ_(kChunkHeight) {
  for (int t = 0; t < 256; ++t) {
    opaque_[t] = kinds_[t] == kKindOpaqueCube;
    alphaCube_[t] = kinds_[t] == kKindAlphaCube;
    drawnWhole_[t] =
        kinds_[t] != kKindOpaqueCube && kinds_[t] != kKindAlphaCube && kinds_[t] != kKindNotDrawn;
  }
}

inline void WalkerBefore::MarkOpaqueLines(std::span<const uint8_t> plane, int lo, int hi) {
  for (int height = lo; height <= hi; ++height) {
    for (int row = 0; row < kChunkRows; ++row) {
      const uint8_t* line = plane.data() + CellIndex(0, row, height);
      uint32_t opaque = 0;
      uint32_t alpha = 0;
      uint32_t drawn = 0;
      for (int col = 0; col < kChunkColumns; ++col) {
        opaque |= static_cast<uint32_t>(opaque_[line[col]]) << col;
        alpha |= static_cast<uint32_t>(alphaCube_[line[col]]) << col;
        drawn |= static_cast<uint32_t>(drawnWhole_[line[col]]) << col;
      }
      opaqueLines_[height * kChunkRows + row] = opaque;
      alphaLines_[height * kChunkRows + row] = alpha;
      drawnLines_[height * kChunkRows + row] = drawn;
    }
  }
}

inline void WalkerBefore::MarkNeighbourEdges(const ChunkPlanes& planes, int lo, int hi) {
  auto planeOrAir = [this](std::span<const uint8_t> plane) {
    return plane.size() == kBlockPlaneSize ? plane : std::span<const uint8_t>(airPlane_);
  };
  const auto minusX = planeOrAir(planes.minusX);
  const auto plusX = planeOrAir(planes.plusX);
  const auto plusZ = planeOrAir(planes.plusZ);
  const auto minusZ = planeOrAir(planes.minusZ);
  for (int height = lo; height <= hi; ++height) {
    uint32_t mx = 0, px = 0, pz = 0, mz = 0;
    uint32_t amx = 0, apx = 0, apz = 0, amz = 0;
    for (int i = 0; i < 32; ++i) {
      const uint8_t tmx = minusX[CellIndex(31, i, height)], tpx = plusX[CellIndex(0, i, height)];
      const uint8_t tpz = plusZ[CellIndex(i, 0, height)], tmz = minusZ[CellIndex(i, 31, height)];
      mx |= static_cast<uint32_t>(opaque_[tmx]) << i;
      px |= static_cast<uint32_t>(opaque_[tpx]) << i;
      pz |= static_cast<uint32_t>(opaque_[tpz]) << i;
      mz |= static_cast<uint32_t>(opaque_[tmz]) << i;
      amx |= static_cast<uint32_t>(alphaCube_[tmx]) << i;
      apx |= static_cast<uint32_t>(alphaCube_[tpx]) << i;
      apz |= static_cast<uint32_t>(alphaCube_[tpz]) << i;
      amz |= static_cast<uint32_t>(alphaCube_[tmz]) << i;
    }
    edgeMinusX_[height] = mx;
    edgePlusX_[height] = px;
    edgePlusZ_[height] = pz;
    edgeMinusZ_[height] = mz;
    cubeEdgeMinusX_[height] = mx | amx;
    cubeEdgePlusX_[height] = px | apx;
    cubeEdgePlusZ_[height] = pz | apz;
    cubeEdgeMinusZ_[height] = mz | amz;
  }
}

inline int32_t WalkerBefore::ExtraOf(uint8_t type, int col, int row, int height,
                                     const CellValueMap& rotations, const CellValueMap& customIds) const {
  const CellValueMap* values = nullptr;
  if (type == kBlockCustom) {
    values = &customIds;
  } else if (kinds_[type] == kKindMeshBlock) {
    values = &rotations;
  }
  if (values == nullptr || values->empty()) return 0;
  const auto found = values->find(
      MakeCellKey(static_cast<uint8_t>(col), static_cast<uint8_t>(row), static_cast<int16_t>(height)));
  return found == values->end() ? 0 : found->second;
}

inline void WalkerBefore::Walk(const ChunkPlanes& planes, HeightRange range, const CellValueMap& rotations,
                               const CellValueMap& customIds, HeightBandLists& bands) {
  for (auto& band : bands) band.clear();
  const int lo = std::max(range.lo, 0);
  const int hi = std::min(range.hi, kChunkHeight - 1);
  if (lo > hi) return;

  const auto chunk =
      planes.chunk.size() == kBlockPlaneSize ? planes.chunk : std::span<const uint8_t>(airPlane_);
  // The lines just outside the range are only looked at through the lo/hi rules, never read.
  MarkOpaqueLines(chunk, lo, hi);
  MarkNeighbourEdges(planes, lo, hi);

  // Faces, a row of 32 cells at a time; visible cells are marked in visibleLines_ and their
  // face masks kept in cellMasks_.
  for (int height = lo; height <= hi; ++height) {
    for (int row = 0; row < kChunkRows; ++row) {
      const int lineIndex = height * kChunkRows + row;
      const uint32_t opaque = opaqueLines_[lineIndex];
      const uint32_t alpha = alphaLines_[lineIndex];
      const uint32_t drawn = drawnLines_[lineIndex];
      if ((opaque | alpha | drawn) == 0) {
        visibleLines_[lineIndex] = 0;
        continue;
      }
      const uint32_t above = height >= hi ? 0 : opaqueLines_[lineIndex + kChunkRows];
      const uint32_t below = height <= lo ? 0 : opaqueLines_[lineIndex - kChunkRows];
      const uint32_t plusZ = row == kChunkRows - 1 ? edgePlusZ_[height] : opaqueLines_[lineIndex + 1];
      const uint32_t minusZ = row == 0 ? edgeMinusZ_[height] : opaqueLines_[lineIndex - 1];
      const uint32_t leftOf = (opaque << 1) | static_cast<uint32_t>(Bit(edgeMinusX_[height], row));
      const uint32_t rightOf = (opaque >> 1) | (static_cast<uint32_t>(Bit(edgePlusX_[height], row)) << 31);

      const std::array<uint32_t, 6> faces = {opaque & ~above,   opaque & ~below, opaque & ~leftOf,
                                             opaque & ~rightOf, opaque & ~plusZ, opaque & ~minusZ};
      // An alpha cube (water, glass) shows the faces that no cube of either kind covers, so a lake
      // draws its surface and shores but not the faces between two of its cells.
      auto cubes = [this](size_t index) { return opaqueLines_[index] | alphaLines_[index]; };
      const uint32_t cubesHere = opaque | alpha;
      const uint32_t cubeAbove = height >= hi ? 0 : cubes(lineIndex + kChunkRows);
      const uint32_t cubeBelow = height <= lo ? 0 : cubes(lineIndex - kChunkRows);
      const uint32_t cubePlusZ = row == kChunkRows - 1 ? cubeEdgePlusZ_[height] : cubes(lineIndex + 1);
      const uint32_t cubeMinusZ = row == 0 ? cubeEdgeMinusZ_[height] : cubes(lineIndex - 1);
      const uint32_t cubeLeftOf = (cubesHere << 1) | static_cast<uint32_t>(Bit(cubeEdgeMinusX_[height], row));
      const uint32_t cubeRightOf =
          (cubesHere >> 1) | (static_cast<uint32_t>(Bit(cubeEdgePlusX_[height], row)) << 31);
      const std::array<uint32_t, 6> alphaFaces = {alpha & ~cubeAbove,  alpha & ~cubeBelow,
                                                  alpha & ~cubeLeftOf, alpha & ~cubeRightOf,
                                                  alpha & ~cubePlusZ,  alpha & ~cubeMinusZ};

      const uint32_t visible = faces[0] | faces[1] | faces[2] | faces[3] | faces[4] | faces[5] |
                               alphaFaces[0] | alphaFaces[1] | alphaFaces[2] | alphaFaces[3] | alphaFaces[4] |
                               alphaFaces[5] | drawn;
      visibleLines_[lineIndex] = visible;

      const uint8_t* line = chunk.data() + CellIndex(0, row, height);
      uint8_t* masks = cellMasks_.data() + CellIndex(0, row, height);
      for (uint32_t left = visible; left != 0; left &= left - 1) {
        const int col = __builtin_ctz(left);
        uint8_t mask = 0;
        if (Bit(opaque, col)) {
          for (int face = 0; face < 6; ++face) mask |= static_cast<uint8_t>(Bit(faces[face], col)) << face;
        } else if (Bit(alpha, col)) {
          for (int face = 0; face < 6; ++face)
            mask |= static_cast<uint8_t>(Bit(alphaFaces[face], col)) << face;
        } else if (kinds_[line[col]] == kKindDoubleSidedAlpha) {
          mask = kFaceWholeBlock;
        }
        masks[col] = mask;
      }
    }
  }

  // Records in walk order (column, row, height) per band, then ordered by extra and type.
  for (int band = lo / kHeightBandSize; band <= hi / kHeightBandSize; ++band) {
    const int first = std::max(lo, band * kHeightBandSize);
    const int last = std::min(hi, band * kHeightBandSize + kHeightBandSize - 1);
    auto& records = bands[band];
    // The band's visible cells per column of cells: bit h - first of entry col * 32 + row.
    bandColumns_.fill(0);
    for (int height = first; height <= last; ++height) {
      for (int row = 0; row < kChunkRows; ++row) {
        for (uint32_t left = visibleLines_[height * kChunkRows + row]; left != 0; left &= left - 1) {
          bandColumns_[__builtin_ctz(left) * kChunkRows + row] |= uint64_t{1} << (height - first);
        }
      }
    }
    for (int col = 0; col < kChunkColumns; ++col) {
      for (int row = 0; row < kChunkRows; ++row) {
        for (uint64_t left = bandColumns_[col * kChunkRows + row]; left != 0; left &= left - 1) {
          const int height = first + __builtin_ctzll(left);
          const size_t cell = CellIndex(col, row, height);
          const uint8_t type = chunk[cell];
          records.push_back(BlockRecord{col, row, height, type, cellMasks_[cell],
                                        ExtraOf(type, col, row, height, rotations, customIds)});
        }
      }
    }
    SortBand(records);
  }
}

// Stable: by block type (a counting sort), then by extra value, keeping walk order among equals.
inline void WalkerBefore::SortBand(std::vector<BlockRecord>& records) {
  if (records.size() < 2) return;
  std::array<size_t, 257> starts{};
  bool oneExtra = true;
  for (const auto& record : records) {
    ++starts[record.type + 1];
    oneExtra = oneExtra && record.extra == records.front().extra;
  }
  for (size_t type = 1; type < starts.size(); ++type) starts[type] += starts[type - 1];
  sortScratch_.resize(records.size());
  for (const auto& record : records) sortScratch_[starts[record.type]++] = record;
  records.swap(sortScratch_);
  if (!oneExtra) {
    std::stable_sort(records.begin(), records.end(),
                     [](const BlockRecord& a, const BlockRecord& b) { return a.extra < b.extra; });
  }
}

}  // namespace orelens::bench_before
