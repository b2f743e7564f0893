#pragma once

#include <cstdint>

namespace orelens::world {

// Where a statement stands while it waits for a lock that another connection (the game, a backup
// tool) holds on the world's database.
struct DatabaseWait {
  int64_t waitedMs = 0;   // since the statement first found the database locked
  int64_t timeoutMs = 0;  // the most the statement waits before it answers busy

  int64_t RemainingMs() const { return waitedMs < timeoutMs ? timeoutMs - waitedMs : 0; }
};

// Told about every wait of a connection to the world's database, on the thread that waits. The
// main thread's operations show the wait and keep the windows alive; a loader thread ends its
// wait when it is told to stop.
class DatabaseWaitObserver {
 public:
  virtual ~DatabaseWaitObserver() = default;
  // Called every few milliseconds while a statement waits, the first time before any pause.
  // False ends the wait at once: the statement then answers busy, as at the timeout.
  virtual bool KeepWaiting(const DatabaseWait& wait) = 0;
  // The statement that waited has ended, with the lock or without it.
  virtual void WaitEnded() {}
};

// Hands an observer to a block reader or writer for the length of one operation, and gives the
// one before back when the operation ends.
template <class Watched>
class ScopedWaitObserver {
 public:
  ScopedWaitObserver(Watched& watched, DatabaseWaitObserver* observer)
      : watched_(watched), before_(watched.SetWaitObserver(observer)) {}
  ~ScopedWaitObserver() { watched_.SetWaitObserver(before_); }
  ScopedWaitObserver(const ScopedWaitObserver&) = delete;
  ScopedWaitObserver& operator=(const ScopedWaitObserver&) = delete;

 private:
  Watched& watched_;
  DatabaseWaitObserver* before_;
};

}  // namespace orelens::world
