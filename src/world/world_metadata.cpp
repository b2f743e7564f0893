#include "world/world_metadata.h"

#include <charconv>
#include <optional>

#include "platform/files/byte_reader.h"
#include "platform/files/directory_listing.h"
#include "platform/files/file.h"
#include "platform/text/integer_text.h"

namespace orelens::world {
namespace {

using platform::ByteReader;

constexpr std::string_view kMetadataPrefix = "WorldMetadata";
constexpr std::string_view kMetadataSuffix = ".important";
constexpr uint64_t kChunkCountOffset = 8;
constexpr uint64_t kChunkEntrySize = 8;
constexpr uint64_t kBRecordSize = 12;
constexpr uint64_t kBytesAfterBRecords = 52;
constexpr int kPlayerPositionSize = 24;
constexpr size_t kMinNumberedNameLength = kMetadataPrefix.size() + kMetadataSuffix.size() + 1;

// Offset of the player position: after the chunk entries, B and B records and 52 more bytes.
// A negative A counts as no entries (the reader walks none); nullopt when A or B cannot be read.
std::optional<int64_t> PlayerPositionOffset(std::span<const uint8_t> bytes) {
  ByteReader reader(bytes);
  int32_t chunkCount = 0, bCount = 0;
  if (!reader.Seek(kChunkCountOffset) || !reader.ReadI32(chunkCount)) return std::nullopt;
  int64_t entries = chunkCount > 0 ? chunkCount : 0;
  int64_t bCountOffset = static_cast<int64_t>(kChunkCountOffset) + 4 + entries * static_cast<int64_t>(kChunkEntrySize);
  if (!platform::ReadValueAt(bytes, static_cast<uint64_t>(bCountOffset), bCount)) return std::nullopt;
  return bCountOffset + 4 + static_cast<int64_t>(bCount) * static_cast<int64_t>(kBRecordSize) +
         static_cast<int64_t>(kBytesAfterBRecords);
}

bool PositionFits(std::span<const uint8_t> bytes, int64_t offset) {
  return offset >= 0 && static_cast<uint64_t>(offset) + kPlayerPositionSize <= bytes.size();
}

}  // namespace

std::string ChunkOriginKey(int32_t originX, int32_t originZ) {
  constexpr int kMaxDigits = 11;  // "-2147483648"
  char text[2 * kMaxDigits + 1];
  char* p = std::to_chars(text, text + kMaxDigits, originX).ptr;
  *p++ = ',';
  p = std::to_chars(p, p + kMaxDigits, originZ).ptr;
  return std::string(text, p);
}

void ListWorldFolders(WorldList& list, std::string_view folder) {
  for (const platform::DirectoryEntry& entry : platform::ListDirectory(folder, "*.*")) {
    if (!entry.isFolder || entry.name == "." || entry.name == "..") continue;
    std::string worldFolder = std::string(folder) + entry.name + "/";
    for (const platform::DirectoryEntry& metadata : platform::ListDirectory(worldFolder, "*.important")) {
      if (!metadata.isFolder) {
        list.push_back(entry.name);
        break;
      }
    }
  }
}

std::string CurrentMetadataFile(std::string_view worldFolder) {
  int64_t highest = 0;
  for (const platform::DirectoryEntry& entry : platform::ListDirectory(worldFolder, "*.important")) {
    if (entry.isFolder || entry.name.size() < kMinNumberedNameLength) continue;
    std::string_view number = std::string_view(entry.name).substr(
        kMetadataPrefix.size(), entry.name.size() - kMetadataPrefix.size() - kMetadataSuffix.size());
    int64_t value = platform::ParseIntegerText(number);
    if (value > highest) highest = value;
  }
  return std::string(worldFolder) + std::string(kMetadataPrefix) + std::to_string(highest) + std::string(kMetadataSuffix);
}

double ReadWorldMetadata(WorldChunkMap& chunkMap, std::string_view worldFolder, PlayerPosition& position) {
  platform::File file = platform::File::Open(CurrentMetadataFile(worldFolder), platform::FileMode::kReadWrite);
  if (file.IsOpen()) {
    std::vector<uint8_t> bytes = file.ReadAll();
    file.Close();
    ByteReader reader(bytes);
    int32_t chunkCount = 0;
    if (reader.Seek(kChunkCountOffset) && reader.ReadI32(chunkCount)) {
      // Only the entries the file holds are walked.
      for (int32_t id = 0; id < chunkCount; ++id) {
        int32_t gameX = 0, gameZ = 0;
        if (!reader.ReadI32(gameX) || !reader.ReadI32(gameZ)) break;
        chunkMap.insert_or_assign(ChunkOriginKey(gameX / 100, gameZ / 100), id);
      }
    }
    double gameX = 0, gameZ = 0, gameY = 0;
    std::optional<int64_t> offset = PlayerPositionOffset(bytes);
    if (offset && PositionFits(bytes, *offset)) {
      reader.Seek(static_cast<uint64_t>(*offset));
      reader.ReadF64(gameX);
      reader.ReadF64(gameZ);
      reader.ReadF64(gameY);
    }
    position.x = static_cast<float>(gameX / 100);
    position.z = static_cast<float>(gameZ / 100);
    position.height = static_cast<float>(gameY / 100 + 2.0);
  }
  return chunkMap.size() > 10 ? 1.0 : 0.0;
}

void WritePlayerPosition(std::string_view worldFolder, double x, double y, double z) {
  platform::File file = platform::File::Open(CurrentMetadataFile(worldFolder), platform::FileMode::kReadWrite);
  if (!file.IsOpen()) return;
  std::vector<uint8_t> bytes = file.ReadAll();
  std::optional<int64_t> offset = PlayerPositionOffset(bytes);
  if (!offset || !PositionFits(bytes, *offset)) return;
  double gameValues[3] = {x * 100, z * 100, y * 100};
  if (file.Seek(*offset)) file.Write(std::span(reinterpret_cast<const uint8_t*>(gameValues), sizeof(gameValues)));
}

}  // namespace orelens::world
