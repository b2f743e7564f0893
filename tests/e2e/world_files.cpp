#include "e2e/world_files.h"

#include <lz4.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <set>

#include "e2e/running_program.h"
#include "world/world_metadata.h"

namespace orelens::e2e {

namespace fs = std::filesystem;

namespace {

constexpr size_t kBlockPlaneOffset = 4;
constexpr size_t kBlockPlaneSize = 32 * 32 * 800;
constexpr int kColumns = 32;

std::map<int32_t, std::vector<uint8_t>> ReadRows(const fs::path& database) {
  std::map<int32_t, std::vector<uint8_t>> rows;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT chunkid, data FROM CHUNKDATA", -1, &statement, nullptr) == SQLITE_OK) {
      while (sqlite3_step(statement) == SQLITE_ROW) {
        const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(statement, 1));
        const int size = sqlite3_column_bytes(statement, 1);
        rows[sqlite3_column_int(statement, 0)] = std::vector<uint8_t>(data, data + std::max(size, 0));
      }
    }
    sqlite3_finalize(statement);
  }
  sqlite3_close(db);
  return rows;
}

// Chunk id to chunk origin (engine units), from the world's metadata as the program reads it.
std::map<int32_t, std::pair<int, int>> ChunkOrigins(const fs::path& worldFolder) {
  world::WorldChunkMap chunks;
  world::PlayerPosition position;
  world::ReadWorldMetadata(chunks, worldFolder.string() + "/", position);
  std::map<int32_t, std::pair<int, int>> origins;
  for (const auto& [key, id] : chunks) {
    const size_t comma = key.find(',');
    if (comma == std::string::npos) continue;
    origins[id] = {std::stoi(key.substr(0, comma)), std::stoi(key.substr(comma + 1))};
  }
  return origins;
}

void CompareStore(const std::map<int32_t, std::vector<uint8_t>>& before,
                  const std::map<int32_t, std::vector<uint8_t>>& after,
                  const std::map<int32_t, std::pair<int, int>>& origins, const std::string& store,
                  WorldChanges& changes) {
  std::set<int32_t> ids;
  for (const auto& entry : before) ids.insert(entry.first);
  for (const auto& entry : after) ids.insert(entry.first);
  for (int32_t id : ids) {
    const auto old = before.find(id), now = after.find(id);
    if (old == before.end() || now == after.end()) {
      changes.problems.push_back(store + " chunk " + std::to_string(id) +
                                 (old == before.end() ? " appeared" : " vanished"));
      continue;
    }
    if (old->second == now->second) continue;
    changes.rewrittenChunks.push_back(id);
    const std::vector<uint8_t> a = BlockPlane(old->second), b = BlockPlane(now->second);
    const auto origin = origins.find(id);
    if (a.empty() || b.empty() || origin == origins.end()) {
      changes.problems.push_back(store + " chunk " + std::to_string(id) +
                                 " does not decode or is not listed");
      continue;
    }
    for (size_t i = 0; i < kBlockPlaneSize; ++i) {
      if (a[i] == b[i]) continue;
      const int col = static_cast<int>(i % kColumns), row = static_cast<int>(i / kColumns % kColumns);
      const int height = static_cast<int>(i / (kColumns * kColumns));
      changes.cells.push_back(
          {origin->second.first * 2 + col, height, origin->second.second * 2 + row, a[i], b[i]});
    }
  }
}

}  // namespace

WorldSnapshot SnapshotWorld(const fs::path& worldFolder) {
  WorldSnapshot snapshot;
  snapshot.folder = worldFolder;
  int newest = -1;
  for (const auto& entry : fs::directory_iterator(worldFolder)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("WorldMetadata", 0) == 0 && entry.path().extension() == ".important") {
      const int number = std::atoi(name.c_str() + std::strlen("WorldMetadata"));
      if (number > newest) {
        newest = number;
        snapshot.metadataName = name;
      }
    } else if (entry.path().extension() == ".chunks") {
      snapshot.cacheFiles[std::atoi(name.c_str())] = ReadFileBytes(entry.path());
    }
  }
  if (!snapshot.metadataName.empty()) snapshot.metadata = ReadFileBytes(worldFolder / snapshot.metadataName);
  snapshot.rows = ReadRows(worldFolder / "chunkdata.sqlite");
  return snapshot;
}

std::vector<uint8_t> BlockPlane(std::span<const uint8_t> blob) {
  if (blob.size() < 8) return {};
  int32_t size = 0;
  std::memcpy(&size, blob.data() + blob.size() - 4, 4);
  if (size < static_cast<int32_t>(kBlockPlaneOffset + kBlockPlaneSize) || size > (64 << 20)) return {};
  std::vector<uint8_t> record(static_cast<size_t>(size));
  const int got =
      LZ4_decompress_safe(reinterpret_cast<const char*>(blob.data()), reinterpret_cast<char*>(record.data()),
                          static_cast<int>(blob.size() - 4), size);
  if (got != size) return {};
  return std::vector<uint8_t>(record.begin() + kBlockPlaneOffset,
                              record.begin() + kBlockPlaneOffset + kBlockPlaneSize);
}

WorldChanges CompareWorld(const WorldSnapshot& before, const WorldSnapshot& after) {
  WorldChanges changes;
  const auto origins = ChunkOrigins(after.folder);
  CompareStore(before.rows, after.rows, origins, "database", changes);
  CompareStore(before.cacheFiles, after.cacheFiles, origins, "cache file", changes);
  return changes;
}

ByteRange DifferingBytes(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  ByteRange range;
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    if (a[i] == b[i]) continue;
    if (range.first > range.last) range.first = i;
    range.last = i;
  }
  if (a.size() != b.size()) {
    if (range.first > range.last) range.first = common;
    range.last = std::max(a.size(), b.size()) - 1;
  }
  return range;
}

}  // namespace orelens::e2e
