#include "platform/dynlib/lz4_library.h"

#include <climits>

namespace orelens::platform {
namespace {

// The codec takes int lengths; a span too long for them is refused rather than cut.
bool FitsCodec(std::span<const uint8_t> source, std::span<uint8_t> destination) {
  return source.size() <= INT_MAX && destination.size() <= INT_MAX;
}

}  // namespace

std::unique_ptr<Lz4Library> Lz4Library::Load(const LibraryLocator& locator) {
  DynamicLibrary library = locator.Load(kLz4LibraryName);
  if (!library.IsLoaded()) return nullptr;
  return std::unique_ptr<Lz4Library>(new Lz4Library(std::move(library)));
}

Lz4Library::Lz4Library(DynamicLibrary library) : library_(std::move(library)) {
  decompressSafe_ = reinterpret_cast<CodecFunction>(library_.Symbol("LZ4_decompress_safe"));
  compressDefault_ = reinterpret_cast<CodecFunction>(library_.Symbol("LZ4_compress_default"));
}

int Lz4Library::DecompressSafe(std::span<const uint8_t> source, std::span<uint8_t> destination) const {
  if (!decompressSafe_ || !FitsCodec(source, destination)) return 0;
  return decompressSafe_(reinterpret_cast<const char*>(source.data()), reinterpret_cast<char*>(destination.data()),
                         static_cast<int>(source.size()), static_cast<int>(destination.size()));
}

int Lz4Library::CompressDefault(std::span<const uint8_t> source, std::span<uint8_t> destination) const {
  if (!compressDefault_ || !FitsCodec(source, destination)) return 0;
  return compressDefault_(reinterpret_cast<const char*>(source.data()), reinterpret_cast<char*>(destination.data()),
                          static_cast<int>(source.size()), static_cast<int>(destination.size()));
}

}  // namespace orelens::platform
