// How soon a read notices that another connection has let go of the world's database: the chunk
// database's stepped wait (which the wait window and the loaders' stop watch see) side by side
// with SQLite's own busy timeout on the same file. Each iteration holds the lock for 300 ms on a
// second connection, lets go, and times from the let-go to the read's return.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <thread>

#include "fixtures/world_writer.h"
#include "world/chunk_database.h"

namespace {

using namespace orelens;
using Clock = std::chrono::steady_clock;

constexpr auto kHold = std::chrono::milliseconds(300);

struct World {
  fixtures::TempFolder save;
  fixtures::WorldWriter world{save.path(), "Bench"};
  World() { world.PutDatabaseRow(1, std::vector<uint8_t>(64, 7)); }
};

// Runs `read` while another connection holds the database for kHold; the seconds from the
// let-go to the read's end.
template <class Read>
double SecondsFromLetGo(const std::string& path, Read read) {
  sqlite3* holder = nullptr;
  sqlite3_open(path.c_str(), &holder);
  sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
  Clock::time_point letGo;
  std::thread release([&] {
    std::this_thread::sleep_for(kHold);
    letGo = Clock::now();
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
  });
  read();
  const Clock::time_point done = Clock::now();
  release.join();
  sqlite3_close(holder);
  return std::chrono::duration<double>(done - letGo).count();
}

void BM_LockLetGoNoticedBySteppedWait(benchmark::State& state) {
  World world;
  auto database = world::ChunkDatabase::Open(world.world.DatabasePath());
  std::vector<uint8_t> blob;
  for (auto _ : state) {
    state.SetIterationTime(SecondsFromLetGo(world.world.DatabasePath(), [&] {
      if (database->ReadChunkBlob(1, blob) != world::DatabaseAnswer::kRow) state.SkipWithError("not read");
    }));
  }
}
BENCHMARK(BM_LockLetGoNoticedBySteppedWait)->UseManualTime()->Iterations(10)->Repetitions(3)->Unit(benchmark::kMillisecond);

void BM_LockLetGoNoticedBySqliteBusyTimeout(benchmark::State& state) {
  World world;
  sqlite3* connection = nullptr;
  sqlite3_open_v2(world.world.DatabasePath().c_str(), &connection, SQLITE_OPEN_READWRITE, nullptr);
  sqlite3_busy_timeout(connection, world::ChunkDatabase::kBusyTimeoutMilliseconds);
  sqlite3_stmt* statement = nullptr;
  for (auto _ : state) {
    state.SetIterationTime(SecondsFromLetGo(world.world.DatabasePath(), [&] {
      // Prepared inside the wait, as the chunk database's first read is.
      if (statement == nullptr &&
          sqlite3_prepare_v2(connection, "SELECT data FROM CHUNKDATA WHERE chunkid = ?", -1, &statement, nullptr) !=
              SQLITE_OK) {
        state.SkipWithError("not prepared");
        return;
      }
      sqlite3_bind_int(statement, 1, 1);
      if (sqlite3_step(statement) != SQLITE_ROW) state.SkipWithError("not read");
      sqlite3_reset(statement);
    }));
  }
  sqlite3_finalize(statement);
  sqlite3_close(connection);
}
BENCHMARK(BM_LockLetGoNoticedBySqliteBusyTimeout)
    ->UseManualTime()
    ->Iterations(10)
    ->Repetitions(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace
