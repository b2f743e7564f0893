#include "schematic/schematic_file.h"

#include <limits>

#include "schematic/little_endian_bytes.h"

namespace orelens::schematic {

std::optional<int64_t> SchematicCellCount(const SchematicSize& size) {
  if (size.sizeX <= 0 || size.sizeZ <= 0 || size.sizeY <= 0) return std::nullopt;
  constexpr int64_t kLargestPayload = std::numeric_limits<int32_t>::max();
  const int64_t column = int64_t{size.sizeX} * size.sizeZ;  // < 2^62, no overflow
  if (column > kLargestPayload) return std::nullopt;
  const int64_t cells = column * size.sizeY;  // < 2^31 * 2^31
  if (cells > kLargestPayload - 8) return std::nullopt;
  return cells;
}

std::optional<SchematicHeader> ReadSchematicHeader(std::span<const uint8_t> file) {
  LittleEndianReader reader(file);
  SchematicHeader header;
  header.size.sizeX = reader.ReadInt32();
  header.size.sizeZ = reader.ReadInt32();
  header.size.sizeY = reader.ReadInt32();
  header.magic = reader.ReadInt32();
  if (!reader.ok()) return std::nullopt;
  return header;
}

std::optional<int32_t> ReadSchematicTrailer(std::span<const uint8_t> file) {
  if (file.size() < kSchematicTrailerSize) return std::nullopt;
  LittleEndianReader reader(file, file.size() - kSchematicTrailerSize);
  return reader.ReadInt32();
}

std::vector<uint8_t> EncodeSchematicPayload(const SchematicContent& content) {
  std::vector<uint8_t> payload;
  payload.reserve(content.blockTypes.size() + 8 + kCustomEntrySize * content.customBlocks.size() +
                  kRotationEntrySize * content.rotations.size());
  payload.assign(content.blockTypes.begin(), content.blockTypes.end());
  LittleEndianWriter writer(payload);
  writer.WriteInt32(static_cast<int32_t>(content.customBlocks.size()));
  for (const SchematicExtraEntry& entry : content.customBlocks) {
    writer.WriteInt16(static_cast<int16_t>(entry.x));
    writer.WriteInt16(static_cast<int16_t>(entry.z));
    writer.WriteInt16(static_cast<int16_t>(entry.y));
    writer.WriteInt32(entry.value);
  }
  writer.WriteInt32(static_cast<int32_t>(content.rotations.size()));
  for (const SchematicExtraEntry& entry : content.rotations) {
    writer.WriteInt16(static_cast<int16_t>(entry.x));
    writer.WriteInt16(static_cast<int16_t>(entry.z));
    writer.WriteInt16(static_cast<int16_t>(entry.y));
    writer.WriteInt8(static_cast<int8_t>(entry.value));
  }
  return payload;
}

namespace {

// Reads a list count and checks that its entries fit in what is left of the payload before any
// of them is read, so a huge count neither reads past the end nor reserves absurd memory.
std::optional<size_t> ReadListCount(LittleEndianReader& reader, size_t entrySize) {
  const int32_t count = reader.ReadInt32();
  if (!reader.ok() || count < 0) return std::nullopt;
  if (static_cast<size_t>(count) > reader.remaining() / entrySize) return std::nullopt;
  return static_cast<size_t>(count);
}

}  // namespace

std::optional<SchematicContent> DecodeSchematicPayload(const SchematicSize& size,
                                                       std::span<const uint8_t> payload) {
  const std::optional<int64_t> cells = SchematicCellCount(size);
  if (!cells || static_cast<uint64_t>(*cells) > payload.size()) return std::nullopt;

  SchematicContent content;
  content.size = size;
  content.blockTypes.assign(payload.begin(), payload.begin() + *cells);

  LittleEndianReader reader(payload, static_cast<size_t>(*cells));
  const std::optional<size_t> customCount = ReadListCount(reader, kCustomEntrySize);
  if (!customCount) return std::nullopt;
  content.customBlocks.resize(*customCount);
  for (SchematicExtraEntry& entry : content.customBlocks) {
    entry.x = reader.ReadInt16();
    entry.z = reader.ReadInt16();
    entry.y = reader.ReadInt16();
    entry.value = reader.ReadInt32();
  }
  const std::optional<size_t> rotationCount = ReadListCount(reader, kRotationEntrySize);
  if (!rotationCount) return std::nullopt;
  content.rotations.resize(*rotationCount);
  for (SchematicExtraEntry& entry : content.rotations) {
    entry.x = reader.ReadInt16();
    entry.z = reader.ReadInt16();
    entry.y = reader.ReadInt16();
    entry.value = reader.ReadInt8();
  }
  if (!reader.ok()) return std::nullopt;
  return content;
}

std::vector<uint8_t> EncodeSchematicHeader(const SchematicSize& size) {
  std::vector<uint8_t> header;
  LittleEndianWriter writer(header);
  writer.WriteInt32(size.sizeX);
  writer.WriteInt32(size.sizeZ);
  writer.WriteInt32(size.sizeY);
  writer.WriteInt32(kSchematicMagic);
  return header;
}

std::vector<uint8_t> EncodeSchematicTrailer(int32_t payloadSize) {
  std::vector<uint8_t> trailer;
  LittleEndianWriter(trailer).WriteInt32(payloadSize);
  return trailer;
}

}  // namespace orelens::schematic
