#include "world/chunk_store.h"

#include <algorithm>
#include <cstdint>

#include "platform/files/byte_reader.h"
#include "platform/files/file.h"

namespace orelens::world {
namespace {

constexpr uint8_t kAirFill = 3;

}  // namespace

std::unique_ptr<ChunkStore> ChunkStore::Open(const platform::LibraryLocator& locator, std::string worldFolder,
                                             int busyTimeoutMilliseconds, DatabaseWaitObserver* waitObserver) {
  std::unique_ptr<platform::Lz4Library> lz4 = platform::Lz4Library::Load(locator);
  if (!lz4) return nullptr;
  return std::unique_ptr<ChunkStore>(
      new ChunkStore(std::move(lz4), std::move(worldFolder), busyTimeoutMilliseconds, waitObserver));
}

ChunkStore::ChunkStore(std::unique_ptr<platform::Lz4Library> lz4, std::string worldFolder,
                       int busyTimeoutMilliseconds, DatabaseWaitObserver* waitObserver)
    : lz4_(std::move(lz4)),
      worldFolder_(std::move(worldFolder)),
      busyTimeoutMs_(busyTimeoutMilliseconds),
      waitObserver_(waitObserver) {
  ConnectDatabase();
}

ChunkStore::DatabaseState ChunkStore::ConnectDatabase() {
  if (database_) return DatabaseState::kOpen;
  const std::string path = DatabasePath();
  // Only a file that is not there means "no rows"; one that is there is opened again each time.
  if (platform::FileSize(path) == -1) return DatabaseState::kAbsent;
  database_ = ChunkDatabase::Open(path, busyTimeoutMs_, waitObserver_);
  return database_ ? DatabaseState::kOpen : DatabaseState::kCannotOpen;
}

std::string ChunkStore::CacheFilePath(int32_t chunkId) const {
  return worldFolder_ + std::to_string(chunkId) + ".chunks";
}

int ChunkStore::DecodeBlob(std::span<const uint8_t> blob, std::vector<uint8_t>& destination,
                           bool resizeToDecodedSize) {
  std::optional<size_t> decodedSize = DecodedSizeOfBlob(blob);
  if (!decodedSize) return 0;
  if (resizeToDecodedSize) destination.resize(*decodedSize);
  return lz4_->DecompressSafe(blob.first(blob.size() - 4), destination);
}

template <typename DecodeFunction>
ChunkRead ChunkStore::ReadFromSources(int32_t chunkId, DecodeFunction decode) {
  // A chunk read keeps at most one stored form around between reads.
  struct TrimStoredBytes {
    std::vector<uint8_t>& bytes;
    ~TrimStoredBytes() {
      if (bytes.capacity() > (4u << 20)) std::vector<uint8_t>().swap(bytes);
    }
  } trim{storedBytes_};

  bool damagedRow = false;
  const DatabaseState database = ConnectDatabase();
  if (database == DatabaseState::kCannotOpen) return {ChunkReadStatus::kDatabaseUnreadable, 0};
  if (database == DatabaseState::kOpen) {
    switch (database_->ReadChunkBlob(chunkId, storedBytes_)) {
      case DatabaseAnswer::kRow:
        if (const ChunkRead read = decode(storedBytes_); read.decoderResult != 0) return read;
        damagedRow = true;  // the cache file may still hold the record
        break;
      case DatabaseAnswer::kNoRow:
        break;
      case DatabaseAnswer::kBusy:
        return {ChunkReadStatus::kBusy, 0};
      case DatabaseAnswer::kFailed:
        return {ChunkReadStatus::kDatabaseUnreadable, 0};
    }
  }
  const ChunkReadStatus nothingDecoded = damagedRow ? ChunkReadStatus::kDamaged : ChunkReadStatus::kMissing;
  const std::string path = CacheFilePath(chunkId);
  platform::File file = platform::File::Open(path, platform::FileMode::kRead);
  if (!file.IsOpen()) {
    // Only a file that is not there is no record; one that is there but does not open is unread.
    return {platform::FileSize(path) == -1 ? nothingDecoded : ChunkReadStatus::kUnreadable, 0};
  }
  const int64_t length = file.Length();
  // No record compresses to more than this; a longer file is damage, not worth reading.
  if (length > static_cast<int64_t>(kMaxStoredChunkSize)) return {ChunkReadStatus::kDamaged, 0};
  storedBytes_ = file.ReadAll();
  file.Close();
  if (static_cast<int64_t>(storedBytes_.size()) != length) return {ChunkReadStatus::kUnreadable, 0};
  const ChunkRead read = decode(storedBytes_);
  return read.decoderResult != 0 ? read : ChunkRead{ChunkReadStatus::kDamaged, 0};
}

ChunkRead ChunkStore::ReadChunkRecord(int32_t chunkId, ChunkData& destination) {
  if (destination.size() < kChunkHeadAndPlaneSize) destination.resize(kChunkHeadAndPlaneSize);
  std::fill_n(destination.begin(), kChunkHeadAndPlaneSize, kAirFill);
  size_t preparedSize = destination.size();
  ChunkRead read = ReadFromSources(chunkId, [&](std::span<const uint8_t> blob) {
    const int result = DecodeBlob(blob, destination, true);
    // Whole only when the decoder filled the record to its stored size.
    const bool whole = result > 0 && static_cast<size_t>(result) == destination.size();
    return ChunkRead{whole ? ChunkReadStatus::kDecoded : ChunkReadStatus::kDamaged, result};
  });
  if (read.decoderResult == 0) {
    // A source that failed after resizing must not leave another size (or its bytes) behind,
    // and nothing it decoded may pass for this chunk's blocks.
    destination.resize(preparedSize);
    std::fill_n(destination.begin(), kChunkHeadAndPlaneSize, kAirFill);
  }
  return read;
}

int ChunkStore::ReadNeighbourBlockPlane(int32_t chunkId, std::vector<uint8_t>& destination) {
  destination.assign(kNeighbourPlaneBufferSize, kAirFill);
  const ChunkRead read = ReadFromSources(chunkId, [&](std::span<const uint8_t> blob) {
    return ChunkRead{ChunkReadStatus::kDecoded, DecodeBlob(blob, destination, false)};
  });
  return read.decoderResult;
}

ChunkWriteStatus ChunkStore::WriteChunkRecord(int32_t chunkId, std::span<const uint8_t> record) {
  std::vector<uint8_t> output(kCompressedOutputLimit, 0);
  int compressedSize = lz4_->CompressDefault(record, std::span(output).first(kCompressedOutputLimit - 4));
  if (compressedSize <= 0 || record.size() > static_cast<size_t>(INT32_MAX))
    return ChunkWriteStatus::kTooLarge;
  platform::WriteValueAt(std::span(output), static_cast<uint64_t>(compressedSize),
                         static_cast<int32_t>(record.size()));
  std::span<const uint8_t> stored = std::span(output).first(static_cast<size_t>(compressedSize) + 4);

  const DatabaseState database = ConnectDatabase();
  if (database == DatabaseState::kCannotOpen) return ChunkWriteStatus::kDatabaseUnreadable;
  if (database == DatabaseState::kOpen) {
    switch (database_->HasChunkRow(chunkId)) {
      case DatabaseAnswer::kRow:
        switch (database_->UpdateChunkBlob(chunkId, stored)) {
          case DatabaseAnswer::kRow:
            return ChunkWriteStatus::kStored;
          case DatabaseAnswer::kBusy:
            return ChunkWriteStatus::kBusy;
          case DatabaseAnswer::kNoRow:
          case DatabaseAnswer::kFailed:
            return ChunkWriteStatus::kFailed;
        }
        return ChunkWriteStatus::kFailed;
      case DatabaseAnswer::kNoRow:
        break;
      case DatabaseAnswer::kBusy:
        return ChunkWriteStatus::kBusy;
      case DatabaseAnswer::kFailed:
        return ChunkWriteStatus::kDatabaseUnreadable;
    }
  }
  // The old record stays whole until the new one is complete; what a replacement cut short by a
  // kill left behind goes first.
  return platform::ReplaceFileAtomically(CacheFilePath(chunkId), stored) ? ChunkWriteStatus::kStored
                                                                         : ChunkWriteStatus::kFailed;
}

}  // namespace orelens::world
