#include <gtest/gtest.h>

#include <random>
#include <unordered_map>

#include "world/cell_value_map.h"
#include "world/chunk_record.h"

namespace orelens::world {
namespace {

TEST(CellValueMap, InsertFindAssignAndErase) {
  CellValueMap map;
  EXPECT_TRUE(map.empty());
  EXPECT_EQ(map.find(5), map.end());
  map.insert_or_assign(MakeCellKey(1, 2, 3), 4);
  map[MakeCellKey(255, 255, -1)] = -7;  // the all-ones key is an ordinary key
  map.insert_or_assign(MakeCellKey(1, 2, 3), 9);
  EXPECT_EQ(map.size(), 2u);
  EXPECT_EQ(*map.Lookup(MakeCellKey(1, 2, 3)), 9);
  EXPECT_EQ(map.find(0xFFFFFFFFu)->second, -7);
  EXPECT_EQ(map.count(MakeCellKey(0, 0, 0)), 0u);
  EXPECT_EQ(map.erase(MakeCellKey(1, 2, 3)), 1u);
  EXPECT_EQ(map.erase(MakeCellKey(1, 2, 3)), 0u);
  EXPECT_FALSE(map.contains(MakeCellKey(1, 2, 3)));
  EXPECT_EQ(map, (CellValueMap{{0xFFFFFFFFu, -7}}));
  map.clear();
  EXPECT_TRUE(map.empty());
  EXPECT_EQ(map.begin(), map.end());
}

TEST(CellValueMap, BehavesLikeAStandardMapUnderRandomEdits) {
  // Colliding keys (many cells of one column) and erasures that shift probe runs.
  std::mt19937 random(5);
  CellValueMap map;
  std::unordered_map<uint32_t, int32_t> reference;
  for (int step = 0; step < 200'000; ++step) {
    uint32_t key = MakeCellKey(static_cast<uint8_t>(random() % 4), static_cast<uint8_t>(random() % 4),
                               static_cast<int16_t>(random() % 200));
    int32_t value = static_cast<int32_t>(random());
    switch (random() % 3) {
      case 0:
      case 1:
        map[key] = value;
        reference[key] = value;
        break;
      case 2:
        ASSERT_EQ(map.erase(key), reference.erase(key));
        break;
    }
  }
  ASSERT_EQ(map.size(), reference.size());
  size_t visited = 0;
  for (const auto& [key, value] : map) {
    ASSERT_EQ(reference.at(key), value);
    ++visited;
  }
  EXPECT_EQ(visited, reference.size());
}

}  // namespace
}  // namespace orelens::world
