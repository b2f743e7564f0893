// The walk's full output for a set of fixed chunks, held as checksums of every record in band
// order: a faster walk must hand the mesher exactly the records it handed it before. On a
// mismatch the test prints the figures it got, for a change of the fixtures that is meant.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "fixtures/chunk_record_writer.h"
#include "world/block_walk.h"
#include "world/chunk_record.h"

namespace orelens::world {
namespace {

constexpr uint8_t kStone = 1, kDirt = 2, kGrass = 4, kOre = 14, kLog = 17, kLeaves = 18;
constexpr uint8_t kGlass = 20, kFern = 21, kHidden = 22, kOddKind = 30;

// Every kind the walk tells apart, with the terrain fixture's types among them.
BlockKindTable Kinds() {
  BlockKindTable kinds{};
  kinds[kBlockAir] = kKindNotDrawn;
  kinds[kLeaves] = kKindAlphaCube;
  kinds[kGlass] = kKindAlphaCube;
  kinds[kFern] = kKindDoubleSidedAlpha;
  kinds[kBlockTorch] = kKindMeshBlock;
  kinds[kHidden] = kKindNotDrawn;
  kinds[kOddKind] = 7;
  return kinds;
}

struct Summary {
  size_t records = 0;
  uint64_t checksum = 0;
};

// FNV-1a over each band's size and every field of every record, in order.
Summary Summarise(const HeightBandLists& bands) {
  Summary summary;
  uint64_t hash = 0xCBF29CE484222325ull;
  auto add = [&hash](int64_t value) {
    for (int byte = 0; byte < 8; ++byte) {
      hash ^= static_cast<uint8_t>(value >> (8 * byte));
      hash *= 0x100000001B3ull;
    }
  };
  for (const auto& band : bands) {
    add(static_cast<int64_t>(band.size()));
    summary.records += band.size();
    for (const BlockRecord& r : band) {
      add(r.col);
      add(r.row);
      add(r.height);
      add(r.type);
      add(r.faceMask);
      add(r.extra);
    }
  }
  summary.checksum = hash;
  return summary;
}

uint32_t NextRandom(uint32_t& state) {
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  return state;
}

// A chunk of every kind mixed at random, denser low down, with custom ids and rotations for some
// of its custom and mesh blocks (and for a few cells of other kinds, which the walk ignores).
// Mostly solid, it is rock with caves and pockets, where most cells are hidden.
fixtures::ChunkRecordSpec NoiseChunkSpec(uint32_t seed, bool mostlySolid = false) {
  static constexpr uint8_t kTypes[] = {kStone,  kStone,   kDirt,        kGrass,   kOre,
                                       kLog,    kLeaves,  kGlass,       kFern,    kBlockTorch,
                                       kHidden, kOddKind, kBlockCustom, kBlockAir};
  uint32_t state = seed * 2654435761u + 7;
  fixtures::ChunkRecordSpec spec;
  spec.withLists = true;
  for (int height = 0; height < kChunkHeight; ++height)
    for (int row = 0; row < 32; ++row)
      for (int col = 0; col < 32; ++col) {
        const uint32_t r = NextRandom(state);
        if (!mostlySolid && r % 800 < static_cast<uint32_t>(height)) continue;  // air, more of it higher up
        const bool solid = mostlySolid && (r >> 24) % 8 != 0;
        const uint8_t type = solid ? kStone : kTypes[(r >> 12) % std::size(kTypes)];
        spec.SetBlock(col, row, height, type);
        const auto c = static_cast<uint8_t>(col), w = static_cast<uint8_t>(row);
        const auto h = static_cast<int16_t>(height);
        if ((type == kBlockCustom || type == kStone) && (r >> 20) % 3 != 0)
          spec.customBlocks.push_back({c, w, h, static_cast<int32_t>((r >> 8) % 9) - 4});
        if ((type == kBlockTorch || type == kGlass) && (r >> 20) % 3 != 1)
          spec.rotations.push_back({c, w, h, static_cast<int8_t>((r >> 4) % 6)});
      }
  return spec;
}

fixtures::ChunkRecordSpec CheckerboardSpec() {
  fixtures::ChunkRecordSpec spec;
  spec.withLists = true;
  for (int height = 0; height < kChunkHeight; ++height)
    for (int row = 0; row < 32; ++row)
      for (int col = 0; col < 32; ++col)
        if ((col + row + height) % 2 == 0) spec.SetBlock(col, row, height, kStone);
  return spec;
}

struct Case {
  const char* name;
  std::vector<uint8_t> chunk;
  std::vector<std::vector<uint8_t>> neighbours;  // -x, +x, +z, -z; empty: not read
  HeightRange range;
  Summary expected;
};

class BlockWalkOutput : public ::testing::Test {
 protected:
  void Check(const Case& c) {
    ChunkRecordLists lists;
    DecodeChunkRecordLists(c.chunk, lists);
    auto plane = [](const std::vector<uint8_t>& record) {
      return record.empty() ? std::span<const uint8_t>() : BlockPlane(record);
    };
    const ChunkPlanes planes{plane(c.chunk), plane(c.neighbours[0]), plane(c.neighbours[1]),
                             plane(c.neighbours[2]), plane(c.neighbours[3])};
    walker.Walk(planes, c.range, lists.rotations, lists.customBlocks, bands);
    const Summary got = Summarise(bands);
    EXPECT_EQ(got.records, c.expected.records) << c.name;
    EXPECT_EQ(got.checksum, c.expected.checksum) << c.name;
    char line[160];
    std::snprintf(line, sizeof line, "%s: {%zuu, 0x%016llXull}", c.name, got.records,
                  static_cast<unsigned long long>(got.checksum));
    printed += std::string(line) + "\n";
  }
  void TearDown() override {
    if (HasFailure()) std::printf("walk output now:\n%s", printed.c_str());
  }

  BlockWalker walker{Kinds()};
  HeightBandLists bands;
  std::string printed;
};

std::vector<uint8_t> Record(const fixtures::ChunkRecordSpec& spec) {
  return fixtures::MakeChunkRecord(spec);
}

TEST_F(BlockWalkOutput, TerrainChunksGiveTheSameRecords) {
  const Summary expected[] = {
      {10873u, 0xDADC815ABDE65C1Aull}, {10901u, 0xE8BB4882546456D3ull}, {10927u, 0x6D96D6FB4E92377Full}};
  for (uint32_t seed = 1; seed <= 3; ++seed) {
    std::vector<std::vector<uint8_t>> neighbours;
    for (uint32_t i = 0; i < 4; ++i)
      neighbours.push_back(Record(fixtures::MakeTerrainChunkSpec(seed * 10 + i)));
    const auto spec = fixtures::MakeTerrainChunkSpec(seed);
    Check({"terrain", Record(spec), neighbours, {spec.minHeight - 1, spec.maxHeight}, expected[seed - 1]});
  }
}

TEST_F(BlockWalkOutput, CheckerboardGivesTheSameRecords) {
  const auto chunk = Record(CheckerboardSpec());
  Check({"checkerboard", chunk, {chunk, chunk, chunk, chunk}, {0, 799}, {409600u, 0x857A108CDA1C7525ull}});
  // Missing neighbours and a narrow range cut across bands.
  Check({"checkerboard narrow", chunk, {{}, {}, {}, {}}, {100, 249}, {76800u, 0xDD1EAF9784612899ull}});
}

TEST_F(BlockWalkOutput, MixedKindsGiveTheSameRecords) {
  const auto a = Record(NoiseChunkSpec(1)), b = Record(NoiseChunkSpec(2)), c = Record(NoiseChunkSpec(3));
  Check({"noise full", a, {b, c, b, c}, {0, 799}, {350074u, 0x332340EFE13DFCFFull}});
  Check({"noise odd range", a, {c, {}, b, {}}, {37, 612}, {299499u, 0x220BDC5E15BA3577ull}});
  Check({"noise one height", b, {a, a, {}, c}, {149, 149}, {724u, 0x04AC0F6926B1C81Eull}});
  Check({"noise damaged range", c, {a, b, a, b}, {-20, 5000}, {350252u, 0x74F346814E7639B8ull}});
  const auto rock = Record(NoiseChunkSpec(4, true)), rock2 = Record(NoiseChunkSpec(5, true));
  Check({"rock", rock, {rock2, rock2, rock2, rock2}, {0, 799}, {273881u, 0xA9D1761F88ADB779ull}});
  Check({"rock beside noise", rock, {a, {}, rock2, b}, {3, 777}, {303948u, 0x5345432A12142848ull}});
}

}  // namespace
}  // namespace orelens::world
