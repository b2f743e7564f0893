#include "world/chunk_database.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <thread>

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

// Pauses between two tries of a lock: short at first, so that a lock let go quickly costs little,
// then a steady 25 ms, so that the observer is told often enough to keep the windows drawn.
constexpr std::array<int, 7> kLockPausesMs = {1, 2, 5, 10, 15, 20, 25};

}  // namespace

// Marks one statement: its waits are measured from the first one, and the observer hears when
// the statement is over.
class ChunkDatabase::StatementWait {
 public:
  explicit StatementWait(ChunkDatabase& database) : database_(database) { database_.waitStart_.reset(); }
  ~StatementWait() {
    if (database_.waitStart_ && database_.waitObserver_) database_.waitObserver_->WaitEnded();
  }
  StatementWait(const StatementWait&) = delete;
  StatementWait& operator=(const StatementWait&) = delete;

 private:
  ChunkDatabase& database_;
};

std::unique_ptr<ChunkDatabase> ChunkDatabase::Open(std::string_view path, int busyTimeoutMilliseconds,
                                                   DatabaseWaitObserver* waitObserver) {
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
  std::unique_ptr<ChunkDatabase> database(new ChunkDatabase(connection, busyTimeoutMilliseconds, waitObserver));
  // The game (or another tool reading its files) can hold the database for a long while; the
  // handler waits for it as a busy timeout would, but in steps that the observer sees.
  sqlite3_busy_handler(connection, &ChunkDatabase::OnBusy, database.get());
  return database;
}

int ChunkDatabase::OnBusy(void* database, int attempt) {
  return static_cast<ChunkDatabase*>(database)->WaitForLock(attempt);
}

int ChunkDatabase::WaitForLock(int attempt) {
  const Clock::time_point now = Clock::now();
  if (!waitStart_) waitStart_ = now;
  const DatabaseWait wait{std::chrono::duration_cast<std::chrono::milliseconds>(now - *waitStart_).count(),
                          busyTimeoutMs_};
  if (wait.RemainingMs() <= 0) return 0;
  if (waitObserver_ && !waitObserver_->KeepWaiting(wait)) return 0;
  const size_t step = std::min(static_cast<size_t>(std::max(attempt, 0)), kLockPausesMs.size() - 1);
  const int64_t pause = std::min<int64_t>(kLockPausesMs[step], wait.RemainingMs());
  std::this_thread::sleep_for(std::chrono::milliseconds(pause));
  return 1;
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

DatabaseAnswer ChunkDatabase::AnswerForError(int resultCode) {
  // The extended codes (SQLITE_BUSY_SNAPSHOT, SQLITE_LOCKED_SHAREDCACHE, ...) share the primary.
  const int primary = resultCode & 0xFF;
  if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) return DatabaseAnswer::kBusy;
  // "no such table" has no code of its own: it is SQLITE_ERROR, like a missing column.
  if (primary == SQLITE_ERROR && LacksChunkTable()) return DatabaseAnswer::kNoRow;
  return DatabaseAnswer::kFailed;
}

bool ChunkDatabase::LacksChunkTable() {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(connection_,
                         "SELECT 1 FROM sqlite_master WHERE type IN ('table', 'view') AND name = 'CHUNKDATA' "
                         "COLLATE NOCASE",
                         -1, &statement, nullptr) != SQLITE_OK) {
    return false;  // the schema could not be read: the error stands
  }
  const bool lacks = sqlite3_step(statement) == SQLITE_DONE;
  sqlite3_finalize(statement);
  return lacks;
}

DatabaseAnswer ChunkDatabase::ReadChunkBlob(int32_t chunkId, std::vector<uint8_t>& blob) {
  StatementWait wait(*this);
  // Preparing reads the schema, so a locked database can already answer here.
  sqlite3_stmt* statement = Statement(selectData_, "SELECT data FROM CHUNKDATA WHERE chunkid = ?");
  if (!statement) return AnswerForError(sqlite3_errcode(connection_));
  StatementReset reset{statement};
  if (sqlite3_bind_int(statement, 1, chunkId) != SQLITE_OK) return DatabaseAnswer::kFailed;
  const int step = sqlite3_step(statement);
  if (step == SQLITE_DONE) return DatabaseAnswer::kNoRow;
  if (step != SQLITE_ROW) return AnswerForError(step);
  const void* data = sqlite3_column_blob(statement, 0);
  int size = sqlite3_column_bytes(statement, 0);
  blob.resize(size > 0 ? static_cast<size_t>(size) : 0);
  if (!blob.empty() && data) std::memcpy(blob.data(), data, blob.size());
  return DatabaseAnswer::kRow;
}

DatabaseAnswer ChunkDatabase::HasChunkRow(int32_t chunkId) {
  StatementWait wait(*this);
  // Asks for the column a read and an update use, so that a table without it fails here too.
  sqlite3_stmt* statement = Statement(selectExists_, "SELECT length(data) FROM CHUNKDATA WHERE chunkid = ?");
  if (!statement) return AnswerForError(sqlite3_errcode(connection_));
  StatementReset reset{statement};
  if (sqlite3_bind_int(statement, 1, chunkId) != SQLITE_OK) return DatabaseAnswer::kFailed;
  const int step = sqlite3_step(statement);
  if (step == SQLITE_ROW) return DatabaseAnswer::kRow;
  return step == SQLITE_DONE ? DatabaseAnswer::kNoRow : AnswerForError(step);
}

DatabaseAnswer ChunkDatabase::UpdateChunkBlob(int32_t chunkId, std::span<const uint8_t> blob) {
  StatementWait wait(*this);
  sqlite3_stmt* statement = Statement(updateData_, "UPDATE CHUNKDATA SET data=? WHERE chunkid = ?;");
  if (!statement) return AnswerForError(sqlite3_errcode(connection_));
  StatementReset reset{statement};
  if (sqlite3_bind_blob64(statement, 1, blob.data(), blob.size(), SQLITE_STATIC) != SQLITE_OK ||
      sqlite3_bind_int(statement, 2, chunkId) != SQLITE_OK)
    return DatabaseAnswer::kFailed;
  const int step = sqlite3_step(statement);
  if (step != SQLITE_DONE) return AnswerForError(step);
  return sqlite3_changes(connection_) > 0 ? DatabaseAnswer::kRow : DatabaseAnswer::kNoRow;
}

}  // namespace orelens::world
