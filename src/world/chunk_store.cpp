#include "world/chunk_store.h"

#include <algorithm>
#include <cstdint>

#include "platform/files/byte_reader.h"
#include "platform/files/file.h"

namespace orelens::world {
namespace {

constexpr uint8_t kAirFill = 3;

}  // namespace

std::unique_ptr<ChunkStore> ChunkStore::Open(const platform::LibraryLocator& locator, std::string worldFolder) {
  std::unique_ptr<platform::Lz4Library> lz4 = platform::Lz4Library::Load(locator);
  if (!lz4) return nullptr;
  return std::unique_ptr<ChunkStore>(new ChunkStore(std::move(lz4), std::move(worldFolder)));
}

ChunkStore::ChunkStore(std::unique_ptr<platform::Lz4Library> lz4, std::string worldFolder)
    : lz4_(std::move(lz4)), worldFolder_(std::move(worldFolder)) {
  database_ = ChunkDatabase::Open(DatabasePath());
}

std::string ChunkStore::CacheFilePath(int32_t chunkId) const {
  return worldFolder_ + std::to_string(chunkId) + ".chunks";
}

int ChunkStore::DecodeBlob(std::span<const uint8_t> blob, std::vector<uint8_t>& destination, bool resizeToDecodedSize) {
  std::optional<size_t> decodedSize = DecodedSizeOfBlob(blob);
  if (!decodedSize) return 0;
  if (resizeToDecodedSize) destination.resize(*decodedSize);
  return lz4_->DecompressSafe(blob.first(blob.size() - 4), destination);
}

template <typename DecodeFunction>
int ChunkStore::ReadFromSources(int32_t chunkId, DecodeFunction decode) {
  int result = 0;
  if (database_ && database_->ReadChunkBlob(chunkId, storedBytes_)) result = decode(storedBytes_);
  if (result == 0) {
    platform::File file = platform::File::Open(CacheFilePath(chunkId), platform::FileMode::kRead);
    if (file.IsOpen()) {
      storedBytes_ = file.ReadAll();
      file.Close();
      result = decode(storedBytes_);
    }
  }
  // A chunk read keeps at most one stored form around between reads.
  if (storedBytes_.capacity() > (4u << 20)) std::vector<uint8_t>().swap(storedBytes_);
  return result;
}

int ChunkStore::ReadChunkRecord(int32_t chunkId, ChunkData& destination) {
  if (destination.size() < kChunkHeadAndPlaneSize) destination.resize(kChunkHeadAndPlaneSize);
  std::fill_n(destination.begin(), kChunkHeadAndPlaneSize, kAirFill);
  size_t preparedSize = destination.size();
  int result = ReadFromSources(chunkId, [&](std::span<const uint8_t> blob) {
    return DecodeBlob(blob, destination, true);
  });
  if (result == 0) {
    // A source that failed after resizing must not leave another size (or its bytes) behind,
    // and nothing it decoded may pass for this chunk's blocks.
    destination.resize(preparedSize);
    std::fill_n(destination.begin(), kChunkHeadAndPlaneSize, kAirFill);
  }
  return result;
}

int ChunkStore::ReadNeighbourBlockPlane(int32_t chunkId, std::vector<uint8_t>& destination) {
  destination.assign(kNeighbourPlaneBufferSize, kAirFill);
  return ReadFromSources(chunkId, [&](std::span<const uint8_t> blob) {
    return DecodeBlob(blob, destination, false);
  });
}

bool ChunkStore::WriteChunkRecord(int32_t chunkId, std::span<const uint8_t> record) {
  std::vector<uint8_t> output(kCompressedOutputLimit, 0);
  int compressedSize = lz4_->CompressDefault(record, std::span(output).first(kCompressedOutputLimit - 4));
  if (compressedSize <= 0 || record.size() > static_cast<size_t>(INT32_MAX)) return false;
  platform::WriteValueAt(std::span(output), static_cast<uint64_t>(compressedSize), static_cast<int32_t>(record.size()));
  std::span<const uint8_t> stored = std::span(output).first(static_cast<size_t>(compressedSize) + 4);

  if (database_ && database_->HasChunkRow(chunkId)) return database_->UpdateChunkBlob(chunkId, stored);
  // The old record stays whole until the new one is complete.
  return platform::ReplaceFileAtomically(CacheFilePath(chunkId), stored);
}

}  // namespace orelens::world
