#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "world/cell_value_map.h"

namespace orelens::world {

// The stored form of a chunk: one LZ4 block of the decoded record followed by the decoded size
// U as an int32 (the whole `data` of a CHUNKDATA row, or the whole content of a cache file).
using ChunkBlob = std::vector<uint8_t>;
// The decoded record, U bytes: 4 head bytes, the block plane, then the game's own sections and
// the record lists.
using ChunkData = std::vector<uint8_t>;

inline constexpr int kChunkColumns = 32;
inline constexpr int kChunkRows = 32;
inline constexpr int kChunkHeight = 800;
inline constexpr size_t kChunkHeadSize = 4;
inline constexpr size_t kBlockPlaneOffset = 4;
inline constexpr size_t kBlockPlaneSize = 819'200;
// Head and block plane: the least a decoded record holds.
inline constexpr size_t kChunkHeadAndPlaneSize = kBlockPlaneOffset + kBlockPlaneSize;  // 819,204
// A record of this size or less has no record lists.
inline constexpr size_t kChunkSizeWithoutLists = 1'638'400;
inline constexpr size_t kRotationCountOffset = 1'638'404;
// The buffer that a neighbour's head and block plane are decoded into.
inline constexpr size_t kNeighbourPlaneBufferSize = 819'210;
// Largest decoded size accepted from a trailer. The game's records are under 2 MB; the record
// lists could at most add a few bytes per cell, so anything beyond this is damage.
inline constexpr size_t kMaxDecodedChunkSize = 64u << 20;
// Largest stored form of such a record: LZ4's worst case for it, and the trailer.
inline constexpr size_t kMaxStoredChunkSize = kMaxDecodedChunkSize + kMaxDecodedChunkSize / 255 + 16 + 4;

inline constexpr size_t kRotationRecordSize = 5;
inline constexpr size_t kCustomBlockRecordSize = 8;

// Offset of a cell in a decoded record.
constexpr size_t CellOffset(int col, int row, int height) {
  return kBlockPlaneOffset + static_cast<size_t>(col) + 32u * static_cast<size_t>(row) + 1024u * static_cast<size_t>(height);
}

// A cell of a chunk as one integer: col, row and the 16-bit height packed together. It stands in
// for the text key "col,row,h" in the record maps; CellKeyText gives that text.
using CellKey = uint32_t;

constexpr CellKey MakeCellKey(uint8_t col, uint8_t row, int16_t height) {
  return static_cast<CellKey>(col) | (static_cast<CellKey>(row) << 8) |
         (static_cast<CellKey>(static_cast<uint16_t>(height)) << 16);
}
constexpr int CellKeyCol(CellKey key) { return static_cast<int>(key & 0xFF); }
constexpr int CellKeyRow(CellKey key) { return static_cast<int>((key >> 8) & 0xFF); }
constexpr int CellKeyHeight(CellKey key) { return static_cast<int16_t>(static_cast<uint16_t>(key >> 16)); }
// "col,row,h" in decimal, h signed.
std::string CellKeyText(CellKey key);

struct RotationRecord {
  uint8_t col = 0;
  uint8_t row = 0;
  int16_t height = 0;
  int8_t value = 0;
};

struct CustomBlockRecord {
  uint8_t col = 0;
  uint8_t row = 0;
  int16_t height = 0;
  int32_t value = 0;
};


// What the section walk of a decoded record yields.
// In both lists a later record for a cell replaces an earlier one.
struct ChunkRecordLists {
  CellValueMap rotations;     // rotation value (signed byte) by cell
  CellValueMap customBlocks;  // custom block id by cell
  bool hasLists = false;        // the record is larger than 1,638,400 bytes
  bool hasHeightRange = false;  // MinHeight and MaxHeight were read
  int16_t MinHeight = 0;
  int16_t MaxHeight = 0;
  int32_t rotationCount = 0;  // N1 as read, at kRotationCountOffset
  // Where T stands; only known when the walk reached the custom-block list.
  std::optional<size_t> customBlockCountOffset;
  int32_t customBlockCount = 0;  // T as read
};

// Walks the sections of a decoded record after the second 819,200 bytes and fills the lists.
// The walk never reads outside the record: a check that fails, a negative count or a count that
// runs past the end stops it, keeping what earlier sections gave.
void DecodeChunkRecordLists(std::span<const uint8_t> record, ChunkRecordLists& lists);

// The decoded size U that a stored form announces, or nullopt when the stored form is shorter
// than its trailer or U is below the head and block plane or above kMaxDecodedChunkSize; such a
// record is treated as missing.
std::optional<size_t> DecodedSizeOfBlob(std::span<const uint8_t> blob);

// The block plane of a decoded record (which holds at least the head and the plane).
inline std::span<const uint8_t> BlockPlane(std::span<const uint8_t> record) {
  return record.subspan(kBlockPlaneOffset, kBlockPlaneSize);
}

}  // namespace orelens::world
