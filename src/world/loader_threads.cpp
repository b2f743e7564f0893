#include "world/loader_threads.h"

#include <chrono>
#include <cmath>
#include <limits>

#include "world/chunk_streaming.h"
#include "world/spiral.h"

namespace orelens::world {
namespace {

using std::chrono::milliseconds;

constexpr int kIdlePollMs = 50;
// How long a chunk whose record could not be read stays taken before a loader tries it again.
constexpr int64_t kUnreadRetryMs = 2000;
constexpr HeightRange kNarrowRange{100, 249};
constexpr HeightRange kFullRange{0, kChunkHeight - 1};

// The spiral reaches at most about 23,200 chunks from its base cell (a view distance of 2^31
// cells); base cells stay this far inside the int32 range so that every cell of the spiral fits.
constexpr double kSpiralMargin = 1 << 20;

// The origin of the chunk cell that the spiral starts from: ceil(v / 16) * 16 - 8, clamped like
// LocateChunk's origins for a camera far beyond the int32 range.
int32_t BaseCellOrigin(float v) {
  constexpr double kLowest = std::numeric_limits<int32_t>::min() + kSpiralMargin - 8.0;
  constexpr double kHighest = std::numeric_limits<int32_t>::max() - kSpiralMargin - 7.0;
  double origin = std::ceil(static_cast<double>(v) / 16.0) * 16.0 - 8.0;
  if (!(origin >= kLowest)) origin = kLowest;  // also catches NaN
  if (origin > kHighest) origin = kHighest;
  return static_cast<int32_t>(origin);
}

int32_t ChunkIdOf(const std::unordered_map<std::string, int32_t>& worldChunks, int32_t x, int32_t z) {
  const auto found = worldChunks.find(ChunkOriginKey(x, z));
  return found == worldChunks.end() ? -1 : found->second;
}

int64_t SteadyMilliseconds() {
  return std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

LoaderThread::LoaderThread(ChunkStreaming& streaming, int slot, std::string worldFolder)
    : slot_(slot), worldFolder_(std::move(worldFolder)), streaming_(&streaming) {}

void LoaderThread::Start(const std::shared_ptr<LoaderThread>& loader) {
  loader->running_ = true;
  loader->thread_ = std::thread(&LoaderThread::Run, loader);
}

void LoaderThread::Revoke() {
  std::lock_guard ticket(ticketMutex_);
  streaming_ = nullptr;
}

void LoaderThread::Join() {
  if (thread_.joinable()) thread_.join();
}

void LoaderThread::Abandon(std::shared_ptr<std::atomic<int>> running) {
  if (thread_.joinable()) thread_.detach();
  std::lock_guard end(endMutex_);
  if (ended_) return;
  ++*running;
  abandonedRunning_ = std::move(running);
}

template <class Work>
bool LoaderThread::WithStreaming(Work&& work) {
  std::lock_guard ticket(ticketMutex_);
  if (streaming_ == nullptr) return false;
  work(*streaming_);
  return true;
}

// The thread keeps its own LoaderThread alive, so an abandoned loader only ever touches memory
// it owns.
void LoaderThread::Run(std::shared_ptr<LoaderThread> self) {
  self->Body();
  self->running_ = false;
  std::lock_guard end(self->endMutex_);
  self->ended_ = true;
  if (self->abandonedRunning_) --*self->abandonedRunning_;
}

void LoaderThread::Body() {
  std::this_thread::sleep_for(milliseconds((slot_ + 1) * 10));
  if (!Open()) return;
  while (Pass()) {
  }
  reader_.reset();  // releases the LZ4 library and closes the database connection
}

bool LoaderThread::Open() {
  decltype(StreamingServices::openChunkReader) openChunkReader;
  decltype(StreamingServices::showMessage) showMessage;
  const bool current = WithStreaming([&](ChunkStreaming& streaming) {
    const auto& services = streaming.services_;
    walker_.emplace(*services.blockKinds);
    openChunkReader = services.openChunkReader;
    showMessage = services.showMessage;
  });
  if (!current) return false;
  // Outside the ticket mutex: opening the database may wait on the game's lock, and the box waits
  // for a person; a stop must never wait for either.
  reader_ = openChunkReader(worldFolder_, stopWatch_);
  if (reader_) return true;
  if (showMessage) showMessage("Error", "LZ4 couldn't be opened");
  return false;
}

bool LoaderThread::Pass() {
  std::this_thread::sleep_for(milliseconds(kIdlePollMs));

  bool idle = true;
  int viewDistance = 0;
  HeightRange range = kFullRange;
  if (!WithStreaming([&](ChunkStreaming& streaming) {
        idle = streaming.slots_[slot_].ready.load() != 0 || streaming.ChunkLoadingPaused.load() != 0;
        viewDistance = streaming.services_.settings->ViewDistance.load();
        if (streaming.services_.settings->NarrowRenderHeight.load() != 0) range = kNarrowRange;
      })) {
    return false;
  }

  if (!idle) {
    if (const auto picked = Pick(viewDistance)) {
      LoadAndWalk(*picked, range);
      if (!(chunk_.couldNotRead ? LeaveForLater(*picked) : Publish(*picked))) return false;
    }
  }

  bool quit = false;
  if (!WithStreaming([&](ChunkStreaming& streaming) {
        if (streaming.QuitFlag.load() == 0) return;
        streaming.slots_[slot_].ready = 0;
        quit = true;
      })) {
    return false;
  }
  return !quit;
}

std::optional<LoaderThread::PickedChunk> LoaderThread::Pick(int viewDistance) {
  std::optional<PickedChunk> picked;
  WithStreaming([&](ChunkStreaming& streaming) {
    std::lock_guard loadedLock(streaming.LoadedChunkMapMutex());
    auto& loaded = streaming.loadedChunks_;
    if (static_cast<int64_t>(loaded.size()) >= 2 * static_cast<int64_t>(viewDistance)) return;

    const CameraPosition camera = streaming.services_.cameraPosition();
    const int32_t baseX = BaseCellOrigin(camera.x);
    const int32_t baseZ = BaseCellOrigin(camera.z);

    std::lock_guard syncLock(streaming.LoaderSyncMutex());
    int64_t n = slot_;
    int32_t x = baseX;
    int32_t z = baseZ;
    std::string key = ChunkOriginKey(x, z);
    const int64_t now = SteadyMilliseconds();
    const auto taken = [&](const std::string& candidate) {
      const auto found = loaded.find(candidate);
      return found != loaded.end() && found->second.TakenAt(now);
    };
    while (taken(key) && n < viewDistance) {
      x = baseX + 16 * SpiralIndexToX(n);
      z = baseZ + 16 * SpiralIndexToZ(n);
      key = ChunkOriginKey(x, z);
      n += kLoaderSlotCount;
    }
    if (n >= viewDistance) return;

    const int32_t id = ChunkIdOf(*streaming.services_.worldChunkMap, x, z);
    loaded[key] = LoadedChunkEntry{x, z, id, slot_};
    picked = PickedChunk{x, z, id};
  });
  return picked;
}

std::array<int32_t, 4> LoaderThread::NeighbourIds(const PickedChunk& chunk) {
  std::array<int32_t, 4> ids{-1, -1, -1, -1};
  WithStreaming([&](ChunkStreaming& streaming) {
    std::lock_guard syncLock(streaming.LoaderSyncMutex());
    const auto& worldChunks = *streaming.services_.worldChunkMap;
    ids[0] = ChunkIdOf(worldChunks, chunk.x - 16, chunk.z);
    ids[1] = ChunkIdOf(worldChunks, chunk.x + 16, chunk.z);
    ids[2] = ChunkIdOf(worldChunks, chunk.x, chunk.z + 16);
    ids[3] = ChunkIdOf(worldChunks, chunk.x, chunk.z - 16);
  });
  return ids;
}

void LoaderThread::LoadAndWalk(const PickedChunk& chunk, HeightRange range) {
  const auto neighbourIds = NeighbourIds(chunk);

  chunk_.record.assign(kChunkHeadAndPlaneSize, kBlockAir);
  chunk_.lists.rotations.clear();  // the maps keep their room from chunk to chunk
  chunk_.lists.customBlocks.clear();
  chunk_.lists.hasLists = false;
  chunk_.lists.hasHeightRange = false;
  chunk_.couldNotRead = false;
  reader_->ReadChunk(chunk.id, chunk_);
  if (chunk_.couldNotRead) return;  // nothing to show; the neighbours need not wait for the store too
  for (size_t i = 0; i < neighbourPlanes_.size(); ++i) {
    neighbourPlanes_[i].assign(kNeighbourPlaneBufferSize, kBlockAir);
    reader_->ReadNeighbourPlane(neighbourIds[i], neighbourPlanes_[i]);
  }

  if (chunk_.lists.hasHeightRange) {
    range.lo = chunk_.lists.MinHeight > 0 ? chunk_.lists.MinHeight - 1 : chunk_.lists.MinHeight;
    range.hi = chunk_.lists.MaxHeight;
  }
  auto planeOf = [](const std::vector<uint8_t>& buffer) {
    return buffer.size() >= kChunkHeadAndPlaneSize ? BlockPlane(buffer) : std::span<const uint8_t>();
  };
  const ChunkPlanes planes{planeOf(chunk_.record), planeOf(neighbourPlanes_[0]), planeOf(neighbourPlanes_[1]),
                           planeOf(neighbourPlanes_[2]), planeOf(neighbourPlanes_[3])};
  walker_->Walk(planes, range, chunk_.lists.rotations, chunk_.lists.customBlocks, bands_);

  // The record buffers are per chunk; the face lists and the maps stay with the thread.
  chunk_.record = {};
  for (auto& plane : neighbourPlanes_) plane = {};
}

bool LoaderThread::LeaveForLater(const PickedChunk& chunk) {
  return WithStreaming([&](ChunkStreaming& streaming) {
    std::lock_guard loadedLock(streaming.LoadedChunkMapMutex());
    // Unless the unloader dropped it meanwhile and another loader took it, the entry is ours.
    const auto found = streaming.loadedChunks_.find(ChunkOriginKey(chunk.x, chunk.z));
    if (found != streaming.loadedChunks_.end() && found->second.loaderSlot == slot_ &&
        found->second.retryAtMs < 0)
      found->second.retryAtMs = SteadyMilliseconds() + kUnreadRetryMs;
  });
}

bool LoaderThread::Publish(const PickedChunk& chunk) {
  return WithStreaming([&](ChunkStreaming& streaming) {
    std::unique_lock syncLock(streaming.LoaderSyncMutex(), std::defer_lock);
    while (!syncLock.try_lock()) std::this_thread::yield();
    auto& slot = streaming.slots_[slot_];
    slot.chunkX = chunk.x;
    slot.chunkZ = chunk.z;
    slot.chunkId = chunk.id;
    slot.faceLists.swap(bands_);
    slot.ready = 1;
  });
}

}  // namespace orelens::world
