#pragma once

// The files of a world as the game reads them, taken before and after a run of the program, and
// what changed between the two: every file byte for byte, the chunk database row by row, and
// each rewritten chunk record decoded whole (plain SQLite and liblz4, the record's layout by its
// offsets, chunk origins from the world's own metadata).

#include <cstdint>
#include <filesystem>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace orelens::e2e {

struct WorldSnapshot {
  std::filesystem::path folder;
  std::string metadataName;  // the newest "WorldMetadata<n>.important"
  std::vector<uint8_t> metadata;
  std::map<std::string, std::vector<uint8_t>> files;  // every file, by its path inside the folder
  std::vector<std::string> schema;                    // the chunk database's schema, as SQL
  std::map<int32_t, std::vector<uint8_t>> rows;       // CHUNKDATA, by chunk id
};
WorldSnapshot SnapshotWorld(const std::filesystem::path& worldFolder);

// The whole decoded record of a stored chunk (LZ4 block and its size); empty when it does not decode.
std::vector<uint8_t> DecodeChunkRecord(std::span<const uint8_t> blob);

struct ChangedCell {
  int x, height, z;  // world cell indexes: engine units x 2
  int before, after;
};
// The byte range [first, last] in which two files differ; first > last when they are equal.
struct ByteRange {
  size_t first = 1, last = 0;
};
struct WorldChanges {
  std::vector<ChangedCell> cells;        // cells whose block type changed
  std::vector<int32_t> rewrittenChunks;  // chunks whose stored records changed
  ByteRange metadata;                    // where the newest metadata file changed
  // Whatever else changed: files that appeared, vanished or changed, database rows, and bytes
  // of rewritten records outside their block plane and height range.
  std::vector<std::string> problems;
};
WorldChanges CompareWorld(const WorldSnapshot& before, const WorldSnapshot& after);

ByteRange DifferingBytes(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);

}  // namespace orelens::e2e
