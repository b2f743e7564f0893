#pragma once

// What every harness shares: the property check, byte helpers and the LZ4 library kept loaded.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/dynlib/dynamic_library.h"
#include "platform/dynlib/lz4_library.h"

namespace orelens::fuzz {

// Reports a property that does not hold and aborts, which libFuzzer takes for a crash: the input
// is saved as an artifact and the run fails.
[[noreturn]] void PropertyFailed(const char* condition, const char* file, int line,
                                 const std::string& detail);

#define FUZZ_CHECK(condition)                                                              \
  do {                                                                                     \
    if (!(condition)) ::orelens::fuzz::PropertyFailed(#condition, __FILE__, __LINE__, {}); \
  } while (false)
#define FUZZ_CHECK_MSG(condition, detail)                                                        \
  do {                                                                                           \
    if (!(condition)) ::orelens::fuzz::PropertyFailed(#condition, __FILE__, __LINE__, (detail)); \
  } while (false)

inline std::span<const uint8_t> InputBytes(const uint8_t* data, size_t size) {
  return {data, size};
}

// Little-endian integer at an offset of bytes that the caller has checked to hold it.
int32_t Int32At(std::span<const uint8_t> bytes, size_t offset);
int16_t Int16At(std::span<const uint8_t> bytes, size_t offset);

// The program's library locator, with liblz4 held loaded for the life of the harness: the
// program loads and releases it around each operation, which would otherwise reload it from
// disk on every run.
class Libraries {
 public:
  Libraries();
  const platform::LibraryLocator& locator() const { return locator_; }
  // One LZ4 block of the bytes, as the program's writers make them, into out (whose memory is
  // reused).
  void Compress(std::span<const uint8_t> bytes, std::vector<uint8_t>& out) const;
  std::vector<uint8_t> Compress(std::span<const uint8_t> bytes) const {
    std::vector<uint8_t> out;
    Compress(bytes, out);
    return out;
  }
  // LZ4_decompress_safe of the whole source into the destination, whose size is the capacity.
  int Decompress(std::span<const uint8_t> source, std::span<uint8_t> destination) const {
    return keptLoaded_->DecompressSafe(source, destination);
  }
  // The decoded record of a whole stored chunk record (a cache file: LZ4 block and decoded size),
  // read here without the program's chunk store; a property fails when it does not decode whole.
  void ReadStoredRecord(const std::string& cacheFile, std::vector<uint8_t>& record) const;

 private:
  platform::LibraryLocator locator_;
  std::unique_ptr<platform::Lz4Library> keptLoaded_;
};

}  // namespace orelens::fuzz
