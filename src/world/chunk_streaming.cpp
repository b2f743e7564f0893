#include "world/chunk_streaming.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "world/loader_threads.h"

namespace orelens::world {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kUnloaderPassMs = 10;
constexpr int kStopPollMs = 10;
constexpr int kStopTimeoutMs = 5000;

}  // namespace

ChunkStreaming::ChunkStreaming(StreamingServices services) : services_(std::move(services)) {}

ChunkStreaming::~ChunkStreaming() {
  unloaderStop_ = true;
  if (unloaderThread_.joinable()) unloaderThread_.join();
  QuitFlag = 1;
  RetireLoaders(kStopTimeoutMs);
}

double ChunkStreaming::UnloadDistanceLimit(int viewDistance) {
  return std::sqrt(static_cast<double>(viewDistance) * 2.0 * 16.0 * 16.0) -
         static_cast<double>(viewDistance) / 4.0;
}

void ChunkStreaming::StartChunkUnloaderThread() {
  if (unloaderThread_.joinable()) return;
  unloaderThread_ = std::thread([this] {
    while (!unloaderStop_.load()) {
      UnloaderPass();
      std::this_thread::sleep_for(milliseconds(kUnloaderPassMs));
    }
  });
}

void ChunkStreaming::UnloaderPass() {
  std::unique_lock loadedLock(LoadedChunkMapMutex(), std::try_to_lock);
  if (!loadedLock.owns_lock() || pendingUnloadChunk_ != -1) return;
  const double limit = UnloadDistanceLimit(services_.settings->ViewDistance.load());
  for (auto entry = loadedChunks_.begin(); entry != loadedChunks_.end(); ++entry) {
    const CameraPosition camera = services_.cameraPosition();
    const double dx = static_cast<double>(entry->second.originX) - camera.x;
    const double dz = static_cast<double>(entry->second.originZ) - camera.z;
    if (std::sqrt(dx * dx + dz * dz) > limit) {
      pendingUnloadChunk_ = entry->second.chunkId;
      loadedChunks_.erase(entry);
      return;
    }
  }
}

void ChunkStreaming::StartChunkLoaderThreads() {
  for (int slot = 0; slot < kLoaderSlotCount; ++slot) {
    auto& loader = loaders_[slot];
    if (loader && loader->Running()) continue;  // still streaming: StopChunkLoaders comes first
    if (loader) loader->Join();
    loader = std::make_shared<LoaderThread>(*this, slot, services_.settings->CurrentWorldFolder());
    LoaderThread::Start(loader);
  }
}

bool ChunkStreaming::LoaderRunning(int slot) const {
  return loaders_[slot] && loaders_[slot]->Running();
}

int64_t ChunkStreaming::LongestLoaderLockWaitMs() const {
  int64_t longest = -1;
  for (const auto& loader : loaders_) {
    if (loader) longest = std::max(longest, loader->LockWaitMs());
  }
  return longest;
}

void ChunkStreaming::StopChunkLoaders(int timeoutMs) {
  if (services_.savePreferences) services_.savePreferences();
  QuitFlag = 1;
  RetireLoaders(timeoutMs);
  QuitFlag = 0;
}

void ChunkStreaming::RetireLoaders(int timeoutMs) {
  // A loader waiting for a locked database would otherwise keep the caller (the main thread)
  // until its wait times out.
  for (auto& loader : loaders_) {
    if (loader) loader->RequestStop();
  }
  const auto start = Clock::now();
  bool anyRunning = false;
  do {
    if (services_.answerWaitingMessages) services_.answerWaitingMessages();
    anyRunning = false;
    for (int slot = 0; slot < kLoaderSlotCount; ++slot) anyRunning = anyRunning || LoaderRunning(slot);
    std::this_thread::sleep_for(milliseconds(kStopPollMs));
  } while (anyRunning && Clock::now() - start < milliseconds(timeoutMs));

  for (int slot = 0; slot < kLoaderSlotCount; ++slot) {
    auto& loader = loaders_[slot];
    if (!loader) continue;
    if (loader->Running()) {
      // Too slow to stop: cut it off from everything shared and leave it to end on its own.
      loader->Revoke();
      loader->Abandon(abandonedRunning_);
      slots_[slot].ready = 0;
      for (auto& band : slots_[slot].faceLists) band.clear();
    } else {
      loader->Join();
    }
    loader.reset();
  }
}

void ChunkStreaming::UnloadAllChunks() {
  std::lock_guard loadedLock(LoadedChunkMapMutex());
  for (const auto& [key, entry] : loadedChunks_) {
    if (services_.freeChunkGeometry) services_.freeChunkGeometry(entry.chunkId);
  }
  loadedChunks_.clear();
  for (auto& slot : slots_) {
    slot.ready = 0;
    for (auto& band : slot.faceLists) band.clear();
  }
  if (services_.freeAllChunkGeometry) services_.freeAllChunkGeometry();
}

void ChunkStreaming::FreePendingUnloadChunk() {
  std::unique_lock loadedLock(LoadedChunkMapMutex(), std::try_to_lock);
  if (!loadedLock.owns_lock() || pendingUnloadChunk_ <= -1) return;
  if (services_.freeChunkGeometry) services_.freeChunkGeometry(pendingUnloadChunk_);
  pendingUnloadChunk_ = -1;
}

void ChunkStreaming::EnableUnloading() {
  std::lock_guard loadedLock(LoadedChunkMapMutex());
  pendingUnloadChunk_ = -1;
}

}  // namespace orelens::world
