#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "platform/files/file.h"
#include "platform/image/image.h"

namespace orelens::customblocks {

// The BC3 block rows of a DDS file, read a row at a time so that a large texture is never
// held in memory. Only the height and width of the header are read; whatever the pixel
// format says, the blocks are taken as BC3.
class DdsBlockFile {
 public:
  static constexpr long kSizeFieldsOffset = 12;  // height, then width, little-endian int32
  static constexpr long kFirstBlockOffset = 128;

  // Opens the file (the path resolved as the file service does) and reads its block grid;
  // nullopt when it cannot be opened or ends inside the two size fields.
  static std::optional<DdsBlockFile> Open(const std::string& path);

  // Blocks per row and rows of blocks (pixel sizes / 4, remainder dropped; may be <= 0).
  int BlocksPerRow() const { return blocksPerRow_; }
  int Rows() const { return rows_; }

  // Reads the next row into buffer (BlocksPerRow() * 16 bytes at most) and returns the number
  // of whole blocks read: fewer than a row, or 0, once the file ends. A block cut short by the
  // end of the file is not returned.
  size_t ReadBlockRow(std::span<uint8_t> buffer);

 private:
  DdsBlockFile(platform::File file, int blocksPerRow, int rows)
      : file_(std::move(file)), blocksPerRow_(blocksPerRow), rows_(rows) {}

  platform::File file_;
  int blocksPerRow_ = 0;
  int rows_ = 0;
  bool positioned_ = false;  // at the first block
  bool ended_ = false;
};

// Draws one pixel per block (its texel 0) into the top-left corner of target, block x of
// row y at (x, y), until the rows or the file end. afterRow runs after each complete row.
// The caller has checked that the grid fits into target.
void DrawDdsBlockRows(DdsBlockFile& file, platform::Image& target, const std::function<void()>& afterRow);

}  // namespace orelens::customblocks
