#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace orelens::schematic {

// Reads little-endian integers from a byte span. A read that would run past the end fails,
// returns 0 and leaves the reader failed, so a corrupt count can never walk outside the span.
class LittleEndianReader {
 public:
  explicit LittleEndianReader(std::span<const uint8_t> bytes, size_t offset = 0)
      : bytes_(bytes), offset_(offset), ok_(offset <= bytes.size()) {}

  bool ok() const { return ok_; }
  size_t offset() const { return offset_; }
  size_t remaining() const { return ok_ ? bytes_.size() - offset_ : 0; }

  int8_t ReadInt8() { return static_cast<int8_t>(ReadUnsigned<uint8_t>()); }
  int16_t ReadInt16() { return static_cast<int16_t>(ReadUnsigned<uint16_t>()); }
  int32_t ReadInt32() { return static_cast<int32_t>(ReadUnsigned<uint32_t>()); }

 private:
  template <typename T>
  T ReadUnsigned() {
    if (!ok_ || bytes_.size() - offset_ < sizeof(T)) {
      ok_ = false;
      return 0;
    }
    T value = 0;
    for (size_t i = 0; i < sizeof(T); ++i) value |= static_cast<T>(T{bytes_[offset_ + i]} << (8 * i));
    offset_ += sizeof(T);
    return value;
  }

  std::span<const uint8_t> bytes_;
  size_t offset_;
  bool ok_;
};

// Appends little-endian integers to a growing byte vector.
class LittleEndianWriter {
 public:
  explicit LittleEndianWriter(std::vector<uint8_t>& out) : out_(out) {}

  void WriteInt8(int8_t value) { out_.push_back(static_cast<uint8_t>(value)); }
  void WriteInt16(int16_t value) { WriteUnsigned(static_cast<uint16_t>(value)); }
  void WriteInt32(int32_t value) { WriteUnsigned(static_cast<uint32_t>(value)); }

 private:
  template <typename T>
  void WriteUnsigned(T value) {
    for (size_t i = 0; i < sizeof(T); ++i) out_.push_back(static_cast<uint8_t>(value >> (8 * i)));
  }

  std::vector<uint8_t>& out_;
};

}  // namespace orelens::schematic
