#pragma once

// What a loader does before the walk for one chunk: LZ4 of the record and its four neighbours'
// planes, and the record lists. Shared by the benchmarks that set their work against it.

#include <chrono>
#include <ctime>
#include <memory>
#include <span>
#include <vector>

#include <benchmark/benchmark.h>

#include "fixtures/chunk_record_writer.h"
#include "platform/dynlib/dynamic_library.h"
#include "platform/dynlib/lz4_library.h"
#include "world/block_walk.h"
#include "world/chunk_record.h"

namespace orelens::bench_decode {

class Decoder {
 public:
  Decoder(const std::vector<uint8_t>& chunk, const std::vector<uint8_t>& neighbour)
      : lz4_(platform::Lz4Library::Load(locator_)),
        blob_(fixtures::CompressChunkRecord(chunk)),
        neighbourBlob_(fixtures::CompressChunkRecord(neighbour)),
        record_(chunk.size()),
        neighbour_(world::kNeighbourPlaneBufferSize) {}
  bool loaded() const { return lz4_ != nullptr; }
  void Decode() {
    lz4_->DecompressSafe(std::span(blob_).first(blob_.size() - 4), record_);
    world::DecodeChunkRecordLists(record_, lists_);
    for (int i = 0; i < 4; ++i)
      lz4_->DecompressSafe(std::span(neighbourBlob_).first(neighbourBlob_.size() - 4), neighbour_);
    benchmark::DoNotOptimize(lists_.rotations.size());
  }

 private:
  platform::LibraryLocator locator_;
  std::unique_ptr<platform::Lz4Library> lz4_;
  world::ChunkBlob blob_, neighbourBlob_;
  std::vector<uint8_t> record_, neighbour_;
  world::ChunkRecordLists lists_;
};

// The processor time of the calling thread: on a machine shared with other work it leaves out the
// time the thread waited for a core.
struct ThreadCpuClock {
  using duration = std::chrono::nanoseconds;
  using rep = duration::rep;
  using period = duration::period;
  using time_point = std::chrono::time_point<ThreadCpuClock>;
  static constexpr bool is_steady = true;
  static time_point now() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return time_point(duration(now.tv_sec * 1'000'000'000LL + now.tv_nsec));
  }
};

inline double Seconds(ThreadCpuClock::time_point from, ThreadCpuClock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

}  // namespace orelens::bench_decode
