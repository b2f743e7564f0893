#include "viewer/chunk_mesher.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/draw2d/font_library.h"
#include "platform/engine3d/engine3d.h"
#include "platform/engine3d/scene.h"

namespace orelens::viewer {
namespace {

using world::BlockRecord;
using world::HeightBandLists;

constexpr uint8_t kStone = 1;      // textype 0
constexpr uint8_t kGrass = 2;      // textype 3: top, bottom, sides
constexpr uint8_t kFern = 5;       // textype 5: crossed quads
constexpr uint8_t kTorch = 15;     // mesh block
constexpr uint8_t kOddLayout = 9;  // textype 7: keeps whatever materials the faces carry

// A headless scene with the template and border entities the mesher copies from, each face a
// unit quad of two triangles, and a few block definitions.
struct MesherFixture : ::testing::Test {
  std::unique_ptr<platform::Engine3D> engine = platform::MakeHeadlessEngine();
  platform::FontLibrary fonts;
  BlockDefinitionTable definitions{};
  CustomBlockMap customBlocks;
  world::Settings settings;
  int64_t now = 1000;
  int64_t tickPerRead = 0;  // how far the clock moves each time the mesher reads it
  std::unique_ptr<ChunkMesher> mesher;
  HeightBandLists lists;

  void SetUp() override {
    engine->PBO_InitEngine3D(2);
    for (int material : {0, 1, 2, 3, 999}) MakeMaterial(material);
    for (int mesh = 10; mesh <= 16; ++mesh) MakeQuadMesh(mesh);
    for (int n = 0; n <= 5; ++n)
      engine->PBO_CreateEntity2(n, engine->PBO_MeshID(10 + n), engine->PBO_MaterialID(999));
    for (int n = 10; n <= 16; ++n)
      engine->PBO_CreateEntity2(n, engine->PBO_MeshID(n), engine->PBO_MaterialID(0));
    MakeQuadMesh(50);
    definitions[kStone].faceMaterials = {1, 1, 1, 1, 1, 1};
    definitions[kGrass].faceMaterials = {1, 2, 3, 0, 0, 0};
    definitions[kGrass].textype = 3;
    definitions[kFern].faceMaterials = {2, 0, 0, 0, 0, 0};
    definitions[kFern].textype = 5;
    definitions[kFern].kind = 2;
    definitions[kTorch].kind = 3;
    definitions[kTorch].meshEntity =
        engine->PBO_CreateEntity2(-1, engine->PBO_MeshID(50), engine->PBO_MaterialID(3));
    definitions[kOddLayout].textype = 7;
    mesher = std::make_unique<ChunkMesher>(*engine, definitions, customBlocks, fonts, settings, [this] {
      const int64_t reading = now;
      now += tickPerRead;
      return reading;
    });
  }
  void MakeMaterial(int number) {
    engine->PBO_CreateTexture(number, 1, 1);
    engine->PBO_CreateMaterial(number, engine->PBO_TextureID(number));
  }
  void MakeQuadMesh(int number) {
    engine->PBO_CreateMesh(number);
    engine->PBO_MeshVertex2(-0.25f, 0, -0.25f, 0, 0, -1, 0, 1, 0);
    engine->PBO_MeshVertex2(0.25f, 0, -0.25f, 1, 0, -1, 0, 1, 0);
    engine->PBO_MeshVertex2(0.25f, 0, 0.25f, 1, 1, -1, 0, 1, 0);
    engine->PBO_MeshVertex2(-0.25f, 0, 0.25f, 0, 1, -1, 0, 1, 0);
    engine->PBO_MeshFace(2, 1, 0);
    engine->PBO_MeshFace(0, 3, 2);
    engine->PBO_FinishMesh(1);
  }

  void Add(int col, int row, int height, uint8_t type, uint8_t mask, int32_t extra = 0) {
    lists[height / 50].push_back(BlockRecord{col, row, height, type, mask, extra});
  }
  int Step(int32_t chunkId = 7, int slot = 0) {
    return mesher->BuildChunkMeshStep(chunkId, slot, lists, 24, -40, 1);
  }
  // Calls until the slot is finished; returns the number of calls.
  int MeshToEnd(int32_t chunkId = 7, int slot = 0) {
    for (int calls = 1; calls < 1000; ++calls)
      if (Step(chunkId, slot) == 1) return calls;
    ADD_FAILURE() << "the mesher never finished";
    return 0;
  }
  const ChunkRenderEntry& Entry(const std::string& key) { return mesher->RenderMap().at(key); }
  const platform::StaticGeometry& Geometry(int handle) {
    const auto* geometry = engine->FindStaticGeometry(handle);
    EXPECT_NE(geometry, nullptr);
    return *geometry;
  }
  // Materials, by material number, of the triangles in a geometry.
  std::multiset<int> MaterialsOfFaces(int handle) {
    std::multiset<int> materials;
    for (const auto& batch : Geometry(handle).batches)
      for (size_t i = 0; i < batch.indices.size() / 3; ++i)
        for (int number : {0, 1, 2, 3, 999})
          if (engine->PBO_MaterialID(number) == batch.materialKey || number == batch.materialKey)
            materials.insert(number);
    return materials;
  }
};

TEST_F(MesherFixture, EmptyChunkGetsAnEmptyBandZeroAndModelGeometry) {
  EXPECT_EQ(Step(), 1);
  const auto& entry = Entry("7");
  EXPECT_EQ(entry.complete, 1);
  ASSERT_NE(entry.geometries[0], 0);
  ASSERT_NE(entry.geometries[16], 0);
  for (int band = 1; band < 16; ++band) EXPECT_EQ(entry.geometries[band], 0);
  EXPECT_EQ(Geometry(entry.geometries[0]).builtRevision, 1u);
  EXPECT_EQ(Geometry(entry.geometries[16]).builtRevision, 1u);
  EXPECT_EQ(Geometry(entry.geometries[0]).faceCount, 0u);
  EXPECT_EQ(mesher->MeshSlotState(0), kMeshSlotIdle);
  EXPECT_EQ(mesher->MeshSection(0), -1);
}

TEST_F(MesherFixture, BandIsBuiltOnTheCallAfterItsLastRecord) {
  Add(1, 1, 10, kStone, world::kFaceTop);
  Add(1, 1, 400, kStone, world::kFaceTop | world::kFaceBottom);
  EXPECT_EQ(Step(), 0);
  EXPECT_EQ(mesher->MeshSlotState(0), kMeshSlotBandDue);
  EXPECT_EQ(mesher->MeshSection(0), 0);
  const int band0 = Entry("7").geometries[0];
  EXPECT_EQ(Geometry(band0).builtRevision, 0u);
  EXPECT_EQ(Geometry(band0).faceCount, 2u);
  EXPECT_FLOAT_EQ(Geometry(band0).boundsMin.x, 24 + 0.5f - 0.25f);  // origin + col / 2 - half a block
  EXPECT_FLOAT_EQ(Geometry(band0).boundsMax.z, -40 + 0.5f + 0.25f);
  EXPECT_FLOAT_EQ(Geometry(band0).boundsMin.y, 5.0f);

  // Next call: band 0 is built, empty bands 1..7 skipped, band 8 filled.
  EXPECT_EQ(Step(), 0);
  EXPECT_EQ(Geometry(band0).builtRevision, 1u);
  EXPECT_EQ(mesher->MeshSection(0), 8);
  EXPECT_EQ(mesher->MeshSlotState(0), kMeshSlotBandDue);
  const auto& entry = Entry("7");
  for (int band = 1; band < 8; ++band) EXPECT_EQ(entry.geometries[band], 0);
  EXPECT_EQ(Geometry(entry.geometries[8]).faceCount, 4u);
  EXPECT_EQ(entry.complete, 0);

  EXPECT_EQ(Step(), 1);
  EXPECT_EQ(Geometry(entry.geometries[8]).builtRevision, 1u);
  EXPECT_EQ(Entry("7").complete, 1);
}

TEST_F(MesherFixture, TimeSliceEndsAfterFifteenMilliseconds) {
  for (int row = 0; row < 30; ++row) Add(2, row, 60, kStone, world::kFaceTop);
  tickPerRead = 1;
  EXPECT_EQ(Step(), 0);
  EXPECT_EQ(mesher->MeshSlotState(0), kMeshSlotBuilding);  // unchanged by the slice's end
  const int band1 = Entry("7").geometries[1];
  const auto placedFirst = Geometry(band1).faceCount;
  EXPECT_GT(placedFirst, 0u);
  EXPECT_LT(placedFirst, 60u);
  EXPECT_GT(MeshToEnd(), 1);
  EXPECT_EQ(Geometry(band1).faceCount, 60u);
}

TEST_F(MesherFixture, TextureLayoutsPickTheFaceMaterials) {
  Add(1, 1, 5, kGrass, 0x3F);
  Add(3, 1, 5, kOddLayout, world::kFaceTop);  // keeps grass's top material
  Add(5, 1, 5, kFern, world::kFaceWholeBlock);
  MeshToEnd();
  const auto& entry = Entry("7");
  // Top 1, bottom 2, four sides 3; the odd layout's top keeps 1. Two triangles per face.
  EXPECT_EQ(MaterialsOfFaces(entry.geometries[0]),
            (std::multiset<int>{1, 1, 1, 1, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3}));
  EXPECT_EQ(MaterialsOfFaces(entry.geometries[16]), (std::multiset<int>{2, 2}));
}

TEST_F(MesherFixture, MissingCustomBlockGetsOnePlaceholder) {
  Add(1, 1, 5, world::kBlockCustom, world::kFaceTop, 424242);
  Add(2, 1, 5, world::kBlockCustom, world::kFaceTop, 424242);
  Add(3, 1, 5, world::kBlockCustom, world::kFaceTop, 555);
  auto& known = customBlocks.AddOrFind("555");
  known.kind = 1;
  known.faces[0] = engine->PBO_MaterialID(2);
  MeshToEnd();
  lists = {};
  Add(1, 1, 5, world::kBlockCustom, world::kFaceTop, 424242);
  MeshToEnd(8);

  ASSERT_EQ(customBlocks.Size(), 2u);
  const auto* placeholder = customBlocks.Find("424242");
  ASSERT_NE(placeholder, nullptr);
  EXPECT_EQ(placeholder->name, "UNKNOWN");
  EXPECT_EQ(placeholder->kind, 1);
  EXPECT_EQ(placeholder->id, 424242);
  ASSERT_NE(placeholder->faces[0], 0);
  for (int slot = 1; slot < 7; ++slot) EXPECT_EQ(placeholder->faces[slot], 0);
  EXPECT_EQ(engine->GetScene().materials.Count(), 6u);  // five made here, one placeholder

  // The warning texture: a dark box inside the texture's first colour, red title text on it.
  const auto& scene = engine->GetScene();
  const auto* material = scene.materials.Find(placeholder->faces[0]);
  ASSERT_NE(material, nullptr);
  const auto* texture = scene.textures.FindKey(material->textureKey);
  ASSERT_NE(texture, nullptr);
  const auto& picture = texture->image;
  ASSERT_EQ(picture.width, 128);
  ASSERT_EQ(picture.height, 128);
  EXPECT_EQ(picture.at(0, 0), platform::PackRgba(0, 0, 0, 255));
  EXPECT_EQ(picture.at(127, 64), platform::PackRgba(0, 0, 0, 255));
  const uint32_t box = picture.at(64, 125);
  EXPECT_LE(platform::RedOf(box), 100u);
  EXPECT_LE(platform::GreenOf(box), 100u);
  EXPECT_LE(platform::BlueOf(box), 100u);
  bool redText = false;
  for (int y = 5; y < 25; ++y)
    for (int x = 3; x < 100; ++x)
      redText =
          redText || (platform::RedOf(picture.at(x, y)) > 200 && platform::GreenOf(picture.at(x, y)) < 60);
  EXPECT_TRUE(redText);
}

TEST_F(MesherFixture, ChunkBordersAddSlabsAtThePlusEdges) {
  Add(31, 3, 5, kStone, world::kFaceTop | world::kFacePlusX);  // two faces, two +X slab faces
  Add(31, 5, 5, kStone, 0);                                    // nothing at all
  Add(31, 31, 5, kStone, world::kFaceTop);                     // one face, an X and a Z slab face
  Add(31, 7, 5, kFern, world::kFaceWholeBlock);                // no slab, full width
  MeshToEnd();
  const auto& entry = Entry("7");
  EXPECT_EQ(Geometry(entry.geometries[0]).faceCount, 2u * (2 + 2 + 1 + 2));
  const auto& model = Geometry(entry.geometries[16]);
  EXPECT_FLOAT_EQ(model.boundsMax.x - model.boundsMin.x, 0.5f);

  settings.VisibleChunkBorders = 0;
  mesher->FreeChunkGeometry(7);
  MeshToEnd();
  EXPECT_EQ(Geometry(Entry("7").geometries[0]).faceCount, 2u * (2 + 1));
}

TEST_F(MesherFixture, MeshBlocksTakeTheirPoseFromTheRotation) {
  auto boundsOf = [this](int32_t rotation) {
    lists = {};
    Add(0, 0, 100, kTorch, 0, rotation);
    mesher->FreeChunkGeometry(7);
    MeshToEnd();
    const auto& model = Geometry(Entry("7").geometries[16]);
    return std::array<float, 6>{model.boundsMin.x, model.boundsMin.y, model.boundsMin.z,
                                model.boundsMax.x, model.boundsMax.y, model.boundsMax.z};
  };
  const auto hanging = boundsOf(5);
  EXPECT_EQ(boundsOf(200), hanging);
  EXPECT_EQ(boundsOf(-1), hanging);
  EXPECT_NE(boundsOf(4), hanging);
  EXPECT_FLOAT_EQ(boundsOf(0)[1], 50.0f);
  EXPECT_FLOAT_EQ(hanging[1], 50.36f);
}

TEST_F(MesherFixture, FreedGeometryAbandonsTheChunkInProgress) {
  Add(1, 1, 10, kStone, world::kFaceTop);
  Add(1, 1, 60, kStone, world::kFaceTop);
  tickPerRead = 0;
  EXPECT_EQ(Step(), 0);  // band 0 filled, build due
  mesher->FreeChunkGeometry(7);
  EXPECT_EQ(Step(), 1);
  EXPECT_EQ(mesher->MeshSlotState(0), kMeshSlotAbandoned);
  EXPECT_EQ(mesher->MeshSection(0), -1);

  // The next chunk of the slot starts afresh.
  EXPECT_EQ(MeshToEnd(9), 3);
  EXPECT_EQ(Entry("9").complete, 1);
}

TEST_F(MesherFixture, ChunksWithoutIdShareOneEntry) {
  Add(1, 1, 10, kStone, world::kFaceTop);
  MeshToEnd(-1, 0);
  const int first = Entry("-1").geometries[0];
  MeshToEnd(-1, 1);
  const int second = Entry("-1").geometries[0];
  EXPECT_NE(first, second);
  mesher->FreeChunkGeometry(-1);
  EXPECT_EQ(engine->PBO_IsStaticGeometry(second), 0);
  EXPECT_EQ(engine->PBO_IsStaticGeometry(first), 1);  // only the last one is remembered
  EXPECT_FALSE(mesher->RenderMap().contains("-1"));
  mesher->FreeChunkGeometry(12345);  // no entry: nothing happens
}

TEST_F(MesherFixture, FreeingAllGeometrySendsEverySlotBackToItsStart) {
  Add(1, 1, 10, kStone, world::kFaceTop);
  Add(1, 1, 60, kStone, world::kFaceTop);
  EXPECT_EQ(Step(7, 3), 0);
  mesher->FreeAllChunkGeometry();
  EXPECT_EQ(engine->StaticGeometryCount(), 0);
  EXPECT_TRUE(mesher->RenderMap().empty());
  EXPECT_EQ(mesher->MeshSection(3), -1);
  EXPECT_EQ(MeshToEnd(11, 3), 3);
  EXPECT_EQ(Entry("11").complete, 1);
}

}  // namespace
}  // namespace orelens::viewer
