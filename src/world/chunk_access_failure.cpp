#include "world/chunk_access_failure.h"

namespace orelens::world {

std::optional<ChunkFailure> FailureOfRead(ChunkReadStatus status) {
  switch (status) {
    case ChunkReadStatus::kDecoded:
    case ChunkReadStatus::kMissing:
      return std::nullopt;
    case ChunkReadStatus::kDamaged:
      return ChunkFailure::kDamaged;
    case ChunkReadStatus::kBusy:
      return ChunkFailure::kDatabaseBusy;
    case ChunkReadStatus::kDatabaseUnreadable:
      return ChunkFailure::kDatabaseUnreadable;
    case ChunkReadStatus::kUnreadable:
      return ChunkFailure::kUnreadable;
  }
  return ChunkFailure::kUnreadable;
}

std::optional<ChunkFailure> FailureOfWrite(ChunkWriteStatus status) {
  switch (status) {
    case ChunkWriteStatus::kStored:
      return std::nullopt;
    case ChunkWriteStatus::kTooLarge:
      return ChunkFailure::kTooLarge;
    case ChunkWriteStatus::kBusy:
      return ChunkFailure::kDatabaseBusy;
    case ChunkWriteStatus::kDatabaseUnreadable:
      return ChunkFailure::kDatabaseUnreadable;
    case ChunkWriteStatus::kFailed:
      return ChunkFailure::kNotStored;
  }
  return ChunkFailure::kNotStored;
}

std::string DescribeChunkFailure(const ChunkAccessFailure& failure) {
  const std::string chunk = "chunk " + std::to_string(failure.chunkId);
  switch (failure.reason) {
    case ChunkFailure::kDatabaseBusy:
      return "the world's database is in use by another program, such as the game";
    case ChunkFailure::kDatabaseUnreadable:
      return "the world's database \"chunkdata.sqlite\" could not be opened or read";
    case ChunkFailure::kUnreadable:
      return chunk + " could not be read from the world's files";
    case ChunkFailure::kDamaged:
      return chunk + " of the world is damaged and cannot be decoded";
    case ChunkFailure::kTooLarge:
      return chunk + " would become larger than the world can store";
    case ChunkFailure::kNotStored:
      return chunk + " could not be written to the world's files";
  }
  return chunk + " could not be read";
}

std::string_view AdviceOnChunkFailure(ChunkFailure reason) {
  switch (reason) {
    case ChunkFailure::kDatabaseBusy:
      return "Close the game and any other program that uses this world, then try again.";
    case ChunkFailure::kDatabaseUnreadable:
      return "Check that \"chunkdata.sqlite\" in the world's folder is the game's database file and that you "
             "may read and write it (a copy made as another user, with sudo for one, belongs to that user), "
             "then try again.";
    case ChunkFailure::kUnreadable:
    case ChunkFailure::kNotStored:
      return "Check that the world's folder and its files can be read and written, then try again.";
    case ChunkFailure::kDamaged:
      return "The damaged chunk is left as it is; choose a box that does not reach into it.";
    case ChunkFailure::kTooLarge:
      return "The chunk is left as it was; use a smaller or simpler schematic there.";
  }
  return "";
}

std::string ChunkFailureMessage(std::string_view whatStopped, const ChunkAccessFailure& failure,
                                std::string_view doneSoFar) {
  std::string text = std::string(whatStopped) + ": " + DescribeChunkFailure(failure) + ".\n\r";
  if (!doneSoFar.empty()) text += std::string(doneSoFar) + "\n\r";
  return text + std::string(AdviceOnChunkFailure(failure.reason));
}

}  // namespace orelens::world
