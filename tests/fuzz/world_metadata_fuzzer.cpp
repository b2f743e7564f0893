// The world metadata file: reading the chunk list and the player position, and writing the
// player position back.
//
// Input: the metadata file. Properties:
//  - reading never reads outside the file and gives the same twice;
//  - the position is read where the counts place it, whatever their sign (A at 8, A chunk
//    entries, none for A below 1, B after them, then 12 B + 52 bytes), when those 24 bytes lie
//    inside the file, and is (0, 0, 2) otherwise; a count beyond the end reads as 0;
//  - the position write changes nothing at all when a count is negative, and otherwise no byte
//    outside the 24 bytes at 68 + 8A + 12B, never the file's length;
//  - round trip: after the write the chunk list reads as before, and where the file holds the
//    position the reader gives back what was written.

#include <algorithm>
#include <cstring>
#include <vector>

#include "fixtures/world_writer.h"
#include "fuzz/fuzz_support.h"
#include "world/world_metadata.h"

namespace {

using namespace orelens;
using fuzz::Int32At;

// The position written, in engine units (x, height, z); the file holds them × 100.
constexpr double kX = 123.25;
constexpr double kY = 45.5;
constexpr double kZ = -67.75;
constexpr int64_t kPositionSize = 24;

struct MetadataRig {
  fixtures::TempFolder temp;
  std::string worldFolder = temp.MakeFolder("World");
  std::string file = worldFolder + "WorldMetadata7.important";
};

struct Reading {
  world::WorldChunkMap chunks;
  world::PlayerPosition position{-1, -1, -1};
};

Reading Read(const std::string& worldFolder) {
  Reading reading;
  const double enough = world::ReadWorldMetadata(reading.chunks, worldFolder, reading.position);
  FUZZ_CHECK(enough == (reading.chunks.size() > 10 ? 1.0 : 0.0));
  return reading;
}

bool SamePosition(const world::PlayerPosition& a, const world::PlayerPosition& b) {
  return std::memcmp(&a, &b, sizeof(a)) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static MetadataRig rig;
  const std::span<const uint8_t> file = fuzz::InputBytes(data, size);
  fixtures::WriteBytesToFile(rig.file, file);

  const Reading before = Read(rig.worldFolder);
  const Reading again = Read(rig.worldFolder);
  FUZZ_CHECK(before.chunks == again.chunks && SamePosition(before.position, again.position));

  // The layout by the counts: A at 8, A chunk entries (none for A <= 0), B, B records, 52 bytes.
  const int32_t chunkCount = size >= 12 ? Int32At(file, 8) : 0;
  const int64_t entriesEnd = 12 + 8 * int64_t{std::max(chunkCount, 0)};
  const int32_t bCount =
      entriesEnd + 4 <= static_cast<int64_t>(size) ? Int32At(file, static_cast<size_t>(entriesEnd)) : 0;
  const int64_t positionOffset = entriesEnd + 4 + 12 * int64_t{bCount} + 52;
  const bool holdsPosition =
      positionOffset >= 0 && positionOffset + kPositionSize <= static_cast<int64_t>(size);

  double read[3] = {0, 0, 0};
  if (holdsPosition) std::memcpy(read, file.data() + positionOffset, sizeof(read));
  const world::PlayerPosition expectedRead{static_cast<float>(read[0] / 100),
                                           static_cast<float>(read[1] / 100),
                                           static_cast<float>(read[2] / 100 + 2.0)};
  FUZZ_CHECK_MSG(SamePosition(before.position, expectedRead),
                 "the position was not read where the counts place it: A = " + std::to_string(chunkCount) +
                     ", B = " + std::to_string(bCount));

  world::WritePlayerPosition(rig.worldFolder, kX, kY, kZ);
  const std::vector<uint8_t> written = fixtures::ReadFileBytes(rig.file);
  FUZZ_CHECK_MSG(written.size() == file.size(), "the position write changed the file's length");
  const bool countsKnown = chunkCount >= 0 && bCount >= 0;

  const auto firstChange = std::mismatch(file.begin(), file.end(), written.begin());
  if (firstChange.first != file.end()) {
    const int64_t first = firstChange.first - file.begin();
    const auto lastChange = std::mismatch(file.rbegin(), file.rend(), written.rbegin());
    const int64_t last = static_cast<int64_t>(size) - 1 - (lastChange.first - file.rbegin());
    FUZZ_CHECK_MSG(countsKnown, "the position write changed byte " + std::to_string(first) +
                                    " of a file with a negative count: A = " + std::to_string(chunkCount) +
                                    ", B = " + std::to_string(bCount));
    FUZZ_CHECK_MSG(first >= positionOffset && last < positionOffset + kPositionSize,
                   "the position write changed bytes " + std::to_string(first) + " to " +
                       std::to_string(last) + ", not the position at " + std::to_string(positionOffset));
  }

  const Reading after = Read(rig.worldFolder);
  FUZZ_CHECK_MSG(after.chunks == before.chunks, "the position write changed the chunk list");
  if (countsKnown && holdsPosition) {
    const double stored[3] = {kX * 100, kZ * 100, kY * 100};
    FUZZ_CHECK_MSG(std::memcmp(written.data() + positionOffset, stored, sizeof(stored)) == 0,
                   "the position was not written where the file holds it");
    const world::PlayerPosition expected{static_cast<float>(stored[0] / 100),
                                         static_cast<float>(stored[1] / 100),
                                         static_cast<float>(stored[2] / 100 + 2.0)};
    FUZZ_CHECK(SamePosition(after.position, expected));
  }
  return 0;
}
