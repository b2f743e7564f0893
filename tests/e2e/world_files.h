#pragma once

// The files of a world as the game reads them, taken before and after a run of the program, and
// what changed between the two: plain SQLite and liblz4, the chunk record's block plane by its
// offsets, chunk origins from the world's own metadata.

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
  std::map<int32_t, std::vector<uint8_t>> rows;        // CHUNKDATA, by chunk id
  std::map<int32_t, std::vector<uint8_t>> cacheFiles;  // "<id>.chunks", by chunk id
};
WorldSnapshot SnapshotWorld(const std::filesystem::path& worldFolder);

// The block plane (32 x 32 x 800 block types) of a stored chunk record; empty when it does not decode.
std::vector<uint8_t> BlockPlane(std::span<const uint8_t> blob);

struct ChangedCell {
  int x, height, z;  // world cell indexes: engine units x 2
  int before, after;
};
struct WorldChanges {
  std::vector<ChangedCell> cells;        // cells whose block type changed
  std::vector<int32_t> rewrittenChunks;  // chunks whose stored bytes changed
  std::vector<std::string> problems;     // chunks that vanished, appeared or no longer decode
};
WorldChanges CompareWorld(const WorldSnapshot& before, const WorldSnapshot& after);

// The byte range [first, last] in which two files differ; first > last when they are equal.
struct ByteRange {
  size_t first = 1, last = 0;
};
ByteRange DifferingBytes(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);

}  // namespace orelens::e2e
