#include "world/world_metadata.h"

#include <algorithm>
#include <charconv>

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

// Where reading the file puts the player position: A at 8, the A chunk entries (none for A of 0
// or less), B after them, then B records of 12 bytes and 52 more bytes, B taken with its sign. A
// count that lies beyond the end of the file reads as 0. The offset may lie outside the file.
struct PositionPlace {
  int32_t chunkCount = 0;
  int32_t bCount = 0;
  int64_t offset = 0;

  bool InsideFile(size_t fileSize) const {
    return offset >= 0 && static_cast<uint64_t>(offset) + kPlayerPositionSize <= fileSize;
  }
  // Where the position is written: only a layout whose counts are both known to this program
  // and that holds the position. A negative count would have a writer move backwards over the
  // chunk list and the counts.
  bool Writable(size_t fileSize) const { return chunkCount >= 0 && bCount >= 0 && InsideFile(fileSize); }
};

PositionPlace FindPositionPlace(std::span<const uint8_t> bytes) {
  PositionPlace place;
  platform::ReadValueAt(bytes, kChunkCountOffset, place.chunkCount);
  const uint64_t bCountOffset =
      kChunkCountOffset + 4 + static_cast<uint64_t>(std::max(place.chunkCount, 0)) * kChunkEntrySize;
  platform::ReadValueAt(bytes, bCountOffset, place.bCount);
  place.offset = static_cast<int64_t>(bCountOffset) + 4 +
                 int64_t{place.bCount} * static_cast<int64_t>(kBRecordSize) +
                 static_cast<int64_t>(kBytesAfterBRecords);
  return place;
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
  if (const PositionPlace place = FindPositionPlace(bytes); place.InsideFile(bytes.size())) {
    reader.Seek(static_cast<uint64_t>(place.offset));
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
  const PositionPlace place = FindPositionPlace(bytes);
  if (!place.Writable(bytes.size())) return PositionWriteResult::kUnknownLayout;
  const double gameValues[3] = {x * 100, z * 100, y * 100};
  const bool written =
      file.Seek(place.offset) &&
      file.Write(std::span(reinterpret_cast<const uint8_t*>(gameValues), sizeof(gameValues)));
  return written ? PositionWriteResult::kWritten : PositionWriteResult::kWriteFailed;
}

}  // namespace orelens::world
