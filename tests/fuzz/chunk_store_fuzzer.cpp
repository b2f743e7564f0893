// The chunk store's read path: a stored chunk record (LZ4 block and its decoded size) read from a
// row of "chunkdata.sqlite" and from a cache file.
//
// Input: the stored form. It becomes the row of chunk 1, the cache file of chunk 2 (no row) and
// the cache file of chunk 3, whose row holds a damaged record. Properties:
//  - every source gives the same: the same result and the same decoded bytes, and a stored form
//    whose LZ4 block decodes whole to the size it announces is read as exactly that;
//  - a stored form that cannot be used leaves the destination at its prepared size with its head
//    and block plane all air; one that can is decoded into exactly the size it announces;
//  - a neighbour's plane is always 819,210 bytes, all air when nothing could be read, and the
//    bytes the record decoded to when the record fits;
//  - round trip: a record that was read, written back, reads back the same.

#include <algorithm>
#include <vector>

#include "fixtures/world_writer.h"
#include "fuzz/fuzz_support.h"
#include "world/block_kind_table.h"
#include "world/chunk_record.h"
#include "world/chunk_store.h"

namespace {

using namespace orelens;

constexpr int32_t kRowChunk = 1;
constexpr int32_t kCacheFileChunk = 2;
constexpr int32_t kDamagedRowChunk = 3;
constexpr int32_t kWrittenChunk = 4;  // no row: written records go to its cache file
constexpr uint8_t kAir = world::kBlockAir;
// Room and content of the destination before a read: larger than the least a record holds, with
// something in it that is not air.
constexpr size_t kPreparedSize = world::kChunkSizeWithoutLists;
constexpr uint8_t kPreparedFill = 0x77;
// Stored forms that announce more are passed over: a decoded size up to 64 MB is accepted, but
// clearing tens of megabytes on every run would slow the search for little. The size limit
// itself is checked by chunk_record_fuzzer.
constexpr size_t kLargestDecodedSize = 4u << 20;

// A read into a destination prepared as the callers prepare theirs. The destinations live as
// long as the harness, so their memory is reused from run to run.
struct Read {
  int result = 0;
  std::vector<uint8_t> record;

  void From(world::ChunkStore& store, int32_t chunkId) {
    record.assign(kPreparedSize, kPreparedFill);
    result = store.ReadChunkRecord(chunkId, record).decoderResult;
  }
};

struct StoreRig {
  fuzz::Libraries libraries;
  fixtures::TempFolder temp;
  fixtures::WorldWriter world{temp.path(), "World"};
  fixtures::ChunkDatabaseWriter database{world.folder()};
  std::unique_ptr<world::ChunkStore> store;
  Read fromRow, other, again;
  std::vector<uint8_t> neighbour;
  std::vector<uint8_t> whole;

  StoreRig() {
    const uint8_t damaged[] = {1, 2, 3};
    database.PutRow(kDamagedRowChunk, damaged);
    store = world::ChunkStore::Open(libraries.locator(), world.folder());
    FUZZ_CHECK(store && store->HasDatabase());
  }
};

bool HeadAndPlaneAreAir(const std::vector<uint8_t>& record) {
  static const std::vector<uint8_t> air(world::kChunkHeadAndPlaneSize, kAir);
  return record.size() >= air.size() && std::equal(air.begin(), air.end(), record.begin());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static StoreRig rig;
  const std::span<const uint8_t> blob = fuzz::InputBytes(data, size);
  // The size the stored form announces, read here by the format: its last four bytes, usable from
  // the head and plane up.
  const int64_t trailer = blob.size() >= 4 ? fuzz::Int32At(blob, blob.size() - 4) : -1;
  if (trailer > static_cast<int64_t>(kLargestDecodedSize)) return 0;
  const std::optional<size_t> decodedSize = trailer >= static_cast<int64_t>(world::kChunkHeadAndPlaneSize)
                                                ? std::optional<size_t>(trailer)
                                                : std::nullopt;
  rig.database.PutRow(kRowChunk, blob);
  rig.world.WriteCacheFile(kCacheFileChunk, blob);
  rig.world.WriteCacheFile(kDamagedRowChunk, blob);
  world::ChunkStore& store = *rig.store;

  Read& fromRow = rig.fromRow;
  fromRow.From(store, kRowChunk);
  if (fromRow.result == 0) {
    // (What lies after the plane is not promised: a source that announced a size and then
    // decoded nothing may have cut it. No caller reads it in a record without lists.)
    FUZZ_CHECK(fromRow.record.size() == kPreparedSize && HeadAndPlaneAreAir(fromRow.record));
  } else {
    FUZZ_CHECK_MSG(decodedSize, "a record was decoded from a stored form that announces no usable size");
    FUZZ_CHECK(fromRow.record.size() == *decodedSize);
    FUZZ_CHECK(fromRow.result <= static_cast<int64_t>(*decodedSize));
  }
  // A stored form whose block decodes whole, here with LZ4 itself, is read as exactly that.
  if (decodedSize) {
    std::vector<uint8_t>& whole = rig.whole;
    whole.resize(*decodedSize);
    if (rig.libraries.Decompress(blob.first(blob.size() - 4), whole) == static_cast<int64_t>(whole.size())) {
      FUZZ_CHECK_MSG(fromRow.result == static_cast<int64_t>(whole.size()) && fromRow.record == whole,
                     "a record that decodes whole was read otherwise");
    }
  }
  for (const int32_t chunkId : {kCacheFileChunk, kDamagedRowChunk}) {
    Read& other = rig.other;
    other.From(store, chunkId);
    FUZZ_CHECK_MSG(other.result == fromRow.result && other.record == fromRow.record,
                   "chunk " + std::to_string(chunkId) + " reads otherwise than the database row");
  }

  std::vector<uint8_t>& neighbour = rig.neighbour;
  neighbour.assign(3, 0x11);
  const int neighbourResult = store.ReadNeighbourBlockPlane(kRowChunk, neighbour);
  FUZZ_CHECK(neighbour.size() == world::kNeighbourPlaneBufferSize);
  if (fromRow.result == 0) {
    FUZZ_CHECK(neighbourResult == 0 && HeadAndPlaneAreAir(neighbour));
  } else if (fromRow.result > 0 && fromRow.record.size() <= neighbour.size()) {
    // The whole record fits the neighbour's buffer, so the two decodes are the same. Only the
    // bytes decoded are compared: past them the chunk read keeps what its destination held
    // after the head and plane, where the neighbour's buffer holds air.
    FUZZ_CHECK(neighbourResult == fromRow.result);
    FUZZ_CHECK(
        std::equal(fromRow.record.begin(), fromRow.record.begin() + fromRow.result, neighbour.begin()));
  }

  if (fromRow.result != 0) {
    for (const int32_t chunkId : {kRowChunk, kWrittenChunk}) {
      if (store.WriteChunkRecord(chunkId, fromRow.record) != world::ChunkWriteStatus::kStored) continue;  // does not fit its room
      Read& again = rig.again;
      again.From(store, chunkId);
      FUZZ_CHECK(again.result == static_cast<int64_t>(fromRow.record.size()));
      FUZZ_CHECK_MSG(again.record == fromRow.record, "a written record reads back otherwise");
    }
  }
  return 0;
}
