#include "customblocks/dds_block_file.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "customblocks/bc3_texel.h"
#include "platform/files/byte_reader.h"

namespace orelens::customblocks {

namespace {}  // namespace

std::optional<DdsBlockFile> DdsBlockFile::Open(const std::string& path) {
  platform::File file = platform::File::Open(path, platform::FileMode::kRead);
  if (!file.IsOpen() || !file.Seek(kSizeFieldsOffset)) return std::nullopt;
  std::array<uint8_t, 8> sizes{};
  if (file.Read(sizes) != sizes.size()) return std::nullopt;
  platform::ByteReader reader(sizes);
  int32_t height = 0;
  int32_t width = 0;
  if (!reader.ReadI32(height) || !reader.ReadI32(width)) return std::nullopt;
  return DdsBlockFile(std::move(file), width / 4, height / 4);
}

size_t DdsBlockFile::ReadBlockRow(std::span<uint8_t> buffer) {
  if (ended_ || blocksPerRow_ <= 0) return 0;
  if (!positioned_) {
    if (!file_.Seek(kFirstBlockOffset)) {
      ended_ = true;
      return 0;
    }
    positioned_ = true;
  }
  const size_t wanted = std::min(buffer.size() / kBc3BlockSize, static_cast<size_t>(blocksPerRow_));
  const size_t got = file_.Read(buffer.first(wanted * kBc3BlockSize));
  if (got < wanted * kBc3BlockSize) ended_ = true;
  return got / kBc3BlockSize;
}

void DrawDdsBlockRows(DdsBlockFile& file, platform::Image& target, const std::function<void()>& afterRow) {
  if (file.BlocksPerRow() <= 0 || file.Rows() <= 0) return;
  std::vector<uint8_t> buffer(static_cast<size_t>(file.BlocksPerRow()) * kBc3BlockSize);
  const std::span<const std::byte> row = std::as_bytes(std::span(buffer));
  for (int y = 0; y < file.Rows(); ++y) {
    const size_t blocks = file.ReadBlockRow(buffer);
    for (size_t x = 0; x < blocks; ++x) {
      const Bc3Block block = row.subspan(x * kBc3BlockSize).first<kBc3BlockSize>();
      if (target.contains(static_cast<int>(x), y))
        target.at(static_cast<int>(x), y) = DecodeBc3FirstTexel(block);
    }
    if (blocks < static_cast<size_t>(file.BlocksPerRow())) return;
    if (afterRow) afterRow();
  }
}

}  // namespace orelens::customblocks
