#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace orelens::viewer {

// The six cube faces in face-mask order; face k is drawn by face template entity 10 + k.
enum class CubeFace : int { kTop = 0, kBottom = 1, kMinusX = 2, kPlusX = 3, kPlusZ = 4, kMinusZ = 5 };

// The material slot a face of a custom block shows, by the block's face layout ("Mode").
// The mesher, the schematic preview and the block preview all draw with it. Kinds outside
// 1..4 show slot 0 everywhere.
constexpr int FaceSlotOfKind(int kind, CubeFace face) {
  constexpr std::array<std::array<int, 6>, 4> kSlots{{
      {0, 0, 0, 0, 0, 0},  // 1: one texture
      {0, 0, 2, 2, 2, 2},  // 2: top and bottom, sides
      {0, 1, 2, 2, 2, 2},  // 3: top, bottom, sides
      {0, 1, 2, 3, 4, 5},  // 4: every face its own
  }};
  if (kind < 1 || kind > 4) return 0;
  return kSlots[static_cast<size_t>(kind - 1)][static_cast<size_t>(face)];
}

// The block definition's texture layout types 0 to 4 lay face materials on a cube like the
// custom layouts (0 like 1); type 5 is the crossed quads and other types leave the faces alone.
constexpr bool IsCubeTextype(int textype) { return textype >= 0 && textype <= 4; }
constexpr int FaceSlotOfTextype(int textype, CubeFace face) {
  return FaceSlotOfKind(textype == 0 ? 1 : textype, face);
}

// How a mesh block stands for its rotation value: an offset from the cell centre, a scale and
// angles in degrees about x, y and z. Chunks and the schematic preview place mesh blocks alike.
struct MeshBlockPlacement {
  float offsetX, offsetY, offsetZ;
  float scaleX, scaleY, scaleZ;
  float angleX, angleY, angleZ;
};
constexpr MeshBlockPlacement MeshBlockPlacementFor(int32_t rotation) {
  switch (rotation) {
    case 0: return {0, 0, 0, 1, 1, 1, 0, 0, 0};
    case 1: return {0, 0, 0, 1, 1, 1, 0, 180, 0};
    case 2: return {0, 0, 0, 1, 1, 1, 0, 90, 0};
    case 3: return {0, 0, 0, 1, 1, 1, 0, -90, 0};
    case 4: return {0, -0.36f, -0.12f, 1, 1.4f, 1, 0, -90, 0};  // on a wall
    default: return {0, 0.36f, 0.12f, 1, 1.4f, 1, 180, 0, 0};    // hanging
  }
}

}  // namespace orelens::viewer
