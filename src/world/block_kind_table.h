#pragma once

#include <array>
#include <cstdint>

namespace orelens::world {

// How the program treats each of the 256 block types; filled once from the block definitions
// before any loader thread starts and only read afterwards.
enum BlockKind : uint8_t {
  kKindOpaqueCube = 0,
  kKindAlphaCube = 1,
  kKindDoubleSidedAlpha = 2,
  kKindMeshBlock = 3,
  kKindNotDrawn = 100,
};

using BlockKindTable = std::array<uint8_t, 256>;

constexpr uint8_t kBlockAir = 3;
constexpr uint8_t kBlockCustom = 66;
constexpr uint8_t kBlockTorch = 15;  // the mesh block whose rotation the block reader and schematics keep

}  // namespace orelens::world
