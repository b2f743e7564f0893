#include "world/chunk_streaming.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <set>
#include <thread>

#include "fixtures/bounded_wait.h"

namespace orelens::world {
namespace {

using namespace std::chrono_literals;

constexpr uint8_t kStone = 1;

// Chunk records held in memory, shared by the fake readers of all loaders; read only once the
// loaders run, except the gate that holds reads back.
struct FakeChunks {
  std::map<int32_t, std::vector<uint8_t>> records;  // decoded records by chunk id
  std::mutex gateMutex;
  std::condition_variable gateOpened;
  bool gateClosed = false;  // guarded by gateMutex
  int readsWaiting = 0;     // guarded by gateMutex

  void CloseGate() {
    std::lock_guard lock(gateMutex);
    gateClosed = true;
  }
  void OpenGate() {
    {
      std::lock_guard lock(gateMutex);
      gateClosed = false;
    }
    gateOpened.notify_all();
  }
  void PassGate() {
    std::unique_lock lock(gateMutex);
    ++readsWaiting;
    gateOpened.wait(lock, [this] { return !gateClosed; });
    --readsWaiting;
  }
  int ReadsWaiting() {
    std::lock_guard lock(gateMutex);
    return readsWaiting;
  }
};

class FakeReader : public LoaderChunkReader {
 public:
  explicit FakeReader(std::shared_ptr<FakeChunks> chunks) : chunks_(std::move(chunks)) {}
  void ReadChunk(int32_t chunkId, LoaderChunk& chunk) override {
    chunks_->PassGate();
    const auto found = chunks_->records.find(chunkId);
    if (found != chunks_->records.end()) chunk.record = found->second;
  }
  void ReadNeighbourPlane(int32_t chunkId, std::vector<uint8_t>& buffer) override {
    const auto found = chunks_->records.find(chunkId);
    if (found != chunks_->records.end())
      std::copy(found->second.begin(), found->second.begin() + kChunkHeadAndPlaneSize, buffer.begin());
  }

 private:
  std::shared_ptr<FakeChunks> chunks_;
};

std::vector<uint8_t> AirRecord() {
  return std::vector<uint8_t>(kChunkHeadAndPlaneSize, kBlockAir);
}

struct PublishedChunk {
  int32_t x, z, id;
  HeightBandLists faces;
};

// A message box as a person answers it: the asking thread waits until the box is answered.
struct WaitingBoxes {
  std::mutex mutex;
  std::condition_variable changed;
  int waiting = 0;                 // guarded by mutex
  uint64_t answered = 0;           // guarded by mutex; answering rounds
  std::vector<std::string> shown;  // guarded by mutex

  void Show(std::string_view title, std::string_view text) {
    std::unique_lock lock(mutex);
    shown.push_back(std::string(title) + "|" + std::string(text));
    const uint64_t round = answered;
    ++waiting;
    changed.notify_all();
    changed.wait(lock, [&] { return answered != round; });
    --waiting;
  }
  void AnswerAll() {
    {
      std::lock_guard lock(mutex);
      ++answered;
    }
    changed.notify_all();
  }
  int Waiting() {
    std::lock_guard lock(mutex);
    return waiting;
  }
};

// Everything a ChunkStreaming needs, standing in for the world store and the viewer.
struct StreamingRig {
  std::mutex loadedChunkMapMutex, loaderSyncMutex;
  std::unordered_map<std::string, int32_t> worldChunkMap;
  Settings settings;
  BlockKindTable kinds{};
  std::shared_ptr<FakeChunks> chunks = std::make_shared<FakeChunks>();
  std::atomic<float> cameraX{0}, cameraZ{0};
  std::mutex logMutex;
  std::vector<std::string> calls;  // guarded by logMutex
  std::vector<std::string> openedFolders;  // guarded by logMutex

  StreamingRig() { kinds[kBlockAir] = kKindNotDrawn; }

  void Log(std::string entry) {
    std::lock_guard lock(logMutex);
    calls.push_back(std::move(entry));
  }
  std::vector<std::string> Calls() {
    std::lock_guard lock(logMutex);
    return calls;
  }

  StreamingServices Services() {
    StreamingServices services;
    services.loadedChunkMapMutex = &loadedChunkMapMutex;
    services.loaderSyncMutex = &loaderSyncMutex;
    services.worldChunkMap = &worldChunkMap;
    services.settings = &settings;
    services.blockKinds = &kinds;
    services.cameraPosition = [this] { return CameraPosition{cameraX.load(), cameraZ.load()}; };
    services.openChunkReader = [this](const std::string& folder, DatabaseWaitObserver&) {
      std::lock_guard lock(logMutex);
      openedFolders.push_back(folder);
      return std::make_unique<FakeReader>(chunks);
    };
    services.savePreferences = [this] { Log("save"); };
    services.freeChunkGeometry = [this](int32_t id) { Log("free " + std::to_string(id)); };
    services.freeAllChunkGeometry = [this] { Log("free all"); };
    return services;
  }
};

// Plays the main loop's part: takes every ready slot and gives it back.
std::vector<PublishedChunk> TakeReadySlots(ChunkStreaming& streaming) {
  std::vector<PublishedChunk> taken;
  for (int slot = 0; slot < kLoaderSlotCount; ++slot) {
    auto& hand = streaming.Slot(slot);
    if (hand.ready.load() != 1) continue;
    taken.push_back({hand.chunkX, hand.chunkZ, hand.chunkId, hand.faceLists});
    hand.ready = 0;
  }
  return taken;
}

using fixtures::WaitFor;

size_t LoadedCount(StreamingRig& rig, ChunkStreaming& streaming) {
  std::lock_guard lock(rig.loadedChunkMapMutex);
  return streaming.LoadedChunks().size();
}

TEST(ChunkStreamingThreaded, LoadersShareTheSpiralAndPublishEachCellOnce) {
  StreamingRig rig;
  rig.settings.ViewDistance = 20;  // the base cell and spiral indices 0..11: 11 cells
  rig.cameraX = 3.0f;              // base cell origin (8, -8)
  rig.cameraZ = -1.0f;
  rig.worldChunkMap["8,-8"] = 0;
  rig.worldChunkMap["24,-8"] = 1;
  rig.worldChunkMap["8,8"] = 2;
  rig.chunks->records[0] = AirRecord();
  rig.chunks->records[0][CellOffset(5, 6, 70)] = kStone;

  ChunkStreaming streaming(rig.Services());
  streaming.StartChunkLoaderThreads();
  std::map<std::pair<int, int>, PublishedChunk> published;
  int duplicates = 0;
  ASSERT_TRUE(WaitFor([&] {
    for (auto& chunk : TakeReadySlots(streaming))
      if (!published.emplace(std::make_pair(chunk.x, chunk.z), chunk).second) ++duplicates;
    return published.size() >= 11;
  }));
  std::this_thread::sleep_for(200ms);  // a few more polls: nothing else may come
  for (auto& chunk : TakeReadySlots(streaming)) published.emplace(std::make_pair(chunk.x, chunk.z), chunk);
  streaming.StopChunkLoaders();

  EXPECT_EQ(duplicates, 0);
  std::set<std::pair<int, int>> expected;
  for (auto [dx, dz] : std::initializer_list<std::pair<int, int>>{
           {0, 0}, {0, -1}, {1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {1, -1}, {2, -1}, {2, 0}})
    expected.insert({8 + 16 * dx, -8 + 16 * dz});
  std::set<std::pair<int, int>> cells;
  for (const auto& [cell, chunk] : published) cells.insert(cell);
  EXPECT_EQ(cells, expected);
  EXPECT_EQ(published.at({8, -8}).id, 0);
  EXPECT_EQ(published.at({24, -8}).id, 1);
  EXPECT_EQ(published.at({8, 8}).id, 2);
  EXPECT_EQ(published.at({-8, -8}).id, -1);

  const auto& faces = published.at({8, -8}).faces;
  ASSERT_EQ(faces[1].size(), 1u);
  EXPECT_EQ(faces[1][0].col, 5);
  EXPECT_EQ(faces[1][0].row, 6);
  EXPECT_EQ(faces[1][0].height, 70);
  EXPECT_EQ(faces[1][0].faceMask, 0x3F);
  EXPECT_EQ(LoadedCount(rig, streaming), 11u);
  EXPECT_EQ(streaming.QuitFlag.load(), 0);
  EXPECT_EQ(rig.Calls(), std::vector<std::string>{"save"});  // the preferences are saved before stopping
  for (int slot = 0; slot < kLoaderSlotCount; ++slot) EXPECT_FALSE(streaming.LoaderRunning(slot));
}

TEST(ChunkStreamingThreaded, SlotsFromTheViewDistanceOnNeverPick) {
  StreamingRig rig;
  rig.settings.ViewDistance = 5;  // no spiral index qualifies; only slots 0..4 may take the base cell
  ChunkStreaming streaming(rig.Services());
  streaming.StartChunkLoaderThreads();
  std::vector<int> slots;
  ASSERT_TRUE(WaitFor([&] {
    for (int slot = 0; slot < kLoaderSlotCount; ++slot)
      if (streaming.Slot(slot).ready.load() == 1) slots.push_back(slot);
    return !slots.empty();
  }));
  std::this_thread::sleep_for(200ms);
  streaming.StopChunkLoaders();
  ASSERT_EQ(slots.size(), 1u);
  EXPECT_LT(slots[0], 5);
  EXPECT_EQ(LoadedCount(rig, streaming), 1u);
}

TEST(ChunkStreamingThreaded, FullMapOrPauseKeepsEveryLoaderIdle) {
  StreamingRig rig;
  rig.settings.ViewDistance = 5;
  ChunkStreaming streaming(rig.Services());
  {
    std::lock_guard lock(rig.loadedChunkMapMutex);
    for (int i = 0; i < 10; ++i)
      streaming.LoadedChunks()[ChunkOriginKey(1000 + 16 * i, 0)] = {1000 + 16 * i, 0, i};
  }
  streaming.StartChunkLoaderThreads();
  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(TakeReadySlots(streaming).empty());
  EXPECT_EQ(LoadedCount(rig, streaming), 10u);

  // Paused first, then room made: a loader between the two must not find room unpaused.
  streaming.ChunkLoadingPaused = 1;
  {
    std::lock_guard lock(rig.loadedChunkMapMutex);
    streaming.LoadedChunks().erase(ChunkOriginKey(1000, 0));
  }
  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(TakeReadySlots(streaming).empty());

  streaming.ChunkLoadingPaused = 0;
  ASSERT_TRUE(WaitFor([&] { return LoadedCount(rig, streaming) == 10; }));
  streaming.StopChunkLoaders();
}

TEST(ChunkStreamingThreaded, LoaderThatMissesTheStopIsCutOffForGood) {
  StreamingRig rig;
  rig.settings.ViewDistance = 1;
  rig.chunks->CloseGate();
  ChunkStreaming streaming(rig.Services());
  streaming.StartChunkLoaderThreads();
  ASSERT_TRUE(WaitFor([&] { return rig.chunks->ReadsWaiting() == 1; }));

  streaming.StopChunkLoaders(100);
  EXPECT_EQ(streaming.QuitFlag.load(), 0);
  EXPECT_FALSE(streaming.LoaderRunning(0));
  streaming.UnloadAllChunks();

  // The abandoned loader now finishes its chunk, but may publish nothing.
  rig.chunks->OpenGate();
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(streaming.Slot(0).ready.load(), 0);
  for (const auto& band : streaming.Slot(0).faceLists) EXPECT_TRUE(band.empty());
  EXPECT_EQ(LoadedCount(rig, streaming), 0u);

  // A new loader for the slot works as usual.
  streaming.StartChunkLoaderThreads();
  ASSERT_TRUE(WaitFor([&] { return !TakeReadySlots(streaming).empty(); }));
  streaming.StopChunkLoaders();
}

TEST(ChunkStreamingThreaded, DestroyingStreamingWithAStuckLoaderDoesNotHang) {
  auto chunks = std::make_shared<FakeChunks>();
  {
    StreamingRig rig;
    rig.chunks = chunks;
    rig.settings.ViewDistance = 1;
    chunks->CloseGate();
    auto streaming = std::make_unique<ChunkStreaming>(rig.Services());
    streaming->StartChunkUnloaderThread();
    streaming->StartChunkLoaderThreads();
    ASSERT_TRUE(WaitFor([&] { return chunks->ReadsWaiting() == 1; }));
    streaming.reset();  // waits its 5 s, then leaves the loader behind
  }
  chunks->OpenGate();  // the loader wakes after its streaming object and rig are gone
  ASSERT_TRUE(WaitFor([&] { return chunks->ReadsWaiting() == 0; }));
  std::this_thread::sleep_for(200ms);
}

TEST(ChunkStreamingThreaded, UnloaderDropsChunksBeyondTheLimitOneAtATime) {
  EXPECT_NEAR(ChunkStreaming::UnloadDistanceLimit(150), 239.63, 0.01);
  EXPECT_NEAR(ChunkStreaming::UnloadDistanceLimit(600), 404.26, 0.01);
  StreamingRig rig;
  rig.settings.ViewDistance = 150;
  ChunkStreaming streaming(rig.Services());
  {
    std::lock_guard lock(rig.loadedChunkMapMutex);
    streaming.LoadedChunks()["near"] = {239, 0, 7};
    streaming.LoadedChunks()["far1"] = {0, 240, 8};
    streaming.LoadedChunks()["far2"] = {-240, 0, 9};
    streaming.LoadedChunks()["unlisted"] = {0, -300, -1};
  }
  streaming.StartChunkUnloaderThread();
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(LoadedCount(rig, streaming), 4u);  // start-up has not enabled unloading yet

  streaming.EnableUnloading();
  ASSERT_TRUE(WaitFor([&] { return LoadedCount(rig, streaming) == 2; }));
  std::this_thread::sleep_for(100ms);  // the second far chunk waits for the main thread
  EXPECT_EQ(LoadedCount(rig, streaming), 2u);
  int32_t first = 0;
  {
    std::lock_guard lock(rig.loadedChunkMapMutex);
    first = streaming.PendingUnloadChunk();
    EXPECT_TRUE(streaming.LoadedChunks().contains("near"));
  }
  EXPECT_TRUE(first == 8 || first == 9);

  // The main loop frees the pending chunk on a pass that finds the lock free (it only tries it).
  const auto freedByTheMainLoop = [&](size_t frees) {
    return WaitFor([&] {
      streaming.FreePendingUnloadChunk();
      return rig.Calls().size() == frees;
    });
  };
  ASSERT_TRUE(freedByTheMainLoop(1));
  // Only now does the unloader hand over the second far chunk.
  ASSERT_TRUE(WaitFor([&] {
    std::lock_guard lock(rig.loadedChunkMapMutex);
    return streaming.PendingUnloadChunk() == 17 - first;
  }));
  EXPECT_EQ(LoadedCount(rig, streaming), 1u);
  ASSERT_TRUE(freedByTheMainLoop(2));
  EXPECT_EQ(rig.Calls(), (std::vector<std::string>{"free " + std::to_string(first),
                                                   "free " + std::to_string(17 - first)}));
  std::lock_guard lock(rig.loadedChunkMapMutex);
  EXPECT_EQ(streaming.PendingUnloadChunk(), -1);
  EXPECT_TRUE(streaming.LoadedChunks().contains("near"));
}

// Stops streaming on another thread; false when it has not returned within the limit.
template <class Stop>
bool StopReturnsWithin(Stop stop, std::chrono::milliseconds limit, WaitingBoxes& boxes) {
  std::atomic<bool> returned{false};
  std::thread stopper([&] {
    stop();
    returned = true;
  });
  const bool inTime = WaitFor([&] { return returned.load(); }, limit);
  while (!returned.load()) {  // a stop stuck behind a box: answer it so the test can end
    boxes.AnswerAll();
    std::this_thread::sleep_for(5ms);
  }
  stopper.join();
  return inTime;
}

TEST(ChunkStreamingThreaded, StoppingAnswersTheBoxesOfLoadersThatCouldNotStart) {
  StreamingRig rig;
  WaitingBoxes boxes;
  StreamingServices services = rig.Services();
  services.openChunkReader = [](const std::string&, DatabaseWaitObserver&) { return std::unique_ptr<LoaderChunkReader>(); };
  services.showMessage = [&](std::string_view title, std::string_view text) { boxes.Show(title, text); };
  services.answerWaitingMessages = [&] { boxes.AnswerAll(); };
  ChunkStreaming streaming(std::move(services));
  streaming.StartChunkLoaderThreads();
  ASSERT_TRUE(WaitFor([&] { return boxes.Waiting() == kLoaderSlotCount; }));

  ASSERT_TRUE(StopReturnsWithin([&] { streaming.StopChunkLoaders(); }, 4s, boxes));
  EXPECT_EQ(streaming.AbandonedLoadersRunning()->load(), 0);  // every loader ended on its own
  for (int slot = 0; slot < kLoaderSlotCount; ++slot) EXPECT_FALSE(streaming.LoaderRunning(slot));
  std::lock_guard lock(boxes.mutex);
  EXPECT_EQ(boxes.shown, std::vector<std::string>(kLoaderSlotCount, "Error|LZ4 couldn't be opened"));
}

TEST(ChunkStreamingThreaded, ALoaderWaitingForAPersonIsAbandonedWithoutWaitingForIt) {
  StreamingRig rig;
  WaitingBoxes boxes;
  StreamingServices services = rig.Services();
  services.openChunkReader = [](const std::string&, DatabaseWaitObserver&) { return std::unique_ptr<LoaderChunkReader>(); };
  services.showMessage = [&](std::string_view title, std::string_view text) { boxes.Show(title, text); };
  ChunkStreaming streaming(std::move(services));  // nothing answers the boxes while stopping
  streaming.StartChunkLoaderThreads();
  ASSERT_TRUE(WaitFor([&] { return boxes.Waiting() == kLoaderSlotCount; }));

  // The stop gives up on the loaders after its time limit; it never waits for the boxes.
  ASSERT_TRUE(StopReturnsWithin([&] { streaming.StopChunkLoaders(100); }, 4s, boxes));
  const auto abandoned = streaming.AbandonedLoadersRunning();
  EXPECT_EQ(abandoned->load(), kLoaderSlotCount);
  streaming.StartChunkLoaderThreads();  // new loaders for every slot, though the old ones still wait
  ASSERT_TRUE(WaitFor([&] { return boxes.Waiting() == 2 * kLoaderSlotCount; }));

  boxes.AnswerAll();  // the person answers at last: the abandoned loaders end quietly
  ASSERT_TRUE(WaitFor([&] { return abandoned->load() == 0; }));
  streaming.StopChunkLoaders();
}

TEST(ChunkStreamingThreaded, LoadersKeepTheWorldTheyWereStartedFor) {
  StreamingRig rig;
  rig.settings.SaveDir = "/saves/";
  rig.settings.CurrentWorldName = "Old";
  rig.settings.ViewDistance = 1;
  ChunkStreaming streaming(rig.Services());
  streaming.StartChunkLoaderThreads();
  // A world switch renames the current world while the loaders are still in their start delay.
  rig.settings.CurrentWorldName = "New";
  streaming.StopChunkLoaders();
  streaming.UnloadAllChunks();
  streaming.StartChunkLoaderThreads();
  ASSERT_TRUE(WaitFor([&] { return !TakeReadySlots(streaming).empty(); }));
  streaming.StopChunkLoaders();

  std::lock_guard lock(rig.logMutex);
  ASSERT_FALSE(rig.openedFolders.empty());
  size_t oldWorld = 0;
  for (const auto& folder : rig.openedFolders) {
    EXPECT_TRUE(folder == "/saves/Old/" || folder == "/saves/New/") << folder;
    if (folder == "/saves/Old/") ++oldWorld;
  }
  EXPECT_EQ(oldWorld, static_cast<size_t>(kLoaderSlotCount));                             // the first start
  EXPECT_EQ(rig.openedFolders.size() - oldWorld, static_cast<size_t>(kLoaderSlotCount));  // the restart
}

TEST(ChunkStreamingThreaded, CameraFarBeyondTheIntegerRangeStreamsClampedCells) {
  for (const float far : {1e12f, -1e12f}) {
    StreamingRig rig;
    rig.settings.ViewDistance = 9;  // the base cell and spiral index 0, one cell towards -Z
    rig.cameraX = far;
    rig.cameraZ = far;
    ChunkStreaming streaming(rig.Services());
    streaming.StartChunkLoaderThreads();
    std::set<std::pair<int32_t, int32_t>> cells;
    ASSERT_TRUE(WaitFor([&] {
      for (const auto& chunk : TakeReadySlots(streaming)) cells.insert({chunk.x, chunk.z});
      return cells.size() == 2;
    }));
    streaming.StopChunkLoaders();
    // A chunk origin (16k - 8) that leaves the spiral room inside the int32 range.
    const int32_t base = far > 0 ? 2146435064 : -2146435080;
    EXPECT_EQ(cells, (std::set<std::pair<int32_t, int32_t>>{{base, base}, {base, base - 16}})) << far;
  }
}

TEST(ChunkStreamingThreaded, NarrowRenderHeightWalksOnlyHeights100To249) {
  StreamingRig rig;
  rig.settings.ViewDistance = 1;
  rig.settings.NarrowRenderHeight = 1;
  rig.worldChunkMap["-8,-8"] = 4;
  rig.chunks->records[4] = AirRecord();  // no record lists: the default range stands
  for (int height : {99, 100, 101, 248, 249, 250}) rig.chunks->records[4][CellOffset(3, 3, height)] = kStone;
  ChunkStreaming streaming(rig.Services());
  streaming.StartChunkLoaderThreads();
  std::vector<PublishedChunk> taken;
  ASSERT_TRUE(WaitFor([&] {
    taken = TakeReadySlots(streaming);
    return !taken.empty();
  }));
  streaming.StopChunkLoaders();

  std::map<int, uint8_t> masks;
  for (const auto& band : taken[0].faces)
    for (const auto& record : band) masks[record.height] = record.faceMask;
  // The ends of the range always show their outer face; the blocks between them touch stone.
  constexpr uint8_t kAllButTop = 0x3F & ~kFaceTop, kAllButBottom = 0x3F & ~kFaceBottom;
  EXPECT_EQ(masks, (std::map<int, uint8_t>{
                       {100, kAllButTop}, {101, kAllButBottom}, {248, kAllButTop}, {249, kAllButBottom}}));
}

TEST(ChunkStreaming, UnloadAllFreesEveryChunkAndResetsTheSlots) {
  StreamingRig rig;
  ChunkStreaming streaming(rig.Services());
  {
    std::lock_guard lock(rig.loadedChunkMapMutex);
    streaming.LoadedChunks()["8,8"] = {8, 8, 3};
    streaming.PendingUnloadChunk() = 11;
  }
  streaming.Slot(2).ready = 1;
  streaming.Slot(2).faceLists[4].push_back(BlockRecord{});
  streaming.UnloadAllChunks();
  EXPECT_EQ(rig.Calls(), (std::vector<std::string>{"free 3", "free all"}));
  for (int slot = 0; slot < kLoaderSlotCount; ++slot) {
    EXPECT_EQ(streaming.Slot(slot).ready.load(), 0);
    for (const auto& band : streaming.Slot(slot).faceLists) EXPECT_TRUE(band.empty());
  }
  std::lock_guard lock(rig.loadedChunkMapMutex);
  EXPECT_TRUE(streaming.LoadedChunks().empty());
  EXPECT_EQ(streaming.PendingUnloadChunk(), 11);  // the main loop frees it on its next turn
}

}  // namespace
}  // namespace orelens::world
