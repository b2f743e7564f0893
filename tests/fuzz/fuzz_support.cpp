#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/files/file.h"

namespace orelens::fuzz {

void PropertyFailed(const char* condition, const char* file, int line, const std::string& detail) {
  std::fprintf(stderr, "\nPROPERTY FAILED at %s:%d: %s\n", file, line, condition);
  if (!detail.empty()) std::fprintf(stderr, "  %s\n", detail.c_str());
  std::fflush(stderr);
  std::abort();
}

int32_t Int32At(std::span<const uint8_t> bytes, size_t offset) {
  int32_t value = 0;
  std::memcpy(&value, bytes.data() + offset, sizeof(value));
  return value;
}

int16_t Int16At(std::span<const uint8_t> bytes, size_t offset) {
  int16_t value = 0;
  std::memcpy(&value, bytes.data() + offset, sizeof(value));
  return value;
}

Libraries::Libraries() : keptLoaded_(platform::Lz4Library::Load(locator_)) {
  if (!keptLoaded_) {
    std::fprintf(stderr, "liblz4 cannot be loaded: the harness cannot run\n");
    std::abort();
  }
}

void Libraries::Compress(std::span<const uint8_t> bytes, std::vector<uint8_t>& out) const {
  // LZ4's worst case: a little more than the input, plus a few bytes.
  out.resize(bytes.size() + bytes.size() / 255 + 16);
  const int written = keptLoaded_->CompressDefault(bytes, out);
  if (written <= 0) PropertyFailed("LZ4 compresses the bytes", __FILE__, __LINE__, {});
  out.resize(static_cast<size_t>(written));
}

void Libraries::ReadStoredRecord(const std::string& cacheFile, std::vector<uint8_t>& record) const {
  platform::File file = platform::File::Open(cacheFile, platform::FileMode::kRead);
  const std::vector<uint8_t> stored = file.ReadAll();
  if (stored.size() < 4)
    PropertyFailed("a stored record holds its decoded size", __FILE__, __LINE__, cacheFile);
  record.resize(static_cast<size_t>(Int32At(stored, stored.size() - 4)));
  const int decoded = keptLoaded_->DecompressSafe(std::span(stored).first(stored.size() - 4), record);
  if (decoded < 0 || static_cast<size_t>(decoded) != record.size()) {
    PropertyFailed("a stored record decodes whole", __FILE__, __LINE__, cacheFile);
  }
}

}  // namespace orelens::fuzz
