#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace orelens::world {

// A connection to a world's "chunkdata.sqlite", opened for reading and writing but never
// created, with its statements prepared once and reused. The game may hold the database at the
// same time; waits for its locks are bounded by the busy timeout.
class ChunkDatabase {
 public:
  static constexpr int kBusyTimeoutMilliseconds = 20'000;

  // nullptr when the path is empty or names no database that opens.
  static std::unique_ptr<ChunkDatabase> Open(std::string_view path);
  ~ChunkDatabase();
  ChunkDatabase(const ChunkDatabase&) = delete;
  ChunkDatabase& operator=(const ChunkDatabase&) = delete;

  // The `data` of the chunk's first row into blob; false when the query fails or finds no row.
  bool ReadChunkBlob(int32_t chunkId, std::vector<uint8_t>& blob);
  // True when the chunk has a row (the query succeeds and yields one).
  bool HasChunkRow(int32_t chunkId);
  // UPDATE of the chunk's row with the blob; false when the statement fails.
  bool UpdateChunkBlob(int32_t chunkId, std::span<const uint8_t> blob);

 private:
  explicit ChunkDatabase(sqlite3* connection) : connection_(connection) {}
  sqlite3_stmt* Statement(sqlite3_stmt*& statement, const char* sql);

  sqlite3* connection_ = nullptr;
  sqlite3_stmt* selectData_ = nullptr;   // prepared on first use
  sqlite3_stmt* selectExists_ = nullptr;
  sqlite3_stmt* updateData_ = nullptr;
};

}  // namespace orelens::world
