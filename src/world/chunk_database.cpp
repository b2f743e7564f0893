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

std::unique_ptr<ChunkDatabase> ChunkDatabase::Open(std::string_view path) {
  if (path.empty() || platform::FileSize(path) < 0) return nullptr;
  std::string resolved = platform::ResolvePath(path);
  sqlite3* connection = nullptr;
  // No SQLITE_OPEN_CREATE: the game's database is never created here. Each thread has its own
  // connection, so SQLite's per-connection mutex is not needed.
  int result = sqlite3_open_v2(resolved.c_str(), &connection, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (result != SQLITE_OK) {
    sqlite3_close(connection);
    return nullptr;
  }
  // The game (or another tool reading its files) can hold the database for a long while.
  sqlite3_busy_timeout(connection, kBusyTimeoutMilliseconds);
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

bool ChunkDatabase::ReadChunkBlob(int32_t chunkId, std::vector<uint8_t>& blob) {
  sqlite3_stmt* statement = Statement(selectData_, "SELECT data FROM CHUNKDATA WHERE chunkid = ?");
  if (!statement) return false;
  StatementReset reset{statement};
  if (sqlite3_bind_int(statement, 1, chunkId) != SQLITE_OK || sqlite3_step(statement) != SQLITE_ROW) return false;
  const void* data = sqlite3_column_blob(statement, 0);
  int size = sqlite3_column_bytes(statement, 0);
  blob.resize(size > 0 ? static_cast<size_t>(size) : 0);
  if (!blob.empty() && data) std::memcpy(blob.data(), data, blob.size());
  return true;
}

bool ChunkDatabase::HasChunkRow(int32_t chunkId) {
  sqlite3_stmt* statement = Statement(selectExists_, "SELECT 1 FROM CHUNKDATA WHERE chunkid = ?");
  if (!statement) return false;
  StatementReset reset{statement};
  return sqlite3_bind_int(statement, 1, chunkId) == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW;
}

bool ChunkDatabase::UpdateChunkBlob(int32_t chunkId, std::span<const uint8_t> blob) {
  sqlite3_stmt* statement = Statement(updateData_, "UPDATE CHUNKDATA SET data=? WHERE chunkid = ?;");
  if (!statement) return false;
  StatementReset reset{statement};
  if (sqlite3_bind_blob64(statement, 1, blob.data(), blob.size(), SQLITE_STATIC) != SQLITE_OK ||
      sqlite3_bind_int(statement, 2, chunkId) != SQLITE_OK)
    return false;
  return sqlite3_step(statement) == SQLITE_DONE;
}

}  // namespace orelens::world
