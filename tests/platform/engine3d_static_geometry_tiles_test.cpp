// Tiles: copies of a mesh side by side added at once. The same tiles go to one engine as tiles and
// to another copy by copy, and the geometries must cover the same places with the same texel,
// normal, colour and facing; a flat rectangle becomes one rectangle, any other mesh stays copies.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <tuple>
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

class Tiles : public ::testing::Test {
 protected:
  void SetUp() override {
    for (Engine3D* engine : {tiling.get(), copying.get()}) {
      MakeFaceQuads(*engine);
      stone = MakeColourMaterial(*engine, 1, PackRgba(128, 128, 128));
      grass = MakeColourMaterial(*engine, 2, PackRgba(0, 200, 0));
      for (int k = 0; k < 6; ++k) engine->PBO_CreateEntity2(10 + k, engine->PBO_MeshID(10 + k), stone);
      geometry = engine->PBO_CreateStaticGeometry(-1, 32, 50, 32, 1);
    }
  }

  void Both(const std::function<void(Engine3D&)>& step) {
    step(*tiling);
    step(*copying);
  }
  // copies.x x copies.y x copies.z copies of the entity from (x, y, z), each `step` on from the one
  // before: as tiles in one engine, added one by one in the other.
  void Tile(int entity, glm::vec3 at, glm::ivec3 copies, glm::vec3 step = glm::vec3(0.5f), glm::vec3 scale = glm::vec3(1),
            int material = 0) {
    material = material ? material : stone;
    const StaticGeometryTile tile{at.x, at.y, at.z, scale.x, scale.y, scale.z, copies.x, copies.y, copies.z, material};
    ASSERT_EQ(tiling->AddStaticGeometryTiles(geometry, tiling->PBO_EntityID(entity), {&tile, 1}), 1);
    copying->PBO_SetEntityMaterial(entity, material);
    for (int i = 0; i < copies.x; ++i)
      for (int j = 0; j < copies.y; ++j)
        for (int k = 0; k < copies.z; ++k)
          copying->PBO_AddStaticGeometryEntity2(geometry, copying->PBO_EntityID(entity), at.x + float(i) * step.x,
                                                at.y + float(j) * step.y, at.z + float(k) * step.z, scale.x, scale.y,
                                                scale.z);
  }
  void Build() {
    Both([&](Engine3D& e) { ASSERT_EQ(e.PBO_BuildStaticGeometry(geometry), 1); });
  }
  const StaticGeometry& Tiled() { return *tiling->FindStaticGeometry(geometry); }
  const StaticGeometry& Copied() { return *copying->FindStaticGeometry(geometry); }

  // Every face of the copies, sampled inside and near its edges and corners, shows the same in
  // the tiled geometry, exactly once; and nothing else is covered.
  void ExpectSamePicture() {
    for (const GeometryBatch& batch : Copied().batches)
      for (size_t t = 0; t + 2 < batch.indices.size(); t += 3) {
        const GeometryVertex& a = batch.vertices[batch.indices[t]];
        const GeometryVertex& b = batch.vertices[batch.indices[t + 1]];
        const GeometryVertex& c = batch.vertices[batch.indices[t + 2]];
        int axis = -1;
        for (int k = 0; k < 3; ++k)
          if (Axis(a, k) == Axis(b, k) && Axis(a, k) == Axis(c, k)) axis = k;
        if (axis < 0) continue;
        // Points inside the triangle, some close to its corners and edges.
        for (const glm::vec3 weights : {glm::vec3(1, 1, 1) / 3.0f, glm::vec3(0.9f, 0.05f, 0.05f), glm::vec3(0.05f, 0.9f, 0.05f),
                                        glm::vec3(0.05f, 0.05f, 0.9f), glm::vec3(0.49f, 0.49f, 0.02f),
                                        glm::vec3(0.02f, 0.49f, 0.49f)}) {
          glm::vec3 point = weights.x * glm::vec3(a.x, a.y, a.z) + weights.y * glm::vec3(b.x, b.y, b.z) +
                            weights.z * glm::vec3(c.x, c.y, c.z);
          point[axis] = Axis(a, axis);
          const std::vector<Surface> before = SurfacesAt(Copied(), point, axis);
          const std::vector<Surface> after = SurfacesAt(Tiled(), point, axis);
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
    EXPECT_NEAR(Area(Tiled()), Area(Copied()), 1e-4);
    EXPECT_EQ(Tiled().faceCount, Copied().faceCount);  // every copy counts
    EXPECT_EQ(Tiled().boundsMin, Copied().boundsMin);
    EXPECT_EQ(Tiled().boundsMax, Copied().boundsMax);
  }

  // A quad mesh of four corners (position, texture corner, colour) and the triangles given.
  int MakeQuad(int number, const std::array<std::array<float, 5>, 4>& corners, std::array<int, 6> triangles,
               std::array<int, 4> colours = {-1, -1, -1, -1}) {
    Both([&](Engine3D& e) {
      const int mesh = e.PBO_CreateMesh(-1);
      for (int c = 0; c < 4; ++c)
        e.PBO_MeshVertex2(corners[c][0], corners[c][1], corners[c][2], corners[c][3], corners[c][4], colours[c], 0, 1, 0);
      e.PBO_MeshFace(triangles[0], triangles[1], triangles[2]);
      e.PBO_MeshFace(triangles[3], triangles[4], triangles[5]);
      e.PBO_FinishMesh(1);
      e.PBO_CreateEntity2(number, mesh, stone);
    });
    return number;
  }

  std::unique_ptr<Engine3D> tiling = MakeHeadlessEngine();
  std::unique_ptr<Engine3D> copying = MakeHeadlessEngine();
  int stone = 0, grass = 0, geometry = 0;
};

// A top face quad's corners as mesh 10 has them, with the texture corners given.
std::array<std::array<float, 5>, 4> TopCorners(std::array<std::array<float, 2>, 4> uvs, float lift = 0, float pull = 0) {
  return {{{-0.25f, 0.25f, -0.25f, uvs[0][0], uvs[0][1]},
           {0.25f, 0.25f + lift, -0.25f, uvs[1][0], uvs[1][1]},
           {0.25f, 0.25f, 0.25f, uvs[2][0], uvs[2][1]},
           {-0.25f + pull, 0.25f, 0.25f, uvs[3][0], uvs[3][1]}}};
}
constexpr std::array<std::array<float, 2>, 4> kTopUvs = {{{0, 1}, {0, 0}, {1, 0}, {1, 1}}};
constexpr std::array<int, 6> kTopTriangles = {2, 1, 0, 0, 3, 2};

TEST_F(Tiles, AFieldOfTopFacesBecomesOneRectangleWithTheTextureOncePerBlock) {
  Tile(kTop, {8.5f, 3, -4}, {4, 1, 3});
  Build();
  EXPECT_EQ(Triangles(Tiled()), 2u);
  EXPECT_EQ(Triangles(Copied()), 24u);
  ExpectSamePicture();
  // The rectangle spans the field; its texture coordinates run over four and three repeats.
  float lowU = 1e9f, highU = -1e9f, lowV = 1e9f, highV = -1e9f;
  for (const GeometryVertex& v : Tiled().batches[0].vertices) {
    EXPECT_TRUE(v.x == 8.25f || v.x == 10.25f) << v.x;
    EXPECT_TRUE(v.z == -4.25f || v.z == -2.75f) << v.z;
    lowU = std::min(lowU, v.u), highU = std::max(highU, v.u), lowV = std::min(lowV, v.v), highV = std::max(highV, v.v);
  }
  // On the top face u runs along z and v against x.
  EXPECT_EQ(highU - lowU, 3.0f);
  EXPECT_EQ(highV - lowV, 4.0f);
}

TEST_F(Tiles, EveryDirectionAndSizeKeepsItsPicture) {
  Tile(kTop, {0, 1, 0}, {3, 1, 5});
  Tile(kBottom, {0, -2, 0}, {1, 1, 7});
  Tile(kMinusX, {4, 0, 0}, {1, 6, 2});
  Tile(kPlusX, {7, 0, 0}, {1, 4, 5});
  Tile(kPlusZ, {0, 0, 5}, {9, 2, 1});
  Tile(kMinusZ, {0, 0, -5}, {2, 3, 1});
  // Blocks 0.9 wide at a chunk's edge step by 0.45; the last copy's far edge is where the
  // rectangle's is.
  Tile(kTop, {20, 1, 0}, {3, 1, 4}, {0.45f, 0.5f, 0.5f}, {0.9f, 1, 1});
  Build();
  EXPECT_EQ(Triangles(Tiled()), 7u * 2);
  ExpectSamePicture();
}

TEST_F(Tiles, MeshesThatCannotStandForTheirCopiesAreCopied) {
  // A lifted corner, a corner pulled in, a tinted corner, a texture stretched over the quad, the
  // same triangle twice (three shared corners), triangles facing opposite ways, one triangle.
  const int lifted = MakeQuad(40, TopCorners(kTopUvs, 0.1f), kTopTriangles);
  const int pulled = MakeQuad(41, TopCorners(kTopUvs, 0, 0.25f), kTopTriangles);
  const int tinted = MakeQuad(42, TopCorners(kTopUvs), kTopTriangles, {-1, -1, int(0xFF0000FF), -1});
  const int stretched = MakeQuad(43, TopCorners({{{0, 0.5f}, {0, 0}, {0.5f, 0}, {0.5f, 0.5f}}}), kTopTriangles);
  const int twice = MakeQuad(44, TopCorners(kTopUvs), {2, 1, 0, 2, 1, 0});
  const int opposite = MakeQuad(45, TopCorners(kTopUvs), {2, 1, 0, 2, 3, 0});
  Both([&](Engine3D& e) {
    const int mesh = e.PBO_CreateMesh(-1);
    e.PBO_MeshVertex2(-0.25f, 0.25f, -0.25f, 0, 0, -1, 0, 1, 0);
    e.PBO_MeshVertex2(0.25f, 0.25f, -0.25f, 1, 0, -1, 0, 1, 0);
    e.PBO_MeshVertex2(0.25f, 0.25f, 0.25f, 1, 1, -1, 0, 1, 0);
    e.PBO_MeshFace(2, 1, 0);
    e.PBO_FinishMesh(1);
    e.PBO_CreateEntity2(46, mesh, stone);
  });
  const int rows[] = {lifted, pulled, tinted, stretched, twice, opposite, 46};
  for (int row = 0; row < 7; ++row) Tile(rows[row], {0, 0, float(row) * 2}, {3, 1, 1});
  Build();
  EXPECT_EQ(Triangles(Tiled()), Triangles(Copied()));
  EXPECT_EQ(Triangles(Tiled()), 6u * 3 * 2 + 3);
  // The copies are exactly where one by one puts them.
  auto corners = [](const StaticGeometry& g) {
    std::vector<std::tuple<float, float, float, float, float, uint32_t>> all;
    for (const GeometryVertex& v : g.batches[0].vertices) all.emplace_back(v.x, v.y, v.z, v.u, v.v, v.rgba);
    std::sort(all.begin(), all.end());
    return all;
  };
  EXPECT_EQ(corners(Tiled()), corners(Copied()));
}

TEST_F(Tiles, ATextureThatStepsByWholeRepeatsTilesMirroredOrNot) {
  // Twice across the quad, and mirrored: copies and one rectangle show the same texels.
  const int twice = MakeQuad(40, TopCorners({{{0, 2}, {0, 0}, {2, 0}, {2, 2}}}), kTopTriangles);
  const int mirrored = MakeQuad(41, TopCorners({{{1, 1}, {1, 0}, {0, 0}, {0, 1}}}), kTopTriangles);
  Tile(twice, {0, 0, 0}, {3, 1, 2});
  Tile(mirrored, {0, 0, 4}, {2, 1, 3});
  Build();
  EXPECT_EQ(Triangles(Tiled()), 4u);
  ExpectSamePicture();
}

TEST_F(Tiles, EachTileTakesItsOwnMaterial) {
  const StaticGeometryTile tiles[] = {{0, 0, 0, 1, 1, 1, 2, 1, 1, grass}, {2, 0, 0, 1, 1, 1, 1, 1, 3, stone},
                                      {4, 0, 0, 1, 1, 1, 1, 1, 1, grass}};
  ASSERT_EQ(tiling->AddStaticGeometryTiles(geometry, tiling->PBO_EntityID(kTop), tiles), 1);
  ASSERT_EQ(Tiled().batches.size(), 2u);
  EXPECT_EQ(Tiled().batches[0].materialKey, 2);
  EXPECT_EQ(Triangles(Tiled()), 6u);
  EXPECT_EQ(Tiled().faceCount, 12u);
  // The entity keeps its own material.
  EXPECT_EQ(tiling->EntityMaterial(kTop), stone);
  // No material, no copy along an axis, no geometry or entity: nothing is added.
  const StaticGeometryTile noMaterial{0, 0, 0, 1, 1, 1, 1, 1, 1, 12345};
  const StaticGeometryTile noCopies{0, 0, 0, 1, 1, 1, 0, 1, 1, stone};
  EXPECT_EQ(tiling->AddStaticGeometryTiles(geometry, tiling->PBO_EntityID(kTop), {&noMaterial, 1}), 0);
  EXPECT_EQ(tiling->AddStaticGeometryTiles(geometry, tiling->PBO_EntityID(kTop), {&noCopies, 1}), 0);
  for (const StaticGeometryTile& none : {StaticGeometryTile{0, 0, 0, 1, 1, 1, 1, 0, 1, stone},
                                         StaticGeometryTile{0, 0, 0, 1, 1, 1, 1, 1, 0, stone}})
    EXPECT_EQ(tiling->AddStaticGeometryTiles(geometry, tiling->PBO_EntityID(kTop), {&none, 1}), 0);
  EXPECT_EQ(tiling->AddStaticGeometryTiles(geometry + 99, tiling->PBO_EntityID(kTop), tiles), 0);
  EXPECT_EQ(tiling->AddStaticGeometryTiles(geometry, 999, tiles), 0);
  EXPECT_EQ(Triangles(Tiled()), 6u);
  // Faces of materials that come mixed, two of them remembered in one place (material 17 beside
  // stone, 1), each go on in their material's one batch.
  const int moss = MakeColourMaterial(*tiling, 17, PackRgba(0, 90, 0));
  for (int face = 0; face < 6; ++face) {
    const StaticGeometryTile single{float(face), 2, 0, 1, 1, 1, 1, 1, 1, face % 3 == 0 ? stone : face % 3 == 1 ? moss : grass};
    ASSERT_EQ(tiling->AddStaticGeometryTiles(geometry, tiling->PBO_EntityID(kTop), {&single, 1}), 1);
  }
  ASSERT_EQ(Tiled().batches.size(), 3u);
  EXPECT_EQ(Triangles(Tiled()), 18u);
  // Tiles that cannot be written straight (flattened to nothing) between tiles of one material,
  // each of a material new to the geometry: its batches move, the stone tiles still land in theirs.
  const int clay = MakeColourMaterial(*tiling, 18, PackRgba(150, 90, 60));
  const int sand = MakeColourMaterial(*tiling, 19, PackRgba(200, 190, 120));
  const StaticGeometryTile mixed[] = {{0, 4, 0, 1, 1, 1, 1, 1, 1, stone}, {1, 4, 0, 1, 0, 1, 1, 1, 1, clay},
                                      {2, 4, 0, 1, 1, 1, 1, 1, 1, stone}, {3, 4, 0, 1, 0, 1, 1, 1, 1, sand},
                                      {4, 4, 0, 1, 1, 1, 2, 1, 1, stone}};
  ASSERT_EQ(tiling->AddStaticGeometryTiles(geometry, tiling->PBO_EntityID(kTop), mixed), 1);
  ASSERT_EQ(Tiled().batches.size(), 5u);
  EXPECT_EQ(Triangles(Tiled()), 28u);
  EXPECT_EQ(Tiled().batches[1].materialKey, 1);
  EXPECT_EQ(Tiled().batches[1].indices.size(), 6u * 6);  // stone: 1 + 2 + 3 tiles
}

TEST_F(Tiles, AMaterialPastTheBatchLimitGoesOnInABatchOfItsOwn) {
  // 20,000 faces of one material apart from each other: 80,000 vertices, more than a batch holds.
  std::vector<StaticGeometryTile> faces;
  for (int face = 0; face < 20000; ++face) faces.push_back({float(face % 100), 0, float(face / 100), 1, 1, 1, 1, 1, 1, stone});
  ASSERT_EQ(tiling->AddStaticGeometryTiles(geometry, tiling->PBO_EntityID(kTop), faces), 1);
  ASSERT_EQ(tiling->PBO_BuildStaticGeometry(geometry), 1);
  ASSERT_EQ(Tiled().batches.size(), 5u);
  size_t vertices = 0;
  for (const GeometryBatch& batch : Tiled().batches) {
    EXPECT_EQ(batch.materialKey, 1);
    EXPECT_LE(batch.vertices.size(), 16384u);
    vertices += batch.vertices.size();
    for (uint32_t index : batch.indices) ASSERT_LT(index, batch.vertices.size());
  }
  EXPECT_EQ(vertices, 80000u);
  EXPECT_EQ(Triangles(Tiled()), 40000u);
}

}  // namespace
}  // namespace orelens::platform
