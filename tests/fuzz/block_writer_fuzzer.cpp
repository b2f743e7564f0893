// The block writer's rewrite of a chunk record: edits applied to a chunk whose stored record ends
// in fuzzed lists, then written back.
//
// Input: one byte n, then n % 16 edits of 6 bytes each, then the bytes of the decoded record from
// offset 1,638,400 on (as for chunk_record_fuzzer). The record becomes the cache file of the
// world's one chunk; the edits go through SetWorldBlock, then the flush call, and the stored
// record is read back.
// Properties:
//  - round trip: the lists the writer stored decode to what it was given, the stored lists with
//    every edit applied by the rules for custom blocks (type 66) and mesh blocks (kind 3);
//  - nothing else changes: with the block plane, both lists and the height range taken out, the
//    record is the same byte for byte, its size changes by 5 or 8 bytes per record added or
//    removed, and the plane holds exactly the edits;
//  - a list whose place cannot be known (a broken count) is left alone, and an edit outside the
//    block plane or outside the world's listed chunk writes nothing;
//  - the height range written stays in the chunk: 0 <= MinHeight <= MaxHeight <= 799.

#include <algorithm>
#include <map>
#include <vector>

#include "fixtures/chunk_record_writer.h"
#include "fixtures/world_writer.h"
#include "fuzz/fuzz_support.h"
#include "platform/files/byte_writer.h"
#include "world/block_writer.h"
#include "world/chunk_record.h"
#include "world/chunk_store.h"
#include "world/settings.h"
#include "world/world_store.h"

namespace {

using namespace orelens;
using fuzz::Int32At;
using world::CellKey;
using world::ChunkRecordLists;

constexpr int32_t kChunkId = 0;
constexpr float kChunkOrigin = -8.0f;  // the chunk covers x and z from -8 to 7.5
constexpr uint8_t kStone = 1;
constexpr uint8_t kGlass = 5;
constexpr uint8_t kLantern = 20;  // a mesh block other than the torch
constexpr size_t kEditSize = 6;
constexpr size_t kMaxEdits = 16;
constexpr uint8_t kEditBlocks[8] = {world::kBlockAir, kStone, world::kBlockCustom, world::kBlockTorch,
                                    kLantern,         kGlass, world::kBlockCustom, world::kBlockTorch};

struct Edit {
  int col = 0;
  int row = 0;
  int height = 0;
  uint8_t block = 0;
  int32_t extra = 0;

  bool InPlane() const { return col >= 0 && col < 32 && row >= 0 && row < 32 && height >= 0 && height < 800; }
};

// An edit's cell is either one of the cells the stored lists name (the high bit of its first
// byte), so that edits meet existing records, or any cell near the chunk: columns and rows from
// -16 to 47 (outside the chunk on both sides), heights from -100 to 923.
Edit ReadEdit(std::span<const uint8_t> bytes, const std::vector<CellKey>& listedCells) {
  Edit edit;
  if ((bytes[0] & 0x80) && !listedCells.empty()) {
    const CellKey key = listedCells[(bytes[1] | (bytes[2] << 8)) % listedCells.size()];
    edit.col = world::CellKeyCol(key);
    edit.row = world::CellKeyRow(key);
    edit.height = world::CellKeyHeight(key);
  } else {
    edit.col = (bytes[0] & 0x3F) - 16;
    edit.row = (bytes[1] & 0x3F) - 16;
    edit.height = (bytes[2] | ((bytes[3] & 0x03) << 8)) - 100;
  }
  edit.block = kEditBlocks[bytes[4] & 7];
  edit.extra = static_cast<int8_t>(bytes[5]) * 1001;
  return edit;
}

// What the stored record must hold after the edits, kept in plain maps.
struct ExpectedChunk {
  std::vector<uint8_t> plane;
  std::map<CellKey, int32_t> rotations;
  std::map<CellKey, int32_t> customBlocks;
  bool changed = false;

  void Apply(const Edit& edit, const world::BlockKindTable& kinds) {
    if (!edit.InPlane()) return;
    const size_t cell = world::CellOffset(edit.col, edit.row, edit.height) - world::kBlockPlaneOffset;
    const CellKey key = world::MakeCellKey(static_cast<uint8_t>(edit.col), static_cast<uint8_t>(edit.row),
                                           static_cast<int16_t>(edit.height));
    const uint8_t old = plane[cell];
    // A record is created for a new block of its kind and kept, changed or dropped when the cell
    // already held one; a cell that held one without a record gets none.
    const auto follow = [&](std::map<CellKey, int32_t>& records, bool oldHasRecord, bool newHasRecord,
                            int32_t value) {
      if (oldHasRecord) {
        if (const auto found = records.find(key); found != records.end()) {
          if (newHasRecord) {
            found->second = value;
          } else {
            records.erase(found);
          }
        }
      } else if (newHasRecord) {
        records[key] = value;
      }
    };
    follow(customBlocks, old == world::kBlockCustom, edit.block == world::kBlockCustom, edit.extra);
    // The rotation list keeps the value's low byte.
    follow(rotations, kinds[old] == world::kKindMeshBlock, kinds[edit.block] == world::kKindMeshBlock,
           static_cast<int8_t>(edit.extra));
    plane[cell] = edit.block;
    changed = true;
  }
};

bool SameEntries(const world::CellValueMap& map, const std::map<CellKey, int32_t>& expected) {
  if (map.size() != expected.size()) return false;
  for (const auto& [key, value] : expected) {
    const int32_t* found = map.Lookup(key);
    if (!found || *found != value) return false;
  }
  return true;
}

std::map<CellKey, int32_t> AsMap(const world::CellValueMap& map) {
  return std::map<CellKey, int32_t>(map.begin(), map.end());
}

// Where the writer may change a record: its lists, when their places are known.
struct ListPlaces {
  bool rotationsKnown = false;
  int32_t rotationCount = 0;
  std::optional<size_t> heightRangeOffset;
  std::optional<size_t> customOffset;
  int32_t customCount = 0;
};

ListPlaces FindListPlaces(std::span<const uint8_t> record, const ChunkRecordLists& lists) {
  ListPlaces places;
  if (record.size() < world::kRotationCountOffset + 4 || !lists.hasLists) return places;
  places.rotationCount = Int32At(record, world::kRotationCountOffset);
  const uint64_t rotationsEnd =
      world::kRotationCountOffset + 4 +
      uint64_t{world::kRotationRecordSize} * static_cast<uint32_t>(places.rotationCount);
  places.rotationsKnown = places.rotationCount >= 0 && rotationsEnd <= record.size();
  if (lists.hasHeightRange) {
    places.heightRangeOffset = rotationsEnd + 4 + 5 * static_cast<size_t>(Int32At(record, rotationsEnd));
  }
  places.customOffset = lists.customBlockCountOffset;
  places.customCount = lists.customBlockCount;
  return places;
}

// The pieces of a record between the block plane and what the writer may rewrite.
std::vector<std::span<const uint8_t>> UnchangeablePieces(std::span<const uint8_t> record,
                                                         const ListPlaces& places) {
  std::vector<std::pair<size_t, size_t>> cuts = {{world::kBlockPlaneOffset, world::kChunkHeadAndPlaneSize}};
  if (places.rotationsKnown) {
    cuts.emplace_back(world::kRotationCountOffset,
                      world::kRotationCountOffset + 4 + world::kRotationRecordSize * places.rotationCount);
  }
  if (places.heightRangeOffset) cuts.emplace_back(*places.heightRangeOffset, *places.heightRangeOffset + 4);
  if (places.customOffset) {
    cuts.emplace_back(*places.customOffset,
                      *places.customOffset + 4 + world::kCustomBlockRecordSize * places.customCount);
  }
  std::sort(cuts.begin(), cuts.end());
  std::vector<std::span<const uint8_t>> pieces;
  size_t at = 0;
  for (const auto& [begin, end] : cuts) {
    FUZZ_CHECK(begin >= at && end <= record.size());
    pieces.push_back(record.subspan(at, begin - at));
    at = end;
  }
  pieces.push_back(record.subspan(at));
  return pieces;
}

bool SameUnchangeableBytes(std::span<const uint8_t> a, const ListPlaces& placesA, std::span<const uint8_t> b,
                           const ListPlaces& placesB) {
  const auto piecesA = UnchangeablePieces(a, placesA);
  const auto piecesB = UnchangeablePieces(b, placesB);
  return std::equal(piecesA.begin(), piecesA.end(), piecesB.begin(), piecesB.end(),
                    [](auto x, auto y) { return std::equal(x.begin(), x.end(), y.begin(), y.end()); });
}

struct WriterRig {
  fuzz::Libraries libraries;
  fixtures::TempFolder temp;
  fixtures::WorldWriter world{temp.path(), "World"};
  world::Settings settings;
  world::WorldStore store;
  world::BlockKindTable kinds{};
  // Memory reused from run to run: the record before (its front, 1,638,400 bytes, never changes),
  // its stored form, the record read back and the expected plane.
  std::vector<uint8_t> before;
  std::vector<uint8_t> stored;
  std::vector<uint8_t> after;
  ExpectedChunk expected;

  WriterRig() {
    settings.SaveDir = temp.path();
    settings.CurrentWorldName = "World";
    store.WorldChunkMap[world::ChunkOriginKey(-8, -8)] = kChunkId;
    kinds.fill(world::kKindOpaqueCube);
    kinds[world::kBlockAir] = world::kKindNotDrawn;
    kinds[kGlass] = world::kKindAlphaCube;
    kinds[world::kBlockTorch] = world::kKindMeshBlock;
    kinds[kLantern] = world::kKindMeshBlock;
    before = fixtures::MakeChunkRecord(fixtures::MakeTerrainChunkSpec(7));
  }

  void Store(std::span<const uint8_t> record) {
    libraries.Compress(record, stored);
    platform::ByteWriter(stored).WriteI32(static_cast<int32_t>(record.size()));
    world.WriteCacheFile(kChunkId, stored);
  }

  void ReadBack() {
    const int result = world::ChunkStore::Open(libraries.locator(), settings.CurrentWorldFolder())
                           ->ReadChunkRecord(kChunkId, after);
    FUZZ_CHECK(result > 0 && static_cast<size_t>(result) == after.size());
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static WriterRig rig;
  std::span<const uint8_t> input = fuzz::InputBytes(data, size);
  if (input.empty()) return 0;
  const size_t editCount = std::min<size_t>(input[0] % kMaxEdits, (input.size() - 1) / kEditSize);
  const std::span<const uint8_t> editBytes = input.subspan(1, editCount * kEditSize);
  const std::span<const uint8_t> tail = input.subspan(1 + editCount * kEditSize);

  std::vector<uint8_t>& before = rig.before;
  before.resize(world::kChunkSizeWithoutLists);
  before.insert(before.end(), tail.begin(), tail.end());
  rig.Store(before);
  ChunkRecordLists listsBefore;
  world::DecodeChunkRecordLists(before, listsBefore);
  const ListPlaces placesBefore = FindListPlaces(before, listsBefore);

  std::vector<CellKey> listedCells;
  for (const auto& [key, value] : listsBefore.rotations) listedCells.push_back(key);
  for (const auto& [key, value] : listsBefore.customBlocks) listedCells.push_back(key);
  std::sort(listedCells.begin(), listedCells.end());

  ExpectedChunk& expected = rig.expected;
  expected.changed = false;
  expected.plane.assign(before.begin() + world::kBlockPlaneOffset,
                        before.begin() + world::kChunkHeadAndPlaneSize);
  expected.rotations = AsMap(listsBefore.rotations);
  expected.customBlocks = AsMap(listsBefore.customBlocks);
  {
    world::BlockWriter writer(rig.store, rig.settings, rig.kinds, rig.libraries.locator());
    for (size_t i = 0; i < editCount; ++i) {
      const Edit edit = ReadEdit(editBytes.subspan(i * kEditSize, kEditSize), listedCells);
      writer.SetWorldBlock(edit.block, edit.extra, kChunkOrigin + edit.col * 0.5f, edit.height * 0.5f,
                           kChunkOrigin + edit.row * 0.5f);
      expected.Apply(edit, rig.kinds);
    }
    writer.SetWorldBlock(0, 0, 0.0f, 0.0f, 0.0f);  // the flush call
    FUZZ_CHECK(!writer.hasPendingChange());
  }

  rig.ReadBack();
  const std::vector<uint8_t>& after = rig.after;
  if (!expected.changed) {
    FUZZ_CHECK_MSG(after == before, "edits outside the plane or the listed chunk changed the record");
    return 0;
  }
  ChunkRecordLists listsAfter;
  world::DecodeChunkRecordLists(after, listsAfter);
  const ListPlaces placesAfter = FindListPlaces(after, listsAfter);

  FUZZ_CHECK(
      std::equal(expected.plane.begin(), expected.plane.end(), after.begin() + world::kBlockPlaneOffset));
  int64_t sizeChange = 0;
  if (placesBefore.rotationsKnown) {
    FUZZ_CHECK(placesAfter.rotationsKnown);
    FUZZ_CHECK_MSG(SameEntries(listsAfter.rotations, expected.rotations), "rotation list round trip");
    FUZZ_CHECK(placesAfter.rotationCount == static_cast<int32_t>(expected.rotations.size()));
    sizeChange += 5 * (int64_t{placesAfter.rotationCount} - placesBefore.rotationCount);
  } else {
    FUZZ_CHECK(!placesAfter.rotationsKnown || placesAfter.rotationCount == placesBefore.rotationCount);
  }
  FUZZ_CHECK(listsAfter.hasHeightRange == listsBefore.hasHeightRange);
  if (listsAfter.hasHeightRange) {
    FUZZ_CHECK(listsAfter.MinHeight >= 0 && listsAfter.MinHeight <= listsAfter.MaxHeight &&
               listsAfter.MaxHeight <= 799);
  }
  if (placesBefore.customOffset) {
    FUZZ_CHECK_MSG(placesAfter.customOffset, "the custom-block list can no longer be found");
    FUZZ_CHECK_MSG(SameEntries(listsAfter.customBlocks, expected.customBlocks),
                   "custom-block list round trip");
    sizeChange += 8 * (int64_t{placesAfter.customCount} - placesBefore.customCount);
  } else {
    FUZZ_CHECK(!placesAfter.customOffset);
  }
  FUZZ_CHECK(static_cast<int64_t>(after.size()) == static_cast<int64_t>(before.size()) + sizeChange);
  FUZZ_CHECK_MSG(SameUnchangeableBytes(before, placesBefore, after, placesAfter),
                 "bytes outside the plane, the lists and the height range changed");
  return 0;
}
