// Merging block faces at build: the same adds go to an engine that merges and to one that keeps
// the faces as added, and the built geometries must cover the same places with the same texel,
// normal, colour and facing, with fewer triangles.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <optional>
#include <tuple>
#include <algorithm>
#include <vector>

#include "engine3d_test_scene.h"
#include "platform/engine3d/engine3d.h"
#include "platform/engine3d/scene.h"

namespace orelens::platform {
namespace {

using engine3d_test::MakeColourMaterial;
using engine3d_test::MakeFaceQuads;

constexpr int kTop = 10, kBottom = 11, kMinusX = 12, kPlusX = 13, kPlusZ = 14, kMinusZ = 15;

float Axis(const GeometryVertex& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

// What a geometry shows at a point of a face plane: the triangle covering it, interpolated.
struct Surface {
  int material = 0;
  float u = 0, v = 0;
  int nx = 0, ny = 0, nz = 0;
  uint32_t rgba = 0;
  int facing = 0;  // +1 or -1 about the plane's axis
  bool onEdge = false;  // the point lies on the triangle's edge
};

// Every triangle of the geometry that covers `point` on the plane `axis` = point[axis].
std::vector<Surface> SurfacesAt(const StaticGeometry& geometry, glm::vec3 point, int axis) {
  const int p = (axis + 1) % 3, q = (axis + 2) % 3;
  std::vector<Surface> found;
  for (const GeometryBatch& batch : geometry.batches)
    for (size_t t = 0; t + 2 < batch.indices.size(); t += 3) {
      const GeometryVertex& a = batch.vertices[batch.indices[t]];
      const GeometryVertex& b = batch.vertices[batch.indices[t + 1]];
      const GeometryVertex& c = batch.vertices[batch.indices[t + 2]];
      if (Axis(a, axis) != point[axis] || Axis(b, axis) != point[axis] || Axis(c, axis) != point[axis]) continue;
      const float ap = Axis(a, p), aq = Axis(a, q);
      const float bp = Axis(b, p) - ap, bq = Axis(b, q) - aq, cp = Axis(c, p) - ap, cq = Axis(c, q) - aq;
      const float xp = point[p] - ap, xq = point[q] - aq;
      const float area = bp * cq - bq * cp;
      if (area == 0) continue;
      const float wb = (xp * cq - xq * cp) / area, wc = (bp * xq - bq * xp) / area, wa = 1 - wb - wc;
      constexpr float kEdge = 1e-5f;
      if (wa < -kEdge || wb < -kEdge || wc < -kEdge) continue;
      found.push_back({batch.materialKey, wa * a.u + wb * b.u + wc * c.u, wa * a.v + wb * b.v + wc * c.v, a.nx, a.ny,
                       a.nz, a.rgba, area > 0 ? 1 : -1, std::min({wa, wb, wc}) < kEdge});
    }
  return found;
}

double Area(const StaticGeometry& geometry) {
  double total = 0;
  for (const GeometryBatch& batch : geometry.batches)
    for (size_t t = 0; t + 2 < batch.indices.size(); t += 3) {
      const GeometryVertex& a = batch.vertices[batch.indices[t]];
      const GeometryVertex& b = batch.vertices[batch.indices[t + 1]];
      const GeometryVertex& c = batch.vertices[batch.indices[t + 2]];
      total += glm::length(glm::cross(glm::vec3(b.x - a.x, b.y - a.y, b.z - a.z), glm::vec3(c.x - a.x, c.y - a.y, c.z - a.z))) / 2;
    }
  return total;
}

size_t Triangles(const StaticGeometry& geometry) {
  size_t count = 0;
  for (const GeometryBatch& batch : geometry.batches) count += batch.indices.size() / 3;
  return count;
}

// The fractional part: a texture that repeats shows the same texel at u and u + 1.
float Repeat(float value) { return value - std::floor(value); }

class FaceMerging : public ::testing::Test {
 protected:
  void SetUp() override {
    for (Engine3D* engine : {merging.get(), asAdded.get()}) {
      MakeFaceQuads(*engine);
      stone = MakeColourMaterial(*engine, 1, PackRgba(128, 128, 128));
      grass = MakeColourMaterial(*engine, 2, PackRgba(0, 200, 0));
      for (int k = 0; k < 6; ++k) engine->PBO_CreateEntity2(10 + k, engine->PBO_MeshID(10 + k), stone);
      geometry = engine->PBO_CreateStaticGeometry(-1, 32, 50, 32, 1);
    }
    asAdded->SetStaticGeometryMerging(false);
  }

  void Both(const std::function<void(Engine3D&)>& step) {
    step(*merging);
    step(*asAdded);
  }
  void Add(int entity, float x, float y, float z, float sx = 1, float sy = 1, float sz = 1) {
    Both([&](Engine3D& e) { e.PBO_AddStaticGeometryEntity2(geometry, e.PBO_EntityID(entity), x, y, z, sx, sy, sz); });
  }
  void AddTurned(int entity, float x, float y, float z, float angleY) {
    Both([&](Engine3D& e) {
      e.PBO_AddStaticGeometryEntity3(geometry, e.PBO_EntityID(entity), x, y, z, 1, 1, 1, 0, angleY, 0);
    });
  }
  void Build() {
    Both([&](Engine3D& e) { ASSERT_EQ(e.PBO_BuildStaticGeometry(geometry), 1); });
  }
  const StaticGeometry& Merged() { return *merging->FindStaticGeometry(geometry); }
  const StaticGeometry& Unmerged() { return *asAdded->FindStaticGeometry(geometry); }

  // Every face of the unmerged geometry, sampled inside and near its edges and corners, shows
  // the same in the merged one, exactly once; and nothing else is covered.
  void ExpectSamePicture() {
    for (const GeometryBatch& batch : Unmerged().batches)
      for (size_t t = 0; t + 2 < batch.indices.size(); t += 3) {
        const GeometryVertex& a = batch.vertices[batch.indices[t]];
        const GeometryVertex& b = batch.vertices[batch.indices[t + 1]];
        const GeometryVertex& c = batch.vertices[batch.indices[t + 2]];
        int axis = -1;
        for (int k = 0; k < 3; ++k)
          if (Axis(a, k) == Axis(b, k) && Axis(a, k) == Axis(c, k)) axis = k;
        if (axis < 0) continue;  // turned faces: compared where the test adds them
        // Points inside the triangle, some close to its corners and edges.
        for (const glm::vec3 weights : {glm::vec3(1, 1, 1) / 3.0f, glm::vec3(0.9f, 0.05f, 0.05f), glm::vec3(0.05f, 0.9f, 0.05f),
                                        glm::vec3(0.05f, 0.05f, 0.9f), glm::vec3(0.49f, 0.49f, 0.02f),
                                        glm::vec3(0.02f, 0.49f, 0.49f)}) {
          glm::vec3 point = weights.x * glm::vec3(a.x, a.y, a.z) + weights.y * glm::vec3(b.x, b.y, b.z) +
                            weights.z * glm::vec3(c.x, c.y, c.z);
          point[axis] = Axis(a, axis);
          const std::vector<Surface> before = SurfacesAt(Unmerged(), point, axis);
          const std::vector<Surface> after = SurfacesAt(Merged(), point, axis);
          ASSERT_EQ(before.size(), 1u) << "the fixture overlaps itself";
          // Exactly one triangle, or two on the diagonal that splits a rectangle.
          ASSERT_GE(after.size(), 1u) << "a hole at " << point.x << "," << point.y << "," << point.z;
          ASSERT_LE(after.size() - (after.size() == 2 && after[0].onEdge && after[1].onEdge), 1u)
              << "covered twice at " << point.x << "," << point.y << "," << point.z;
          for (const Surface& seen : after) {
            EXPECT_EQ(seen.material, before[0].material);
            EXPECT_NEAR(Repeat(seen.u + 1e-4f), Repeat(before[0].u + 1e-4f), 2e-3f) << "at " << point.x << "," << point.z;
            EXPECT_NEAR(Repeat(seen.v + 1e-4f), Repeat(before[0].v + 1e-4f), 2e-3f) << "at " << point.x << "," << point.z;
            EXPECT_EQ(seen.nx, before[0].nx);
            EXPECT_EQ(seen.ny, before[0].ny);
            EXPECT_EQ(seen.nz, before[0].nz);
            EXPECT_EQ(seen.rgba, before[0].rgba);
            EXPECT_EQ(seen.facing, before[0].facing);
          }
        }
      }
    EXPECT_NEAR(Area(Merged()), Area(Unmerged()), 1e-4);
  }

  std::unique_ptr<Engine3D> merging = MakeHeadlessEngine();
  std::unique_ptr<Engine3D> asAdded = MakeHeadlessEngine();
  int stone = 0, grass = 0, geometry = 0;
};

TEST_F(FaceMerging, AFieldOfTopFacesBecomesOneRectangleWithTheTextureOncePerBlock) {
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 4; ++col) Add(kTop, 8.5f + col * 0.5f, 3, -4 + row * 0.5f);
  Build();
  EXPECT_EQ(Triangles(Merged()), 2u);
  EXPECT_EQ(Triangles(Unmerged()), 24u);
  ExpectSamePicture();
  // The rectangle spans the field; its texture coordinates run over four and three repeats.
  float lowU = 1e9f, highU = -1e9f, lowV = 1e9f, highV = -1e9f;
  for (const GeometryVertex& v : Merged().batches[0].vertices) {
    EXPECT_TRUE(v.x == 8.25f || v.x == 10.25f) << v.x;
    EXPECT_TRUE(v.z == -4.25f || v.z == -2.75f) << v.z;
    lowU = std::min(lowU, v.u), highU = std::max(highU, v.u), lowV = std::min(lowV, v.v), highV = std::max(highV, v.v);
  }
  // On the top face u runs along z and v against x.
  EXPECT_EQ(highU - lowU, 3.0f);
  EXPECT_EQ(highV - lowV, 4.0f);
  EXPECT_EQ(Merged().faceCount, Unmerged().faceCount);  // every face added still counts
}

TEST_F(FaceMerging, AllSixDirectionsAndRaggedShapesKeepTheirPicture) {
  // A terrain-like patch: an L of tops with a hole, steps with side faces, bottoms below.
  for (int row = 0; row < 6; ++row)
    for (int col = 0; col < 6; ++col) {
      if ((col == 2 && row == 3) || (col > 3 && row > 3)) continue;
      const float x = col * 0.5f, z = row * 0.5f, y = col > 2 ? 1.0f : 0.5f;
      Add(kTop, x, y, z);
      Add(kBottom, x, -2, z);
      if (col == 3) Add(kMinusX, x, y, z);
      if (row == 0) Add(kMinusZ, x, y, z);
      if (row == 5 || (col > 3 && row == 3)) Add(kPlusZ, x, y, z);
    }
  for (int height = 0; height < 4; ++height)
    for (int row = 0; row < 5; ++row) Add(kPlusX, 7, height * 0.5f, row * 0.5f);
  Build();
  EXPECT_LT(Triangles(Merged()) * 4, Triangles(Unmerged()));
  ExpectSamePicture();
}

TEST_F(FaceMerging, FacesOfOtherSizesShapesOrTurnsStayAsAdded) {
  // Border-column faces 0.9 wide, a border slab 0.1 wide, a torch-like turned face and a mesh of
  // one triangle, each beside unit faces that they must not join.
  for (int row = 0; row < 3; ++row) {
    Add(kTop, 15.475f, 2, row * 0.5f, 0.9f, 1, 1);
    Add(kTop, 15.725f, 2, row * 0.5f, 0.1f, 1, 1);
    Add(kTop, 15.0f, 2, row * 0.5f);
  }
  Both([&](Engine3D& e) {
    const int mesh = e.PBO_CreateMesh(-1);
    e.PBO_MeshVertex2(-0.25f, 0.25f, -0.25f, 0, 0, -1, 0, 1, 0);
    e.PBO_MeshVertex2(0.25f, 0.25f, -0.25f, 1, 0, -1, 0, 1, 0);
    e.PBO_MeshVertex2(0.25f, 0.25f, 0.25f, 1, 1, -1, 0, 1, 0);
    e.PBO_MeshFace(2, 1, 0);
    e.PBO_FinishMesh(1);
    e.PBO_CreateEntity2(40, mesh, stone);
  });
  Add(40, 14.5f, 2, 0);
  AddTurned(kPlusX, 14.5f, 2.5f, 0, 30);
  // Block-sized quads that are not flat squares of one colour in an axis plane: one corner
  // lifted, one corner pulled in, one corner tinted. Each lies beside a unit face in the row z 2.
  Both([&](Engine3D& e) {
    const float shapes[3][4][3] = {{{-0.25f, 0.25f, -0.25f}, {0.25f, 0.35f, -0.25f}, {0.25f, 0.25f, 0.25f}, {-0.25f, 0.25f, 0.25f}},
                                   {{-0.25f, 0.25f, -0.25f}, {0.25f, 0.25f, -0.25f}, {0.25f, 0.25f, 0.25f}, {0.0f, 0.25f, 0.25f}},
                                   {{-0.25f, 0.25f, -0.25f}, {0.25f, 0.25f, -0.25f}, {0.25f, 0.25f, 0.25f}, {-0.25f, 0.25f, 0.25f}}};
    for (int shape = 0; shape < 3; ++shape) {
      const int mesh = e.PBO_CreateMesh(-1);
      const float uvs[4][2] = {{0, 1}, {0, 0}, {1, 0}, {1, 1}};
      for (int c = 0; c < 4; ++c) {
        const int rgba = shape == 2 && c == 2 ? int(0xFF0000FF) : -1;
        e.PBO_MeshVertex2(shapes[shape][c][0], shapes[shape][c][1], shapes[shape][c][2], uvs[c][0], uvs[c][1], rgba, 0, 1, 0);
      }
      e.PBO_MeshFace(2, 1, 0);
      e.PBO_MeshFace(0, 3, 2);
      e.PBO_FinishMesh(1);
      e.PBO_CreateEntity2(44 + shape, mesh, stone);
    }
  });
  Add(kTop, 10, 2, 2);
  Add(44, 10.5f, 2, 2);
  Add(kTop, 12, 2, 2);
  Add(45, 12.5f, 2, 2);
  Add(kTop, 14, 2, 2);
  Add(46, 14.5f, 2, 2);
  Build();
  ExpectSamePicture();
  // Only the three unit faces in a row became one rectangle.
  EXPECT_EQ(Triangles(Unmerged()), 3u * 2 * 3 + 1 + 2 + 12);
  EXPECT_EQ(Triangles(Merged()), 2u + 3 * 2 * 2 + 1 + 2 + 12);
  // The narrow faces' corners and the turned face (added last, so drawn last) are exactly as added.
  auto narrowCorners = [](const StaticGeometry& g) {
    std::vector<std::tuple<float, float, float, float, float>> corners;
    for (const GeometryVertex& v : g.batches[0].vertices)
      if (v.x > 15.26f) corners.emplace_back(v.x, v.y, v.z, v.u, v.v);
    std::sort(corners.begin(), corners.end());
    return corners;
  };
  EXPECT_EQ(narrowCorners(Merged()), narrowCorners(Unmerged()));
  EXPECT_EQ(narrowCorners(Merged()).size(), 3u * 2 + 3u * 4);
  auto lastCorners = [](const StaticGeometry& g) {
    const auto& vertices = g.batches[0].vertices;
    std::vector<std::tuple<float, float, float, float, float>> corners;
    for (size_t i = vertices.size() - 4; i < vertices.size(); ++i)
      corners.emplace_back(vertices[i].x, vertices[i].y, vertices[i].z, vertices[i].u, vertices[i].v);
    std::sort(corners.begin(), corners.end());
    return corners;
  };
  EXPECT_EQ(lastCorners(Merged()), lastCorners(Unmerged()));
}

TEST_F(FaceMerging, FacesFarApartInOnePlaneStillMergeAlongTheirRows) {
  // Two fields thousands of blocks apart: no grid spans them; each line of faces along z merges on
  // its own (three per field), the lone face at x 3002 stays.
  for (int row = 0; row < 2; ++row)
    for (int col = 0; col < 3; ++col) {
      Add(kTop, col * 0.5f, 0, row * 0.5f);
      Add(kTop, 3000 + col * 0.5f, 0, 3000 + row * 0.5f);
    }
  Add(kTop, 3002, 0, 3000);
  Build();
  ExpectSamePicture();
  EXPECT_EQ(Triangles(Merged()), 6u * 2 + 2);
}

TEST_F(FaceMerging, AFaceAddedTwiceOnOneSpotIsKeptBesideTheRectangle) {
  for (int col = 0; col < 3; ++col) Add(kTop, col * 0.5f, 0, 0);
  Add(kTop, 0.5f, 0, 0);
  Build();
  EXPECT_EQ(Triangles(Merged()), 2u + 2);
  EXPECT_EQ(SurfacesAt(Merged(), {0.7f, 0.25f, -0.1f}, 1).size(), 2u);
  EXPECT_EQ(SurfacesAt(Merged(), {0.1f, 0.25f, 0.1f}, 1).size(), 1u);
  EXPECT_NEAR(Area(Merged()), Area(Unmerged()), 1e-4);
}

TEST_F(FaceMerging, DifferentMaterialsNormalsColoursTurnsOrFacingNeverMerge) {
  // Side by side in one plane: stone, grass, stone again.
  Add(kTop, 0, 0, 0);
  Both([&](Engine3D& e) { e.PBO_SetEntityMaterial(kTop, grass); });
  Add(kTop, 0.5f, 0, 0);
  Both([&](Engine3D& e) { e.PBO_SetEntityMaterial(kTop, stone); });
  Add(kTop, 1.0f, 0, 0);
  // Top faces from meshes of their own: the texture laid on mirrored, a tinted colour, a tilted
  // normal.
  Both([&](Engine3D& e) {
    struct Variant {
      int number, rgba;
      float ny, nz;
      bool mirrored;
    };
    for (const Variant& variant : {Variant{43, -1, 1, 0, true}, Variant{41, int(0xFF00FFFF), 1, 0, false},
                                   Variant{42, -1, 0.8f, 0.6f, false}}) {
      const int mesh = e.PBO_CreateMesh(-1);
      const float corners[4][4] = {{-0.25f, -0.25f, 0, 1}, {0.25f, -0.25f, 0, 0}, {0.25f, 0.25f, 1, 0}, {-0.25f, 0.25f, 1, 1}};
      for (const auto& c : corners) {
        e.PBO_MeshVertex2(c[0], 0.25f, c[1], variant.mirrored ? c[3] : c[2], variant.mirrored ? c[2] : c[3], variant.rgba, 0,
                          variant.ny, variant.nz);
      }
      e.PBO_MeshFace(2, 1, 0);
      e.PBO_MeshFace(0, 3, 2);
      e.PBO_FinishMesh(1);
      e.PBO_CreateEntity2(variant.number, mesh, stone);
    }
  });
  Add(43, 1.5f, 0, 0);
  Add(41, 2.0f, 0, 0);
  Add(42, 2.5f, 0, 0);
  // Below the row, facing down: bottoms of the blocks one lower, in the same plane as nothing
  // else, but also a bottom face flipped into the top plane beside a top face.
  Add(kBottom, 3.0f, 0.5f, 0);
  Add(kTop, 3.5f, 0, 0);
  Build();
  ExpectSamePicture();
  EXPECT_EQ(Triangles(Merged()), Triangles(Unmerged()));
}

TEST_F(FaceMerging, ABuildAfterMoreAddsMergesTheNewFacesAndKeepsTheBuiltOnes) {
  for (int col = 0; col < 4; ++col) Add(kTop, col * 0.5f, 0, 0);
  Build();
  ASSERT_EQ(Triangles(Merged()), 2u);
  const std::vector<GeometryVertex> firstBuild(Merged().batches[0].vertices.begin(), Merged().batches[0].vertices.end());

  for (int col = 0; col < 4; ++col) Add(kTop, col * 0.5f, 0, 0.5f);
  Add(kMinusX, 0, 0, 0.5f);
  Build();
  ExpectSamePicture();
  EXPECT_EQ(Triangles(Merged()), 2u + 2 + 2);
  for (size_t i = 0; i < firstBuild.size(); ++i) {
    EXPECT_EQ(Merged().batches[0].vertices[i].x, firstBuild[i].x);
    EXPECT_EQ(Merged().batches[0].vertices[i].z, firstBuild[i].z);
  }
  // A third build with nothing new changes nothing.
  const size_t indices = Merged().batches[0].indices.size();
  Build();
  EXPECT_EQ(Merged().batches[0].indices.size(), indices);
  ExpectSamePicture();
}

TEST_F(FaceMerging, RectanglesAreDrawnWhereTheirFirstFaceWas) {
  // A run in one plane, a face of another plane, then more of the first run.
  Add(kTop, 0, 0, 0);
  Add(kTop, 0.5f, 0, 0);
  Add(kPlusX, 3, 0, 0);
  Add(kTop, 1.0f, 0, 0);
  Build();
  const GeometryBatch& batch = Merged().batches[0];
  ASSERT_EQ(batch.indices.size(), 12u);
  EXPECT_EQ(batch.vertices[batch.indices[0]].y, 0.25f);
  EXPECT_EQ(batch.vertices[batch.indices[6]].x, 3.25f);
  ExpectSamePicture();
}

TEST_F(FaceMerging, SeeThroughFacesMergeOnlyWhenNoneCanShowThroughAnother) {
  // Blended faces show in the order they are drawn where they overlap: a water surface alone in
  // its plane merges; leaves with faces in several planes keep every face in its place.
  Both([&](Engine3D& e) {
    e.PBO_MaterialBlendingMode(grass, 3);
    e.PBO_SetEntityMaterial(kTop, grass);
    e.PBO_SetEntityMaterial(kPlusX, grass);
  });
  for (int col = 0; col < 4; ++col) Add(kTop, col * 0.5f, 0, 0);
  Build();
  EXPECT_EQ(Triangles(Merged()), 2u);
  ExpectSamePicture();

  for (int col = 0; col < 4; ++col) {
    Add(kTop, col * 0.5f, 2, 0);
    Add(kPlusX, col * 0.5f, 2, 0);
  }
  Build();
  EXPECT_EQ(Triangles(Merged()), 2u + 16);
  ExpectSamePicture();
}

TEST_F(FaceMerging, SwitchedOffTheBuildKeepsEveryFaceAsAdded) {
  merging->SetStaticGeometryMerging(false);
  for (int col = 0; col < 4; ++col) Add(kTop, col * 0.5f, 0, 0);
  Build();
  ASSERT_EQ(Merged().batches[0].vertices.size(), Unmerged().batches[0].vertices.size());
  for (size_t i = 0; i < Merged().batches[0].vertices.size(); ++i) {
    EXPECT_EQ(Merged().batches[0].vertices[i].x, Unmerged().batches[0].vertices[i].x);
    EXPECT_EQ(Merged().batches[0].vertices[i].u, Unmerged().batches[0].vertices[i].u);
  }
  // Switched on again, only faces added after that build are merged.
  merging->SetStaticGeometryMerging(true);
  for (int col = 0; col < 4; ++col) Add(kTop, col * 0.5f, 0, 1);
  Build();
  EXPECT_EQ(Triangles(Merged()), 8u + 2);
  ExpectSamePicture();
}

}  // namespace
}  // namespace orelens::platform
