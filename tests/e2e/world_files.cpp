#include "e2e/world_files.h"

#include <lz4.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "e2e/running_program.h"
#include "world/world_metadata.h"

namespace orelens::e2e {

namespace fs = std::filesystem;

namespace {

constexpr size_t kBlockPlaneOffset = 4;
constexpr size_t kBlockPlaneSize = 32 * 32 * 800;
constexpr size_t kRotationCountOffset = 1638404;
constexpr int kColumns = 32;
constexpr char kDatabaseName[] = "chunkdata.sqlite";

void ReadDatabase(const fs::path& database, WorldSnapshot& snapshot) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT sql FROM sqlite_master ORDER BY name", -1, &statement, nullptr) ==
        SQLITE_OK) {
      while (sqlite3_step(statement) == SQLITE_ROW) {
        const auto* sql = sqlite3_column_text(statement, 0);
        snapshot.schema.push_back(sql ? reinterpret_cast<const char*>(sql) : "");
      }
    }
    sqlite3_finalize(statement);
    statement = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT chunkid, data FROM CHUNKDATA", -1, &statement, nullptr) == SQLITE_OK) {
      while (sqlite3_step(statement) == SQLITE_ROW) {
        const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(statement, 1));
        const int size = sqlite3_column_bytes(statement, 1);
        snapshot.rows[sqlite3_column_int(statement, 0)] =
            std::vector<uint8_t>(data, data + std::max(size, 0));
      }
    }
    sqlite3_finalize(statement);
  }
  sqlite3_close(db);
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

int32_t Int32At(const std::vector<uint8_t>& record, size_t offset) {
  int32_t value = 0;
  if (offset + 4 <= record.size()) std::memcpy(&value, record.data() + offset, 4);
  return value;
}

// Where the record's MinHeight and MaxHeight lie: after the rotation list and the list that follows it.
size_t HeightRangeOffset(const std::vector<uint8_t>& record) {
  const size_t afterRotations =
      kRotationCountOffset + 4 + 5 * static_cast<size_t>(std::max(0, Int32At(record, kRotationCountOffset)));
  return afterRotations + 4 + 5 * static_cast<size_t>(std::max(0, Int32At(record, afterRotations)));
}

// A rewritten chunk: its decoded records compared whole. The block plane's changes are cells;
// the height range may follow them; any other byte is a problem.
void CompareRecords(int32_t id, std::span<const uint8_t> before, std::span<const uint8_t> after,
                    const std::map<int32_t, std::pair<int, int>>& origins, const std::string& store,
                    WorldChanges& changes) {
  changes.rewrittenChunks.push_back(id);
  const std::string chunk = store + " chunk " + std::to_string(id);
  const std::vector<uint8_t> a = DecodeChunkRecord(before), b = DecodeChunkRecord(after);
  const auto origin = origins.find(id);
  if (a.empty() || b.empty() || origin == origins.end()) {
    changes.problems.push_back(chunk + " does not decode or is not listed");
    return;
  }
  if (a.size() != b.size()) {
    changes.problems.push_back(chunk + ": record size " + std::to_string(a.size()) + " became " +
                               std::to_string(b.size()));
    return;
  }
  const size_t heights = HeightRangeOffset(a);
  const size_t firstCell = changes.cells.size();
  bool heightRangeChanged = false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] == b[i]) continue;
    if (i >= kBlockPlaneOffset && i < kBlockPlaneOffset + kBlockPlaneSize) {
      const size_t cell = i - kBlockPlaneOffset;
      const int col = static_cast<int>(cell % kColumns), row = static_cast<int>(cell / kColumns % kColumns);
      const int height = static_cast<int>(cell / (kColumns * kColumns));
      changes.cells.push_back(
          {origin->second.first * 2 + col, height, origin->second.second * 2 + row, a[i], b[i]});
    } else if (i >= heights && i < heights + 4) {
      heightRangeChanged = true;
    } else {
      changes.problems.push_back(chunk + ": record byte " + std::to_string(i) +
                                 " changed outside the block plane");
      return;
    }
  }
  if (!heightRangeChanged) return;
  // The height range follows the written blocks: MaxHeight rises to the highest one that is not air.
  int16_t lowBefore = 0, low = 0, high = 0;
  std::memcpy(&lowBefore, a.data() + heights, 2);
  std::memcpy(&low, b.data() + heights, 2);
  std::memcpy(&high, b.data() + heights + 2, 2);
  int highest = -1;
  for (size_t i = firstCell; i < changes.cells.size(); ++i)
    if (changes.cells[i].after != 3) highest = std::max(highest, changes.cells[i].height);
  if (low != lowBefore || high != highest)
    changes.problems.push_back(chunk + ": height range became " + std::to_string(low) + ".." +
                               std::to_string(high) + " for blocks written up to " + std::to_string(highest));
}

void CompareRows(const WorldSnapshot& before, const WorldSnapshot& after,
                 const std::map<int32_t, std::pair<int, int>>& origins, WorldChanges& changes) {
  if (before.schema != after.schema) changes.problems.push_back("the chunk database's schema changed");
  std::set<int32_t> ids;
  for (const auto& entry : before.rows) ids.insert(entry.first);
  for (const auto& entry : after.rows) ids.insert(entry.first);
  for (const int32_t id : ids) {
    const auto old = before.rows.find(id), now = after.rows.find(id);
    if (old == before.rows.end() || now == after.rows.end()) {
      changes.problems.push_back("database chunk " + std::to_string(id) +
                                 (old == before.rows.end() ? " appeared" : " vanished"));
    } else if (old->second != now->second) {
      CompareRecords(id, old->second, now->second, origins, "database", changes);
    }
  }
}

}  // namespace

WorldSnapshot SnapshotWorld(const fs::path& worldFolder) {
  WorldSnapshot snapshot;
  snapshot.folder = worldFolder;
  int newest = -1;
  for (const auto& entry : fs::recursive_directory_iterator(worldFolder)) {
    if (!entry.is_regular_file()) continue;
    const std::string name = entry.path().filename().string();
    snapshot.files[fs::relative(entry.path(), worldFolder).string()] = ReadFileBytes(entry.path());
    if (entry.path().parent_path() == worldFolder && name.rfind("WorldMetadata", 0) == 0 &&
        entry.path().extension() == ".important") {
      const int number = std::atoi(name.c_str() + std::strlen("WorldMetadata"));
      if (number > newest) {
        newest = number;
        snapshot.metadataName = name;
      }
    }
  }
  if (!snapshot.metadataName.empty()) snapshot.metadata = snapshot.files[snapshot.metadataName];
  ReadDatabase(worldFolder / kDatabaseName, snapshot);
  return snapshot;
}

std::vector<uint8_t> DecodeChunkRecord(std::span<const uint8_t> blob) {
  if (blob.size() < 8) return {};
  int32_t size = 0;
  std::memcpy(&size, blob.data() + blob.size() - 4, 4);
  if (size < static_cast<int32_t>(kBlockPlaneOffset + kBlockPlaneSize) || size > (64 << 20)) return {};
  std::vector<uint8_t> record(static_cast<size_t>(size));
  const int got =
      LZ4_decompress_safe(reinterpret_cast<const char*>(blob.data()), reinterpret_cast<char*>(record.data()),
                          static_cast<int>(blob.size() - 4), size);
  if (got != size) return {};
  return record;
}

WorldChanges CompareWorld(const WorldSnapshot& before, const WorldSnapshot& after) {
  WorldChanges changes;
  const auto origins = ChunkOrigins(after.folder);
  std::set<std::string> names;
  for (const auto& entry : before.files) names.insert(entry.first);
  for (const auto& entry : after.files) names.insert(entry.first);
  for (const std::string& name : names) {
    const auto old = before.files.find(name), now = after.files.find(name);
    if (old == before.files.end() || now == after.files.end()) {
      changes.problems.push_back(name + (old == before.files.end() ? " appeared" : " vanished"));
      continue;
    }
    if (old->second == now->second) continue;
    const fs::path path(name);
    if (name == before.metadataName) {
      changes.metadata = DifferingBytes(old->second, now->second);
    } else if (name == kDatabaseName) {
      // The file's pages change with any write; what the game reads from it must not.
      CompareRows(before, after, origins, changes);
    } else if (path.extension() == ".chunks" && path.parent_path().empty()) {
      CompareRecords(std::atoi(name.c_str()), old->second, now->second, origins, "cache file", changes);
    } else {
      changes.problems.push_back(name + " changed");
    }
  }
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
