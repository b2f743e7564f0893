#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "world/block_walk.h"
#include "world/database_wait.h"
#include "world/loader_chunk_reader.h"

namespace orelens::world {

class ChunkStreaming;

// One ChunkLoaderThread: picks the next chunk of its slot's share of the spiral around the
// camera, reads it with its four side neighbours, walks its blocks and publishes the visible
// ones in its slot.
//
// A loader that does not stop in time is abandoned, never killed: the stopper revokes its ticket,
// and from then on the thread touches nothing but what it owns (this object, kept alive by the
// thread itself). Every access to the shared streaming state happens inside `WithStreaming`,
// under the ticket mutex, so a revoked loader can never hold a shared lock, write a slot or
// change LoadedChunkMap again. Nothing that waits for a person (the message box) runs under the
// ticket mutex, so revoking never waits for a person either.
class LoaderThread {
 public:
  // worldFolder: the folder of the world the loader is started for; the loader keeps its own
  // copy, so a world switch that renames the current world never races with a loader still in
  // its start delay.
  LoaderThread(ChunkStreaming& streaming, int slot, std::string worldFolder);

  static void Start(const std::shared_ptr<LoaderThread>& loader);
  bool Running() const { return running_.load(); }
  // Any thread: the loader is to end; a wait for the world's database it is in ends now.
  void RequestStop() { stopWatch_.stopRequested = true; }
  // How long the loader has been waiting for the world's database lock; -1 while it does not wait.
  int64_t LockWaitMs() const { return stopWatch_.lockWaitMs.load(); }
  // Called by the stopper. Waits for the thread to leave any shared section; afterwards the
  // thread never enters one again.
  void Revoke();
  void Join();
  // Lets the thread go on alone after Revoke; it counts `running` down when it ends.
  void Abandon(std::shared_ptr<std::atomic<int>> running);

 private:
  // Keeps the loader waiting for a locked database only until it is told to stop.
  struct StopWatch : DatabaseWaitObserver {
    bool KeepWaiting(const DatabaseWait& wait) override {
      lockWaitMs = wait.waitedMs;
      return !stopRequested.load();
    }
    void WaitEnded() override { lockWaitMs = -1; }
    std::atomic<bool> stopRequested{false};  // atomic: set by the stopper, read by the loader
    std::atomic<int64_t> lockWaitMs{-1};     // atomic: written by the loader, read by the main thread
  };

  struct PickedChunk {
    int32_t x = 0;
    int32_t z = 0;
    int32_t id = -1;
  };

  static void Run(std::shared_ptr<LoaderThread> self);
  void Body();
  // Runs `work` with the streaming state unless the ticket was revoked; false when revoked.
  template <class Work>
  bool WithStreaming(Work&& work);

  bool Open();
  // One pass of the loop; false once the thread must end.
  bool Pass();
  std::optional<PickedChunk> Pick(int viewDistance);
  std::array<int32_t, 4> NeighbourIds(const PickedChunk& chunk);
  void LoadAndWalk(const PickedChunk& chunk, HeightRange defaultRange);
  bool Publish(const PickedChunk& chunk);
  // A chunk whose record could not be read is not published; it stays taken for a while and is
  // then picked again. False when revoked.
  bool LeaveForLater(const PickedChunk& chunk);

  const int slot_;
  const std::string worldFolder_;
  std::mutex ticketMutex_;            // held while the thread uses streaming_
  ChunkStreaming* streaming_;         // guarded by ticketMutex_; null once revoked
  std::atomic<bool> running_{false};  // atomic: the stopper polls it while the thread ends
  std::thread thread_;                // owned by the stopper (join or detach)
  std::mutex endMutex_;               // orders Abandon against the thread's end
  bool ended_ = false;                // guarded by endMutex_
  std::shared_ptr<std::atomic<int>> abandonedRunning_;  // guarded by endMutex_
  StopWatch stopWatch_;  // outlives reader_, whose connection calls it

  // Owned by the thread alone.
  std::unique_ptr<LoaderChunkReader> reader_;
  std::optional<BlockWalker> walker_;
  LoaderChunk chunk_;
  std::array<std::vector<uint8_t>, 4> neighbourPlanes_;
  HeightBandLists bands_;
};

}  // namespace orelens::world
