// Writes the demo save folder: a few worlds in the game's own format, generated from code.
//   make_demo_world <save folder>
// Each world gets a square of chunks with hills, lakes, plants, trees, torches (mesh blocks with
// every rotation) and a few custom blocks that no installation provides; about two thirds of the
// chunks go into "chunkdata.sqlite", the rest into cache files.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include <sqlite3.h>

#include "fixtures/chunk_record_writer.h"
#include "fixtures/world_writer.h"
#include "world/chunk_record.h"

using namespace orelens;

namespace {

// Block ids of assets/demo.xml.
constexpr uint8_t kStone = 1;
constexpr uint8_t kGrass = 2;
constexpr uint8_t kAir = 3;
constexpr uint8_t kDirt = 4;
constexpr uint8_t kLog = 7;
constexpr uint8_t kSand = 9;
constexpr uint8_t kSnow = 12;
constexpr uint8_t kGravel = 13;
constexpr uint8_t kTorch = 15;
constexpr uint8_t kLeaves = 16;
constexpr uint8_t kWater = 17;
constexpr uint8_t kTallGrass = 36;
constexpr uint8_t kFlower = 39;
constexpr uint8_t kCustom = 66;

constexpr int kColumns = 32;
constexpr int kHeights = 800;
constexpr int kWaterLevel = 176;
constexpr int kSnowLine = 214;

struct DemoWorldShape {
  const char* name;
  int chunksPerSide;
  double hilliness;  // scales the height of the hills
  uint32_t seed;
};

uint32_t Hash(int64_t x, int64_t z, uint32_t seed) {
  uint64_t h = static_cast<uint64_t>(x) * 0x9E3779B97F4A7C15ull ^ static_cast<uint64_t>(z) * 0xC2B2AE3D27D4EB4Full ^ seed;
  h ^= h >> 31;
  h *= 0xBF58476D1CE4E5B9ull;
  h ^= h >> 29;
  return static_cast<uint32_t>(h);
}

int SurfaceHeight(int gx, int gz, const DemoWorldShape& shape) {
  const double x = gx, z = gz;
  const double hills = 26.0 * std::sin(x / 41.0 + shape.seed % 7) * std::cos(z / 33.0) +
                       13.0 * std::sin((x + z) / 19.0) + 6.0 * std::cos(x / 9.5 - z / 12.5);
  return 182 + static_cast<int>(hills * shape.hilliness);
}

// One chunk's cells and record lists, before it becomes a stored record.
struct DemoChunk {
  fixtures::ChunkRecordSpec record;
  int maxHeight = 0;

  void Set(int col, int row, int h, uint8_t type) {
    if (col < 0 || row < 0 || col >= kColumns || row >= kColumns || h < 0 || h >= kHeights) return;
    record.SetBlock(col, row, h, type);
    maxHeight = std::max(maxHeight, h);
  }

  // The highest block that is not air in a column, or -1.
  int TopOf(int col, int row) const {
    for (int h = maxHeight; h >= 0; --h)
      if (record.blockPlane[world::CellOffset(col, row, h) - world::kBlockPlaneOffset] != kAir) return h;
    return -1;
  }
};

void PlantTree(DemoChunk& chunk, int col, int row, int ground, uint32_t hash) {
  const int trunk = 5 + static_cast<int>(hash % 3);
  for (int h = ground + 1; h <= ground + trunk; ++h) chunk.Set(col, row, h, kLog);
  const int top = ground + trunk;
  for (int dh = -2; dh <= 2; ++dh)
    for (int dc = -2; dc <= 2; ++dc)
      for (int dr = -2; dr <= 2; ++dr) {
        if (dc * dc + dr * dr + dh * dh > 6) continue;
        if (dc == 0 && dr == 0 && dh <= 0) continue;
        chunk.Set(col + dc, row + dr, top + dh, kLeaves);
      }
}

DemoChunk MakeChunk(int chunkX, int chunkZ, const DemoWorldShape& shape) {
  DemoChunk chunk;
  int lowest = kHeights;
  for (int row = 0; row < kColumns; ++row) {
    for (int col = 0; col < kColumns; ++col) {
      const int gx = chunkX * kColumns + col, gz = chunkZ * kColumns + row;
      const int ground = SurfaceHeight(gx, gz, shape);
      lowest = std::min(lowest, ground);
      for (int h = std::max(0, ground - 12); h <= ground; ++h) {
        uint8_t type = kStone;
        const bool shore = ground <= kWaterLevel + 1, peak = ground >= kSnowLine;
        if (h == ground) type = shore ? kSand : peak ? kSnow : kGrass;
        else if (h >= ground - 3) type = shore ? (h == ground - 3 ? kGravel : kSand) : kDirt;
        chunk.Set(col, row, h, type);
      }
      for (int h = ground + 1; h <= kWaterLevel; ++h) chunk.Set(col, row, h, kWater);
    }
  }
  // Things standing on the grass; trees keep two columns off the chunk edge.
  for (int row = 0; row < kColumns; ++row) {
    for (int col = 0; col < kColumns; ++col) {
      const int gx = chunkX * kColumns + col, gz = chunkZ * kColumns + row;
      const int ground = SurfaceHeight(gx, gz, shape);
      if (ground <= kWaterLevel + 1 || ground >= kSnowLine) continue;
      const uint32_t hash = Hash(gx, gz, shape.seed);
      const bool inner = col >= 2 && col < kColumns - 2 && row >= 2 && row < kColumns - 2;
      if (inner && hash % 89 == 0) {
        PlantTree(chunk, col, row, ground, hash);
      } else if (hash % 173 == 1) {
        chunk.Set(col, row, ground + 1, kTorch);
        chunk.record.rotations.push_back({static_cast<uint8_t>(col), static_cast<uint8_t>(row),
                                          static_cast<int16_t>(ground + 1), static_cast<int8_t>((hash >> 8) % 6)});
      } else if (hash % 401 == 2) {
        chunk.Set(col, row, ground + 1, kCustom);
        static constexpr int32_t kIds[] = {731042001, 731042002, 4242};
        chunk.record.customBlocks.push_back({static_cast<uint8_t>(col), static_cast<uint8_t>(row),
                                             static_cast<int16_t>(ground + 1), kIds[(hash >> 8) % 3]});
      } else if (hash % 11 == 3) {
        chunk.Set(col, row, ground + 1, (hash >> 8) % 4 == 0 ? kFlower : kTallGrass);
      }
    }
  }
  chunk.record.withLists = true;
  chunk.record.minHeight = static_cast<int16_t>(std::max(0, std::min(lowest, kWaterLevel) - 4));
  chunk.record.maxHeight = static_cast<int16_t>(std::min(kHeights - 1, chunk.maxHeight + 1));
  return chunk;
}

// The world's "chunkdata.sqlite", written in one transaction (a row at a time would wait for the
// disk after every row).
class ChunkDatabase {
 public:
  explicit ChunkDatabase(const std::string& path) {
    if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) throw std::runtime_error("cannot create " + path);
    Execute("CREATE TABLE IF NOT EXISTS CHUNKDATA(chunkid INTEGER PRIMARY KEY, data BLOB)");
    Execute("BEGIN");
    sqlite3_prepare_v2(db_, "INSERT OR REPLACE INTO CHUNKDATA(chunkid, data) VALUES(?, ?)", -1, &insert_, nullptr);
  }
  ~ChunkDatabase() {
    sqlite3_finalize(insert_);
    Execute("COMMIT");
    sqlite3_close(db_);
  }
  void Put(int32_t chunkId, const std::vector<uint8_t>& blob) {
    sqlite3_bind_int(insert_, 1, chunkId);
    sqlite3_bind_blob(insert_, 2, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(insert_) != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db_));
    sqlite3_reset(insert_);
  }

 private:
  void Execute(const char* sql) { sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); }
  sqlite3* db_ = nullptr;
  sqlite3_stmt* insert_ = nullptr;
};

void WriteWorld(const std::string& saveFolder, const DemoWorldShape& shape) {
  const fixtures::WorldWriter world(saveFolder, shape.name);
  ChunkDatabase database(world.DatabasePath());
  fixtures::MetadataSpec metadata;
  const int half = shape.chunksPerSide / 2;
  int32_t id = 0;
  for (int cz = -half; cz < shape.chunksPerSide - half; ++cz) {
    for (int cx = -half; cx < shape.chunksPerSide - half; ++cx, ++id) {
      const world::ChunkBlob blob = fixtures::CompressChunkRecord(fixtures::MakeChunkRecord(MakeChunk(cx, cz, shape).record));
      // The chunk's origin in game units (engine units x 100); its index is its id.
      metadata.chunkOrigins.emplace_back((cx * 16 - 8) * 100, (cz * 16 - 8) * 100);
      if (id % 3 == 2) world.WriteCacheFile(id, blob);
      else database.Put(id, blob);
    }
  }
  // The player stands at engine (4, 4), column and row 24 of the chunk with origin (-8, -8), just
  // above everything within 8 blocks (trees and water included); the reader adds 2 units (4
  // blocks) to the stored height, so the first view looks out over the ground and the trees.
  const DemoChunk home = MakeChunk(0, 0, shape);
  constexpr int kPlayerColumn = 24, kClearance = 8;
  int top = kWaterLevel;
  for (int row = kPlayerColumn - kClearance; row <= kPlayerColumn + kClearance && row < kColumns; ++row)
    for (int col = kPlayerColumn - kClearance; col <= kPlayerColumn + kClearance && col < kColumns; ++col)
      top = std::max(top, home.TopOf(col, row));
  metadata.position = {4.0 * 100, 4.0 * 100, (top + 1) * 0.5 * 100};
  world.WriteMetadata(3, metadata);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_demo_world <save folder>\n");
    return 2;
  }
  std::string saveFolder = argv[1];
  if (saveFolder.back() != '/') saveFolder += '/';
  std::filesystem::create_directories(saveFolder);
  const DemoWorldShape worlds[] = {
      {"Demo Valley", 30, 1.0, 17},
      {"Flat Shore", 14, 0.35, 5},
      {"Tiny Isle", 8, 0.8, 99},
  };
  for (const auto& shape : worlds) {
    WriteWorld(saveFolder, shape);
    std::printf("%s: %d chunks\n", shape.name, shape.chunksPerSide * shape.chunksPerSide);
  }
  return 0;
}
