#include "world/block_walk.h"

#include <algorithm>

namespace orelens::world {
namespace {

constexpr int kLineCount = kChunkHeight * kChunkRows;  // one line = the 32 columns of a (height, row)

size_t CellIndex(int col, int row, int height) {
  return static_cast<size_t>(col) + 32u * static_cast<size_t>(row) + 1024u * static_cast<size_t>(height);
}

bool Bit(uint32_t bits, int index) { return ((bits >> index) & 1u) != 0; }

// Walk order within a band: extra value, block type, then column, row, height.
uint64_t OrderKey(const BlockRecord& r) {
  const uint64_t extra = static_cast<uint32_t>(r.extra) ^ 0x8000'0000u;  // signed order
  return (extra << 32) | (static_cast<uint64_t>(r.type) << 20) | (static_cast<uint64_t>(r.col) << 15) |
         (static_cast<uint64_t>(r.row) << 10) | static_cast<uint64_t>(r.height);
}

}  // namespace

BlockWalker::BlockWalker(const BlockKindTable& kinds)
    : kinds_(kinds),
      airPlane_(kBlockPlaneSize, kBlockAir),
      opaqueLines_(kLineCount),
      drawnLines_(kLineCount),
      edgeMinusX_(kChunkHeight),
      edgePlusX_(kChunkHeight),
      edgePlusZ_(kChunkHeight),
      edgeMinusZ_(kChunkHeight) {
  for (int t = 0; t < 256; ++t) {
    opaque_[t] = kinds_[t] == kKindOpaqueCube;
    drawnWhole_[t] = kinds_[t] != kKindOpaqueCube && kinds_[t] != kKindNotDrawn;
  }
}

void BlockWalker::MarkOpaqueLines(std::span<const uint8_t> plane, int lo, int hi) {
  for (int height = lo; height <= hi; ++height) {
    for (int row = 0; row < kChunkRows; ++row) {
      const uint8_t* line = plane.data() + CellIndex(0, row, height);
      uint32_t opaque = 0;
      uint32_t drawn = 0;
      for (int col = 0; col < kChunkColumns; ++col) {
        opaque |= static_cast<uint32_t>(opaque_[line[col]]) << col;
        drawn |= static_cast<uint32_t>(drawnWhole_[line[col]]) << col;
      }
      opaqueLines_[height * kChunkRows + row] = opaque;
      drawnLines_[height * kChunkRows + row] = drawn;
    }
  }
}

void BlockWalker::MarkNeighbourEdges(const ChunkPlanes& planes, int lo, int hi) {
  auto planeOrAir = [this](std::span<const uint8_t> plane) {
    return plane.size() == kBlockPlaneSize ? plane : std::span<const uint8_t>(airPlane_);
  };
  const auto minusX = planeOrAir(planes.minusX);
  const auto plusX = planeOrAir(planes.plusX);
  const auto plusZ = planeOrAir(planes.plusZ);
  const auto minusZ = planeOrAir(planes.minusZ);
  for (int height = lo; height <= hi; ++height) {
    uint32_t mx = 0, px = 0, pz = 0, mz = 0;
    for (int i = 0; i < 32; ++i) {
      mx |= static_cast<uint32_t>(opaque_[minusX[CellIndex(31, i, height)]]) << i;
      px |= static_cast<uint32_t>(opaque_[plusX[CellIndex(0, i, height)]]) << i;
      pz |= static_cast<uint32_t>(opaque_[plusZ[CellIndex(i, 0, height)]]) << i;
      mz |= static_cast<uint32_t>(opaque_[minusZ[CellIndex(i, 31, height)]]) << i;
    }
    edgeMinusX_[height] = mx;
    edgePlusX_[height] = px;
    edgePlusZ_[height] = pz;
    edgeMinusZ_[height] = mz;
  }
}

int32_t BlockWalker::ExtraOf(uint8_t type, int col, int row, int height, const CellValueMap& rotations,
                             const CellValueMap& customIds) const {
  const CellValueMap* values = nullptr;
  if (type == kBlockCustom) {
    values = &customIds;
  } else if (kinds_[type] == kKindMeshBlock) {
    values = &rotations;
  }
  if (values == nullptr || values->empty()) return 0;
  const auto found = values->find(MakeCellKey(static_cast<uint8_t>(col), static_cast<uint8_t>(row), static_cast<int16_t>(height)));
  return found == values->end() ? 0 : found->second;
}

void BlockWalker::Walk(const ChunkPlanes& planes, HeightRange range, const CellValueMap& rotations,
                       const CellValueMap& customIds, HeightBandLists& bands) {
  for (auto& band : bands) band.clear();
  const int lo = std::max(range.lo, 0);
  const int hi = std::min(range.hi, kChunkHeight - 1);
  if (lo > hi) return;

  const auto chunk = planes.chunk.size() == kBlockPlaneSize ? planes.chunk : std::span<const uint8_t>(airPlane_);
  // The lines just outside the range are only looked at through the lo/hi rules, never read.
  MarkOpaqueLines(chunk, lo, hi);
  MarkNeighbourEdges(planes, lo, hi);

  for (int height = lo; height <= hi; ++height) {
    auto& band = bands[height / kHeightBandSize];
    for (int row = 0; row < kChunkRows; ++row) {
      const uint32_t opaque = opaqueLines_[height * kChunkRows + row];
      const uint32_t drawn = drawnLines_[height * kChunkRows + row];
      if ((opaque | drawn) == 0) continue;

      const uint32_t above = height >= hi ? 0 : opaqueLines_[(height + 1) * kChunkRows + row];
      const uint32_t below = height <= lo ? 0 : opaqueLines_[(height - 1) * kChunkRows + row];
      const uint32_t plusZ = row == kChunkRows - 1 ? edgePlusZ_[height] : opaqueLines_[height * kChunkRows + row + 1];
      const uint32_t minusZ = row == 0 ? edgeMinusZ_[height] : opaqueLines_[height * kChunkRows + row - 1];
      const uint32_t leftOf = (opaque << 1) | static_cast<uint32_t>(Bit(edgeMinusX_[height], row));
      const uint32_t rightOf = (opaque >> 1) | (static_cast<uint32_t>(Bit(edgePlusX_[height], row)) << 31);

      const uint32_t top = opaque & ~above;
      const uint32_t bottom = opaque & ~below;
      const uint32_t faceMinusX = opaque & ~leftOf;
      const uint32_t facePlusX = opaque & ~rightOf;
      const uint32_t facePlusZ = opaque & ~plusZ;
      const uint32_t faceMinusZ = opaque & ~minusZ;
      uint32_t visible = top | bottom | faceMinusX | facePlusX | facePlusZ | faceMinusZ | drawn;

      const uint8_t* line = chunk.data() + CellIndex(0, row, height);
      while (visible != 0) {
        const int col = __builtin_ctz(visible);
        visible &= visible - 1;
        const uint8_t type = line[col];
        uint8_t mask = 0;
        if (Bit(opaque, col)) {
          mask = static_cast<uint8_t>((Bit(top, col) ? kFaceTop : 0) | (Bit(bottom, col) ? kFaceBottom : 0) |
                                      (Bit(faceMinusX, col) ? kFaceMinusX : 0) |
                                      (Bit(facePlusX, col) ? kFacePlusX : 0) |
                                      (Bit(facePlusZ, col) ? kFacePlusZ : 0) |
                                      (Bit(faceMinusZ, col) ? kFaceMinusZ : 0));
        } else if (kinds_[type] == kKindDoubleSidedAlpha) {
          mask = kFaceWholeBlock;
        }
        band.push_back(BlockRecord{col, row, height, type, mask, ExtraOf(type, col, row, height, rotations, customIds)});
      }
    }
  }
  for (auto& band : bands) {
    std::sort(band.begin(), band.end(),
              [](const BlockRecord& a, const BlockRecord& b) { return OrderKey(a) < OrderKey(b); });
  }
}

}  // namespace orelens::world
