#include "schematic/schematic_reading.h"

#include <limits>
#include <memory>
#include <new>
#include <vector>

#include "platform/dynlib/lz4_library.h"

namespace orelens::schematic {

namespace {

// LZ4 never expands a block more than about 255 times, so a stored size beyond this cannot come
// from the compressed bytes and is not worth allocating.
uint64_t LargestPayloadFrom(size_t compressedSize) {
  return uint64_t{compressedSize} * 255 + 64;
}

}  // namespace

platform::File OpenSchematicForReading(std::string_view path) {
  return platform::File::Open(path, platform::FileMode::kRead);
}

SchematicReadResult ReadSchematic(platform::File& file, const platform::LibraryLocator& libraries) {
  SchematicReadResult result;
  try {
    const std::vector<uint8_t> bytes = file.ReadAll();
    const std::optional<SchematicHeader> header = ReadSchematicHeader(bytes);
    const std::optional<int32_t> payloadSize = ReadSchematicTrailer(bytes);
    if (bytes.size() <= kSchematicFramingSize || !header || !payloadSize || *payloadSize <= 0) {
      result.status = SchematicReadStatus::kCannotAllocate;
      return result;
    }
    if (header->magic != kSchematicMagic) {
      result.status = SchematicReadStatus::kNotASchematic;
      return result;
    }
    const std::span<const uint8_t> compressed =
        std::span(bytes).subspan(kSchematicHeaderSize, bytes.size() - kSchematicFramingSize);

    std::vector<uint8_t> payload;
    {
      const std::unique_ptr<platform::Lz4Library> lz4 = platform::Lz4Library::Load(libraries);
      if (!lz4) {
        result.status = SchematicReadStatus::kNoLz4;
        return result;
      }
      result.status = SchematicReadStatus::kUnpackFailed;
      if (static_cast<uint64_t>(*payloadSize) > LargestPayloadFrom(compressed.size())) return result;
      payload.resize(static_cast<size_t>(*payloadSize));
      if (lz4->DecompressSafe(compressed, payload) != *payloadSize) return result;
    }

    result.content = DecodeSchematicPayload(header->size, std::move(payload));
    result.status = result.content ? SchematicReadStatus::kRead : SchematicReadStatus::kBadPayload;
  } catch (const std::bad_alloc&) {
    result.status = SchematicReadStatus::kOutOfMemory;
  }
  return result;
}

}  // namespace orelens::schematic
