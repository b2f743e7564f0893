#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "world/chunk_store.h"

namespace orelens::world {

// Why the block reader or the block writer could not read or store a chunk of the world.
enum class ChunkFailure {
  kDatabaseBusy,        // another program holds the world's database
  kDatabaseUnreadable,  // the world's database is there but does not open or cannot be read
  kUnreadable,          // the chunk's cache file could not be read
  kDamaged,             // the chunk's stored record does not decode
  kTooLarge,            // the edited record does not fit what the store can hold
  kNotStored,           // the chunk's row or cache file could not be written
};

struct ChunkAccessFailure {
  ChunkFailure reason = ChunkFailure::kUnreadable;
  int32_t chunkId = -1;
};

// The failure a read or a write stands for; nothing when the chunk was read (or has no record,
// which reads as air) or was stored.
std::optional<ChunkFailure> FailureOfRead(ChunkReadStatus status);
std::optional<ChunkFailure> FailureOfWrite(ChunkWriteStatus status);

// What went wrong, as a clause for a message: "the world's database is in use by another
// program, such as the game".
std::string DescribeChunkFailure(const ChunkAccessFailure& failure);
// What the user can do about it, as a sentence.
std::string_view AdviceOnChunkFailure(ChunkFailure reason);

// The text of the one message an operation shows when a chunk stopped it: what stopped, why,
// what the operation had done by then (a sentence, may be empty) and what to do, on lines of
// their own.
std::string ChunkFailureMessage(std::string_view whatStopped, const ChunkAccessFailure& failure,
                                std::string_view doneSoFar = "");

}  // namespace orelens::world
