#include "world/block_walk.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace orelens::world {
namespace {

constexpr int kLineCount = kChunkHeight * kChunkRows;  // one line = the 32 columns of a (height, row)
constexpr int kLineCells = 32;
constexpr int kBandLineCount = kHeightBandSize * kChunkRows;  // the lines of one height band

size_t CellIndex(int col, int row, int height) {
  return static_cast<size_t>(col) + 32u * static_cast<size_t>(row) + 1024u * static_cast<size_t>(height);
}

uint32_t Bit(uint32_t bits, int index) {
  return (bits >> index) & 1u;
}

constexpr uint64_t kEveryByte = 0x0101010101010101ull;

// Per block type, what a record of it needs besides its faces.
enum RecordFlag : uint8_t {
  kLooksUpExtra = 1,              // custom blocks and mesh blocks carry an extra value
  kWholeBlock = kFaceWholeBlock,  // its face mask is the whole block model
};

// Each block type is one of four classes, kept as two bits per cell: "cube" for opaque and alpha
// cubes, "see-through" for alpha cubes and the blocks drawn whatever their neighbours. Neither
// bit: not drawn. A line's cells hold their cube bits in the low half of a 64-bit value and
// their see-through bits in the high half, so the bits of 32 cells are or-ed together in one go.
constexpr int kSeeThroughShift = 32;
// The class bits of the 256 types at one place of a line take one table per place. The tables lie
// one cache line more than their size apart, so that one type's entries for the 32 places do not
// all fall into the same two sets of the cache.
constexpr size_t kPlaceTableStride = 256 + 8;

// Byte i of the result is bit i of the index, 0 or 1.
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

// Transposes a 32 x 32 bit matrix in place: bit j of a[i] becomes bit i of a[j]. Each step swaps
// the off-diagonal quarters of all blocks of twice its width.
template <int kWidth, uint32_t kMask>
void SwapQuarters(std::array<uint32_t, 32>& a) {
  for (int block = 0; block < 32; block += 2 * kWidth) {
    for (int k = block; k < block + kWidth; ++k) {
      const uint32_t swapped = ((a[k] >> kWidth) ^ a[k + kWidth]) & kMask;
      a[k] ^= swapped << kWidth;
      a[k + kWidth] ^= swapped;
    }
  }
}

void TransposeBits(std::array<uint32_t, 32>& a) {
  SwapQuarters<16, 0x0000FFFFu>(a);
  SwapQuarters<8, 0x00FF00FFu>(a);
  SwapQuarters<4, 0x0F0F0F0Fu>(a);
  SwapQuarters<2, 0x33333333u>(a);
  SwapQuarters<1, 0x55555555u>(a);
}

// Set bits of a word, without a library call where the processor has no instruction for it.
int CountBits(uint64_t bits) {
  bits -= (bits >> 1) & 0x5555555555555555ull;
  bits = (bits & 0x3333333333333333ull) + ((bits >> 2) & 0x3333333333333333ull);
  bits = (bits + (bits >> 4)) & 0x0F0F0F0F0F0F0F0Full;
  return static_cast<int>((bits * kEveryByte) >> 56);
}

// The class bits of 32 cells `stride` bytes apart, from the per-place tables: one look-up and one
// or per cell.
inline uint64_t ClassesOfCells(const uint64_t* placedClasses, const uint8_t* first, size_t stride) {
  uint64_t classes = 0;
#pragma GCC unroll 32
  for (size_t place = 0; place < kLineCells; ++place)
    classes |= placedClasses[place * kPlaceTableStride + first[place * stride]];
  return classes;
}

// The same for a line of 32 cells; a line of one type (air above ground, rock below) takes one
// look-up in `lineClasses`.
inline uint64_t ClassesOfLine(const uint64_t* placedClasses, const std::array<uint64_t, 256>& lineClasses,
                              const uint8_t* line) {
  uint64_t words[4];
  std::memcpy(words, line, sizeof words);
  const uint64_t same = line[0] * kEveryByte;
  if (((words[0] ^ same) | (words[1] ^ same) | (words[2] ^ same) | (words[3] ^ same)) != 0)
    return ClassesOfCells(placedClasses, line, 1);
  return lineClasses[line[0]];
}

}  // namespace

BlockWalker::BlockWalker(const BlockKindTable& kinds)
    : kinds_(kinds),
      placedClasses_(kPlaceTableStride * kLineCells),
      airPlane_(kBlockPlaneSize, kBlockAir),
      lines_(kLineCount),
      visibleLines_(kBandLineCount),
      edges_(kHeightBandSize),
      cellMasks_(kBandLineCount * kLineCells) {
  for (int t = 0; t < 256; ++t) {
    const uint8_t kind = kinds_[t];
    const bool cube = kind == kKindOpaqueCube || kind == kKindAlphaCube;
    const bool seeThrough = kind != kKindOpaqueCube && kind != kKindNotDrawn;
    for (int place = 0; place < kLineCells; ++place) {
      placedClasses_[place * kPlaceTableStride + t] =
          (uint64_t{cube} << place) | (uint64_t{seeThrough} << (kSeeThroughShift + place));
    }
    lineClasses_[t] = (cube ? 0xFFFFFFFFull : 0) | (seeThrough ? 0xFFFFFFFFull << kSeeThroughShift : 0);
    recordFlags_[t] = static_cast<uint8_t>((kind == kKindDoubleSidedAlpha ? kWholeBlock : 0) |
                                           (t == kBlockCustom || kind == kKindMeshBlock ? kLooksUpExtra : 0));
  }
}

BlockWalker::ClassLines BlockWalker::LinesOf(uint64_t classes) {
  const auto cube = static_cast<uint32_t>(classes);
  const auto seeThrough = static_cast<uint32_t>(classes >> kSeeThroughShift);
  return {cube & ~seeThrough, cube, seeThrough & ~cube};
}

void BlockWalker::MarkLines(std::span<const uint8_t> plane, int first, int last) {
  for (int height = first; height <= last; ++height)
    for (int row = 0; row < kChunkRows; ++row)
      lines_[height * kChunkRows + row] = LinesOf(
          ClassesOfLine(placedClasses_.data(), lineClasses_, plane.data() + CellIndex(0, row, height)));
}

void BlockWalker::MarkNeighbourEdges(const ChunkPlanes& planes, int first, int last) {
  auto planeOrAir = [this](std::span<const uint8_t> plane) {
    return plane.size() == kBlockPlaneSize ? plane.data() : airPlane_.data();
  };
  const uint8_t* minusX = planeOrAir(planes.minusX);
  const uint8_t* plusX = planeOrAir(planes.plusX);
  const uint8_t* plusZ = planeOrAir(planes.plusZ);
  const uint8_t* minusZ = planeOrAir(planes.minusZ);
  for (int height = first; height <= last; ++height) {
    EdgeLines& edge = edges_[height - first];
    // The X sides are columns of the neighbours' planes, one cell per row; the Z sides are lines.
    const uint64_t* placed = placedClasses_.data();
    edge.minusX =
        LinesOf(ClassesOfCells(placed, minusX + CellIndex(kChunkColumns - 1, 0, height), kChunkColumns));
    edge.plusX = LinesOf(ClassesOfCells(placed, plusX + CellIndex(0, 0, height), kChunkColumns));
    edge.plusZ = LinesOf(ClassesOfLine(placed, lineClasses_, plusZ + CellIndex(0, 0, height)));
    edge.minusZ = LinesOf(ClassesOfLine(placed, lineClasses_, minusZ + CellIndex(0, kChunkRows - 1, height)));
  }
}

// Faces, a line of 32 cells at a time: the band's visible cells are marked in visibleLines_ and
// the face masks of its visible cubes kept in cellMasks_.
void BlockWalker::MarkFaces(int first, int last, int lo, int hi) {
  static constexpr ClassLines kBeyondRange{};  // nothing covers the faces at the range's ends
  for (int height = first; height <= last; ++height) {
    const EdgeLines& edge = edges_[height - first];
    for (int row = 0; row < kChunkRows; ++row) {
      const int lineIndex = height * kChunkRows + row;
      const int bandLineIndex = (height - first) * kChunkRows + row;
      const ClassLines here = lines_[lineIndex];
      if ((here.cube | here.drawn) == 0) {
        visibleLines_[bandLineIndex] = 0;
        continue;
      }
      const ClassLines& above = height < hi ? lines_[lineIndex + kChunkRows] : kBeyondRange;
      const ClassLines& below = height > lo ? lines_[lineIndex - kChunkRows] : kBeyondRange;
      const ClassLines& plusZ = row < kChunkRows - 1 ? lines_[lineIndex + 1] : edge.plusZ;
      const ClassLines& minusZ = row > 0 ? lines_[lineIndex - 1] : edge.minusZ;
      // Rock inside the ground: an opaque line whose every neighbour is opaque shows nothing.
      if (~(here.opaque & above.opaque & below.opaque & plusZ.opaque & minusZ.opaque) == 0 &&
          Bit(edge.minusX.opaque & edge.plusX.opaque, row) != 0) {
        visibleLines_[bandLineIndex] = 0;
        continue;
      }
      // The X neighbours are the line itself shifted by one cell, the neighbour chunks' cells at the ends.
      const ClassLines minusX{(here.opaque << 1) | Bit(edge.minusX.opaque, row),
                              (here.cube << 1) | Bit(edge.minusX.cube, row), 0};
      const ClassLines plusX{(here.opaque >> 1) | (Bit(edge.plusX.opaque, row) << 31),
                             (here.cube >> 1) | (Bit(edge.plusX.cube, row) << 31), 0};

      // An opaque cube shows the faces no opaque cube covers; an alpha cube (water, glass) those
      // that no cube of either kind covers, so a lake draws its surface and shores but not the
      // faces between two of its cells.
      const uint32_t alpha = here.cube & ~here.opaque;
      auto shown = [&here, alpha](const ClassLines& next) {
        return (here.opaque & ~next.opaque) | (alpha & ~next.cube);
      };
      // Face bit k of each cell, in the FaceMask order.
      const std::array<uint32_t, 6> faces = {shown(above), shown(below), shown(minusX),
                                             shown(plusX), shown(plusZ), shown(minusZ)};
      const uint32_t visible = faces[0] | faces[1] | faces[2] | faces[3] | faces[4] | faces[5] | here.drawn;
      visibleLines_[bandLineIndex] = visible;

      // Eight cells' masks at a time: each face line spread to one byte per cell.
      uint8_t* masks = cellMasks_.data() + CellIndex(0, row, height - first);
#pragma GCC unroll 4
      for (int group = 0; group < 4; ++group) {
        if (((visible >> (8 * group)) & 0xFFu) == 0) continue;
        uint64_t groupMasks = 0;
#pragma GCC unroll 6
        for (int face = 0; face < 6; ++face) groupMasks |= SpreadByte(faces[face], group) << face;
        std::memcpy(masks + 8 * group, &groupMasks, sizeof groupMasks);
      }
    }
  }
}

// The band's visible cells by column of cells (bandColumns_), 32 heights of a row at a time by
// transposing its lines. Returns the number of visible cells.
size_t BlockWalker::MarkBandColumns(int first, int last) {
  std::array<uint32_t, 32> low, high;  // heights first.. and first + 32..
  auto gather = [this, first](int from, int to, int row, std::array<uint32_t, 32>& block) {
    uint32_t any = 0;
    block.fill(0);
    for (int height = from; height <= to; ++height) {
      block[height - from] = visibleLines_[(height - first) * kChunkRows + row];
      any |= block[height - from];
    }
    if (any != 0) TransposeBits(block);
    return any != 0;  // false: the block is all 0
  };
  size_t count = 0;
  for (int row = 0; row < kChunkRows; ++row) {
    gather(first, std::min(last, first + 31), row, low);
    const bool anyHigh = last >= first + 32 && gather(first + 32, last, row, high);
    for (int col = 0; col < kChunkColumns; ++col) {
      const uint64_t heights = low[col] | (anyHigh ? uint64_t{high[col]} << 32 : 0);
      bandColumns_[col * kChunkRows + row] = heights;
      if (heights != 0) count += static_cast<size_t>(CountBits(heights));
    }
  }
  return count;
}

int32_t BlockWalker::ExtraOf(uint8_t type, int col, int row, int height, const CellValueMap& rotations,
                             const CellValueMap& customIds) const {
  const CellValueMap& values = type == kBlockCustom ? customIds : rotations;
  if (values.empty()) return 0;
  const auto found = values.find(
      MakeCellKey(static_cast<uint8_t>(col), static_cast<uint8_t>(row), static_cast<int16_t>(height)));
  return found == values.end() ? 0 : found->second;
}

// The records of one band in walk order (column, row, height), then ordered by extra and type.
void BlockWalker::CollectBand(std::span<const uint8_t> plane, int first, int last,
                              const CellValueMap& rotations, const CellValueMap& customIds,
                              std::vector<BlockRecord>& records) {
  // The band keeps what it held until now in the room it had: only growth is cleared first.
  const size_t count = MarkBandColumns(first, last);
  records.resize(count);
  if (count == 0) return;
  BlockRecord* out = records.data();
  // The band's types and masks, both by col + 32 * row + 1024 * (height - first).
  const uint8_t* types = plane.data() + CellIndex(0, 0, first);
  const uint8_t* masks = cellMasks_.data();
  // Whether the walk order is the band's order: the records' types as or-ed and and-ed together.
  uint32_t typesOr = 0, typesAnd = 0xFF, flagsSeen = 0;
  for (int col = 0; col < kChunkColumns; ++col) {
    for (int row = 0; row < kChunkRows; ++row) {
      const size_t columnStart = CellIndex(col, row, 0);
      for (uint64_t left = bandColumns_[col * kChunkRows + row]; left != 0; left &= left - 1) {
        const int offset = std::countr_zero(left);
        const size_t cell = columnStart + 1024u * static_cast<size_t>(offset);
        const uint8_t type = types[cell];
        typesOr |= type;
        typesAnd &= type;
        flagsSeen |= recordFlags_[type];
        *out++ = BlockRecord{col, row, first + offset, type, masks[cell], 0};
      }
    }
  }
  // The few blocks that are not cubes: the whole-block bit, and extras from the record lists.
  // Records with an extra other than 0 are ordered apart from the others (see SortBand).
  extraKeys_.clear();
  size_t negativeExtras = 0;
  if ((flagsSeen & (kWholeBlock | kLooksUpExtra)) != 0) {
    const bool anyExtras = !rotations.empty() || !customIds.empty();
    for (size_t place = 0; place < count; ++place) {
      BlockRecord& record = records[place];
      const uint8_t flags = recordFlags_[record.type];
      record.faceMask |= flags & kWholeBlock;
      if ((flags & kLooksUpExtra) == 0 || !anyExtras) continue;
      record.extra = ExtraOf(record.type, record.col, record.row, record.height, rotations, customIds);
      if (record.extra == 0) continue;
      negativeExtras += record.extra < 0 ? 1 : 0;
      const uint32_t biasedExtra = static_cast<uint32_t>(record.extra) ^ 0x80000000u;  // sorts as signed
      extraKeys_.push_back((uint64_t{biasedExtra} << 32) | (uint64_t{record.type} << 24) | place);
    }
  }
  if (extraKeys_.empty() && typesOr == typesAnd) return;  // one type: walk order
  SortBand(records, negativeExtras);
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
  // Band by band, so that a band's cells, lines and masks are still in the cache when its
  // records are collected. The lines just outside the range are only looked at through the lo/hi
  // rules, never read.
  int classifiedTo = lo - 1;
  for (int band = lo / kHeightBandSize; band <= hi / kHeightBandSize; ++band) {
    const int first = std::max(lo, band * kHeightBandSize);
    const int last = std::min(hi, band * kHeightBandSize + kHeightBandSize - 1);
    const int lastNeeded = std::min(hi, last + 1);  // the faces of the band's top look one line up
    MarkLines(chunk, classifiedTo + 1, lastNeeded);
    classifiedTo = lastNeeded;
    MarkNeighbourEdges(planes, first, last);
    MarkFaces(first, last, lo, hi);
    CollectBand(chunk, first, last, rotations, customIds, bands[band]);
  }
}

// Orders the walk-ordered records by extra, then type, keeping walk order among equals. Records
// with extra 0, nearly all of them, take a counting sort by type; the few others (custom and
// mesh blocks, keyed in extraKeys_ by extra, type and place in walk order) go before them when
// their extra is negative and after them when it is positive.
void BlockWalker::SortBand(std::vector<BlockRecord>& records, size_t negativeExtras) {
  const size_t count = records.size();
  std::array<uint32_t, 256> places{};  // per type: first the count of records, then the next place
  for (const BlockRecord& record : records) places[record.type] += record.extra == 0 ? 1 : 0;
  uint32_t next = static_cast<uint32_t>(negativeExtras);
  for (uint32_t& place : places) {
    const uint32_t typeCount = place;
    place = next;
    next += typeCount;
  }
  // The scratch only ever grows, so it is not cleared again for each band.
  if (sortScratch_.size() < count) sortScratch_.resize(count);
  BlockRecord* sorted = sortScratch_.data();
  for (const BlockRecord& record : records) {
    if (record.extra == 0) sorted[places[record.type]++] = record;
  }
  std::sort(extraKeys_.begin(), extraKeys_.end());
  for (size_t i = 0; i < extraKeys_.size(); ++i) {
    const size_t to = i < negativeExtras ? i : next + (i - negativeExtras);
    sorted[to] = records[extraKeys_[i] & 0xFFFFFFu];
  }
  std::copy(sorted, sorted + count, records.begin());
}

}  // namespace orelens::world
