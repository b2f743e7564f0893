#pragma once

#include <array>
#include <cstdint>

namespace orelens::platform {
class Engine3D;
}

namespace orelens::viewer {

class ProgramContext;

// How a mesh block stands for its rotation value: an offset from the cell centre, a scale and
// angles in degrees about x, y and z.
struct MeshBlockPlacement {
  float offsetX, offsetY, offsetZ;
  float scaleX, scaleY, scaleZ;
  float angleX, angleY, angleZ;
};
MeshBlockPlacement MeshBlockPlacementFor(int32_t rotation);

// Gives the face template entities 10..16 the face materials of a block by its face layout
// (texture layout type of a block definition, or face layout of a custom block).
// faceMaterials: six material handles or numbers, face 0 first.
void ApplyFaceLayout(platform::Engine3D& engine, const std::array<int32_t, 6>& faceMaterials, int layout);

// Builds the schematic preview geometry anew from PreviewBlockList at the insertion place.
void RebuildSchematicPreview(ProgramContext& ctx);

}  // namespace orelens::viewer
