#include "world/block_walk.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace orelens::world {
namespace {

constexpr int kLineCount = kChunkHeight * kChunkRows;  // one line = the 32 columns of a (height, row)

// What a block type is to the walk, one bit each.
enum CellClass : uint8_t {
  kClassOpaque = 1,  // kind 0: hides the faces next to it
  kClassAlpha = 2,   // kind 1: shows the faces not hidden by a cube of either kind
  kClassDrawn = 4,   // drawn whatever its neighbours (kinds 2, 3, unnamed kinds)
  kClassWhole = 8,   // kind 2: drawn as the whole block model
};

size_t CellIndex(int col, int row, int height) {
  return static_cast<size_t>(col) + 32u * static_cast<size_t>(row) + 1024u * static_cast<size_t>(height);
}

bool Bit(uint32_t bits, int index) {
  return ((bits >> index) & 1u) != 0;
}

constexpr uint64_t kEveryByte = 0x0101010101010101ull;

// Bit `bit` of each of the eight bytes of `bytes`, byte i giving bit i of the result: the multiply
// moves every byte's bit into the top byte without carries.
uint32_t GatherBit(uint64_t bytes, int bit) {
  const uint64_t lowBits = (bytes >> bit) & kEveryByte;
  return static_cast<uint32_t>((lowBits * 0x0102040810204080ull) >> 56);
}

// The other way round: byte i of the result is bit i of the index, 0 or 1.
constexpr std::array<uint64_t, 256> MakeSpreadTable() {
  std::array<uint64_t, 256> table{};
  for (int bits = 0; bits < 256; ++bits)
    for (int i = 0; i < 8; ++i)
      if ((bits >> i) & 1) table[bits] |= uint64_t{1} << (8 * i);
  return table;
}
constexpr std::array<uint64_t, 256> kSpreadBits = MakeSpreadTable();

uint64_t SpreadByte(uint32_t bits, int group) {
  return kSpreadBits[(bits >> (8 * group)) & 0xFFu];
}

}  // namespace

BlockWalker::BlockWalker(const BlockKindTable& kinds)
    : kinds_(kinds),
      airPlane_(kBlockPlaneSize, kBlockAir),
      opaqueLines_(kLineCount),
      alphaLines_(kLineCount),
      drawnLines_(kLineCount),
      wholeLines_(kLineCount),
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
    const uint8_t kind = kinds_[t];
    mayCarryExtra_[t] = t == kBlockCustom || kind == kKindMeshBlock;
    if (kind == kKindOpaqueCube) {
      classes_[t] = kClassOpaque;
    } else if (kind == kKindAlphaCube) {
      classes_[t] = kClassAlpha;
    } else if (kind != kKindNotDrawn) {
      classes_[t] = kind == kKindDoubleSidedAlpha ? kClassDrawn | kClassWhole : kClassDrawn;
    }
  }
}

// The class lines of every (height, row) line of the range.
void BlockWalker::MarkLines(std::span<const uint8_t> plane, int lo, int hi) {
  for (int height = lo; height <= hi; ++height) {
    for (int row = 0; row < kChunkRows; ++row) {
      const ClassLines lines = ClassLinesOf(plane.data() + CellIndex(0, row, height));
      const int lineIndex = height * kChunkRows + row;
      opaqueLines_[lineIndex] = lines.opaque;
      alphaLines_[lineIndex] = lines.alpha;
      drawnLines_[lineIndex] = lines.drawn;
      wholeLines_[lineIndex] = lines.whole;
    }
  }
}

// One bit per column for each class of the 32 cells of a line, eight cells per step.
BlockWalker::ClassLines BlockWalker::ClassLinesOf(const uint8_t* line) const {
  ClassLines lines;
  for (int group = 0; group < 4; ++group) {
    uint64_t cells = 0;
    std::memcpy(&cells, line + 8 * group, sizeof cells);
    // Runs of one type (air above ground, rock below) take one look-up for eight cells.
    uint64_t classes = 0;
    if (cells == (cells & 0xFFu) * kEveryByte) {
      classes = classes_[cells & 0xFFu] * kEveryByte;
    } else {
      for (int i = 0; i < 8; ++i) classes |= uint64_t{classes_[(cells >> (8 * i)) & 0xFFu]} << (8 * i);
    }
    if (classes == 0) continue;
    const int shift = 8 * group;
    lines.opaque |= GatherBit(classes, 0) << shift;
    lines.alpha |= GatherBit(classes, 1) << shift;
    lines.drawn |= GatherBit(classes, 2) << shift;
    lines.whole |= GatherBit(classes, 3) << shift;
  }
  return lines;
}

void BlockWalker::MarkNeighbourEdges(const ChunkPlanes& planes, int lo, int hi) {
  auto planeOrAir = [this](std::span<const uint8_t> plane) {
    return plane.size() == kBlockPlaneSize ? plane : std::span<const uint8_t>(airPlane_);
  };
  const auto minusX = planeOrAir(planes.minusX);
  const auto plusX = planeOrAir(planes.plusX);
  const auto plusZ = planeOrAir(planes.plusZ);
  const auto minusZ = planeOrAir(planes.minusZ);
  auto cubes = [](uint8_t classes) { return (classes & (kClassOpaque | kClassAlpha)) != 0 ? 1u : 0u; };
  for (int height = lo; height <= hi; ++height) {
    // The X sides are columns of the neighbours' planes: bit = row.
    uint32_t mx = 0, px = 0, cmx = 0, cpx = 0;
    for (int i = 0; i < 32; ++i) {
      const uint8_t tmx = classes_[minusX[CellIndex(31, i, height)]];
      const uint8_t tpx = classes_[plusX[CellIndex(0, i, height)]];
      mx |= static_cast<uint32_t>(tmx & kClassOpaque) << i;
      px |= static_cast<uint32_t>(tpx & kClassOpaque) << i;
      cmx |= cubes(tmx) << i;
      cpx |= cubes(tpx) << i;
    }
    edgeMinusX_[height] = mx;
    edgePlusX_[height] = px;
    cubeEdgeMinusX_[height] = cmx;
    cubeEdgePlusX_[height] = cpx;
    // The Z sides are lines of the neighbours' planes: bit = col.
    const ClassLines pz = ClassLinesOf(plusZ.data() + CellIndex(0, 0, height));
    const ClassLines mz = ClassLinesOf(minusZ.data() + CellIndex(0, kChunkRows - 1, height));
    edgePlusZ_[height] = pz.opaque;
    edgeMinusZ_[height] = mz.opaque;
    cubeEdgePlusZ_[height] = pz.opaque | pz.alpha;
    cubeEdgeMinusZ_[height] = mz.opaque | mz.alpha;
  }
}

// Faces, a line of 32 cells at a time: visible cells are marked in visibleLines_ and their face
// masks kept in cellMasks_.
void BlockWalker::MarkFaces(int lo, int hi) {
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

      // Face bit k of each cell, in the FaceMask order; opaque and alpha cells never overlap.
      const std::array<uint32_t, 6> faces = {
          (opaque & ~above) | (alpha & ~cubeAbove),   (opaque & ~below) | (alpha & ~cubeBelow),
          (opaque & ~leftOf) | (alpha & ~cubeLeftOf), (opaque & ~rightOf) | (alpha & ~cubeRightOf),
          (opaque & ~plusZ) | (alpha & ~cubePlusZ),   (opaque & ~minusZ) | (alpha & ~cubeMinusZ)};
      const uint32_t whole = wholeLines_[lineIndex];
      const uint32_t visible = faces[0] | faces[1] | faces[2] | faces[3] | faces[4] | faces[5] | drawn;
      visibleLines_[lineIndex] = visible;
      if (visible == 0) continue;

      // Eight cells' masks at a time: each face line spread to one byte per cell.
      uint8_t* masks = cellMasks_.data() + CellIndex(0, row, height);
      for (int group = 0; group < 4; ++group) {
        if (((visible >> (8 * group)) & 0xFFu) == 0) continue;
        uint64_t groupMasks = SpreadByte(whole, group) << 7;
        for (int face = 0; face < 6; ++face) groupMasks |= SpreadByte(faces[face], group) << face;
        std::memcpy(masks + 8 * group, &groupMasks, sizeof groupMasks);
      }
    }
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
  const auto found = values->find(
      MakeCellKey(static_cast<uint8_t>(col), static_cast<uint8_t>(row), static_cast<int16_t>(height)));
  return found == values->end() ? 0 : found->second;
}

// The records of one band in walk order (column, row, height), then ordered by extra and type.
void BlockWalker::CollectBand(std::span<const uint8_t> plane, int first, int last,
                              const CellValueMap& rotations, const CellValueMap& customIds,
                              std::vector<BlockRecord>& records) {
  // The band's visible cells per column of cells: bit h - first of entry col * 32 + row.
  bandColumns_.fill(0);
  size_t count = 0;
  for (int height = first; height <= last; ++height) {
    for (int row = 0; row < kChunkRows; ++row) {
      for (uint32_t left = visibleLines_[height * kChunkRows + row]; left != 0; left &= left - 1) {
        bandColumns_[std::countr_zero(left) * kChunkRows + row] |= uint64_t{1} << (height - first);
        ++count;
      }
    }
  }
  // Walk order straight into the band, noting whether anything but the walk order is left to do.
  // The band keeps what it held until now in the room it had: only growth is cleared first.
  records.resize(count);
  if (count == 0) return;
  BlockRecord* out = records.data();
  const uint8_t* types = plane.data();
  const uint8_t* masks = cellMasks_.data();
  const bool anyExtras = !rotations.empty() || !customIds.empty();
  uint8_t lowestType = 255, highestType = 0;
  int32_t extrasSeen = 0;  // bits set where an extra is not 0
  for (int col = 0; col < kChunkColumns; ++col) {
    for (int row = 0; row < kChunkRows; ++row) {
      for (uint64_t left = bandColumns_[col * kChunkRows + row]; left != 0; left &= left - 1) {
        const int height = first + std::countr_zero(left);
        const size_t cell = CellIndex(col, row, height);
        const uint8_t type = types[cell];
        const int32_t extra =
            anyExtras && mayCarryExtra_[type] ? ExtraOf(type, col, row, height, rotations, customIds) : 0;
        lowestType = std::min(lowestType, type);
        highestType = std::max(highestType, type);
        extrasSeen |= extra;
        *out++ = BlockRecord{col, row, height, type, masks[cell], extra};
      }
    }
  }
  if (lowestType == highestType && extrasSeen == 0) return;
  SortBand(records);
}

void BlockWalker::Walk(const ChunkPlanes& planes, HeightRange range, const CellValueMap& rotations,
                       const CellValueMap& customIds, HeightBandLists& bands) {
  const int lo = std::max(range.lo, 0);
  const int hi = std::min(range.hi, kChunkHeight - 1);
  // Bands the range covers are filled below; the others are emptied.
  for (int band = 0; band < kHeightBandCount; ++band) {
    if (lo > hi || band < lo / kHeightBandSize || band > hi / kHeightBandSize) bands[band].clear();
  }
  if (lo > hi) return;

  const auto chunk =
      planes.chunk.size() == kBlockPlaneSize ? planes.chunk : std::span<const uint8_t>(airPlane_);
  // The lines just outside the range are only looked at through the lo/hi rules, never read.
  MarkLines(chunk, lo, hi);
  MarkNeighbourEdges(planes, lo, hi);
  MarkFaces(lo, hi);
  for (int band = lo / kHeightBandSize; band <= hi / kHeightBandSize; ++band) {
    const int first = std::max(lo, band * kHeightBandSize);
    const int last = std::min(hi, band * kHeightBandSize + kHeightBandSize - 1);
    CollectBand(chunk, first, last, rotations, customIds, bands[band]);
  }
}

// Orders the walk-ordered records by extra, then type, keeping walk order among equals: a
// counting sort by type within three groups (extra below, at and above 0), then the two groups
// of non-zero extras, which hold only custom and mesh blocks, sorted stably by extra.
void BlockWalker::SortBand(std::vector<BlockRecord>& records) {
  auto group = [](int32_t extra) { return extra < 0 ? 0 : extra == 0 ? 1 : 2; };
  std::array<size_t, 3 * 256 + 1> starts{};
  for (const auto& record : records) ++starts[group(record.extra) * 256 + record.type + 1];
  for (size_t key = 1; key < starts.size(); ++key) starts[key] += starts[key - 1];
  const size_t zeroStart = starts[256], positiveStart = starts[512];
  sortScratch_.assign(records.begin(), records.end());
  for (const auto& record : sortScratch_) records[starts[group(record.extra) * 256 + record.type]++] = record;
  auto byExtra = [](const BlockRecord& a, const BlockRecord& b) { return a.extra < b.extra; };
  std::stable_sort(records.begin(), records.begin() + static_cast<ptrdiff_t>(zeroStart), byExtra);
  std::stable_sort(records.begin() + static_cast<ptrdiff_t>(positiveStart), records.end(), byExtra);
}

}  // namespace orelens::world
