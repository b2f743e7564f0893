#include "world/chunk_database.h"

#include <sqlite3.h>

#include <cstring>
#include <string>

#include "platform/files/file.h"
#include "platform/files/path_resolver.h"

namespace orelens::world {
namespace {

// Resets a statement when the caller is done with its current row.
struct StatementReset {
  sqlite3_stmt* statement;
  ~StatementReset() {
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
  }
};

}  // namespace

std::unique_ptr<ChunkDatabase> ChunkDatabase::Open(std::string_view path, int busyTimeoutMilliseconds) {
  if (path.empty() || platform::FileSize(path) < 0) return nullptr;
  std::string resolved = platform::ResolvePath(path);
  sqlite3* connection = nullptr;
  // No SQLITE_OPEN_CREATE: the game's database is never created here. Each thread has its own
  // connection, so SQLite's per-connection mutex is not needed.
  int result =
      sqlite3_open_v2(resolved.c_str(), &connection, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (result != SQLITE_OK) {
    sqlite3_close(connection);
    return nullptr;
  }
  // The game (or another tool reading its files) can hold the database for a long while.
  sqlite3_busy_timeout(connection, busyTimeoutMilliseconds);
  return std::unique_ptr<ChunkDatabase>(new ChunkDatabase(connection));
}

ChunkDatabase::~ChunkDatabase() {
  sqlite3_finalize(selectData_);
  sqlite3_finalize(selectExists_);
  sqlite3_finalize(updateData_);
  sqlite3_close(connection_);
}

sqlite3_stmt* ChunkDatabase::Statement(sqlite3_stmt*& statement, const char* sql) {
  if (!statement) sqlite3_prepare_v2(connection_, sql, -1, &statement, nullptr);
  return statement;
}

DatabaseAnswer ChunkDatabase::FailureOf(int resultCode) {
  // The extended codes (SQLITE_BUSY_SNAPSHOT, SQLITE_LOCKED_SHAREDCACHE, ...) share the primary.
  const int primary = resultCode & 0xFF;
  return primary == SQLITE_BUSY || primary == SQLITE_LOCKED ? DatabaseAnswer::kBusy : DatabaseAnswer::kFailed;
}

DatabaseAnswer ChunkDatabase::ReadChunkBlob(int32_t chunkId, std::vector<uint8_t>& blob) {
  // Preparing reads the schema, so a locked database can already answer here.
  sqlite3_stmt* statement = Statement(selectData_, "SELECT data FROM CHUNKDATA WHERE chunkid = ?");
  if (!statement) return FailureOf(sqlite3_errcode(connection_));
  StatementReset reset{statement};
  if (sqlite3_bind_int(statement, 1, chunkId) != SQLITE_OK) return DatabaseAnswer::kFailed;
  const int step = sqlite3_step(statement);
  if (step == SQLITE_DONE) return DatabaseAnswer::kNoRow;
  if (step != SQLITE_ROW) return FailureOf(step);
  const void* data = sqlite3_column_blob(statement, 0);
  int size = sqlite3_column_bytes(statement, 0);
  blob.resize(size > 0 ? static_cast<size_t>(size) : 0);
  if (!blob.empty() && data) std::memcpy(blob.data(), data, blob.size());
  return DatabaseAnswer::kRow;
}

DatabaseAnswer ChunkDatabase::HasChunkRow(int32_t chunkId) {
  sqlite3_stmt* statement = Statement(selectExists_, "SELECT 1 FROM CHUNKDATA WHERE chunkid = ?");
  if (!statement) return FailureOf(sqlite3_errcode(connection_));
  StatementReset reset{statement};
  if (sqlite3_bind_int(statement, 1, chunkId) != SQLITE_OK) return DatabaseAnswer::kFailed;
  const int step = sqlite3_step(statement);
  if (step == SQLITE_ROW) return DatabaseAnswer::kRow;
  return step == SQLITE_DONE ? DatabaseAnswer::kNoRow : FailureOf(step);
}

DatabaseAnswer ChunkDatabase::UpdateChunkBlob(int32_t chunkId, std::span<const uint8_t> blob) {
  sqlite3_stmt* statement = Statement(updateData_, "UPDATE CHUNKDATA SET data=? WHERE chunkid = ?;");
  if (!statement) return FailureOf(sqlite3_errcode(connection_));
  StatementReset reset{statement};
  if (sqlite3_bind_blob64(statement, 1, blob.data(), blob.size(), SQLITE_STATIC) != SQLITE_OK ||
      sqlite3_bind_int(statement, 2, chunkId) != SQLITE_OK)
    return DatabaseAnswer::kFailed;
  const int step = sqlite3_step(statement);
  if (step != SQLITE_DONE) return FailureOf(step);
  return sqlite3_changes(connection_) > 0 ? DatabaseAnswer::kRow : DatabaseAnswer::kNoRow;
}

}  // namespace orelens::world
