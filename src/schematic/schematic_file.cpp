#include "schematic/schematic_file.h"

#include <limits>

#include "platform/files/byte_reader.h"
#include "platform/files/byte_writer.h"

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
  platform::ByteReader reader(file);
  SchematicHeader header;
  if (!reader.ReadI32(header.size.sizeX) || !reader.ReadI32(header.size.sizeZ) ||
      !reader.ReadI32(header.size.sizeY) || !reader.ReadI32(header.magic)) {
    return std::nullopt;
  }
  return header;
}

std::optional<int32_t> ReadSchematicTrailer(std::span<const uint8_t> file) {
  int32_t payloadSize = 0;
  if (file.size() < kSchematicTrailerSize ||
      !platform::ReadValueAt(file, file.size() - kSchematicTrailerSize, payloadSize)) {
    return std::nullopt;
  }
  return payloadSize;
}

std::vector<uint8_t> EncodeSchematicPayload(const SchematicContent& content) {
  std::vector<uint8_t> payload;
  payload.reserve(content.blockTypes.size() + 8 + kCustomEntrySize * content.customBlocks.size() +
                  kRotationEntrySize * content.rotations.size());
  payload.assign(content.blockTypes.begin(), content.blockTypes.end());
  platform::ByteWriter writer(payload);
  writer.WriteI32(static_cast<int32_t>(content.customBlocks.size()));
  for (const SchematicExtraEntry& entry : content.customBlocks) {
    writer.WriteI16(static_cast<int16_t>(entry.x));
    writer.WriteI16(static_cast<int16_t>(entry.z));
    writer.WriteI16(static_cast<int16_t>(entry.y));
    writer.WriteI32(entry.value);
  }
  writer.WriteI32(static_cast<int32_t>(content.rotations.size()));
  for (const SchematicExtraEntry& entry : content.rotations) {
    writer.WriteI16(static_cast<int16_t>(entry.x));
    writer.WriteI16(static_cast<int16_t>(entry.z));
    writer.WriteI16(static_cast<int16_t>(entry.y));
    writer.WriteI8(static_cast<int8_t>(entry.value));
  }
  return payload;
}

namespace {

// Reads a list count and checks that its entries fit in what is left of the payload before any
// of them is read, so a huge count neither reads past the end nor reserves absurd memory.
std::optional<size_t> ReadListCount(platform::ByteReader& reader, size_t entrySize) {
  int32_t count = 0;
  if (!reader.ReadI32(count) || count < 0) return std::nullopt;
  if (static_cast<size_t>(count) > reader.Remaining() / entrySize) return std::nullopt;
  return static_cast<size_t>(count);
}

// One list entry: int16 x, z, y, then the value (int32 or int8). The caller has checked that the
// entry fits.
template <typename Value>
SchematicExtraEntry ReadEntry(platform::ByteReader& reader) {
  int16_t x = 0, z = 0, y = 0;
  Value value = 0;
  reader.ReadI16(x);
  reader.ReadI16(z);
  reader.ReadI16(y);
  if constexpr (sizeof(Value) == 1) {
    reader.ReadI8(value);
  } else {
    reader.ReadI32(value);
  }
  return {x, z, y, value};
}

// Reads the two lists that follow the cells' block types; false when they do not fit.
bool DecodeSchematicLists(std::span<const uint8_t> payload, uint64_t cells, SchematicContent& content) {
  platform::ByteReader reader(payload);
  reader.Seek(cells);
  const std::optional<size_t> customCount = ReadListCount(reader, kCustomEntrySize);
  if (!customCount) return false;
  content.customBlocks.reserve(*customCount);
  for (size_t i = 0; i < *customCount; ++i) content.customBlocks.push_back(ReadEntry<int32_t>(reader));
  const std::optional<size_t> rotationCount = ReadListCount(reader, kRotationEntrySize);
  if (!rotationCount) return false;
  content.rotations.reserve(*rotationCount);
  for (size_t i = 0; i < *rotationCount; ++i) content.rotations.push_back(ReadEntry<int8_t>(reader));
  return true;
}

}  // namespace

std::optional<SchematicContent> DecodeSchematicPayload(const SchematicSize& size,
                                                       std::span<const uint8_t> payload) {
  const std::optional<int64_t> cells = SchematicCellCount(size);
  if (!cells || static_cast<uint64_t>(*cells) > payload.size()) return std::nullopt;
  SchematicContent content;
  content.size = size;
  if (!DecodeSchematicLists(payload, static_cast<uint64_t>(*cells), content)) return std::nullopt;
  content.blockTypes.assign(payload.begin(), payload.begin() + *cells);
  return content;
}

std::optional<SchematicContent> DecodeSchematicPayload(const SchematicSize& size,
                                                       std::vector<uint8_t>&& payload) {
  const std::optional<int64_t> cells = SchematicCellCount(size);
  if (!cells || static_cast<uint64_t>(*cells) > payload.size()) return std::nullopt;
  SchematicContent content;
  content.size = size;
  if (!DecodeSchematicLists(payload, static_cast<uint64_t>(*cells), content)) return std::nullopt;
  payload.resize(static_cast<size_t>(*cells));  // the lists are read; the block types stay where they are
  content.blockTypes = std::move(payload);
  return content;
}

std::vector<uint8_t> EncodeSchematicHeader(const SchematicSize& size) {
  std::vector<uint8_t> header;
  platform::ByteWriter writer(header);
  writer.WriteI32(size.sizeX);
  writer.WriteI32(size.sizeZ);
  writer.WriteI32(size.sizeY);
  writer.WriteI32(kSchematicMagic);
  return header;
}

std::vector<uint8_t> EncodeSchematicTrailer(int32_t payloadSize) {
  std::vector<uint8_t> trailer;
  platform::ByteWriter(trailer).WriteI32(payloadSize);
  return trailer;
}

}  // namespace orelens::schematic
