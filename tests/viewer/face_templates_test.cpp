#include <gtest/gtest.h>

#include <glm/glm.hpp>

#include "platform/engine3d/engine3d.h"
#include "platform/engine3d/object_table.h"
#include "platform/engine3d/scene.h"
#include "viewer/face_templates.h"

namespace orelens::viewer {
namespace {

using platform::object_ref::KeyOf;

struct ExpectedVertex {
  float x, y, z, u, v;
};

class FaceTemplatesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engine->PBO_InitEngine3D(2);
    for (int type = 0; type < 256; ++type) {
      engine->PBO_CreateTexture(type, 32, 32);
      engine->PBO_CreateMaterial(type, engine->PBO_TextureID(type));
    }
    engine->PBO_CreateTexture(999, 1, 1);
    engine->PBO_CreateTexture(500, 8, 8);
    definitions[0].faceMaterials = {engine->PBO_CreateMaterial(-1, engine->PBO_TextureID(500)), 0, 0, 0, 0, 0};
    EXPECT_EQ(CreateFaceTemplateMeshes(*engine, definitions), 0);
  }

  const platform::Mesh& MeshOf(int number) {
    const platform::Mesh* mesh = engine->GetScene().meshes.Find(number);
    EXPECT_NE(mesh, nullptr) << number;
    static const platform::Mesh kEmpty;
    return mesh ? *mesh : kEmpty;
  }
  const platform::Entity& EntityOf(int number) {
    const platform::Entity* entity = engine->GetScene().entities.Find(number);
    EXPECT_NE(entity, nullptr) << number;
    static const platform::Entity kEmpty;
    return entity ? *entity : kEmpty;
  }
  static glm::vec3 TriangleNormal(const platform::Mesh& mesh, size_t triangle) {
    const glm::vec3 a = mesh.vertices[mesh.indices[triangle * 3]].position;
    const glm::vec3 b = mesh.vertices[mesh.indices[triangle * 3 + 1]].position;
    const glm::vec3 c = mesh.vertices[mesh.indices[triangle * 3 + 2]].position;
    return glm::normalize(glm::cross(b - a, c - a));
  }
  static void ExpectVertices(const platform::Mesh& mesh, const std::vector<ExpectedVertex>& expected) {
    ASSERT_EQ(mesh.vertices.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      const platform::MeshVertex& vertex = mesh.vertices[i];
      EXPECT_EQ(vertex.position, glm::vec3(expected[i].x, expected[i].y, expected[i].z)) << "vertex " << i;
      EXPECT_EQ(vertex.uv, glm::vec2(expected[i].u, expected[i].v)) << "vertex " << i;
      EXPECT_EQ(vertex.rgba, 0xFFFFFFFFu) << "vertex " << i;
    }
  }

  std::unique_ptr<platform::Engine3D> engine = platform::MakeHeadlessEngine();
  BlockDefinitionTable definitions{};
};

constexpr float h = 0.25f;

TEST_F(FaceTemplatesTest, FaceQuadsHaveTheirCornersTexturesAndOutwardTriangles) {
  const std::vector<ExpectedVertex> quads[6] = {
      {{-h, h, -h, 0, 1}, {h, h, -h, 0, 0}, {h, h, h, 1, 0}, {-h, h, h, 1, 1}},
      {{-h, -h, h, 0, 1}, {h, -h, h, 0, 0}, {h, -h, -h, 1, 0}, {-h, -h, -h, 1, 1}},
      {{-h, h, -h, 0, 0}, {-h, h, h, 1, 0}, {-h, -h, h, 1, 1}, {-h, -h, -h, 0, 1}},
      {{h, h, h, 0, 0}, {h, h, -h, 1, 0}, {h, -h, -h, 1, 1}, {h, -h, h, 0, 1}},
      {{-h, h, h, 0, 0}, {h, h, h, 1, 0}, {h, -h, h, 1, 1}, {-h, -h, h, 0, 1}},
      {{h, h, -h, 0, 0}, {-h, h, -h, 1, 0}, {-h, -h, -h, 1, 1}, {h, -h, -h, 0, 1}},
  };
  const glm::vec3 normals[6] = {{0, 1, 0}, {0, -1, 0}, {-1, 0, 0}, {1, 0, 0}, {0, 0, 1}, {0, 0, -1}};
  for (int face = 0; face < 6; ++face) {
    SCOPED_TRACE(face);
    const platform::Mesh& mesh = MeshOf(kTopFaceMesh + face);
    EXPECT_TRUE(mesh.finished);
    ExpectVertices(mesh, quads[face]);
    for (const platform::MeshVertex& vertex : mesh.vertices) EXPECT_EQ(vertex.normal, normals[face]);
    EXPECT_EQ(mesh.indices, (std::vector<uint32_t>{2, 1, 0, 0, 3, 2}));
    for (size_t triangle = 0; triangle < 2; ++triangle) {
      const glm::vec3 winding = TriangleNormal(mesh, triangle);
      EXPECT_NEAR(glm::dot(winding, normals[face]), 1.0f, 1e-6f) << "counter-clockwise seen from outside";
    }
  }
}

TEST_F(FaceTemplatesTest, CrossedQuadsHaveOneTriangleFacingEitherWay) {
  const platform::Mesh& mesh = MeshOf(kCrossedQuadMesh);
  ExpectVertices(mesh, {{0, -h, -h, 1, 1}, {0, -h, h, 0, 1}, {0, h, h, 0, 0}, {0, h, -h, 1, 0},
                        {-h, -h, 0, 1, 1}, {h, -h, 0, 0, 1}, {h, h, 0, 0, 0}, {-h, h, 0, 1, 0}});
  for (const platform::MeshVertex& vertex : mesh.vertices) EXPECT_EQ(vertex.normal, glm::vec3(0.0f)) << "no normals";
  EXPECT_EQ(mesh.indices, (std::vector<uint32_t>{2, 1, 0, 2, 3, 0, 6, 5, 4, 6, 7, 4}));
  EXPECT_NEAR(glm::dot(TriangleNormal(mesh, 0), TriangleNormal(mesh, 1)), -1.0f, 1e-6f);
  EXPECT_NEAR(glm::dot(TriangleNormal(mesh, 2), TriangleNormal(mesh, 3)), -1.0f, 1e-6f);
}

TEST_F(FaceTemplatesTest, TheCubeSpansHalfABlock) {
  const platform::Mesh& cube = MeshOf(kCubeMesh);
  ASSERT_FALSE(cube.vertices.empty());
  glm::vec3 low(1e9f), high(-1e9f);
  for (const platform::MeshVertex& vertex : cube.vertices) {
    low = glm::min(low, vertex.position);
    high = glm::max(high, vertex.position);
  }
  EXPECT_EQ(low, glm::vec3(-h));
  EXPECT_EQ(high, glm::vec3(h));
}

TEST_F(FaceTemplatesTest, EntitiesCarryTheirMeshesMaterialsAndVisibility) {
  ASSERT_TRUE(engine->PBO_IsMaterial(kBorderMaterial));
  EXPECT_EQ(engine->GetScene().materials.Find(kBorderMaterial)->textureKey, 999);
  for (int face = 0; face < 6; ++face) {
    const platform::Entity& border = EntityOf(kFirstBorderFaceEntity + face);
    EXPECT_EQ(border.meshKey, kTopFaceMesh + face);
    EXPECT_EQ(border.materialKey, kBorderMaterial);
    EXPECT_TRUE(border.hidden);

    const platform::Entity& faceTemplate = EntityOf(kFirstFaceTemplateEntity + face);
    EXPECT_EQ(faceTemplate.meshKey, kTopFaceMesh + face);
    EXPECT_EQ(faceTemplate.materialKey, 0);
    EXPECT_FALSE(faceTemplate.hidden);
  }
  const platform::Entity& crossed = EntityOf(kCrossedQuadEntity);
  EXPECT_EQ(crossed.meshKey, kCrossedQuadMesh);
  EXPECT_EQ(crossed.materialKey, KeyOf(definitions[0].faceMaterials[0])) << "type 0's first face material";
  EXPECT_TRUE(crossed.hidden);
}

}  // namespace
}  // namespace orelens::viewer
