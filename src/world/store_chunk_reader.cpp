#include "world/store_chunk_reader.h"

#include "world/chunk_store.h"

namespace orelens::world {
namespace {

class StoreChunkReader : public LoaderChunkReader {
 public:
  explicit StoreChunkReader(std::unique_ptr<ChunkStore> store) : store_(std::move(store)) {}

  void ReadChunk(int32_t chunkId, LoaderChunk& chunk) override {
    const ChunkRead read = store_->ReadChunkRecord(chunkId, chunk.record);
    chunk.couldNotRead = read.status == ChunkReadStatus::kBusy ||
                         read.status == ChunkReadStatus::kDatabaseUnreadable ||
                         read.status == ChunkReadStatus::kUnreadable;
    // Only a decoded record carries lists; any nonzero result counts as decoded.
    if (read.decoderResult != 0) DecodeChunkRecordLists(chunk.record, chunk.lists);
  }

  void ReadNeighbourPlane(int32_t chunkId, std::vector<uint8_t>& buffer) override {
    store_->ReadNeighbourBlockPlane(chunkId, buffer);
  }

 private:
  std::unique_ptr<ChunkStore> store_;
};

}  // namespace

std::unique_ptr<LoaderChunkReader> OpenStoreChunkReader(const platform::LibraryLocator& libraries,
                                                        const std::string& worldFolder,
                                                        int busyTimeoutMilliseconds,
                                                        DatabaseWaitObserver* waitObserver) {
  auto store = ChunkStore::Open(libraries, worldFolder, busyTimeoutMilliseconds, waitObserver);
  if (!store) return nullptr;
  return std::make_unique<StoreChunkReader>(std::move(store));
}

}  // namespace orelens::world
