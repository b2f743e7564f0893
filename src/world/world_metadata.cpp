#include "world/world_metadata.h"

#include <algorithm>
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
// nullopt unless A and B are read, neither is negative and the 24 position bytes lie inside the
// file: a count that is damaged, or from a layout this program does not know, would otherwise
// place the position over the chunk list or past the end.
std::optional<uint64_t> PlayerPositionOffset(std::span<const uint8_t> bytes) {
  int32_t chunkCount = 0, bCount = 0;
  if (!platform::ReadValueAt(bytes, kChunkCountOffset, chunkCount) || chunkCount < 0) return std::nullopt;
  const uint64_t bCountOffset = kChunkCountOffset + 4 + static_cast<uint64_t>(chunkCount) * kChunkEntrySize;
  if (!platform::ReadValueAt(bytes, bCountOffset, bCount) || bCount < 0) return std::nullopt;
  const uint64_t offset =
      bCountOffset + 4 + static_cast<uint64_t>(bCount) * kBRecordSize + kBytesAfterBRecords;
  if (offset + kPlayerPositionSize > bytes.size()) return std::nullopt;
  return offset;
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
  std::string chosen;  // empty while no file has been met
  for (const platform::DirectoryEntry& entry : platform::ListDirectory(worldFolder, "*.important")) {
    if (entry.isFolder) continue;
    int64_t value = 0;
    if (entry.name.size() >= kMinNumberedNameLength) {
      value = platform::ParseIntegerText(
          std::string_view(entry.name)
              .substr(kMetadataPrefix.size(),
                      entry.name.size() - kMetadataPrefix.size() - kMetadataSuffix.size()));
    }
    const std::string spelt =
        std::string(kMetadataPrefix) + std::to_string(value) + std::string(kMetadataSuffix);
    if (chosen.empty() || value > highest || (value == highest && entry.name == spelt)) {
      highest = value;
      chosen = entry.name;
    }
  }
  if (chosen.empty() || highest < 0) {
    chosen = std::string(kMetadataPrefix) + std::to_string(std::max<int64_t>(highest, 0)) +
             std::string(kMetadataSuffix);
  }
  return std::string(worldFolder) + chosen;
}

double ReadWorldMetadata(WorldChunkMap& chunkMap, std::string_view worldFolder, PlayerPosition& position) {
  const std::string path = CurrentMetadataFile(worldFolder);
  platform::File file = platform::File::Open(path, platform::FileMode::kRead);
  // A file missing from an existing world folder reads as an empty one; anything else that does
  // not open (no such folder, a file another program holds) leaves map and position as they are.
  if (!file.IsOpen() && !(platform::FileSize(path) == -1 && platform::FileSize(worldFolder) == -2)) {
    return chunkMap.size() > 10 ? 1.0 : 0.0;
  }
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
  if (const std::optional<uint64_t> offset = PlayerPositionOffset(bytes)) {
    reader.Seek(*offset);
    reader.ReadF64(gameX);
    reader.ReadF64(gameZ);
    reader.ReadF64(gameY);
  }
  position.x = static_cast<float>(gameX / 100);
  position.z = static_cast<float>(gameZ / 100);
  position.height = static_cast<float>(gameY / 100 + 2.0);
  return chunkMap.size() > 10 ? 1.0 : 0.0;
}

PositionWriteResult WritePlayerPosition(std::string_view worldFolder, double x, double y, double z) {
  platform::File file = platform::File::Open(CurrentMetadataFile(worldFolder), platform::FileMode::kUpdate);
  if (!file.IsOpen()) return PositionWriteResult::kCannotOpen;
  const std::vector<uint8_t> bytes = file.ReadAll();
  if (static_cast<int64_t>(bytes.size()) != file.Length()) return PositionWriteResult::kWriteFailed;
  const std::optional<uint64_t> offset = PlayerPositionOffset(bytes);
  if (!offset) return PositionWriteResult::kUnknownLayout;
  const double gameValues[3] = {x * 100, z * 100, y * 100};
  const bool written =
      file.Seek(static_cast<int64_t>(*offset)) &&
      file.Write(std::span(reinterpret_cast<const uint8_t*>(gameValues), sizeof(gameValues)));
  return written ? PositionWriteResult::kWritten : PositionWriteResult::kWriteFailed;
}

}  // namespace orelens::world
