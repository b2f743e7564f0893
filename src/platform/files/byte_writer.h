#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

namespace orelens::platform {

// Appends little-endian values to a growing byte vector.
class ByteWriter {
 public:
  explicit ByteWriter(std::vector<uint8_t>& out) : out_(out) {}

  void WriteU8(uint8_t value) { Append(value); }
  void WriteI8(int8_t value) { Append(value); }
  void WriteI16(int16_t value) { Append(value); }
  void WriteI32(int32_t value) { Append(value); }
  void WriteU32(uint32_t value) { Append(value); }
  void WriteI64(int64_t value) { Append(value); }
  void WriteF32(float value) { Append(value); }
  void WriteF64(double value) { Append(value); }
  void WriteBytes(std::span<const uint8_t> bytes) { out_.insert(out_.end(), bytes.begin(), bytes.end()); }
  void WriteText(std::string_view text) { out_.insert(out_.end(), text.begin(), text.end()); }
  void WriteFill(size_t count, uint8_t value) { out_.insert(out_.end(), count, value); }

 private:
  template <typename T>
  void Append(const T& value) {
    uint8_t bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out_.insert(out_.end(), bytes, bytes + sizeof(T));
  }

  std::vector<uint8_t>& out_;
};

}  // namespace orelens::platform
