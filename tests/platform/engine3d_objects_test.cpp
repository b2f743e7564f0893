// Numbered objects and handles, materials, entities and nodes, sprites, picking.
#include <gtest/gtest.h>

#include "engine3d_test_scene.h"
#include "platform/engine3d/engine3d.h"
#include "platform/engine3d/renderer.h"
#include "platform/engine3d/scene.h"

namespace orelens::platform {
namespace {

using engine3d_test::MakeColourMaterial;
using engine3d_test::MakeFaceQuads;

class EngineObjects : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(engine->PBO_InitEngine3D(2), 0);
    ASSERT_NE(engine->OpenWindowedScreen(nullptr, 0, 0, 200, 100, 0, 0, 0, 2), 0);
  }
  std::unique_ptr<Engine3D> engine = MakeHeadlessEngine();
};

TEST_F(EngineObjects, ReportsItsVersion) { EXPECT_EQ(engine->PBO_GetVersion(), 572); }

TEST_F(EngineObjects, HandlesNeverCollideWithNumbersAndAreNeverReused) {
  const int numbered = engine->PBO_CreateTexture(5, 2, 2);
  const int zero = engine->PBO_CreateTexture(0, 2, 2);
  const int first = engine->PBO_CreateTexture(-1, 2, 2);
  const int second = engine->PBO_CreateTexture(-1, 2, 2);
  for (int handle : {numbered, zero, first, second}) {
    EXPECT_NE(handle, 0);
    EXPECT_GT(handle, Engine3D::kMaxObjectNumber);  // no caller-chosen number looks like it
  }
  EXPECT_NE(first, second);
  EXPECT_EQ(engine->PBO_TextureID(5), numbered);
  EXPECT_EQ(engine->PBO_TextureID(0), zero);
  EXPECT_EQ(engine->PBO_TextureID(first), first);  // a -1 object's handle is its number
  EXPECT_EQ(engine->PBO_TextureID(6), 0);

  // Numbers and handles name the same object.
  EXPECT_NE(engine->PBO_CreateMaterial(7, numbered), 0);
  EXPECT_NE(engine->PBO_CreateMaterial(8, 5), 0);
  EXPECT_EQ(engine->PBO_MaterialID(engine->PBO_MaterialID(7)), engine->PBO_MaterialID(7));

  MakeFaceQuads(*engine);
  const int entity = engine->PBO_CreateEntity2(-1, engine->PBO_MeshID(10), engine->PBO_MaterialID(7));
  ASSERT_NE(entity, 0);
  EXPECT_EQ(engine->PBO_FreeEntity(entity), 1);
  EXPECT_EQ(engine->PBO_IsEntity(entity), 0);
  const int next = engine->PBO_CreateEntity2(-1, engine->PBO_MeshID(10), engine->PBO_MaterialID(7));
  EXPECT_NE(next, entity);
  EXPECT_EQ(engine->PBO_IsEntity(entity), 0);
}

TEST_F(EngineObjects, RejectsNumbersOutsideTheRangeAndMissingReferences) {
  EXPECT_EQ(engine->PBO_CreateTexture(Engine3D::kMaxObjectNumber + 1, 2, 2), 0);
  EXPECT_EQ(engine->PBO_CreateTexture(-2, 2, 2), 0);
  EXPECT_EQ(engine->PBO_CreateTexture(1, 0, 2), 0);
  EXPECT_EQ(engine->PBO_CreateTexture(1, 2, -1), 0);
  EXPECT_EQ(engine->PBO_CreateMaterial(1, 12345), 0);  // no such texture
  EXPECT_EQ(engine->PBO_CreateEntity2(1, 12345, 0), 0);  // no such mesh
  EXPECT_EQ(engine->PBO_IsMaterial(1), 0);
  EXPECT_EQ(engine->PBO_MaterialCullingMode(1, 1), 0);
  EXPECT_EQ(engine->PBO_LockTexture(99), nullptr);
  EXPECT_EQ(engine->PBO_GetEntityAttribute(99, 22), 0.0f);
  EXPECT_EQ(engine->PBO_CreateCamera(Engine3D::kMaxCameras, 0, 0, 100, 100), 0);
  EXPECT_EQ(engine->PBO_MoveLight(3, 0, 0, 0), 0);
  EXPECT_EQ(engine->PBO_FreeStaticGeometry(77), 0);
}

TEST_F(EngineObjects, MaterialsKeepTheirBlendingCullingAndFiltering) {
  MakeColourMaterial(*engine, 3, PackRgba(1, 2, 3));
  const Material* material = engine->GetScene().materials.Find(3);
  ASSERT_NE(material, nullptr);
  EXPECT_EQ(material->blending, 0);
  EXPECT_EQ(material->culling, 2);  // back faces culled until told otherwise
  engine->PBO_MaterialBlendingMode(3, 3);
  engine->PBO_MaterialCullingMode(3, 1);
  EXPECT_EQ(material->blending, 3);
  EXPECT_EQ(material->culling, 1);

  engine->PBO_MaterialFilteringMode2(3, 0, 1);
  EXPECT_EQ(material->filter, 0);
  engine->PBO_MaterialFilteringMode2(-1, 3, 4);  // every material follows the default again
  EXPECT_EQ(material->filter, -1);
  EXPECT_EQ(engine->GetScene().world.defaultFilter, 3);
  EXPECT_EQ(engine->GetScene().world.defaultAnisotropy, 4);
}

TEST_F(EngineObjects, LockedTexturesAreDrawingTargetsMarkedForUpload) {
  const int texture = engine->PBO_CreateTexture(-1, 8, 4);
  EXPECT_EQ(engine->PBO_TextureWidth(texture), 8);
  EXPECT_EQ(engine->PBO_TextureHeight(texture), 4);
  const Texture* stored = engine->GetScene().textures.Find(texture);
  EXPECT_EQ(stored->image.at(7, 3), PackRgba(0, 0, 0));  // starts opaque black
  const uint64_t before = stored->revision;
  Image* picture = engine->PBO_LockTexture(texture);
  ASSERT_NE(picture, nullptr);
  picture->at(1, 1) = PackRgba(9, 9, 9);
  engine->PBO_UnlockTexture(texture);
  EXPECT_GT(stored->revision, before);
  EXPECT_EQ(stored->image.at(1, 1), PackRgba(9, 9, 9));
}

TEST_F(EngineObjects, MeshesDropFacesThatNameMissingVertices) {
  engine->PBO_CreateMesh(20);
  engine->PBO_MeshVertex(0, 0, 0, 0, 0, -1);
  engine->PBO_MeshVertex(1, 0, 0, 0, 0, -1);
  engine->PBO_MeshVertex(0, 1, 0, 0, 0, -1);
  engine->PBO_MeshFace(0, 1, 2);
  engine->PBO_MeshFace(0, 1, 3);
  EXPECT_EQ(engine->PBO_MeshFace(-1, 1, 2), 0);
  engine->PBO_FinishMesh(1);
  EXPECT_EQ(engine->PBO_MeshVertex(0, 0, 0, 0, 0, -1), 0);  // no mesh under construction
  const Mesh* mesh = engine->GetScene().meshes.Find(20);
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(mesh->indices, (std::vector<uint32_t>{0, 1, 2}));
  EXPECT_EQ(engine->PBO_BuildMeshShadowVolume(20), 1);
}

TEST_F(EngineObjects, CubePrimitiveFacesPointOutward) {
  ASSERT_NE(engine->PBO_CreateCube(306, 0.5f), 0);
  const Mesh* cube = engine->GetScene().meshes.Find(306);
  ASSERT_EQ(cube->indices.size(), 36u);
  for (size_t i = 0; i < cube->indices.size(); i += 3) {
    const glm::vec3 a = cube->vertices[cube->indices[i]].position, b = cube->vertices[cube->indices[i + 1]].position,
                    c = cube->vertices[cube->indices[i + 2]].position;
    const glm::vec3 centre = (a + b + c) / 3.0f;
    EXPECT_GT(glm::dot(glm::cross(b - a, c - a), centre), 0.0f) << "triangle " << i / 3;
    for (const glm::vec3& p : {a, b, c}) EXPECT_FLOAT_EQ(glm::max(glm::max(std::abs(p.x), std::abs(p.y)), std::abs(p.z)), 0.25f);
  }
}

TEST_F(EngineObjects, EntitiesScaleHideAndFollowTheirNode) {
  MakeFaceQuads(*engine);
  const int material = MakeColourMaterial(*engine, 1001, PackRgba(255, 0, 0));
  for (int k = 0; k < 6; ++k) ASSERT_NE(engine->PBO_CreateEntity2(1003 + k, engine->PBO_MeshID(10 + k), material), 0);
  ASSERT_NE(engine->PBO_CreateNode(1001), 0);
  for (int k = 0; k < 6; ++k) EXPECT_EQ(engine->PBO_AttachNodeObject(1001, engine->PBO_EntityID(1003 + k)), 1);

  engine->PBO_ScaleEntity2(1003, 3.01f, 2.0f, 5.0f, 0);
  EXPECT_FLOAT_EQ(engine->PBO_GetEntityAttribute(1003, 22), 3.01f);
  EXPECT_FLOAT_EQ(engine->PBO_GetEntityAttribute(1003, 23), 2.0f);
  EXPECT_FLOAT_EQ(engine->PBO_GetEntityAttribute(1003, 24), 5.0f);
  EXPECT_EQ(engine->PBO_GetEntityAttribute(1003, 1), 0.0f);
  engine->PBO_ScaleEntity2(1003, 2, 2, 2, 1);
  EXPECT_FLOAT_EQ(engine->PBO_GetEntityAttribute(1003, 23), 4.0f);

  engine->PBO_MoveNode2(1001, 1, 2, 3, 0);
  engine->PBO_MoveNode2(1001, 0.5f, 0, -1, 1);
  EXPECT_FLOAT_EQ(engine->PBO_NodeX(1001), 1.5f);
  EXPECT_FLOAT_EQ(engine->PBO_NodeY(1001), 2.0f);
  EXPECT_FLOAT_EQ(engine->PBO_NodeZ(1001), 2.0f);
  const Entity* top = engine->GetScene().entities.Find(1003);
  EXPECT_EQ(EntityOrigin(engine->GetScene(), *top), glm::vec3(1.5f, 2.0f, 2.0f));

  engine->PBO_HideEntity(1003, 1);
  EXPECT_TRUE(top->hidden);
  // Freeing an attached entity leaves the node consistent.
  engine->PBO_FreeEntity(1004);
  EXPECT_EQ(engine->GetScene().nodes.Find(1001)->entityKeys.size(), 5u);
  // A marker column made at a place.
  ASSERT_NE(engine->PBO_CreateCube(306, 0.5f), 0);
  const int marker = engine->PBO_CreateEntity3(-1, engine->PBO_MeshID(306), material, 4, 200, 6);
  ASSERT_NE(marker, 0);
  EXPECT_EQ(engine->GetScene().entities.Find(marker)->position, glm::vec3(4, 200, 6));
}

TEST_F(EngineObjects, LightsAreMovedAndRecoloured) {
  EXPECT_EQ(engine->PBO_IsLight(0), 0);
  ASSERT_NE(engine->PBO_CreateLight2(0, PackRgb(250, 250, 230), -100, 100, -100), 0);
  EXPECT_EQ(engine->PBO_IsLight(0), 1);
  engine->PBO_MoveLight(0, 1, 2, 3);
  engine->PBO_SetLightColor(0, 0, PackRgb(205, 200, 155));
  const Light* light = engine->GetScene().lights.Find(0);
  EXPECT_EQ(light->position, glm::vec3(1, 2, 3));
  EXPECT_EQ(light->diffuse, PackRgb(205, 200, 155));
}

TEST_F(EngineObjects, ShadowSettingsKeepWhatACallLeavesOut) {
  engine->PBO_WorldShadows3(1, 30.0f, PackRgb(210, 205, 230));
  engine->PBO_WorldShadows(0);
  engine->PBO_WorldShadows(2);
  const ShadowSettings& shadows = engine->GetScene().world.shadows;
  EXPECT_EQ(shadows.mode, 2);
  EXPECT_EQ(shadows.range, 30.0f);
  EXPECT_EQ(shadows.rgb, PackRgb(210, 205, 230));
  engine->PBO_WorldShadows4(0, 0.0f, 0, 0);
  EXPECT_EQ(shadows.mode, 0);
  EXPECT_EQ(shadows.range, 30.0f);  // a range of 0 would mean no shadows anywhere
}

// --- Sprites and the frame -------------------------------------------------------------------

TEST_F(EngineObjects, SpritesShowOverTheFrameAndGrabsReadItBack) {
  engine->PBO_CreateCamera(0, 0, 0, 100, 100);
  engine->PBO_CameraBackColor(0, PackRgb(100, 156, 251));
  const int sprite = engine->CreateSprite(0, 20, 10, 8);
  ASSERT_NE(sprite, 0);
  Image* picture = engine->SpriteImage(0);
  for (uint32_t& pixel : picture->pixels) pixel = PackRgba(0, 255, 0, 255);
  picture->at(0, 0) = PackRgba(255, 0, 0, 0);  // fully transparent: the sky shows through
  engine->MarkSpriteChanged(0);

  engine->PBO_RenderWorld();
  engine->DisplaySprite(0, 10, 10, 255);
  engine->PBO_FlipBuffers();
  const Image frame = engine->GrabScreenRegion(0, 0, 200, 100);
  EXPECT_EQ(frame.at(5, 5), PackRgba(100, 156, 251));
  EXPECT_EQ(frame.at(10, 10), PackRgba(100, 156, 251));
  EXPECT_EQ(frame.at(12, 12), PackRgba(0, 255, 0));
  EXPECT_EQ(frame.at(29, 19), PackRgba(0, 255, 0));
  EXPECT_EQ(frame.at(30, 20), PackRgba(100, 156, 251));

  // A region reaching past the view is black there.
  const Image corner = engine->GrabScreenRegion(190, 90, 20, 20);
  EXPECT_EQ(corner.at(0, 0), PackRgba(100, 156, 251));
  EXPECT_EQ(corner.at(15, 15), PackRgba(0, 0, 0));
  EXPECT_EQ(engine->GrabScreenRegion(-5, -5, 10, 10).at(0, 0), PackRgba(0, 0, 0));
  EXPECT_EQ(engine->GrabScreenRegion(0, 0, 0, 5).width, 0);
  EXPECT_EQ(engine->GrabScreenRegion(0, 0, 1 << 20, 1 << 20).width, 0);
}

TEST_F(EngineObjects, TransparentColourClearsExactlyThatColour) {
  engine->CreateSprite(-1, 3, 1, 8);
  const int sprite = engine->CreateSprite(-1, 3, 1, 8);
  Image* picture = engine->SpriteImage(sprite);
  picture->at(0, 0) = PackRgba(255, 255, 255, 255);
  picture->at(1, 0) = PackRgba(255, 255, 254, 10);
  picture->at(2, 0) = PackRgba(0, 0, 0, 0);
  EXPECT_EQ(engine->TransparentSpriteColor(sprite, PackRgb(255, 255, 255)), 1);
  EXPECT_EQ(AlphaOf(picture->at(0, 0)), 0u);
  EXPECT_EQ(AlphaOf(picture->at(1, 0)), 255u);
  EXPECT_EQ(AlphaOf(picture->at(2, 0)), 255u);
  EXPECT_EQ(engine->FreeSprite(sprite), 1);
  EXPECT_EQ(engine->IsSprite(sprite), 0);
  EXPECT_EQ(engine->SpriteImage(sprite), nullptr);
  EXPECT_EQ(engine->CreateSprite(-1, 0, 5, 8), 0);
}

TEST(EngineScreen, NothingIsDrawnBeforeTheScreenOpens) {
  auto engine = MakeHeadlessEngine();
  EXPECT_EQ(engine->IsScreenActive(), 0);
  EXPECT_EQ(engine->PBO_RenderWorld(), 0);
  EXPECT_EQ(engine->PBO_FlipBuffers(), 0);
  EXPECT_EQ(engine->ScreenWidth(), 0);
  EXPECT_EQ(engine->OpenWindowedScreen(nullptr, 0, 0, 0, 10, 0, 0, 0, 2), 0);
  ASSERT_EQ(engine->OpenWindowedScreen(nullptr, 0, 0, 64, 48, 0, 0, 0, 2), 1);
  EXPECT_EQ(engine->ScreenWidth(), 64);
  EXPECT_EQ(engine->ScreenHeight(), 48);
  engine->CloseScreen();
  EXPECT_EQ(engine->IsScreenActive(), 0);
}

// --- Picking ---------------------------------------------------------------------------------

class EnginePicking : public EngineObjects {
 protected:
  void SetUp() override {
    EngineObjects::SetUp();
    MakeFaceQuads(*engine);
    const int material = MakeColourMaterial(*engine, 1001, PackRgba(255, 255, 255));
    for (int k = 0; k < 6; ++k) engine->PBO_CreateEntity2(1003 + k, engine->PBO_MeshID(10 + k), material);
    for (int k = 0; k < 6; ++k) engine->PBO_EntityPickMask(1003 + k, 2);
    engine->PBO_CreateNode(1001);
    for (int k = 0; k < 6; ++k) engine->PBO_AttachNodeObject(1001, engine->PBO_EntityID(1003 + k));
    for (int k = 0; k < 6; ++k) engine->PBO_ScaleEntity2(1003 + k, 3.01f, 3.01f, 3.01f, 0);
    engine->PBO_MoveNode2(1001, 10, 5, -20, 0);
    engine->PBO_CreateCamera(0, 0, 0, 100, 100);
    engine->PBO_CameraFOV(0, 50);
  }
};

TEST_F(EnginePicking, HitsTheNearestFaceUnderThePointerWithItsNormal) {
  engine->PBO_MoveCamera2(0, 10, 5, -10, 0);  // 10 units in front of the box's +Z face
  engine->PBO_CameraLookAt(0, 10, 5, -20);
  EXPECT_EQ(engine->PBO_MouseRayCast(0, 100, 50, 2), 1007);  // +Z face
  EXPECT_NEAR(engine->PBO_NormalX(), 0.0f, 1e-5);
  EXPECT_NEAR(engine->PBO_NormalY(), 0.0f, 1e-5);
  EXPECT_NEAR(engine->PBO_NormalZ(), 1.0f, 1e-5);

  engine->PBO_MoveCamera2(0, 30, 5, -20, 0);  // now beside the +X face
  engine->PBO_CameraLookAt(0, 10, 5, -20);
  EXPECT_EQ(engine->PBO_MouseRayCast(0, 100, 50, 2), 1006);
  EXPECT_NEAR(engine->PBO_NormalX(), 1.0f, 1e-5);

  EXPECT_EQ(engine->PBO_MouseRayCast(0, 0, 0, 2), 0);  // the corner sees past the box
  EXPECT_EQ(engine->PBO_MouseRayCast(0, 100, 50, 0), 0);
}

TEST_F(EnginePicking, FindsOnlyEntitiesWhosePickMaskSharesABitWithTheRay) {
  engine->PBO_MoveCamera2(0, 10, 5, -10, 0);
  engine->PBO_CameraLookAt(0, 10, 5, -20);
  // A quad between the camera and the box that nothing asked to be pickable.
  engine->PBO_CreateEntity3(50, engine->PBO_MeshID(14), engine->PBO_MaterialID(1001), 10, 5, -14);
  engine->PBO_ScaleEntity2(50, 8, 8, 8, 0);
  EXPECT_EQ(engine->PBO_MouseRayCast(0, 100, 50, 2), 1007);
  engine->PBO_EntityPickMask(50, 1);
  EXPECT_EQ(engine->PBO_MouseRayCast(0, 100, 50, 2), 1007);
  EXPECT_EQ(engine->PBO_MouseRayCast(0, 100, 50, 1), 50);
  EXPECT_EQ(engine->PBO_MouseRayCast(0, 100, 50, 3), 50);  // the nearer of both
}

TEST_F(EnginePicking, SkipsHiddenEntitiesAndStaticGeometry) {
  engine->PBO_MoveCamera2(0, 10, 5, -10, 0);
  engine->PBO_CameraLookAt(0, 10, 5, -20);
  engine->PBO_HideEntity(1007, 1);
  EXPECT_EQ(engine->PBO_MouseRayCast(0, 100, 50, 2), 1008);  // the far face, seen from inside
  for (int k = 0; k < 6; ++k) engine->PBO_HideEntity(1003 + k, 1);
  const int geometry = engine->PBO_CreateStaticGeometry(-1, 32, 50, 32, 1);
  engine->PBO_AddStaticGeometryEntity2(geometry, engine->PBO_EntityID(1007), 10, 5, -18, 8, 8, 8);
  engine->PBO_BuildStaticGeometry(geometry);
  EXPECT_EQ(engine->PBO_MouseRayCast(0, 100, 50, 2), 0);
}

}  // namespace
}  // namespace orelens::platform
