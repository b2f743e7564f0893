// What the chunk mesher puts into the geometries: where each face lies, which way it faces, how
// it is textured and which material it shows.
#include <gtest/gtest.h>

#include "viewer/chunk_mesher_test_scene.h"

namespace orelens::viewer {
namespace {

using mesher_test::Box;
using mesher_test::CellBox;
using mesher_test::CellCentre;
using mesher_test::CellFacesOf;
using mesher_test::TrianglesOf;
using mesher_test::Joined;
using mesher_test::kBorder;
using mesher_test::Sorted;
using world::kBlockCustom;
using world::kFaceBottom;
using world::kFaceMinusX;
using world::kFaceMinusZ;
using world::kFacePlusX;
using world::kFacePlusZ;
using world::kFaceTop;
using world::kFaceWholeBlock;

constexpr uint8_t kAllFaces = 0x3F;
// One type per texture layout, each with its own six materials (10 t + slot).
constexpr uint8_t kLayout0 = 1, kLayout1 = 2, kLayout2 = 3, kLayout3 = 4, kLayout4 = 5, kLayout5 = 6;
constexpr uint8_t kLayout7 = 8;  // no layout: the faces keep what they show
constexpr uint8_t kLantern = 15;  // a mesh block

std::array<int, 6> Same(int material) { return {material, material, material, material, material, material}; }

struct MesherFaces : mesher_test::MesherScene {
  void SetUp() override {
    MesherScene::SetUp();
    const std::pair<uint8_t, uint8_t> layouts[] = {{kLayout0, 0}, {kLayout1, 1}, {kLayout2, 2}, {kLayout3, 3},
                                                   {kLayout4, 4}, {kLayout5, 5}, {kLayout7, 7}};
    for (const auto& [type, textype] : layouts) {
      definitions[type].textype = textype;
      for (int slot = 0; slot < 6; ++slot) definitions[type].faceMaterials[slot] = 10 * textype + slot;
    }
    definitions[kLayout5].kind = 2;
  }
  // A custom block whose face slot k shows material first + k.
  void DefineCustomBlock(int32_t id, uint8_t layout, int first) {
    auto& custom = customBlocks.AddOrFind(std::to_string(id));
    custom.id = id;
    custom.kind = layout;
    for (int slot = 0; slot < 7; ++slot) custom.faces[slot] = engine->PBO_MaterialID(first + slot);
  }
};

TEST_F(MesherFaces, CubeFacesCloseAroundTheirCell) {
  Add(0, 0, 0, kLayout0, kAllFaces);
  Add(5, 17, 49, kLayout0, kFaceTop | kFaceMinusZ);
  Add(30, 2, 20, kLayout0, kFacePlusX | kFaceBottom | kFacePlusZ);
  Add(12, 9, 123, kLayout0, kFaceMinusX);
  MeshToEnd();
  EXPECT_EQ(BandFaces(0), Joined({BoxFaces(CellBox(0, 0, 0), kAllFaces, Same(0)),
                                  BoxFaces(CellBox(5, 17, 49), kFaceTop | kFaceMinusZ, Same(0)),
                                  BoxFaces(CellBox(30, 2, 20), kFacePlusX | kFaceBottom | kFacePlusZ, Same(0))}));
  EXPECT_EQ(BandFaces(2), Sorted(BoxFaces(CellBox(12, 9, 123), kFaceMinusX, Same(0))));
  EXPECT_TRUE(ModelFaces().empty());
}

TEST_F(MesherFaces, TextureLayoutsPickTheFaceMaterials) {
  for (uint8_t type : {kLayout0, kLayout1, kLayout2, kLayout3, kLayout4})
    Add(type, 0, 5, type, kAllFaces);
  Add(10, 0, 5, kLayout5, kFaceWholeBlock);
  Add(11, 0, 5, kLayout7, kAllFaces);         // still layout 4's faces: crossed quads leave them
  Add(12, 0, 5, kLayout0, kFaceTop);          // cube layouts leave the crossed quads
  Add(13, 0, 5, kLayout7, kFaceWholeBlock);   // still layout 5's crossed quads
  MeshToEnd();
  EXPECT_EQ(BandFaces(0), Joined({
                              BoxFaces(CellBox(kLayout0, 0, 5), kAllFaces, Same(0)),
                              BoxFaces(CellBox(kLayout1, 0, 5), kAllFaces, Same(10)),
                              BoxFaces(CellBox(kLayout2, 0, 5), kAllFaces, {20, 20, 22, 22, 22, 22}),
                              BoxFaces(CellBox(kLayout3, 0, 5), kAllFaces, {30, 31, 32, 32, 32, 32}),
                              BoxFaces(CellBox(kLayout4, 0, 5), kAllFaces, {40, 41, 42, 43, 44, 45}),
                              BoxFaces(CellBox(11, 0, 5), kAllFaces, {40, 41, 42, 43, 44, 45}),
                              BoxFaces(CellBox(12, 0, 5), kFaceTop, Same(0)),
                          }));
  EXPECT_EQ(ModelFaces(), Joined({CrossedQuads(CellBox(10, 0, 5), 50), CrossedQuads(CellBox(13, 0, 5), 50)}));
}

TEST_F(MesherFaces, CustomLayoutsPickTheFaceMaterials) {
  DefineCustomBlock(101, 1, 10);
  DefineCustomBlock(102, 2, 20);
  DefineCustomBlock(103, 3, 30);
  DefineCustomBlock(-104, 4, 40);
  DefineCustomBlock(105, 0, 50);  // no layout: the faces keep what they show
  Add(0, 0, 5, kLayout5, kFaceWholeBlock);
  int col = 1;
  for (int32_t id : {101, 102, 103, -104, 105}) Add(col++, 0, 5, kBlockCustom, kAllFaces, id);
  Add(col, 0, 5, kBlockCustom, kFaceWholeBlock, 101);  // never the custom block's material
  MeshToEnd();
  EXPECT_EQ(BandFaces(0), Joined({
                              BoxFaces(CellBox(1, 0, 5), kAllFaces, Same(10)),
                              BoxFaces(CellBox(2, 0, 5), kAllFaces, {20, 20, 22, 22, 22, 22}),
                              BoxFaces(CellBox(3, 0, 5), kAllFaces, {30, 31, 32, 32, 32, 32}),
                              BoxFaces(CellBox(4, 0, 5), kAllFaces, {40, 41, 42, 43, 44, 45}),
                              BoxFaces(CellBox(5, 0, 5), kAllFaces, {40, 41, 42, 43, 44, 45}),
                          }));
  EXPECT_EQ(ModelFaces(), Joined({CrossedQuads(CellBox(0, 0, 5), 50), CrossedQuads(CellBox(6, 0, 5), 50)}));
}

// The face templates are shared: whatever set them last, each block must show its own materials.
TEST_F(MesherFaces, EveryBlockShowsItsOwnMaterialsWhoeverSetTheTemplatesLast) {
  DefineCustomBlock(0, 1, 60);  // id 0 is an id like any other
  // Within one call: a custom block after a block type and the other way round.
  Add(0, 0, 5, kBlockCustom, kFaceTop, 0);
  Add(1, 0, 5, kLayout1, kFaceTop);
  Add(2, 0, 5, kBlockCustom, kFaceTop, 0);
  Add(3, 0, 5, kLayout1, kFaceTop);
  MeshToEnd();
  EXPECT_EQ(BandFaces(0), Joined({BoxFaces(CellBox(0, 0, 5), kFaceTop, Same(60)),
                                  BoxFaces(CellBox(1, 0, 5), kFaceTop, Same(10)),
                                  BoxFaces(CellBox(2, 0, 5), kFaceTop, Same(60)),
                                  BoxFaces(CellBox(3, 0, 5), kFaceTop, Same(10))}));

  // Between calls something else (a preview, material culling) may have changed the templates;
  // the main loop's cache reset makes the next call set them again.
  auto meshWithTemplatesChangedBetweenCalls = [this](uint8_t type, int32_t extra) {
    mesher->FreeChunkGeometry(7);
    lists = {};
    Add(0, 0, 5, type, kFaceTop, extra);
    Add(0, 0, 55, type, kFaceTop, extra);
    EXPECT_EQ(Step(), 0);  // band 0 filled
    for (int entity = kFirstFaceTemplateEntity; entity < kFirstFaceTemplateEntity + 6; ++entity)
      engine->PBO_SetEntityMaterial(entity, engine->PBO_MaterialID(63));
    MeshToEnd();
    return BandFaces(1).at(0).material;
  };
  EXPECT_EQ(meshWithTemplatesChangedBetweenCalls(kBlockCustom, 0), 60);
  EXPECT_EQ(meshWithTemplatesChangedBetweenCalls(kLayout1, 0), 10);
}

// A block at the chunk's +X (+Z) edge is drawn 0.9 wide and a slab fills the last 0.05, its
// top, bottom and long sides in the border material, its ends in the block's own.
TEST_F(MesherFaces, ChunkBordersAreThinSlabsAtThePlusEdges) {
  Add(31, 3, 5, kLayout4, kAllFaces);
  Add(4, 31, 5, kLayout4, kAllFaces);
  Add(31, 31, 5, kLayout4, kFaceTop);
  Add(31, 8, 5, kLayout4, 0);  // no faces, no slab
  Add(31, 7, 5, kLayout5, kFaceWholeBlock);
  Add(9, 31, 5, kLayout5, kFaceWholeBlock);
  MeshToEnd();
  const std::array<int, 6> own = {40, 41, 42, 43, 44, 45};
  const glm::vec3 edgeX = CellCentre(31, 3, 5), edgeZ = CellCentre(4, 31, 5), corner = CellCentre(31, 31, 5);
  const glm::vec3 half(0.25f);
  auto shrunkX = [&](glm::vec3 c) { return Box{c - half, c + glm::vec3(0.2f, 0.25f, 0.25f)}; };
  auto slabX = [&](glm::vec3 c) { return Box{c + glm::vec3(0.2f, -0.25f, -0.25f), c + half}; };
  auto shrunkZ = [&](glm::vec3 c) { return Box{c - half, c + glm::vec3(0.25f, 0.25f, 0.2f)}; };
  auto slabZ = [&](glm::vec3 c) { return Box{c + glm::vec3(-0.25f, -0.25f, 0.2f), c + half}; };
  EXPECT_EQ(BandFaces(0),
            Joined({
                BoxFaces(shrunkX(edgeX), kAllFaces, own),
                BoxFaces(slabX(edgeX), kAllFaces, {kBorder, kBorder, 42, 43, kBorder, kBorder}),
                BoxFaces(shrunkZ(edgeZ), kAllFaces, own),
                BoxFaces(slabZ(edgeZ), kAllFaces, {kBorder, kBorder, kBorder, kBorder, 44, 45}),
                // In the corner both shrink; the +Z slab follows the block's shifted X at full width.
                BoxFaces({corner - half, corner + glm::vec3(0.2f, 0.25f, 0.2f)}, kFaceTop, own),
                BoxFaces(slabX(corner), kFaceTop, Same(kBorder)),
                BoxFaces({corner + glm::vec3(-0.275f, -0.25f, 0.2f), corner + glm::vec3(0.225f, 0.25f, 0.25f)},
                         kFaceTop, Same(kBorder)),
            }));
  EXPECT_EQ(ModelFaces(), Joined({CrossedQuads(CellBox(31, 7, 5), 50), CrossedQuads(CellBox(9, 31, 5), 50)}));

  settings.VisibleChunkBorders = 0;
  MeshAgain();
  EXPECT_EQ(BandFaces(0), Joined({BoxFaces(CellBox(31, 3, 5), kAllFaces, own), BoxFaces(CellBox(4, 31, 5), kAllFaces, own),
                                  BoxFaces(CellBox(31, 31, 5), kFaceTop, own)}));
}

// A mesh block is copied whole into the model geometry, turned and moved by its rotation value.
TEST_F(MesherFaces, MeshBlocksStandByTheirRotation) {
  // A lopsided triangle, so that every turn moves it somewhere else; each corner's normal
  // points along its own axis.
  engine->PBO_CreateMesh(70);
  engine->PBO_MeshVertex2(0.2f, 0, 0, 0.1f, 0.2f, -1, 1, 0, 0);
  engine->PBO_MeshVertex2(0, 0.1f, 0, 0.3f, 0.4f, -1, 0, 1, 0);
  engine->PBO_MeshVertex2(0, 0, 0.05f, 0.5f, 0.6f, -1, 0, 0, 1);
  engine->PBO_MeshFace(0, 1, 2);
  engine->PBO_FinishMesh(1);
  definitions[kLantern].kind = 3;
  definitions[kLantern].meshEntity = engine->PBO_CreateEntity2(-1, engine->PBO_MeshID(70), engine->PBO_MaterialID(7));

  struct Pose {
    int32_t rotation;
    glm::vec3 offset;
    float scaleY;
    glm::vec3 (*turn)(glm::vec3);  // right-handed, angles in degrees about the axes
  };
  const Pose poses[] = {
      {0, {0, 0, 0}, 1, [](glm::vec3 p) { return p; }},
      {1, {0, 0, 0}, 1, [](glm::vec3 p) { return glm::vec3(-p.x, p.y, -p.z); }},   // 180 about y
      {2, {0, 0, 0}, 1, [](glm::vec3 p) { return glm::vec3(p.z, p.y, -p.x); }},    // 90 about y
      {3, {0, 0, 0}, 1, [](glm::vec3 p) { return glm::vec3(-p.z, p.y, p.x); }},    // -90 about y
      {4, {0, -0.36f, -0.12f}, 1.4f, [](glm::vec3 p) { return glm::vec3(-p.z, p.y, p.x); }},  // on a wall
      {5, {0, 0.36f, 0.12f}, 1.4f, [](glm::vec3 p) { return glm::vec3(p.x, -p.y, -p.z); }},   // hanging
      {200, {0, 0.36f, 0.12f}, 1.4f, [](glm::vec3 p) { return glm::vec3(p.x, -p.y, -p.z); }},
      {-1, {0, 0.36f, 0.12f}, 1.4f, [](glm::vec3 p) { return glm::vec3(p.x, -p.y, -p.z); }},
  };
  int col = 0;
  for (const Pose& pose : poses) Add(col++, 3, 100, kLantern, 0, pose.rotation);
  MeshToEnd();

  EXPECT_EQ(Geometry(Entry("7").geometries[2]).faceCount, 0u);
  const auto& model = Geometry(Entry("7").geometries[kModelGeometryIndex]);
  ASSERT_EQ(model.batches.size(), 1u);
  const auto& batch = model.batches[0];
  EXPECT_EQ(batch.materialKey, 7);
  ASSERT_EQ(batch.vertices.size(), 3 * std::size(poses));
  EXPECT_EQ(std::vector<uint32_t>(batch.indices.begin(), batch.indices.end()),
            (std::vector<uint32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23}));
  const glm::vec3 corners[3] = {{0.2f, 0, 0}, {0, 0.1f, 0}, {0, 0, 0.05f}};
  const glm::vec3 normals[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  const float uvs[3][2] = {{0.1f, 0.2f}, {0.3f, 0.4f}, {0.5f, 0.6f}};
  for (size_t n = 0; n < std::size(poses); ++n) {
    const Pose& pose = poses[n];
    for (int k = 0; k < 3; ++k) {
      SCOPED_TRACE("rotation " + std::to_string(pose.rotation) + ", corner " + std::to_string(k));
      const auto& vertex = batch.vertices[3 * n + k];
      const glm::vec3 expected = CellCentre(static_cast<int>(n), 3, 100) + pose.offset +
                                 pose.turn(corners[k] * glm::vec3(1, pose.scaleY, 1));
      EXPECT_EQ(mesher_test::Thousandths(glm::vec3(vertex.x, vertex.y, vertex.z)), mesher_test::Thousandths(expected));
      const glm::vec3 normal = pose.turn(normals[k]) * 127.0f;
      EXPECT_EQ((std::array<int, 3>{vertex.nx, vertex.ny, vertex.nz}),
                (std::array<int, 3>{static_cast<int>(normal.x), static_cast<int>(normal.y), static_cast<int>(normal.z)}));
      EXPECT_EQ(vertex.u, uvs[k][0]);
      EXPECT_EQ(vertex.v, uvs[k][1]);
    }
  }
}

// Merging: the same records meshed with faces added as placed and merged into rectangles must
// cover the same cells with the same materials, normals and texels, band by band.
struct MesherMerging : MesherFaces {
  struct Meshed {
    std::array<std::vector<mesher_test::AddedFace>, 17> cells;
    std::array<size_t, 17> triangles{};
    int calls = 0;
  };
  Meshed MeshAs(bool merging, int32_t chunkId = 7) {
    mesher->SetFaceMerging(merging);
    Meshed meshed;
    meshed.calls = MeshToEnd(chunkId);
    const auto& entry = Entry(std::to_string(chunkId));
    for (int index = 0; index < 17; ++index) {
      if (entry.geometries[index] == 0) continue;
      meshed.cells[index] = CellFacesOf(Geometry(entry.geometries[index]));
      meshed.triangles[index] = TrianglesOf(Geometry(entry.geometries[index]));
    }
    mesher->FreeChunkGeometry(chunkId);
    return meshed;
  }
  // Meshes the records both ways and compares; returns the triangles as added and merged.
  std::pair<size_t, size_t> ExpectSameCells() {
    const Meshed asPlaced = MeshAs(false), merged = MeshAs(true);
    size_t placed = 0, joined = 0;
    for (int index = 0; index < 17; ++index) {
      EXPECT_EQ(merged.cells[index], asPlaced.cells[index]) << "geometry " << index;
      placed += asPlaced.triangles[index];
      joined += merged.triangles[index];
    }
    return {placed, joined};
  }
  // Ground of a few types and layouts over two bands, with steps, holes and a custom block.
  void AddGround() {
    DefineCustomBlock(77, 4, 50);
    for (int col = 0; col < 32; ++col)
      for (int row = 0; row < 32; ++row) {
        if ((col * 7 + row * 3) % 11 == 0) continue;
        const int top = 45 + (col / 6 + row / 9) % 9;
        const uint8_t type = col < 12 ? kLayout3 : col < 24 ? kLayout4 : kLayout0;
        uint8_t mask = kFaceTop;
        if (col == 0) mask |= kFaceMinusX;
        if (col == 31) mask |= kFacePlusX;
        if (row == 0) mask |= kFaceMinusZ;
        if (row == 31) mask |= kFacePlusZ;
        for (int height = top - 3; height <= top; ++height) {
          const uint8_t faces = height == top ? mask : mask & ~kFaceTop;
          if (height == top - 3) {
            Add(col, row, height, type, faces | kFaceBottom);
          } else if ((col + row + height) % 13 == 0) {
            Add(col, row, height, kBlockCustom, faces, 77);
          } else {
            Add(col, row, height, type, faces);
          }
        }
      }
    for (auto& band : lists)  // as the loader leaves them: by type, walk order within
      std::stable_sort(band.begin(), band.end(), [](const world::BlockRecord& a, const world::BlockRecord& b) {
        return a.extra != b.extra ? a.extra < b.extra : a.type < b.type;
      });
  }
};

TEST_F(MesherMerging, MergedRectanglesShowEveryFaceWithItsOwnTexels) {
  AddGround();
  settings.VisibleChunkBorders = 0;
  const auto [placed, merged] = ExpectSameCells();
  EXPECT_LT(merged * 2, placed);
  // With the chunk borders drawn the edge blocks shrink beside slabs: those merge too, each
  // with its own kind (the corner's two slabs share a cell: the second one stays as placed).
  settings.VisibleChunkBorders = 1;
  const auto [placedWithBorders, mergedWithBorders] = ExpectSameCells();
  EXPECT_LT(mergedWithBorders * 2, placedWithBorders);
  EXPECT_GT(mergedWithBorders, merged);
  EXPECT_LT((mergedWithBorders - merged) * 2, placedWithBorders - placed);
}

TEST_F(MesherMerging, ABandCutIntoSlicesMergesAsAWhole) {
  // Every reading of the test clock is a millisecond: the bands are placed and merged over many
  // calls, and the faces of a band placed in different calls still join.
  AddGround();
  settings.VisibleChunkBorders = 0;
  for (int row = 0; row < 32; ++row)
    for (int col = 0; col < 32; ++col) Add(col, row, 120, kLayout1, kFaceTop | kFaceBottom);
  const Meshed asPlaced = MeshAs(false), merged = MeshAs(true);
  EXPECT_GT(merged.calls, 5);
  for (int index = 0; index < 17; ++index) EXPECT_EQ(merged.cells[index], asPlaced.cells[index]) << "geometry " << index;
  EXPECT_EQ(merged.triangles[2], 4u);  // one rectangle above, one below

}

TEST_F(MesherMerging, SeeThroughFacesThatWaitOverManySlicesAreAllAdded) {
  // 8,192 glass sides in many planes wait in the order placed; adding them takes more than one
  // slice of the millisecond-a-reading clock, and each slice goes on where the last stopped.
  engine->PBO_MaterialBlendingMode(engine->PBO_MaterialID(22), 3);
  for (int height = 100; height < 104; ++height)
    for (int row = 0; row < 32; ++row)
      for (int col = 0; col < 32; ++col) Add(col, row, height, kLayout2, kFacePlusX | kFaceMinusZ);
  const Meshed asPlaced = MeshAs(false), merged = MeshAs(true);
  EXPECT_GT(merged.calls, asPlaced.calls);
  for (int index = 0; index < 17; ++index) EXPECT_EQ(merged.cells[index], asPlaced.cells[index]) << "geometry " << index;
}

TEST_F(MesherMerging, ABandBuiltAgainHoldsOnlyItsNewFaces) {
  // A chunk given up half-way through a layer of tops (its geometry freed between two calls),
  // then another chunk with four tops in that plane: nothing of the first one shows.
  settings.VisibleChunkBorders = 0;
  for (int col = 0; col < 32; ++col)
    for (int row = 0; row < 32; ++row) Add(col, row, 47, kLayout0, kFaceTop);
  mesher->SetFaceMerging(true);
  ASSERT_EQ(Step(), 0);
  mesher->FreeChunkGeometry(7);
  EXPECT_EQ(Step(), 1);
  EXPECT_EQ(mesher->MeshSlotState(0), kMeshSlotAbandoned);
  lists = {};
  for (int col = 10; col < 14; ++col) Add(col, 5, 47, kLayout1, kFaceTop);
  const Meshed asPlaced = MeshAs(false), merged = MeshAs(true);
  ASSERT_EQ(asPlaced.cells[0].size(), 4u);
  EXPECT_EQ(merged.cells[0], asPlaced.cells[0]);
  EXPECT_EQ(merged.triangles[0], 2u);
}

TEST_F(MesherMerging, SeeThroughFacesMergeOnlyWhereNoneCanShowThroughAnother) {
  // Water (blended) alone in one plane merges; glass (blended) in several planes keeps every
  // face in the order placed, which is the order it is drawn in.
  engine->PBO_MaterialBlendingMode(engine->PBO_MaterialID(10), 3);
  engine->PBO_MaterialBlendingMode(engine->PBO_MaterialID(20), 3);
  engine->PBO_MaterialBlendingMode(engine->PBO_MaterialID(22), 3);
  for (int col = 0; col < 6; ++col)
    for (int row = 0; row < 3; ++row) Add(col, row, 20, kLayout1, kFaceTop);
  for (int col = 10; col < 14; ++col) Add(col, 5, 20, kLayout2, kFaceTop | kFacePlusX | kFaceMinusZ);
  const auto [placed, merged] = ExpectSameCells();
  EXPECT_EQ(placed - merged, (18u - 1) * 2 + (4 - 1) * 2);  // the water, and the glass's tops alone in their plane

  auto glassSidesOrder = [this](bool merging) {
    mesher->SetFaceMerging(merging);
    MeshToEnd();
    std::vector<std::array<long, 3>> order;
    for (const auto& batch : Geometry(Entry("7").geometries[0]).batches) {
      if (batch.materialKey != 22) continue;
      for (size_t first = 0; first + 6 <= batch.indices.size(); first += 6)
        order.push_back(mesher_test::Thousandths(glm::vec3(batch.vertices[batch.indices[first]].x,
                                                           batch.vertices[batch.indices[first]].y,
                                                           batch.vertices[batch.indices[first]].z)));
    }
    mesher->FreeChunkGeometry(7);
    return order;
  };
  const auto sides = glassSidesOrder(false);
  EXPECT_EQ(sides.size(), 8u);
  EXPECT_EQ(glassSidesOrder(true), sides);
}

}  // namespace
}  // namespace orelens::viewer
