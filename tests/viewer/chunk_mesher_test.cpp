#include "viewer/chunk_mesher.h"

#include <gtest/gtest.h>

#include "viewer/chunk_mesher_test_scene.h"

namespace orelens::viewer {
namespace {

using world::BlockRecord;

constexpr uint8_t kStone = 1;

struct MesherFixture : mesher_test::MesherScene {
  void SetUp() override {
    MesherScene::SetUp();
    definitions[kStone].faceMaterials = {1, 1, 1, 1, 1, 1};
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
  EXPECT_FLOAT_EQ(Geometry(band0).boundsMin.y, 5.25f);  // the top face of height 10

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

// Time passes as records are placed, 80 a millisecond: each call ends once 15 ms have passed,
// less than a millisecond later.
TEST_F(MesherFixture, TimeSliceEndsSoonAfterFifteenMilliseconds) {
  for (int col = 2; col < 5; ++col)
    for (int height = 0; height < 50; ++height)
      for (int row = 0; row < 31; ++row) Add(col, row, height, kStone, world::kFaceTop);
  auto recordsPlaced = [this]() -> uint64_t {
    const auto entry = mesher->RenderMap().find("7");
    if (entry == mesher->RenderMap().end() || entry->second.geometries[0] == 0) return 0;
    return Geometry(entry->second.geometries[0]).faceCount / 2;
  };
  // Each reading itself takes a microsecond, so that a call that places nothing still ends.
  size_t readingCount = 0;
  auto exactTime = [&] { return 1000.0 + static_cast<double>(recordsPlaced()) / 80 + readingCount * 0.001; };
  std::vector<int64_t> readings;
  clock = [&] {
    ++readingCount;
    return readings.emplace_back(static_cast<int64_t>(exactTime()));
  };
  for (int call = 0; call < 3; ++call) {
    readings.clear();
    EXPECT_EQ(Step(), 0);
    EXPECT_EQ(mesher->MeshSlotState(0), kMeshSlotBuilding);  // unchanged by the slice's end
    ASSERT_FALSE(readings.empty());
    EXPECT_GE(exactTime(), readings.front() + 15.0);
    EXPECT_LT(exactTime(), readings.front() + 16.0);
  }
  EXPECT_GT(MeshToEnd(), 1);
  EXPECT_EQ(recordsPlaced(), 3u * 50 * 31);
}

// Drawing a placeholder takes long; here each takes 10 ms, so the second one ends the slice.
TEST_F(MesherFixture, TimeSliceEndsRightAfterThePlaceholderThatUsedItUp) {
  for (int row = 0; row < 20; ++row) Add(1, row, 5, world::kBlockCustom, world::kFaceTop, 9000 + row);
  clock = [this, readings = int64_t{0}]() mutable {  // and a microsecond per reading
    return static_cast<int64_t>(1000 + 10 * customBlocks.Size()) + readings++ / 1000;
  };
  EXPECT_EQ(Step(), 0);
  EXPECT_EQ(customBlocks.Size(), 2u);
  MeshToEnd();
  EXPECT_EQ(customBlocks.Size(), 20u);
}

// Whichever step the slice ends on, between two bands or right after a band's build, the next
// call picks up there: here the slice is used up at every reading of the clock.
TEST_F(MesherFixture, ChunkCompletesWhereverItsSlicesEnd) {
  clock = [now = int64_t{0}]() mutable { return now += 15; };
  for (int band = 1; band < 16; ++band) {
    SCOPED_TRACE("second band " + std::to_string(band));
    lists = {};
    Add(1, 1, 10, kStone, world::kFaceTop);
    Add(1, 1, band * 50 + 10, kStone, world::kFaceTop);
    const int32_t chunk = 100 + band;
    MeshToEnd(chunk);
    EXPECT_EQ(mesher->MeshSlotState(0), kMeshSlotIdle);
    const auto& entry = Entry(std::to_string(chunk));
    EXPECT_EQ(entry.complete, 1);
    EXPECT_EQ(Geometry(entry.geometries[0]).faceCount, 2u);
    EXPECT_EQ(Geometry(entry.geometries[band]).faceCount, 2u);
  }
}

TEST_F(MesherFixture, MissingCustomBlockGetsOnePlaceholder) {
  Add(1, 1, 5, world::kBlockCustom, world::kFaceTop, 424242);
  Add(2, 1, 5, world::kBlockCustom, world::kFaceTop, 424242);
  Add(3, 1, 5, world::kBlockCustom, world::kFaceTop, 555);
  auto& known = customBlocks.AddOrFind("555");
  known.kind = 1;
  known.faces[0] = engine->PBO_MaterialID(2);
  const size_t materialsBefore = engine->GetScene().materials.Count();
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
  EXPECT_EQ(engine->GetScene().materials.Count(), materialsBefore + 1);
  const int placeholderKey = platform::object_ref::KeyOf(placeholder->faces[0]);
  std::vector<int> shown;
  for (const auto& face : BandFaces(0)) shown.push_back(face.material);
  EXPECT_EQ(shown, (std::vector<int>{2, placeholderKey, placeholderKey}));
  EXPECT_EQ(BandFaces(0, "8").at(0).material, placeholderKey);

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

TEST_F(MesherFixture, FreedGeometryAbandonsTheChunkInProgress) {
  Add(1, 1, 10, kStone, world::kFaceTop);
  Add(1, 1, 60, kStone, world::kFaceTop);
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
  EXPECT_EQ(Entry("-1").complete, 1);
  Add(1, 1, 60, kStone, world::kFaceTop);
  EXPECT_EQ(Step(-1, 1), 0);  // band 0 filled
  EXPECT_EQ(Step(-1, 1), 0);  // band 1 begun: the shared entry is no longer complete
  EXPECT_EQ(Entry("-1").complete, 0);
  EXPECT_EQ(MeshToEnd(-1, 1), 1);
  EXPECT_EQ(Entry("-1").complete, 1);
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
