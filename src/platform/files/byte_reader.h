#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace orelens::platform {

// Reads little-endian values from a byte span. Every read checks the remaining length first;
// a read that does not fit returns false and leaves the position where it was, so a corrupt
// count can never walk past the end of the bytes.
class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  size_t Position() const { return position_; }
  size_t Size() const { return bytes_.size(); }
  size_t Remaining() const { return bytes_.size() - position_; }

  bool Seek(uint64_t position) {
    if (position > bytes_.size()) return false;
    position_ = static_cast<size_t>(position);
    return true;
  }
  bool Skip(uint64_t count) {
    if (count > Remaining()) return false;
    position_ += static_cast<size_t>(count);
    return true;
  }

  bool ReadU8(uint8_t& value) { return ReadLittleEndian(value); }
  bool ReadI8(int8_t& value) { return ReadLittleEndian(value); }
  bool ReadI16(int16_t& value) { return ReadLittleEndian(value); }
  bool ReadI32(int32_t& value) { return ReadLittleEndian(value); }
  bool ReadU32(uint32_t& value) { return ReadLittleEndian(value); }
  bool ReadI64(int64_t& value) { return ReadLittleEndian(value); }
  bool ReadF32(float& value) { return ReadLittleEndian(value); }
  bool ReadF64(double& value) { return ReadLittleEndian(value); }
  // A view of the next `count` bytes, which the reader then moves past.
  bool ReadView(uint64_t count, std::span<const uint8_t>& view) {
    if (count > Remaining()) return false;
    view = bytes_.subspan(position_, static_cast<size_t>(count));
    position_ += static_cast<size_t>(count);
    return true;
  }
  bool ReadBytes(std::span<uint8_t> out) {
    if (out.size() > Remaining()) return false;
    if (!out.empty()) std::memcpy(out.data(), bytes_.data() + position_, out.size());
    position_ += out.size();
    return true;
  }

 private:
  // The program only runs on little-endian machines, so a byte copy is the conversion.
  template <typename T>
  bool ReadLittleEndian(T& value) {
    if (sizeof(T) > Remaining()) return false;
    std::memcpy(&value, bytes_.data() + position_, sizeof(T));
    position_ += sizeof(T);
    return true;
  }

  std::span<const uint8_t> bytes_;
  size_t position_ = 0;
};

// Reads one little-endian value at an absolute offset; false when it does not fit.
template <typename T>
bool ReadValueAt(std::span<const uint8_t> bytes, uint64_t offset, T& value) {
  if (offset > bytes.size() || sizeof(T) > bytes.size() - offset) return false;
  std::memcpy(&value, bytes.data() + offset, sizeof(T));
  return true;
}

// Writes one little-endian value at an absolute offset; false (and nothing written) when it
// does not fit.
template <typename T>
bool WriteValueAt(std::span<uint8_t> bytes, uint64_t offset, const T& value) {
  if (offset > bytes.size() || sizeof(T) > bytes.size() - offset) return false;
  std::memcpy(bytes.data() + offset, &value, sizeof(T));
  return true;
}

static_assert(std::endian::native == std::endian::little, "the file formats are little-endian");

}  // namespace orelens::platform
