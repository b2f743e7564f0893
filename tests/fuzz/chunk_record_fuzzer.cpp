// The section walk of a decoded chunk record, and the decoded size a stored form announces.
//
// Input: the bytes of a decoded record from offset 1,638,400 on (the 4 bytes before the rotation
// count, then the lists and sections), so that every run reaches the lists. Properties:
//  - the walk reads nothing outside the record (the record ends where its memory ends);
//  - everything it reports lies inside the record at the place the format gives it, and its maps
//    hold exactly the records there, the later record for a cell winning; the custom-block list
//    is found whenever the record holds one (its place walked here over the bytes);
//  - once the walk has reached the custom-block list, bytes appended after the record change
//    nothing (they are not interpreted);
//  - every cell key prints as "col,row,h" and reads back as the same cell.

#include <charconv>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "world/chunk_record.h"

namespace {

using namespace orelens;
using fuzz::Int16At;
using fuzz::Int32At;
using world::ChunkRecordLists;

// The lists as plain maps, read straight from the bytes by the format.
using ExpectedList = std::map<world::CellKey, int32_t>;

template <typename Value>
ExpectedList ReadListDirectly(std::span<const uint8_t> record, size_t firstRecord, int32_t count) {
  constexpr size_t kRecordSize = 4 + sizeof(Value);
  ExpectedList list;
  for (int32_t i = 0; i < count; ++i) {
    const size_t at = firstRecord + static_cast<size_t>(i) * kRecordSize;
    Value value{};
    std::memcpy(&value, record.data() + at + 4, sizeof(value));
    list[world::MakeCellKey(record[at], record[at + 1], Int16At(record, at + 2))] = value;
  }
  return list;
}

bool SameEntries(const world::CellValueMap& map, const ExpectedList& expected) {
  if (map.size() != expected.size()) return false;
  for (const auto& [key, value] : expected) {
    const int32_t* found = map.Lookup(key);
    if (!found || *found != value) return false;
  }
  return true;
}

bool SameWalk(const ChunkRecordLists& a, const ChunkRecordLists& b) {
  return a.rotations == b.rotations && a.customBlocks == b.customBlocks && a.hasLists == b.hasLists &&
         a.hasHeightRange == b.hasHeightRange && a.MinHeight == b.MinHeight && a.MaxHeight == b.MaxHeight &&
         a.rotationCount == b.rotationCount && a.customBlockCountOffset == b.customBlockCountOffset &&
         a.customBlockCount == b.customBlockCount;
}

// Where T stands by the format, walked here straight over the bytes from the height range on: K
// groups, eight flags of 0 or 1, 5 bytes, C3, V below 51 and 4 bytes, C4, L of 1,024, C5. Nothing
// when a check fails or a section runs past the end, and when T is negative or its list does.
std::optional<uint64_t> CustomBlockCountOffsetByTheFormat(std::span<const uint8_t> record,
                                                          uint64_t heightOffset) {
  const uint64_t size = record.size();
  uint64_t p = heightOffset + 8;
  const auto readInt32 = [&](int32_t& value) {
    if (p + 4 > size) return false;
    value = Int32At(record, p);
    p += 4;
    return true;
  };
  // A count and its records; false for a negative count or records past the end.
  const auto skipList = [&](uint64_t recordSize) {
    int32_t count = 0;
    if (!readInt32(count) || count < 0) return false;
    p += recordSize * static_cast<uint64_t>(count);
    return p <= size;
  };
  int32_t groupCount = 0;
  if (!readInt32(groupCount)) return std::nullopt;
  for (int32_t group = 0; group < groupCount; ++group) {
    p += 4;
    if (p > size || !skipList(1) || !skipList(4)) return std::nullopt;
  }
  for (int flag = 0; flag < 8; ++flag) {
    int32_t value = 0;
    if (!readInt32(value) || (value != 0 && value != 1)) return std::nullopt;
  }
  p += 5;
  if (p > size || !skipList(8)) return std::nullopt;
  int32_t version = 0;
  if (!readInt32(version) || version >= 51) return std::nullopt;
  p += 4;
  if (p > size || !skipList(5)) return std::nullopt;
  int32_t lightTableLength = 0;
  if (!readInt32(lightTableLength) || lightTableLength != 1024) return std::nullopt;
  p += 1024;
  if (p > size || !skipList(4)) return std::nullopt;
  const uint64_t countOffset = p;
  return skipList(world::kCustomBlockRecordSize) ? std::optional<uint64_t>(countOffset) : std::nullopt;
}

void CheckWalkAgainstBytes(std::span<const uint8_t> record, const ChunkRecordLists& lists) {
  FUZZ_CHECK(lists.hasLists == (record.size() > world::kChunkSizeWithoutLists));
  if (!lists.hasLists) {
    FUZZ_CHECK(lists.rotations.empty() && lists.customBlocks.empty());
    FUZZ_CHECK(!lists.hasHeightRange && !lists.customBlockCountOffset);
    return;
  }
  const uint64_t size = record.size();
  if (size < world::kRotationCountOffset + 4) {
    FUZZ_CHECK(lists.rotations.empty() && !lists.hasHeightRange && !lists.customBlockCountOffset);
    return;
  }
  // The rotation list: taken only when its count is sound and its records fit.
  const int32_t rotationCount = Int32At(record, world::kRotationCountOffset);
  FUZZ_CHECK(lists.rotationCount == rotationCount);
  const uint64_t rotationsEnd = world::kRotationCountOffset + 4 +
                                uint64_t{world::kRotationRecordSize} * static_cast<uint32_t>(rotationCount);
  const bool rotationsFit = rotationCount >= 0 && rotationsEnd <= size;
  if (!rotationsFit) {
    FUZZ_CHECK(lists.rotations.empty() && !lists.hasHeightRange && !lists.customBlockCountOffset);
    return;
  }
  FUZZ_CHECK(SameEntries(lists.rotations,
                         ReadListDirectly<int8_t>(record, world::kRotationCountOffset + 4, rotationCount)));

  // The height range stands after the second 5-byte list; the walk takes it whenever that list's
  // count is sound and the range fits.
  const int32_t n2 = rotationsEnd + 4 <= size ? Int32At(record, rotationsEnd) : -1;
  const uint64_t heightOffset = rotationsEnd + 4 + 5 * uint64_t{static_cast<uint32_t>(n2)};
  const bool heightRangeFits = n2 >= 0 && heightOffset + 4 <= size;
  FUZZ_CHECK(lists.hasHeightRange == heightRangeFits);
  if (!lists.hasHeightRange) {
    FUZZ_CHECK(lists.customBlocks.empty() && !lists.customBlockCountOffset);
    return;
  }
  FUZZ_CHECK(lists.MinHeight == Int16At(record, heightOffset));
  FUZZ_CHECK(lists.MaxHeight == Int16At(record, heightOffset + 2));

  // The custom-block list is found exactly when the record holds one.
  const std::optional<uint64_t> customOffsetByTheFormat =
      CustomBlockCountOffsetByTheFormat(record, heightOffset);
  FUZZ_CHECK_MSG(
      lists.customBlockCountOffset == customOffsetByTheFormat,
      "the walk reports the custom-block count at " +
          (lists.customBlockCountOffset ? std::to_string(*lists.customBlockCountOffset) : "no place") +
          ", the format puts it at " +
          (customOffsetByTheFormat ? std::to_string(*customOffsetByTheFormat) : "no place"));
  if (!lists.customBlockCountOffset) {
    FUZZ_CHECK(lists.customBlocks.empty());
    return;
  }
  const uint64_t customOffset = *lists.customBlockCountOffset;
  FUZZ_CHECK(customOffset >= heightOffset + 12);
  FUZZ_CHECK(customOffset + 4 <= size);
  const int32_t customCount = Int32At(record, customOffset);
  FUZZ_CHECK(lists.customBlockCount == customCount && customCount >= 0);
  FUZZ_CHECK(customOffset + 4 +
                 uint64_t{world::kCustomBlockRecordSize} * static_cast<uint32_t>(customCount) <=
             size);
  FUZZ_CHECK(
      SameEntries(lists.customBlocks, ReadListDirectly<int32_t>(record, customOffset + 4, customCount)));
}

// "col,row,h" back into its three numbers.
bool ParseCellKeyText(const std::string& text, int& col, int& row, int& height) {
  const char* p = text.data();
  const char* end = text.data() + text.size();
  for (int* field : {&col, &row, &height}) {
    const auto [next, error] = std::from_chars(p, end, *field);
    if (error != std::errc()) return false;
    p = next;
    if (field != &height) {
      if (p == end || *p != ',') return false;
      ++p;
    }
  }
  return p == end;
}

void CheckKeysPrintAndReadBack(const world::CellValueMap& map) {
  for (const auto& [key, value] : map) {
    int col = -1, row = -1, height = 0;
    const std::string text = world::CellKeyText(key);
    FUZZ_CHECK_MSG(ParseCellKeyText(text, col, row, height), text);
    FUZZ_CHECK(world::MakeCellKey(static_cast<uint8_t>(col), static_cast<uint8_t>(row),
                                  static_cast<int16_t>(height)) == key);
    FUZZ_CHECK(col == world::CellKeyCol(key) && row == world::CellKeyRow(key) &&
               height == world::CellKeyHeight(key));
  }
}

void CheckDecodedSizeOfBlob(std::span<const uint8_t> blob) {
  const std::optional<size_t> decodedSize = world::DecodedSizeOfBlob(blob);
  if (blob.size() < 4) {
    FUZZ_CHECK(!decodedSize);
    return;
  }
  const int32_t trailer = Int32At(blob, blob.size() - 4);
  // A size from the head and plane up to the largest record is taken as it stands; any other is not.
  const bool usable = trailer >= static_cast<int64_t>(world::kChunkHeadAndPlaneSize) &&
                      trailer <= static_cast<int64_t>(world::kMaxDecodedChunkSize);
  FUZZ_CHECK(decodedSize.has_value() == usable);
  if (decodedSize) FUZZ_CHECK(static_cast<int64_t>(*decodedSize) == trailer);
}

// Records made of the fixed front and a tail, laid out so that the record ends where its memory
// ends: a read past the last byte is reported by the address sanitizer. The walk never looks at
// the planes, so whatever earlier runs left in front of the tail does not matter.
class RecordAtEndOfMemory {
 public:
  std::span<const uint8_t> Make(std::span<const uint8_t> tail, std::span<const uint8_t> appended = {}) {
    const size_t size = world::kChunkSizeWithoutLists + tail.size() + appended.size();
    if (size > memory_.size()) memory_.assign(size, 0);  // one exact block per new largest size
    const size_t start = memory_.size() - size;
    uint8_t* record = memory_.data() + start;
    std::memcpy(record + world::kChunkSizeWithoutLists, tail.data(), tail.size());
    if (!appended.empty()) std::memcpy(record + size - appended.size(), appended.data(), appended.size());
    return {record, size};
  }

 private:
  std::vector<uint8_t> memory_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static RecordAtEndOfMemory records;
  const std::span<const uint8_t> input = fuzz::InputBytes(data, size);
  CheckDecodedSizeOfBlob(input);

  const std::span<const uint8_t> record = records.Make(input);
  ChunkRecordLists lists;
  world::DecodeChunkRecordLists(record, lists);
  CheckWalkAgainstBytes(record, lists);
  CheckKeysPrintAndReadBack(lists.rotations);
  CheckKeysPrintAndReadBack(lists.customBlocks);

  if (lists.customBlockCountOffset) {
    constexpr uint8_t kAppended[] = {0xFF, 0xFF, 0xFF, 0x7F, 0x00, 0x80, 0x01, 0x02, 0x03};
    ChunkRecordLists longer;
    world::DecodeChunkRecordLists(records.Make(input, kAppended), longer);
    FUZZ_CHECK(SameWalk(lists, longer));
  }
  return 0;
}
