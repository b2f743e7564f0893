#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>

#include "world/block_kind_table.h"
#include "world/block_walk.h"
#include "world/database_wait.h"
#include "world/loaded_chunk_map.h"
#include "world/loader_chunk_reader.h"
#include "world/settings.h"

namespace orelens::world {

inline constexpr int kLoaderSlotCount = 8;

// The hand-off of one loader slot. `ready` says who owns the other fields: 0 the slot's loader,
// 1 the main thread, which meshes the chunk and then stores 0.
struct LoaderSlot {
  std::atomic<int> ready{0};  // LoaderReadyFlags entry; atomic: it is the hand-off itself
  int32_t chunkX = 0;         // LoaderChunkX; owned as `ready` says
  int32_t chunkZ = 0;         // LoaderChunkZ; owned as `ready` says
  int32_t chunkId = -1;       // LoaderChunkId; owned as `ready` says
  HeightBandLists faceLists;  // LoaderFaceLists of the slot; owned as `ready` says
};

struct CameraPosition {
  float x = 0;
  float z = 0;
};

// What streaming needs from the rest of the program. The world store lends its two mutexes and
// its chunk list; the viewer lends the camera, the message box, saving the preferences and the
// freeing of chunk geometry, so the world library knows nothing of the viewer.
struct StreamingServices {
  std::mutex* loadedChunkMapMutex = nullptr;  // LoadedChunkMapMutex, always taken first
  std::mutex* loaderSyncMutex = nullptr;      // LoaderSyncMutex, guards the world's chunk list
  const std::unordered_map<std::string, int32_t>* worldChunkMap = nullptr;  // read under loaderSyncMutex
  const Settings* settings = nullptr;
  const BlockKindTable* blockKinds = nullptr;      // filled before the loaders start, then read only
  std::function<CameraPosition()> cameraPosition;  // camera 0; callable from any thread
  // Opens one loader's LZ4 library and database connection for the world folder; null when the
  // LZ4 library cannot be loaded. Called on the loader's own thread. The connection tells
  // stopWatch while it waits for a lock, which ends the wait once the loader is told to stop;
  // stopWatch outlives the reader.
  std::function<std::unique_ptr<LoaderChunkReader>(const std::string& worldFolder,
                                                   DatabaseWaitObserver& stopWatch)>
      openChunkReader;
  std::function<void(std::string_view title, std::string_view text)> showMessage;
  // Answers the message boxes that worker threads are waiting for, so that a loader showing one
  // can end; called while the loaders are being stopped (no person answers boxes meanwhile).
  std::function<void()> answerWaitingMessages;
  std::function<void()> savePreferences;
  std::function<void(int32_t chunkId)> freeChunkGeometry;  // main thread
  std::function<void()> freeAllChunkGeometry;              // main thread
};

class LoaderThread;

// The chunk streaming of the world store: the eight loader threads, the unloader thread and
// everything they share with the main thread. Lock order: loadedChunkMapMutex before
// loaderSyncMutex; nothing holds loaderSyncMutex while taking loadedChunkMapMutex.
class ChunkStreaming {
 public:
  explicit ChunkStreaming(StreamingServices services);
  // Stops every thread without saving the preferences; a loader that does not stop in time is
  // abandoned (it can no longer touch anything shared) so the program never hangs on it.
  ~ChunkStreaming();
  ChunkStreaming(const ChunkStreaming&) = delete;
  ChunkStreaming& operator=(const ChunkStreaming&) = delete;

  void StartChunkUnloaderThread();
  // Starts the loaders of slots 0 to 7, in that order, for the current world.
  void StartChunkLoaderThreads();
  // Saves the preferences, asks the loaders to stop and waits up to `timeoutMs` for them,
  // answering the message boxes they wait for meanwhile; a loader waiting for the world's
  // database gives up its wait at once. A loader still running then is abandoned and its slot
  // reset. QuitFlag is back at 0 afterwards.
  void StopChunkLoaders(int timeoutMs = 5000);
  // Empties LoadedChunkMap, freeing each chunk's geometry, resets every slot and frees all
  // chunk geometry. Only while no loader runs.
  void UnloadAllChunks();

  // Main loop, once per pass: frees the chunk the unloader gave up, if the lock is free.
  void FreePendingUnloadChunk();
  // Start-up's last step before the main loop: from now on the unloader may hand chunks over.
  void EnableUnloading();

  // How many abandoned loaders have not ended yet. Stays valid after this object is gone, so the
  // program's end can tell whether a thread may still run while the process exits.
  std::shared_ptr<const std::atomic<int>> AbandonedLoadersRunning() const { return abandonedRunning_; }

  // The unloader's distance limit in engine units for a view distance.
  static double UnloadDistanceLimit(int viewDistance);

  LoaderSlot& Slot(int slot) { return slots_[slot]; }
  bool LoaderRunning(int slot) const;
  // How long the loader that has waited longest for the lock on the world's database (the game
  // holding it) has been waiting in its present wait; -1 while none waits. Main thread.
  int64_t LongestLoaderLockWaitMs() const;
  std::mutex& LoadedChunkMapMutex() { return *services_.loadedChunkMapMutex; }
  std::mutex& LoaderSyncMutex() { return *services_.loaderSyncMutex; }
  // Guarded by LoadedChunkMapMutex.
  LoadedChunkMap& LoadedChunks() { return loadedChunks_; }
  // Guarded by LoadedChunkMapMutex.
  int32_t& PendingUnloadChunk() { return pendingUnloadChunk_; }

  std::atomic<int> QuitFlag{0};            // atomic: read by the loaders at the end of each pass
  std::atomic<int> ChunkLoadingPaused{0};  // atomic: the P key toggles it while loaders poll it

 private:
  friend class LoaderThread;

  void UnloaderPass();
  void RetireLoaders(int timeoutMs);

  StreamingServices services_;
  std::array<LoaderSlot, kLoaderSlotCount> slots_;
  LoadedChunkMap loadedChunks_;     // guarded by LoadedChunkMapMutex
  int32_t pendingUnloadChunk_ = 0;  // guarded by LoadedChunkMapMutex; 0 until start-up enables it
  // WorkerThreadHandles: the unloader, then one loader per slot (owned by the main thread).
  std::thread unloaderThread_;
  std::atomic<bool> unloaderStop_{false};  // atomic: set by the destructor, polled by the unloader
  std::array<std::shared_ptr<LoaderThread>, kLoaderSlotCount> loaders_;
  // Abandoned loaders still running; each one counts itself down when it ends.
  std::shared_ptr<std::atomic<int>> abandonedRunning_ = std::make_shared<std::atomic<int>>(0);
};

}  // namespace orelens::world
