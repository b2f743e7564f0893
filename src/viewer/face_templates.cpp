#include "viewer/face_templates.h"

#include "platform/engine3d/engine3d.h"
#include "platform/image/image.h"

namespace orelens::viewer {
namespace {

constexpr int kWhite = static_cast<int>(platform::PackRgba(255, 255, 255, 255));
constexpr float kHalf = 0.25f;  // every template spans half a block around its origin

struct TemplateVertex {
  float x, y, z, u, v;
};

struct FaceQuad {
  TemplateVertex vertices[4];
  float nx, ny, nz;
};

// Meshes 10..15 in order. On the four side faces v = 0 is the upper edge.
constexpr FaceQuad kFaceQuads[6] = {
    {{{-kHalf, kHalf, -kHalf, 0, 1}, {kHalf, kHalf, -kHalf, 0, 0}, {kHalf, kHalf, kHalf, 1, 0}, {-kHalf, kHalf, kHalf, 1, 1}},
     0, 1, 0},
    {{{-kHalf, -kHalf, kHalf, 0, 1}, {kHalf, -kHalf, kHalf, 0, 0}, {kHalf, -kHalf, -kHalf, 1, 0}, {-kHalf, -kHalf, -kHalf, 1, 1}},
     0, -1, 0},
    {{{-kHalf, kHalf, -kHalf, 0, 0}, {-kHalf, kHalf, kHalf, 1, 0}, {-kHalf, -kHalf, kHalf, 1, 1}, {-kHalf, -kHalf, -kHalf, 0, 1}},
     -1, 0, 0},
    {{{kHalf, kHalf, kHalf, 0, 0}, {kHalf, kHalf, -kHalf, 1, 0}, {kHalf, -kHalf, -kHalf, 1, 1}, {kHalf, -kHalf, kHalf, 0, 1}},
     1, 0, 0},
    {{{-kHalf, kHalf, kHalf, 0, 0}, {kHalf, kHalf, kHalf, 1, 0}, {kHalf, -kHalf, kHalf, 1, 1}, {-kHalf, -kHalf, kHalf, 0, 1}},
     0, 0, 1},
    {{{kHalf, kHalf, -kHalf, 0, 0}, {-kHalf, kHalf, -kHalf, 1, 0}, {-kHalf, -kHalf, -kHalf, 1, 1}, {kHalf, -kHalf, -kHalf, 0, 1}},
     0, 0, -1},
};

// Mesh 16: the quads in the planes x = 0 and z = 0. Their second triangles wind the other way
// than the face quads', so each quad has one triangle facing either side.
constexpr TemplateVertex kCrossedQuadVertices[8] = {
    {0, -kHalf, -kHalf, 1, 1}, {0, -kHalf, kHalf, 0, 1}, {0, kHalf, kHalf, 0, 0}, {0, kHalf, -kHalf, 1, 0},
    {-kHalf, -kHalf, 0, 1, 1}, {kHalf, -kHalf, 0, 0, 1}, {kHalf, kHalf, 0, 0, 0}, {-kHalf, kHalf, 0, 1, 0},
};
constexpr int kCrossedQuadTriangles[4][3] = {{2, 1, 0}, {2, 3, 0}, {6, 5, 4}, {6, 7, 4}};
constexpr int kFaceQuadTriangles[2][3] = {{2, 1, 0}, {0, 3, 2}};

}  // namespace

int CreateFaceTemplateMeshes(platform::Engine3D& engine, const BlockDefinitionTable& definitions) {
  engine.PBO_CreateMesh(kCrossedQuadMesh);
  for (const TemplateVertex& vertex : kCrossedQuadVertices) {
    engine.PBO_MeshVertex(vertex.x, vertex.y, vertex.z, vertex.u, vertex.v, kWhite);
  }
  for (const auto& triangle : kCrossedQuadTriangles) engine.PBO_MeshFace(triangle[0], triangle[1], triangle[2]);
  engine.PBO_FinishMesh(1);
  engine.PBO_BuildMeshShadowVolume(kCrossedQuadMesh);

  engine.PBO_CreateCube(kCubeMesh, 0.5f);

  for (int face = 0; face < 6; ++face) {
    const FaceQuad& quad = kFaceQuads[face];
    engine.PBO_CreateMesh(kTopFaceMesh + face);
    for (const TemplateVertex& vertex : quad.vertices) {
      engine.PBO_MeshVertex2(vertex.x, vertex.y, vertex.z, vertex.u, vertex.v, kWhite, quad.nx, quad.ny, quad.nz);
    }
    for (const auto& triangle : kFaceQuadTriangles) engine.PBO_MeshFace(triangle[0], triangle[1], triangle[2]);
    engine.PBO_FinishMesh(1);
    engine.PBO_BuildMeshShadowVolume(kTopFaceMesh + face);
  }

  engine.PBO_CreateMaterial(kBorderMaterial, engine.PBO_TextureID(kBorderMaterial));

  for (int face = 0; face < 6; ++face) {
    engine.PBO_CreateEntity2(kFirstBorderFaceEntity + face, engine.PBO_MeshID(kTopFaceMesh + face),
                             engine.PBO_MaterialID(kBorderMaterial));
    engine.PBO_HideEntity(kFirstBorderFaceEntity + face, 1);
  }

  engine.PBO_CreateEntity2(kCrossedQuadEntity, engine.PBO_MeshID(kCrossedQuadMesh),
                           engine.PBO_MaterialID(definitions[0].faceMaterials[0]));
  engine.PBO_HideEntity(kCrossedQuadEntity, 1);

  for (int face = 0; face < 6; ++face) {
    engine.PBO_CreateEntity2(kFirstFaceTemplateEntity + face, engine.PBO_MeshID(kTopFaceMesh + face),
                             engine.PBO_MaterialID(0));
  }
  return 0;
}

}  // namespace orelens::viewer
