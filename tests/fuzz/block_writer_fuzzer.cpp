// The block writer's rewrite of chunk records: edits applied to two chunks, one whose stored
// record ends in fuzzed lists and a neighbour with a fixed record, then written back.
//
// Input: one byte n, then n % 16 edits (or flush calls) of 6 bytes each, then the bytes of the
// first chunk's decoded record from offset 1,638,400 on (as for chunk_record_fuzzer). The records
// are the cache files of the world's two chunks; the edits go through SetWorldBlock in input
// order, so the writer moves between the chunks and writes one back whenever it leaves it, then
// the flush call; both stored records are read back. Properties, for each chunk:
//  - round trip: the lists the writer stored decode to what it was given, the stored lists with
//    every edit of that chunk applied by the rules for custom blocks (type 66) and mesh blocks
//    (kind 3), and nothing of the other chunk;
//  - nothing else changes: with the block plane, both lists and the height range taken out, the
//    record is the same byte for byte, its size changes by 5 or 8 bytes per record added or
//    removed, and the plane holds exactly the edits;
//  - a list whose place cannot be known (a broken count) is left alone, and an edit outside the
//    block plane or outside the world's listed chunks writes nothing;
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
#include "world/settings.h"
#include "world/world_store.h"

namespace {

using namespace orelens;
using fuzz::Int32At;
using world::CellKey;
using world::ChunkRecordLists;

// The two listed chunks: the fuzzed one covers x and z from -8 to 7.5, its neighbour x from 8 to
// 23.5. Edits may also fall into chunks the world does not list.
constexpr int32_t kChunkIds[2] = {0, 1};
constexpr float kChunkOriginsX[2] = {-8.0f, 8.0f};
constexpr float kChunkOriginZ = -8.0f;
constexpr uint8_t kStone = 1;
constexpr uint8_t kGlass = 5;
constexpr uint8_t kLantern = 20;  // a mesh block other than the torch
constexpr size_t kEditSize = 6;
constexpr size_t kMaxEdits = 16;
constexpr uint8_t kEditBlocks[8] = {world::kBlockAir, kStone, world::kBlockCustom, world::kBlockTorch,
                                    kLantern,         kGlass, world::kBlockCustom, world::kBlockTorch};

struct Edit {
  int col = 0;  // from the first chunk's origin: the second chunk's columns are 32 to 63
  int row = 0;
  int height = 0;
  uint8_t block = 0;
  int32_t extra = 0;
  bool flush = false;  // the flush call instead of a cell

  // The listed chunk the cell lies in (an index into kChunkIds), or -1 for none.
  int Chunk() const {
    if (row < 0 || row >= 32 || col < 0 || col >= 64) return -1;
    return col / 32;
  }
  int LocalCol() const { return col % 32; }
  bool InPlane() const { return Chunk() >= 0 && height >= 0 && height < 800; }
};

struct ListedCell {
  int chunk = 0;
  CellKey key = 0;
};

// An edit is the flush call when the low four bits of its fifth byte are all set. Its cell is
// either one of the cells the stored lists of the two chunks name (the high bit of its first
// byte), so that edits meet existing records, or any cell near the chunks: columns from -16 to 47,
// rows from -16 to 47, heights from -100 to 923.
Edit ReadEdit(std::span<const uint8_t> bytes, const std::vector<ListedCell>& listedCells) {
  Edit edit;
  if ((bytes[0] & 0x80) && !listedCells.empty()) {
    // (A list may name cells beyond its chunk's 32 columns and rows: those lie in other chunks.)
    const ListedCell& cell = listedCells[(bytes[1] | (bytes[2] << 8)) % listedCells.size()];
    edit.col = 32 * cell.chunk + world::CellKeyCol(cell.key);
    edit.row = world::CellKeyRow(cell.key);
    edit.height = world::CellKeyHeight(cell.key);
  } else {
    edit.col = (bytes[0] & 0x3F) - 16;
    edit.row = (bytes[1] & 0x3F) - 16;
    edit.height = (bytes[2] | ((bytes[3] & 0x03) << 8)) - 100;
  }
  edit.flush = (bytes[4] & 0x0F) == 0x0F;
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
    const int col = edit.LocalCol();
    const size_t cell = world::CellOffset(col, edit.row, edit.height) - world::kBlockPlaneOffset;
    const CellKey key = world::MakeCellKey(static_cast<uint8_t>(col), static_cast<uint8_t>(edit.row),
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

// One chunk of the world: its record before the edits and what it must hold after them.
struct ChunkUnderTest {
  int32_t id = 0;
  bool fixedRecord = false;     // the same record on every run: compressed once
  std::vector<uint8_t> before;  // memory reused from run to run
  ChunkRecordLists listsBefore;
  ListPlaces placesBefore;
  std::vector<uint8_t> stored;
  std::vector<uint8_t> after;
  ExpectedChunk expected;

  // Takes `before` as the chunk's record: stores it and expects it unchanged.
  void Prepare(const fuzz::Libraries& libraries, const fixtures::WorldWriter& world) {
    world::DecodeChunkRecordLists(before, listsBefore);
    placesBefore = FindListPlaces(before, listsBefore);
    if (!fixedRecord || stored.empty()) {
      libraries.Compress(before, stored);
      platform::ByteWriter(stored).WriteI32(static_cast<int32_t>(before.size()));
    }
    world.WriteCacheFile(id, stored);
    expected.changed = false;
    expected.plane.assign(before.begin() + world::kBlockPlaneOffset,
                          before.begin() + world::kChunkHeadAndPlaneSize);
    expected.rotations = AsMap(listsBefore.rotations);
    expected.customBlocks = AsMap(listsBefore.customBlocks);
  }

  void AddListedCells(int chunk, std::vector<ListedCell>& cells) const {
    std::vector<CellKey> keys;
    for (const auto& [key, value] : listsBefore.rotations) keys.push_back(key);
    for (const auto& [key, value] : listsBefore.customBlocks) keys.push_back(key);
    std::sort(keys.begin(), keys.end());
    for (const CellKey key : keys) cells.push_back({chunk, key});
  }

  void CheckStoredRecord(const fuzz::Libraries& libraries, const fixtures::WorldWriter& world) {
    libraries.ReadStoredRecord(world.CacheFilePath(id), after);
    const std::string chunk = "chunk " + std::to_string(id) + ": ";
    if (!expected.changed) {
      FUZZ_CHECK_MSG(after == before,
                     chunk + "edits outside the plane or the listed chunks changed the record");
      return;
    }
    ChunkRecordLists listsAfter;
    world::DecodeChunkRecordLists(after, listsAfter);
    const ListPlaces placesAfter = FindListPlaces(after, listsAfter);

    const auto planeAfter = after.begin() + world::kBlockPlaneOffset;
    if (!std::equal(expected.plane.begin(), expected.plane.end(), planeAfter)) {
      const auto differs = std::mismatch(expected.plane.begin(), expected.plane.end(), planeAfter);
      const size_t cell = static_cast<size_t>(differs.first - expected.plane.begin());
      fuzz::PropertyFailed("the block plane holds exactly the edits", __FILE__, __LINE__,
                           chunk + "cell " + std::to_string(cell % 32) + "," +
                               std::to_string(cell / 32 % 32) + "," + std::to_string(cell / 1024) +
                               " holds " + std::to_string(*differs.second) + " instead of " +
                               std::to_string(*differs.first));
    }
    int64_t sizeChange = 0;
    if (placesBefore.rotationsKnown) {
      FUZZ_CHECK(placesAfter.rotationsKnown);
      FUZZ_CHECK_MSG(SameEntries(listsAfter.rotations, expected.rotations),
                     chunk + "rotation list round trip");
      FUZZ_CHECK(placesAfter.rotationCount == static_cast<int32_t>(expected.rotations.size()));
      sizeChange += 5 * (int64_t{placesAfter.rotationCount} - placesBefore.rotationCount);
    } else {
      FUZZ_CHECK(!placesAfter.rotationsKnown || placesAfter.rotationCount == placesBefore.rotationCount);
    }
    FUZZ_CHECK(listsAfter.hasHeightRange == listsBefore.hasHeightRange);
    if (listsAfter.hasHeightRange) {
      FUZZ_CHECK_MSG(listsAfter.MinHeight >= 0 && listsAfter.MinHeight <= listsAfter.MaxHeight &&
                         listsAfter.MaxHeight <= 799,
                     chunk + "height range outside the chunk");
    }
    if (placesBefore.customOffset) {
      FUZZ_CHECK_MSG(placesAfter.customOffset, chunk + "the custom-block list can no longer be found");
      FUZZ_CHECK_MSG(SameEntries(listsAfter.customBlocks, expected.customBlocks),
                     chunk + "custom-block list round trip");
      sizeChange += 8 * (int64_t{placesAfter.customCount} - placesBefore.customCount);
    } else {
      FUZZ_CHECK(!placesAfter.customOffset);
    }
    FUZZ_CHECK(static_cast<int64_t>(after.size()) == static_cast<int64_t>(before.size()) + sizeChange);
    FUZZ_CHECK_MSG(SameUnchangeableBytes(before, placesBefore, after, placesAfter),
                   chunk + "bytes outside the plane, the lists and the height range changed");
  }
};

struct WriterRig {
  fuzz::Libraries libraries;
  fixtures::TempFolder temp;
  fixtures::WorldWriter world{temp.path(), "World"};
  world::Settings settings;
  world::WorldStore store;
  world::BlockKindTable kinds{};
  // The fuzzed chunk's record keeps its front (1,638,400 bytes) from run to run; the neighbour's
  // record never changes.
  ChunkUnderTest chunks[2];

  WriterRig() {
    settings.SaveDir = temp.path();
    settings.CurrentWorldName = "World";
    kinds.fill(world::kKindOpaqueCube);
    kinds[world::kBlockAir] = world::kKindNotDrawn;
    kinds[kGlass] = world::kKindAlphaCube;
    kinds[world::kBlockTorch] = world::kKindMeshBlock;
    kinds[kLantern] = world::kKindMeshBlock;
    for (int chunk = 0; chunk < 2; ++chunk) {
      chunks[chunk].id = kChunkIds[chunk];
      chunks[chunk].fixedRecord = chunk == 1;
      chunks[chunk].before = fixtures::MakeChunkRecord(fixtures::MakeTerrainChunkSpec(7 + chunk));
      store.WorldChunkMap[world::ChunkOriginKey(static_cast<int32_t>(kChunkOriginsX[chunk]),
                                                static_cast<int32_t>(kChunkOriginZ))] = kChunkIds[chunk];
    }
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

  std::vector<uint8_t>& fuzzed = rig.chunks[0].before;
  fuzzed.resize(world::kChunkSizeWithoutLists);
  fuzzed.insert(fuzzed.end(), tail.begin(), tail.end());
  std::vector<ListedCell> listedCells;
  for (int chunk = 0; chunk < 2; ++chunk) {
    rig.chunks[chunk].Prepare(rig.libraries, rig.world);
    rig.chunks[chunk].AddListedCells(chunk, listedCells);
  }
  {
    world::BlockWriter writer(rig.store, rig.settings, rig.kinds, rig.libraries.locator());
    for (size_t i = 0; i < editCount; ++i) {
      const Edit edit = ReadEdit(editBytes.subspan(i * kEditSize, kEditSize), listedCells);
      if (edit.flush) {
        // The chunk stays loaded after it is written back: later edits work on it as it was written.
        writer.SetWorldBlock(0, 0, 0.0f, 0.0f, 0.0f);
        continue;
      }
      writer.SetWorldBlock(edit.block, edit.extra, kChunkOriginsX[0] + edit.col * 0.5f, edit.height * 0.5f,
                           kChunkOriginZ + edit.row * 0.5f);
      if (edit.InPlane()) rig.chunks[edit.Chunk()].expected.Apply(edit, rig.kinds);
    }
    writer.SetWorldBlock(0, 0, 0.0f, 0.0f, 0.0f);  // the flush call
    FUZZ_CHECK(!writer.hasPendingChange());
  }
  for (ChunkUnderTest& chunk : rig.chunks) chunk.CheckStoredRecord(rig.libraries, rig.world);
  return 0;
}
