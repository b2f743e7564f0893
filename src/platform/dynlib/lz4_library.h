#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "platform/dynlib/dynamic_library.h"

namespace orelens::platform {

// The LZ4 block codec, loaded at run time through the locator's "lz4.dll" entry. The two entry
// points are looked up by name; calling one the library lacks counts as returning 0.
class Lz4Library {
 public:
  // nullptr when the library cannot be loaded.
  static std::unique_ptr<Lz4Library> Load(const LibraryLocator& locator);

  // LZ4_decompress_safe of the whole source into the destination, whose size is the capacity:
  // the number of bytes decoded, negative for bad input (what was decoded before the fault
  // stays in the destination), 0 when nothing was decoded.
  int DecompressSafe(std::span<const uint8_t> source, std::span<uint8_t> destination) const;
  // LZ4_compress_default of the whole source into the destination, whose size is the capacity:
  // the compressed length, 0 when it does not fit.
  int CompressDefault(std::span<const uint8_t> source, std::span<uint8_t> destination) const;

 private:
  using CodecFunction = int (*)(const char*, char*, int, int);

  explicit Lz4Library(DynamicLibrary library);

  DynamicLibrary library_;
  CodecFunction decompressSafe_ = nullptr;
  CodecFunction compressDefault_ = nullptr;
};

}  // namespace orelens::platform
