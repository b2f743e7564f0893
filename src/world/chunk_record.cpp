#include "world/chunk_record.h"

#include <charconv>
#include <cstring>

#include "platform/files/byte_reader.h"

namespace orelens::world {
namespace {

using platform::ByteReader;

constexpr int kHeightFlagCount = 8;
constexpr int32_t kVersionLimit = 51;      // V must stay below this
constexpr int32_t kLightTableLength = 1024;  // L must be exactly this

// Reads a count and checks that count × recordSize bytes follow; a negative count or one that
// runs past the end fails.
bool ReadCount(ByteReader& reader, size_t recordSize, int32_t& count) {
  return reader.ReadI32(count) && count >= 0 && static_cast<uint64_t>(count) * recordSize <= reader.Remaining();
}

bool SkipCountedList(ByteReader& reader, size_t recordSize) {
  int32_t count = 0;
  return ReadCount(reader, recordSize, count) && reader.Skip(static_cast<uint64_t>(count) * recordSize);
}

// Reads `count` records of the given size at the reader's position (checked by ReadCount) into
// the map: col, row, int16 height, then the value.
template <typename Value, size_t kRecordSize>
void ReadCellList(ByteReader& reader, int32_t count, CellValueMap& map) {
  static_assert(4 + sizeof(Value) == kRecordSize);
  std::span<const uint8_t> records;
  if (!reader.ReadView(static_cast<uint64_t>(count) * kRecordSize, records)) return;
  map.reserve(map.size() + static_cast<size_t>(count));
  for (size_t offset = 0; offset < records.size(); offset += kRecordSize) {
    const uint8_t* record = records.data() + offset;
    int16_t height = 0;
    Value value = 0;
    std::memcpy(&height, record + 2, sizeof(height));
    std::memcpy(&value, record + 4, sizeof(value));
    map.insert_or_assign(MakeCellKey(record[0], record[1], height), static_cast<int32_t>(value));
  }
}

}  // namespace

std::string CellKeyText(CellKey key) {
  constexpr int kMaxDigits = 6;  // "-32768"
  char text[3 * kMaxDigits + 2];
  char* p = std::to_chars(text, text + kMaxDigits, CellKeyCol(key)).ptr;
  *p++ = ',';
  p = std::to_chars(p, p + kMaxDigits, CellKeyRow(key)).ptr;
  *p++ = ',';
  p = std::to_chars(p, p + kMaxDigits, CellKeyHeight(key)).ptr;
  return std::string(text, p);
}

std::optional<size_t> DecodedSizeOfBlob(std::span<const uint8_t> blob) {
  int32_t decodedSize = 0;
  if (blob.size() < 4 || !platform::ReadValueAt(blob, blob.size() - 4, decodedSize)) return std::nullopt;
  if (decodedSize < static_cast<int32_t>(kChunkHeadAndPlaneSize) || static_cast<size_t>(decodedSize) > kMaxDecodedChunkSize)
    return std::nullopt;
  return static_cast<size_t>(decodedSize);
}

void DecodeChunkRecordLists(std::span<const uint8_t> record, ChunkRecordLists& lists) {
  // The maps keep their room from earlier records: a loader decodes one chunk after another.
  lists.rotations.clear();
  lists.customBlocks.clear();
  lists.hasLists = false;
  lists.hasHeightRange = false;
  lists.MinHeight = 0;
  lists.MaxHeight = 0;
  lists.rotationCount = 0;
  lists.customBlockCountOffset.reset();
  lists.customBlockCount = 0;
  if (record.size() <= kChunkSizeWithoutLists) return;
  lists.hasLists = true;
  ByteReader reader(record);

  // Rotation list, then the 5-byte list the system does not interpret.
  if (!reader.Seek(kRotationCountOffset) || !ReadCount(reader, kRotationRecordSize, lists.rotationCount)) return;
  ReadCellList<int8_t, kRotationRecordSize>(reader, lists.rotationCount, lists.rotations);
  if (!SkipCountedList(reader, kRotationRecordSize)) return;

  // Height range and the 4 bytes after it.
  int16_t minHeight = 0, maxHeight = 0;
  if (!reader.ReadI16(minHeight) || !reader.ReadI16(maxHeight)) return;
  lists.MinHeight = minHeight;
  lists.MaxHeight = maxHeight;
  lists.hasHeightRange = true;
  if (!reader.Skip(4)) return;

  // K groups of: 4 bytes, L1 and L1 bytes, L2 and 4 × L2 bytes. K of 0 or less is no group.
  int32_t groupCount = 0;
  if (!reader.ReadI32(groupCount)) return;
  for (int32_t group = 0; group < groupCount; ++group) {
    if (!reader.Skip(4) || !SkipCountedList(reader, 1) || !SkipCountedList(reader, 4)) return;
  }

  // Eight flags that must each be 0 or 1.
  for (int flag = 0; flag < kHeightFlagCount; ++flag) {
    int32_t value = 0;
    if (!reader.ReadI32(value) || (value != 0 && value != 1)) return;
  }
  if (!reader.Skip(5) || !SkipCountedList(reader, 8)) return;

  int32_t version = 0;
  if (!reader.ReadI32(version) || version >= kVersionLimit || !reader.Skip(4)) return;
  if (!SkipCountedList(reader, 5)) return;

  int32_t lightTableLength = 0;
  if (!reader.ReadI32(lightTableLength) || lightTableLength != kLightTableLength || !reader.Skip(kLightTableLength)) return;
  if (!SkipCountedList(reader, 4)) return;

  size_t customBlockCountOffset = reader.Position();
  int32_t customBlockCount = 0;
  if (!ReadCount(reader, kCustomBlockRecordSize, customBlockCount)) return;
  lists.customBlockCountOffset = customBlockCountOffset;
  lists.customBlockCount = customBlockCount;
  ReadCellList<int32_t, kCustomBlockRecordSize>(reader, customBlockCount, lists.customBlocks);
}

}  // namespace orelens::world
