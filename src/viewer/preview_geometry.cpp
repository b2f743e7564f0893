#include "viewer/preview_geometry.h"

#include <string>

#include "platform/engine3d/engine3d.h"
#include "viewer/program_context.h"

namespace orelens::viewer {

namespace {
constexpr int kTopEntity = 10;
constexpr int kCrossedQuadsEntity = 16;

template <class Faces>
std::array<int32_t, 6> FirstSixFaces(const Faces& faces) {
  std::array<int32_t, 6> six{};
  for (size_t face = 0; face < six.size(); ++face) six[face] = static_cast<int32_t>(faces[face]);
  return six;
}
}  // namespace

void ApplyFaceLayout(platform::Engine3D& engine, const std::array<int32_t, 6>& faces, int layout) {
  auto set = [&engine](int entity, int material) {
    engine.PBO_SetEntityMaterial(entity, engine.PBO_MaterialID(material));
  };
  if (IsCubeTextype(layout)) {
    for (int face = 0; face < 6; ++face)
      set(kTopEntity + face, faces[static_cast<size_t>(FaceSlotOfTextype(layout, static_cast<CubeFace>(face)))]);
  } else if (layout == 5) {
    set(kCrossedQuadsEntity, faces[0]);
  }
}

void RebuildSchematicPreview(ProgramContext& ctx) {
  platform::Engine3D& engine = ctx.engine();
  MainLoopState& loop = ctx.loop;
  loop.PreviewLastCustomId = -1;
  loop.PreviewLastType = -1;
  loop.PreviewRebuildPending = 0;
  if (engine.PBO_IsStaticGeometry(loop.PreviewGeometry)) engine.PBO_FreeStaticGeometry(loop.PreviewGeometry);
  loop.PreviewGeometry = engine.PBO_CreateStaticGeometry(-1, 10, 10, 10, 0);

  const auto& placement = ctx.InsertPlacement();
  const auto& definitions = ctx.Definitions();
  for (const world::BlockRecord& block : ctx.PreviewBlockList()) {
    const float x = placement.originX + block.col * 0.5f;
    const float y = placement.originY + block.height * 0.5f;
    const float z = placement.originZ + block.row * 0.5f;
    const auto& definition = definitions[block.type];
    if (definition.kind == world::kKindMeshBlock) {
      const MeshBlockPlacement p = MeshBlockPlacementFor(block.extra);
      engine.PBO_AddStaticGeometryEntity3(loop.PreviewGeometry, engine.PBO_EntityID(definition.meshEntity),
                                          x + p.offsetX, y + p.offsetY, z + p.offsetZ, p.scaleX, p.scaleY,
                                          p.scaleZ, p.angleX, p.angleY, p.angleZ);
      continue;
    }
    if (block.type == world::kBlockCustom) {
      if (block.extra != loop.PreviewLastCustomId) {
        loop.PreviewLastCustomId = block.extra;
        const CustomBlockDefinition& custom = ctx.CustomBlockOrPlaceholder(block.extra);
        // Custom blocks know the layouts 1 to 4 only; any other leaves the faces as they are.
        if (custom.kind >= 1 && custom.kind <= 4) ApplyFaceLayout(engine, FirstSixFaces(custom.faces), custom.kind);
        loop.PreviewLastType = world::kBlockCustom;
      }
    } else if (block.type != loop.PreviewLastType) {
      loop.PreviewLastCustomId = -1;
      ApplyFaceLayout(engine, FirstSixFaces(definition.faceMaterials), definition.textype);
      loop.PreviewLastType = block.type;
    }
    if (block.faceMask & world::kFaceWholeBlock) {
      engine.PBO_AddStaticGeometryEntity2(loop.PreviewGeometry, engine.PBO_EntityID(kCrossedQuadsEntity), x, y, z, 1, 1, 1);
      continue;
    }
    for (int face = 0; face < 6; ++face)
      if (block.faceMask & (1 << face))
        engine.PBO_AddStaticGeometryEntity2(loop.PreviewGeometry, engine.PBO_EntityID(kTopEntity + face), x, y, z, 1, 1, 1);
  }
  engine.PBO_BuildStaticGeometry(loop.PreviewGeometry);
}

}  // namespace orelens::viewer
