#pragma once

#include <array>
#include <cstdint>

#include "viewer/face_layouts.h"

namespace orelens::platform {
class Engine3D;
}

namespace orelens::viewer {

class ProgramContext;

// Gives the face template entities 10..16 the face materials of a block by its face layout
// (texture layout type of a block definition, or face layout of a custom block).
// faceMaterials: six material handles or numbers, face 0 first.
void ApplyFaceLayout(platform::Engine3D& engine, const std::array<int32_t, 6>& faceMaterials, int layout);

// Builds the schematic preview geometry anew from PreviewBlockList at the insertion place.
void RebuildSchematicPreview(ProgramContext& ctx);

}  // namespace orelens::viewer
