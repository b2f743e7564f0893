// Emptied geometry batches kept for the next geometry: which one comes back, and how much
// memory they may hold.
#include <gtest/gtest.h>

#include <vector>

#include "platform/engine3d/scene.h"

namespace orelens::platform {
namespace {

GeometryBatch BatchWithRoomFor(size_t vertices, int materialKey = 5) {
  GeometryBatch batch;
  batch.materialKey = materialKey;
  batch.vertices.reserve(vertices);
  batch.vertices.resize(vertices > 0 ? 1 : 0);
  batch.indices.resize(vertices > 0 ? 3 : 0);
  return batch;
}

std::vector<GeometryBatch> Batches(std::initializer_list<size_t> rooms) {
  std::vector<GeometryBatch> batches;
  for (size_t room : rooms) batches.push_back(BatchWithRoomFor(room));
  return batches;
}

TEST(SpareBatches, TheRoomiestComesBackFirstAndEmpty) {
  SpareBatches spares;
  auto freed = Batches({10, 1000, 100});
  spares.Give(freed);
  EXPECT_TRUE(freed.empty());
  for (size_t room : {1000u, 100u, 10u}) {
    const GeometryBatch batch = spares.Take();
    EXPECT_EQ(batch.vertices.capacity(), room);
    EXPECT_TRUE(batch.vertices.empty());
    EXPECT_TRUE(batch.indices.empty());
    EXPECT_EQ(batch.materialKey, kNoObject);
  }
  EXPECT_EQ(spares.Take().vertices.capacity(), 0u);  // none left: a new one
}

TEST(SpareBatches, HoldAtMostThirtyTwoMegabytes) {
  constexpr size_t kEightMegabytes = ((size_t{8} << 20) - 1024) / sizeof(GeometryVertex);  // with its indices
  SpareBatches spares;
  auto tooBig = Batches({(size_t{33} << 20) / sizeof(GeometryVertex)});
  spares.Give(tooBig);
  EXPECT_EQ(spares.Take().vertices.capacity(), 0u);

  for (int round = 0; round < 2; ++round) {  // what is taken no longer counts
    auto freed = Batches({kEightMegabytes, kEightMegabytes, kEightMegabytes, kEightMegabytes, kEightMegabytes});
    spares.Give(freed);
    for (int kept = 0; kept < 4; ++kept) EXPECT_EQ(spares.Take().vertices.capacity(), kEightMegabytes);
    EXPECT_EQ(spares.Take().vertices.capacity(), 0u);
  }
}

}  // namespace
}  // namespace orelens::platform
