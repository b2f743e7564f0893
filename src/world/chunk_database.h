#pragma once

#include <cstdint>
#include <chrono>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "world/database_wait.h"

struct sqlite3;
struct sqlite3_stmt;

namespace orelens::world {

// How a statement on the chunk database ended. A statement that could not run says so: it is
// never taken for a missing row.
enum class DatabaseAnswer {
  kRow,     // the chunk's row was found (read) or changed (update)
  kNoRow,   // the statement ran and the chunk has no row, or the database has no CHUNKDATA table
  kBusy,    // another connection (the game, a backup tool) held the database past the busy timeout
  kFailed,  // any other error: I/O, not a database, damaged file, a CHUNKDATA table of another shape
};

// A connection to a world's "chunkdata.sqlite", opened for reading and writing but never
// created, with its statements prepared once and reused. The game may hold the database at the
// same time; waits for its locks are bounded by the busy timeout, per statement.
//
// A statement that finds the database locked waits in short pauses, all of them together never
// longer than the busy timeout, and tells the wait observer (if any) before each pause: the main
// thread keeps its windows alive and shows the wait, a loader thread stops waiting when told to.
class ChunkDatabase {
 public:
  static constexpr int kBusyTimeoutMilliseconds = 20'000;

  // nullptr when the path is empty or names no database that opens. The observer, when given,
  // must outlive the connection and is called on the thread that runs the statements.
  static std::unique_ptr<ChunkDatabase> Open(std::string_view path,
                                             int busyTimeoutMilliseconds = kBusyTimeoutMilliseconds,
                                             DatabaseWaitObserver* waitObserver = nullptr);
  ~ChunkDatabase();
  ChunkDatabase(const ChunkDatabase&) = delete;
  ChunkDatabase& operator=(const ChunkDatabase&) = delete;

  // The `data` of the chunk's first row into blob (kRow).
  DatabaseAnswer ReadChunkBlob(int32_t chunkId, std::vector<uint8_t>& blob);
  // Whether the chunk has a row.
  DatabaseAnswer HasChunkRow(int32_t chunkId);
  // UPDATE of the chunk's row with the blob; kNoRow when no row was changed.
  DatabaseAnswer UpdateChunkBlob(int32_t chunkId, std::span<const uint8_t> blob);

 private:
  using Clock = std::chrono::steady_clock;
  class StatementWait;

  ChunkDatabase(sqlite3* connection, int busyTimeoutMilliseconds, DatabaseWaitObserver* waitObserver)
      : connection_(connection), busyTimeoutMs_(busyTimeoutMilliseconds), waitObserver_(waitObserver) {}
  // SQLite's busy handler: 1 to try the lock again after a pause, 0 to give up (busy).
  static int OnBusy(void* database, int attempt);
  int WaitForLock(int attempt);
  sqlite3_stmt* Statement(sqlite3_stmt*& statement, const char* sql);
  // The answer for a result code that is neither a row nor done. A database without the
  // CHUNKDATA table (an empty file, for one) holds no rows; every other error stays one.
  DatabaseAnswer AnswerForError(int resultCode);
  bool LacksChunkTable();

  sqlite3* connection_ = nullptr;
  sqlite3_stmt* selectData_ = nullptr;  // prepared on first use
  sqlite3_stmt* selectExists_ = nullptr;
  sqlite3_stmt* updateData_ = nullptr;
  const int busyTimeoutMs_;
  DatabaseWaitObserver* const waitObserver_;
  std::optional<Clock::time_point> waitStart_;  // set while the running statement waits or has waited
};

}  // namespace orelens::world
