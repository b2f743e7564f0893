// Static geometry: what adds with scale and rotation put into it, per material, and freeing.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine3d_test_scene.h"
#include "platform/engine3d/engine3d.h"
#include "platform/engine3d/scene.h"

namespace orelens::platform {
namespace {

using engine3d_test::MakeColourMaterial;
using engine3d_test::MakeFaceQuads;

std::vector<uint32_t> IndicesOf(const GeometryBatch& batch) { return {batch.indices.begin(), batch.indices.end()}; }
glm::vec3 PositionOf(const GeometryVertex& v) { return {v.x, v.y, v.z}; }
glm::vec3 NormalOf(const GeometryVertex& v) { return glm::vec3(v.nx, v.ny, v.nz) / 127.0f; }

void ExpectNear(glm::vec3 actual, glm::vec3 expected) {
  EXPECT_NEAR(actual.x, expected.x, 1e-5f);
  EXPECT_NEAR(actual.y, expected.y, 1e-5f);
  EXPECT_NEAR(actual.z, expected.z, 1e-5f);
}

class StaticGeometryContents : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeFaceQuads(*engine);
    stone = MakeColourMaterial(*engine, 1, PackRgba(128, 128, 128));
    grass = MakeColourMaterial(*engine, 2, PackRgba(0, 200, 0));
    for (int k = 0; k < 6; ++k) engine->PBO_CreateEntity2(10 + k, engine->PBO_MeshID(10 + k), stone);
    geometry = engine->PBO_CreateStaticGeometry(-1, 32, 50, 32, 1);
    ASSERT_NE(geometry, 0);
  }
  const StaticGeometry& Stored() { return *engine->FindStaticGeometry(geometry); }

  std::unique_ptr<Engine3D> engine = MakeHeadlessEngine();
  int stone = 0, grass = 0, geometry = 0;
};

TEST_F(StaticGeometryContents, PlacesAndScalesTheEntitysFace) {
  // A border-column top face: 0.9 wide and shifted, as the mesher adds it.
  ASSERT_EQ(engine->PBO_AddStaticGeometryEntity2(geometry, engine->PBO_EntityID(10), 15.475f, 3.25f, 2.25f, 0.9f, 1, 1), 1);
  ASSERT_EQ(Stored().batches.size(), 1u);
  const GeometryBatch& batch = Stored().batches[0];
  ASSERT_EQ(batch.vertices.size(), 4u);
  EXPECT_EQ(IndicesOf(batch), (std::vector<uint32_t>{2, 1, 0, 0, 3, 2}));
  ExpectNear(PositionOf(batch.vertices[0]), {15.475f - 0.225f, 3.5f, 2.0f});
  ExpectNear(PositionOf(batch.vertices[2]), {15.475f + 0.225f, 3.5f, 2.5f});
  ExpectNear(NormalOf(batch.vertices[0]), {0, 1, 0});
  EXPECT_EQ(batch.vertices[1].u, 0.0f);
  EXPECT_EQ(batch.vertices[2].u, 1.0f);
  EXPECT_EQ(batch.vertices[3].v, 1.0f);
  EXPECT_EQ(Stored().faceCount, 2u);
  ExpectNear(Stored().boundsMin, {15.25f, 3.5f, 2.0f});
  ExpectNear(Stored().boundsMax, {15.7f, 3.5f, 2.5f});
}

TEST_F(StaticGeometryContents, RotatesAboutXThenYThenZAfterScaling) {
  // The +X face turned 90 degrees about y faces -Z.
  engine->PBO_AddStaticGeometryEntity3(geometry, engine->PBO_EntityID(13), 1, 2, 3, 1, 1.4f, 1, 0, 90, 0);
  const GeometryBatch& batch = Stored().batches[0];
  for (const GeometryVertex& v : batch.vertices) {
    EXPECT_NEAR(v.z, 3 - 0.25f, 1e-5f);
    ExpectNear(NormalOf(v), {0, 0, -1});
  }
  // Vertex 0, (0.25, 0.25, 0.25) scaled to height 0.35, lands at x = 1 + 0.25.
  ExpectNear(PositionOf(batch.vertices[0]), {1.25f, 2.35f, 2.75f});

  // Upside down about x: the top face's normal points down.
  engine->PBO_AddStaticGeometryEntity3(geometry, engine->PBO_EntityID(10), 0, 0, 0, 1, 1, 1, 180, 0, 0);
  ExpectNear(NormalOf(Stored().batches[0].vertices[4]), {0, -1, 0});
  ExpectNear(PositionOf(Stored().batches[0].vertices[4]), {-0.25f, -0.25f, 0.25f});
}

TEST_F(StaticGeometryContents, KeepsOneBatchPerMaterialWithTheMaterialOfTheMomentOfAdding) {
  const int top = engine->PBO_EntityID(10);
  engine->PBO_AddStaticGeometryEntity2(geometry, top, 0, 0, 0, 1, 1, 1);
  engine->PBO_SetEntityMaterial(10, grass);
  engine->PBO_AddStaticGeometryEntity2(geometry, top, 0.5f, 0, 0, 1, 1, 1);
  engine->PBO_AddStaticGeometryEntity2(geometry, top, 1.0f, 0, 0, 1, 1, 1);
  engine->PBO_SetEntityMaterial(10, stone);
  engine->PBO_AddStaticGeometryEntity2(geometry, top, 1.5f, 0, 0, 1, 1, 1);

  ASSERT_EQ(Stored().batches.size(), 2u);
  EXPECT_EQ(Stored().batches[0].materialKey, 1);
  EXPECT_EQ(Stored().batches[0].vertices.size(), 8u);
  EXPECT_EQ(Stored().batches[1].materialKey, 2);
  // Indices of a later face point at its own vertices.
  EXPECT_EQ(IndicesOf(Stored().batches[1]), (std::vector<uint32_t>{2, 1, 0, 0, 3, 2, 6, 5, 4, 4, 7, 6}));
  EXPECT_EQ(Stored().faceCount, 8u);
}

TEST_F(StaticGeometryContents, RefusesMissingGeometryOrEntity) {
  EXPECT_EQ(engine->PBO_AddStaticGeometryEntity2(geometry + 1, engine->PBO_EntityID(10), 0, 0, 0, 1, 1, 1), 0);
  EXPECT_EQ(engine->PBO_AddStaticGeometryEntity2(geometry, 999, 0, 0, 0, 1, 1, 1), 0);
  EXPECT_EQ(engine->PBO_BuildStaticGeometry(geometry + 1), 0);
  EXPECT_TRUE(Stored().batches.empty());
}

TEST_F(StaticGeometryContents, BuildingMakesItDrawableAndFreeingOneOrAllRemovesIt) {
  EXPECT_EQ(Stored().builtRevision, 0u);
  EXPECT_EQ(engine->PBO_BuildStaticGeometry(geometry), 1);
  EXPECT_EQ(Stored().builtRevision, 1u);

  const int second = engine->PBO_CreateStaticGeometry(-1, 32, 50, 32, 0);
  const int third = engine->PBO_CreateStaticGeometry(-1, 32, 50, 32, 0);
  EXPECT_EQ(engine->StaticGeometryCount(), 3);
  EXPECT_EQ(engine->PBO_FreeStaticGeometry(second), 1);
  EXPECT_EQ(engine->PBO_IsStaticGeometry(second), 0);
  EXPECT_EQ(engine->PBO_FreeStaticGeometry(second), 0);
  EXPECT_EQ(engine->PBO_AddStaticGeometryEntity2(second, engine->PBO_EntityID(10), 0, 0, 0, 1, 1, 1), 0);
  EXPECT_EQ(engine->PBO_IsStaticGeometry(third), 1);

  EXPECT_EQ(engine->PBO_FreeStaticGeometry(-1), 1);
  EXPECT_EQ(engine->StaticGeometryCount(), 0);
  EXPECT_EQ(engine->PBO_IsStaticGeometry(geometry), 0);
  EXPECT_EQ(engine->PBO_IsStaticGeometry(third), 0);
  // New geometry never takes a freed handle, so a stale handle stays dead.
  const int fourth = engine->PBO_CreateStaticGeometry(-1, 32, 50, 32, 0);
  EXPECT_NE(fourth, geometry);
  EXPECT_NE(fourth, third);
  EXPECT_EQ(engine->PBO_IsStaticGeometry(third), 0);
}

TEST_F(StaticGeometryContents, AFreedGeometrysListsServeTheNextOneEmpty) {
  for (int i = 0; i < 100; ++i) engine->PBO_AddStaticGeometryEntity2(geometry, engine->PBO_EntityID(10), float(i), 0, 0, 1, 1, 1);
  engine->PBO_FreeStaticGeometry(geometry);
  const int next = engine->PBO_CreateStaticGeometry(-1, 32, 50, 32, 1);
  engine->PBO_AddStaticGeometryEntity2(next, engine->PBO_EntityID(11), 7, 8, 9, 1, 1, 1);
  const StaticGeometry& fresh = *engine->FindStaticGeometry(next);
  ASSERT_EQ(fresh.batches.size(), 1u);
  EXPECT_EQ(fresh.batches[0].vertices.size(), 4u);
  EXPECT_EQ(IndicesOf(fresh.batches[0]), (std::vector<uint32_t>{2, 1, 0, 0, 3, 2}));
  EXPECT_EQ(fresh.faceCount, 2u);
  ExpectNear(fresh.boundsMin, {6.75f, 7.75f, 8.75f});
}

TEST_F(StaticGeometryContents, MeshBlocksArePlacedWithTheirTransformedMesh) {
  // A mesh block as the block definitions make it: transformed once, then copied rotated.
  const int meshHandle = engine->PBO_CreateMesh(-1);
  ASSERT_NE(meshHandle, 0);
  engine->PBO_MeshVertex2(0, 0, 0, 0, 0, -1, 0, 0, 1);
  engine->PBO_MeshVertex2(10, 0, 0, 1, 0, -1, 0, 0, 1);
  engine->PBO_MeshVertex2(0, 10, 0, 0, 1, -1, 0, 0, 1);
  engine->PBO_MeshFace(0, 1, 2);
  engine->PBO_FinishMesh(1);
  EXPECT_EQ(engine->PBO_TransformMesh(meshHandle, 0.03f, -0.36f, 0, 0.02f, 0.02f, 0.02f, -90, 90, 0), 1);
  const Mesh* transformed = engine->GetScene().meshes.Find(meshHandle);
  // (10, 0, 0) scaled to (0.2, 0, 0), turned -90 about x (stays), then 90 about y: (0, 0, -0.2).
  ExpectNear(transformed->vertices[1].position, {0.03f, -0.36f, -0.2f});
  // (0, 10, 0) -> (0, 0.2, 0) -> about x -90: (0, 0, -0.2) -> about y 90: (-0.2, 0, 0).
  ExpectNear(transformed->vertices[2].position, {0.03f - 0.2f, -0.36f, 0});
  // The normal (0, 0, 1) turns with the mesh: -90 about x makes it (0, 1, 0), y keeps it.
  ExpectNear(transformed->vertices[0].normal, {0, 1, 0});

  const int entity = engine->PBO_CreateEntity2(-1, meshHandle, stone);
  engine->PBO_AddStaticGeometryEntity3(geometry, entity, 5, 6, 7, 1, 1.4f, 1, 180, 0, 0);
  const GeometryBatch& batch = Stored().batches[0];
  ExpectNear(PositionOf(batch.vertices[0]), {5.03f, 6 + 0.36f * 1.4f, 7});
}

}  // namespace
}  // namespace orelens::platform
