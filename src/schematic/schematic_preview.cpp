#include "schematic/schematic_preview.h"

#include <array>

#include "schematic/cell_value_map.h"
#include "world/block_kind_table.h"

namespace orelens::schematic {

namespace {

constexpr std::array<bool, 256> MakeSeeThroughTable() {
  std::array<bool, 256> table{};
  for (int type : {3, 5, 15, 16, 17, 36, 39, 63}) table[type] = true;
  return table;
}
constexpr std::array<bool, 256> kSeeThrough = MakeSeeThroughTable();

}  // namespace

bool IsSeeThroughInPreview(uint8_t blockType) {
  return kSeeThrough[blockType];
}

void BuildPreviewBlockList(const SchematicContent& content, std::vector<world::BlockRecord>& list) {
  // Both lists in one table: a cell found in both keeps its rotation.
  CellValueMap values;
  values.Add(content.customBlocks);
  values.Add(content.rotations);

  const int32_t sizeX = content.size.sizeX;
  const int32_t sizeZ = content.size.sizeZ;
  const int32_t sizeY = content.size.sizeY;
  const auto seeThroughAt = [&](int32_t x, int32_t z, int32_t y) {
    return kSeeThrough[content.BlockAt(x, z, y)];
  };

  list.clear();
  int32_t extra = 0;
  for (int32_t x = 0; x < sizeX; ++x) {
    for (int32_t z = 0; z < sizeZ; ++z) {
      for (int32_t y = 0; y < sizeY; ++y) {
        const uint8_t type = content.BlockAt(x, z, y);
        if (type == world::kBlockCustom || type == world::kBlockTorch) {
          if (const int32_t* value = values.Find(x, z, y)) extra = *value;
        }
        if (!kSeeThrough[type]) {
          uint8_t mask = 0;
          if (x == sizeX - 1 || seeThroughAt(x + 1, z, y)) mask |= world::kFacePlusX;
          if (x == 0 || seeThroughAt(x - 1, z, y)) mask |= world::kFaceMinusX;
          if (z == sizeZ - 1 || seeThroughAt(x, z + 1, y)) mask |= world::kFacePlusZ;
          if (z == 0 || seeThroughAt(x, z - 1, y)) mask |= world::kFaceMinusZ;
          if (y == sizeY - 1 || seeThroughAt(x, z, y + 1)) mask |= world::kFaceTop;
          if (y == 0 || seeThroughAt(x, z, y - 1)) mask |= world::kFaceBottom;
          if (mask != 0) list.push_back({x, z, y, type, mask, extra});
        } else if (type != world::kBlockAir) {
          list.push_back({x, z, y, type, world::kFaceWholeBlock, extra});
        }
      }
    }
  }
}

}  // namespace orelens::schematic
