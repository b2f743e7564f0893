#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace orelens::schematic {

// A schematic file (".kvSch"):
//   int32 SX, int32 SZ, int32 SY, int32 magic, one LZ4 block with the payload, int32 U (payload size).
// The payload holds one block type per cell (x fastest, then z, then the height), then the
// custom-block list (int32 C, C x {int16 x, z, y, int32 id}) and the rotation list
// (int32 R, R x {int16 x, z, y, int8 rotation}).
constexpr int32_t kSchematicMagic = 0x13371337;
constexpr size_t kSchematicHeaderSize = 16;
constexpr size_t kSchematicTrailerSize = 4;
constexpr size_t kSchematicFramingSize = kSchematicHeaderSize + kSchematicTrailerSize;
constexpr size_t kCustomEntrySize = 10;
constexpr size_t kRotationEntrySize = 7;
// Room the writer gives the compressed payload; a larger payload gets LZ4's worst-case bound instead.
constexpr size_t kCompressedOutputCapacity = 3'000'000;

constexpr std::string_view kSchematicExtension = "kvSch";  // compared exactly, case included
constexpr std::string_view kSaveRequesterPattern = "Kelvane Schematic | *.KvSch";
constexpr std::string_view kLoadRequesterPattern =
    "Schematic Files (*.KvSch, *.gz)|*.KvSch;*.gz|All files (*.*)|*.*";

// Sizes in cells, in the file's order.
struct SchematicSize {
  int32_t sizeX = 0;
  int32_t sizeZ = 0;
  int32_t sizeY = 0;  // along the height
};

// Number of cells of a box, or nothing when a size is 0 or less or the payload could not be
// described by the file's 32-bit size.
std::optional<int64_t> SchematicCellCount(const SchematicSize& size);

// One entry of the custom-block or rotation list: cell indexes and the value kept for the cell.
struct SchematicExtraEntry {
  int32_t x = 0;
  int32_t z = 0;
  int32_t y = 0;
  int32_t value = 0;  // custom block id, or the rotation widened from its signed byte
};

// The decoded payload of a schematic.
struct SchematicContent {
  SchematicSize size;
  std::vector<uint8_t> blockTypes;  // one per cell, at CellIndex(x, z, y)
  std::vector<SchematicExtraEntry> customBlocks;
  std::vector<SchematicExtraEntry> rotations;

  size_t CellIndex(int64_t x, int64_t z, int64_t y) const {
    return static_cast<size_t>(x + z * size.sizeX + y * int64_t{size.sizeX} * size.sizeZ);
  }
  uint8_t BlockAt(int64_t x, int64_t z, int64_t y) const { return blockTypes[CellIndex(x, z, y)]; }
};

// The first 16 bytes of a file. Sizes are read whatever the magic says.
struct SchematicHeader {
  SchematicSize size;
  int32_t magic = 0;
};
std::optional<SchematicHeader> ReadSchematicHeader(std::span<const uint8_t> file);
// The payload size U stored in the last four bytes.
std::optional<int32_t> ReadSchematicTrailer(std::span<const uint8_t> file);

// The payload of content (U = N + 8 + 10 C + 7 R bytes). Cell indexes of the entries are stored
// in 16 bits and rotations in 8, as the format has them.
std::vector<uint8_t> EncodeSchematicPayload(const SchematicContent& content);

// Reads a payload of a box of the given size. Fails on sizes of 0 or less and on lists that run
// past the payload; bytes after the rotation list are ignored.
std::optional<SchematicContent> DecodeSchematicPayload(const SchematicSize& size,
                                                       std::span<const uint8_t> payload);
// The same, keeping the payload's own buffer as the cells' block types instead of copying them
// (a payload can be as large as the file allows).
std::optional<SchematicContent> DecodeSchematicPayload(const SchematicSize& size,
                                                       std::vector<uint8_t>&& payload);

// The 16 bytes before the compressed payload and the 4 after it.
std::vector<uint8_t> EncodeSchematicHeader(const SchematicSize& size);
std::vector<uint8_t> EncodeSchematicTrailer(int32_t payloadSize);

}  // namespace orelens::schematic
