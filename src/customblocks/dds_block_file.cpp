#include "customblocks/dds_block_file.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "customblocks/bc3_texel.h"

namespace orelens::customblocks {

namespace {

int32_t LittleEndianInt32(std::span<const std::byte, 4> bytes) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) value |= std::to_integer<uint32_t>(bytes[i]) << (8 * i);
  return static_cast<int32_t>(value);
}

}  // namespace

std::optional<DdsBlockFile> DdsBlockFile::Open(const std::string& path) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file || std::fseek(file.get(), kSizeFieldsOffset, SEEK_SET) != 0) return std::nullopt;
  std::array<std::byte, 8> sizes{};
  if (std::fread(sizes.data(), 1, sizes.size(), file.get()) != sizes.size()) return std::nullopt;
  const std::span<const std::byte, 8> fields(sizes);
  const int32_t height = LittleEndianInt32(fields.first<4>());
  const int32_t width = LittleEndianInt32(fields.last<4>());
  return DdsBlockFile(std::move(file), width / 4, height / 4);
}

size_t DdsBlockFile::ReadBlockRow(std::span<std::byte> buffer) {
  if (ended_ || blocksPerRow_ <= 0) return 0;
  if (!positioned_) {
    if (std::fseek(file_.get(), kFirstBlockOffset, SEEK_SET) != 0) {
      ended_ = true;
      return 0;
    }
    positioned_ = true;
  }
  const size_t wanted = std::min(buffer.size() / kBc3BlockSize, static_cast<size_t>(blocksPerRow_));
  const size_t got = std::fread(buffer.data(), 1, wanted * kBc3BlockSize, file_.get());
  if (got < wanted * kBc3BlockSize) ended_ = true;
  return got / kBc3BlockSize;
}

void DrawDdsBlockRows(DdsBlockFile& file, platform::Image& target, const std::function<void()>& afterRow) {
  if (file.BlocksPerRow() <= 0 || file.Rows() <= 0) return;
  std::vector<std::byte> buffer(static_cast<size_t>(file.BlocksPerRow()) * kBc3BlockSize);
  const std::span<const std::byte> row(buffer);
  for (int y = 0; y < file.Rows(); ++y) {
    const size_t blocks = file.ReadBlockRow(buffer);
    for (size_t x = 0; x < blocks; ++x) {
      const Bc3Block block = row.subspan(x * kBc3BlockSize).first<kBc3BlockSize>();
      if (target.contains(static_cast<int>(x), y)) target.at(static_cast<int>(x), y) = DecodeBc3FirstTexel(block);
    }
    if (blocks < static_cast<size_t>(file.BlocksPerRow())) return;
    if (afterRow) afterRow();
  }
}

}  // namespace orelens::customblocks
