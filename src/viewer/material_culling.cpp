#include "viewer/material_culling.h"

#include "viewer/program_context.h"

namespace orelens::viewer {

namespace {
constexpr int kCullNone = 1;
constexpr int kCullBackFaces = 2;
constexpr int kFacesPerBlock = 6;

void SetCulling(platform::Engine3D& engine, int material, int mode) {
  if (engine.PBO_IsMaterial(material)) engine.PBO_MaterialCullingMode(material, mode);
}
}  // namespace

int ApplyMaterialCulling(ProgramContext& ctx) {
  platform::Engine3D& engine = ctx.engine();
  const bool bothSides = ctx.settings.DrawBothNormals != 0;
  engine.PBO_WorldShadows(0);

  SetCulling(engine, objects::kBorderTexture, bothSides ? kCullNone : kCullBackFaces);
  const auto& definitions = ctx.Definitions();
  for (int type = 0; type < 256; ++type) {
    SetCulling(engine, type, bothSides ? kCullNone : kCullBackFaces);
    const auto& definition = definitions[type];
    const int faceMode = bothSides || definition.kind == world::kKindDoubleSidedAlpha ? kCullNone : kCullBackFaces;
    for (int face = 0; face < kFacesPerBlock; ++face) SetCulling(engine, definition.faceMaterials[face], faceMode);
  }
  for (const auto& [key, custom] : ctx.CustomBlocks())
    for (int face = 0; face < kFacesPerBlock; ++face)
      SetCulling(engine, custom.faces[face], bothSides ? kCullNone : kCullBackFaces);

  engine.PBO_WorldShadows(ctx.settings.ShadowMode);
  return 0;
}

}  // namespace orelens::viewer
