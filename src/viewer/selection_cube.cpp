#include "viewer/selection_cube.h"

#include "viewer/viewer_state.h"

namespace orelens::viewer {

namespace {
constexpr int kFaceCount = 6;
constexpr int kFirstFaceMesh = 10;
constexpr int kScaleXAttribute = 22;
}  // namespace

void CreateSelectionCube(platform::Engine3D& engine) {
  for (int face = 0; face < kFaceCount; ++face) {
    const int entity = objects::kSelectionFirstEntity + face;
    engine.PBO_CreateEntity2(entity, engine.PBO_MeshID(kFirstFaceMesh + face),
                             engine.PBO_MaterialID(objects::kToolMaterial));
    engine.PBO_EntityPickMask(entity, objects::kSelectionPickMask);  // the only entities a click finds
  }
  engine.PBO_CreateNode(objects::kSelectionNode);
  for (int face = 0; face < kFaceCount; ++face)
    engine.PBO_AttachNodeObject(objects::kSelectionNode, engine.PBO_EntityID(objects::kSelectionFirstEntity + face));
  ScaleSelectionCube(engine, 1.01f, 1.01f, 1.01f, 0);
  HideSelectionCube(engine, 1);
}

void HideSelectionCube(platform::Engine3D& engine, int state) {
  for (int face = 0; face < kFaceCount; ++face)
    engine.PBO_HideEntity(objects::kSelectionFirstEntity + face, state);
}

void ScaleSelectionCube(platform::Engine3D& engine, float x, float y, float z, int mode) {
  for (int face = 0; face < kFaceCount; ++face)
    engine.PBO_ScaleEntity2(objects::kSelectionFirstEntity + face, x, y, z, mode);
}

CubeSize SelectionCubeSize(platform::Engine3D& engine) {
  const int entity = objects::kSelectionFirstEntity;
  return {engine.PBO_GetEntityAttribute(entity, kScaleXAttribute),
          engine.PBO_GetEntityAttribute(entity, kScaleXAttribute + 1),
          engine.PBO_GetEntityAttribute(entity, kScaleXAttribute + 2)};
}

}  // namespace orelens::viewer
