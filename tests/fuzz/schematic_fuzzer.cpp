// Schematic files: reading the sizes, loading into the preview list, and injecting into a world.
//
// Each input is read twice: as a whole ".kvSch" file, and as a payload (its first 12 bytes the
// three sizes) that the harness packs into a file with a valid LZ4 block, so that the payload's
// lists are reached without the fuzzer having to keep LZ4 blocks intact. Properties:
//  - the sizes are the file's first three integers whatever follows; loading gives 1 exactly when
//    the file reads whole, shows one message for every other outcome but a wrong magic, and
//    leaves the preview list alone when it fails;
//  - the preview list holds exactly the visible cells of the box, each with its faces towards the
//    outside or a see-through neighbour and the value of its list entry;
//  - round trip: what was read, written again, reads back the same, and the program's payload
//    encoder and the fixture writer agree byte for byte;
//  - injection (small boxes) writes every cell of the box into the world's chunks, with the
//    custom block ids and rotations of the file, and changes no cell outside the box.

#include <algorithm>
#include <map>
#include <tuple>
#include <vector>

#include "fixtures/chunk_record_writer.h"
#include "fixtures/schematic_writer.h"
#include "fixtures/world_writer.h"
#include "fuzz/fuzz_support.h"
#include "platform/files/byte_writer.h"
#include "platform/files/file.h"
#include "platform/gui/scripted_gui.h"
#include "schematic/schematic_file.h"
#include "schematic/schematic_inject.h"
#include "schematic/schematic_load.h"
#include "schematic/schematic_preview.h"
#include "schematic/schematic_reading.h"
#include "world/block_reader.h"
#include "world/block_writer.h"

namespace {

using namespace orelens;
using schematic::SchematicContent;
using schematic::SchematicReadStatus;

constexpr uint8_t kLantern = 20;  // a mesh block other than the torch
// The world: four chunks around the box, ids 0 to 3.
constexpr int32_t kChunkOrigins[4][2] = {{-24, -24}, {-8, -24}, {-24, -8}, {-8, -8}};
// The box's first cell and the largest box injected: it then spans both chunk columns and rows.
constexpr float kBoxFirstX = -14.0f;
constexpr float kBoxFirstZ = -14.0f;
constexpr float kBoxFirstY = 100.0f;
constexpr int32_t kLargestInjectedSide = 24;
constexpr int32_t kLargestInjectedHeight = 64;

using CellIndex = std::tuple<int32_t, int32_t, int32_t>;  // x, z, y
using EntryValues = std::map<CellIndex, int32_t>;

EntryValues ValuesByCell(const std::vector<schematic::SchematicExtraEntry>& entries,
                         EntryValues values = {}) {
  for (const auto& entry : entries) values[{entry.x, entry.z, entry.y}] = entry.value;
  return values;
}

struct SchematicRig {
  fuzz::Libraries libraries;
  fixtures::TempFolder temp;
  fixtures::WorldWriter world{temp.path(), "World"};
  std::string meshCache = temp.MakeFolder("InstaLoad/World") + "chunkmeshes.sqlite";
  std::string path = temp.path() + "box.kvSch";
  std::string rewrittenPath = temp.path() + "again.kvSch";
  world::Settings settings;
  world::WorldStore store;
  world::BlockKindTable kinds{};
  std::vector<world::ChunkBlob> chunkBlobs;
  std::vector<std::vector<uint8_t>> chunkPlanes;
  std::vector<world::ChunkRecordLists> chunkLists;
  std::vector<uint8_t> record;  // memory reused from run to run
  std::vector<uint8_t> expectedPlane;

  SchematicRig() {
    settings.SaveDir = temp.path();
    settings.CurrentWorldName = "World";
    settings.InstaLoadDir = temp.path() + "InstaLoad/";
    kinds.fill(world::kKindOpaqueCube);
    kinds[world::kBlockAir] = world::kKindNotDrawn;
    kinds[world::kBlockTorch] = world::kKindMeshBlock;
    kinds[kLantern] = world::kKindMeshBlock;
    for (int32_t id = 0; id < 4; ++id) {
      store.WorldChunkMap[world::ChunkOriginKey(kChunkOrigins[id][0], kChunkOrigins[id][1])] = id;
      const std::vector<uint8_t> record = fixtures::MakeChunkRecord(fixtures::MakeTerrainChunkSpec(100 + id));
      chunkBlobs.push_back(fixtures::CompressChunkRecord(record));
      chunkPlanes.emplace_back(record.begin(), record.begin() + world::kChunkHeadAndPlaneSize);
      world::DecodeChunkRecordLists(record, chunkLists.emplace_back());
    }
  }
};

SchematicReadStatus ReadStatusOf(const std::string& path, const fuzz::Libraries& libraries,
                                 std::optional<SchematicContent>& content) {
  platform::File file = schematic::OpenSchematicForReading(path);
  FUZZ_CHECK(file.IsOpen());
  schematic::SchematicReadResult read = schematic::ReadSchematic(file, libraries.locator());
  FUZZ_CHECK(read.content.has_value() == (read.status == SchematicReadStatus::kRead));
  content = std::move(read.content);
  return read.status;
}

bool SameContent(const SchematicContent& a, const SchematicContent& b) {
  const auto sameEntries = [](const auto& x, const auto& y) {
    return std::equal(x.begin(), x.end(), y.begin(), y.end(), [](const auto& p, const auto& q) {
      return p.x == q.x && p.z == q.z && p.y == q.y && p.value == q.value;
    });
  };
  return a.size.sizeX == b.size.sizeX && a.size.sizeZ == b.size.sizeZ && a.size.sizeY == b.size.sizeY &&
         a.blockTypes == b.blockTypes && sameEntries(a.customBlocks, b.customBlocks) &&
         sameEntries(a.rotations, b.rotations);
}

void CheckPreviewList(const SchematicContent& content, const std::vector<world::BlockRecord>& list) {
  const int32_t sx = content.size.sizeX, sz = content.size.sizeZ, sy = content.size.sizeY;
  const auto seeThroughAt = [&](int32_t x, int32_t z, int32_t y) {
    return x < 0 || z < 0 || y < 0 || x >= sx || z >= sz || y >= sy ||
           schematic::IsSeeThroughInPreview(content.BlockAt(x, z, y));
  };
  // Both lists in one table, the rotation winning for a cell found in both.
  const EntryValues values = ValuesByCell(content.rotations, ValuesByCell(content.customBlocks));
  size_t next = 0;
  for (int32_t x = 0; x < sx; ++x) {
    for (int32_t z = 0; z < sz; ++z) {
      for (int32_t y = 0; y < sy; ++y) {
        const uint8_t type = content.BlockAt(x, z, y);
        uint8_t mask = 0;
        if (type == world::kBlockAir) {
          continue;
        } else if (schematic::IsSeeThroughInPreview(type)) {
          mask = world::kFaceWholeBlock;
        } else {
          if (seeThroughAt(x + 1, z, y)) mask |= world::kFacePlusX;
          if (seeThroughAt(x - 1, z, y)) mask |= world::kFaceMinusX;
          if (seeThroughAt(x, z + 1, y)) mask |= world::kFacePlusZ;
          if (seeThroughAt(x, z - 1, y)) mask |= world::kFaceMinusZ;
          if (seeThroughAt(x, z, y + 1)) mask |= world::kFaceTop;
          if (seeThroughAt(x, z, y - 1)) mask |= world::kFaceBottom;
          if (mask == 0) continue;
        }
        FUZZ_CHECK_MSG(next < list.size(), "a visible cell is missing from the preview list");
        const world::BlockRecord& record = list[next++];
        FUZZ_CHECK(record.col == x && record.row == z && record.height == y);
        FUZZ_CHECK(record.type == type && record.faceMask == mask);
        if (type == world::kBlockCustom || type == world::kBlockTorch) {
          if (const auto found = values.find({x, z, y}); found != values.end()) {
            FUZZ_CHECK(record.extra == found->second);
          }
        }
      }
    }
  }
  FUZZ_CHECK_MSG(next == list.size(), "the preview list holds more than the visible cells");
}

void CheckRoundTrip(SchematicRig& rig, const SchematicContent& content) {
  fixtures::SchematicSpec spec;
  spec.sizeX = content.size.sizeX;
  spec.sizeZ = content.size.sizeZ;
  spec.sizeY = content.size.sizeY;
  spec.blocks = content.blockTypes;
  for (const auto& e : content.customBlocks) spec.customBlocks.push_back({e.x, e.z, e.y, e.value});
  for (const auto& e : content.rotations) spec.rotations.push_back({e.x, e.z, e.y, e.value});
  FUZZ_CHECK_MSG(schematic::EncodeSchematicPayload(content) == fixtures::MakeSchematicPayload(spec),
                 "the program's payload differs from the fixture writer's");
  fixtures::WriteSchematicFile(rig.rewrittenPath, spec);
  std::optional<SchematicContent> again;
  FUZZ_CHECK(ReadStatusOf(rig.rewrittenPath, rig.libraries, again) == SchematicReadStatus::kRead);
  FUZZ_CHECK_MSG(SameContent(content, *again), "a schematic written again reads otherwise");
}

size_t CountMessages(const platform::ScriptedGui& gui, std::string_view text) {
  const std::vector<platform::RecordedMessageBox> boxes = gui.MessageBoxes();
  return static_cast<size_t>(
      std::count_if(boxes.begin(), boxes.end(), [&](const auto& box) { return box.text == text; }));
}

void CheckInjection(SchematicRig& rig, const SchematicContent& content) {
  const int32_t sx = content.size.sizeX, sz = content.size.sizeZ, sy = content.size.sizeY;
  for (int32_t id = 0; id < 4; ++id) rig.world.WriteCacheFile(id, rig.chunkBlobs[id]);
  fixtures::WriteBytesToFile(rig.meshCache, std::vector<uint8_t>{1});

  platform::ScriptedGui gui;
  world::BlockReader reader(rig.store, rig.settings, rig.libraries.locator(), gui);
  world::BlockWriter writer(rig.store, rig.settings, rig.kinds, rig.libraries.locator());
  schematic::SchematicServices services{
      gui,    rig.libraries.locator(),   rig.store, rig.settings, rig.kinds, reader,
      writer, [] { return int64_t{0}; }, {}};
  const float centreX = kBoxFirstX + static_cast<float>(sx - 1) / 4.0f;
  const float centreY = kBoxFirstY + static_cast<float>(sy - 1) / 4.0f;
  const float centreZ = kBoxFirstZ + static_cast<float>(sz - 1) / 4.0f;
  FUZZ_CHECK(schematic::InjectSchematic(services, rig.path, centreX, centreY, centreZ) == 1);
  FUZZ_CHECK_MSG(platform::FileSize(rig.meshCache) == -1, "the mesh cache was not deleted");

  const EntryValues customIds = ValuesByCell(content.customBlocks);
  const EntryValues rotations = ValuesByCell(content.rotations);
  size_t customsWithoutValue = 0, rotationsWithoutValue = 0;
  for (int32_t id = 0; id < 4; ++id) {
    std::vector<uint8_t>& record = rig.record;
    rig.libraries.ReadStoredRecord(rig.world.CacheFilePath(id), record);
    world::ChunkRecordLists lists;
    world::DecodeChunkRecordLists(record, lists);
    const std::vector<uint8_t>& original = rig.chunkPlanes[id];
    const world::ChunkRecordLists& originalLists = rig.chunkLists[id];
    // The chunk's plane as it must be: the original with the box's cells in this chunk written.
    std::vector<uint8_t>& expected = rig.expectedPlane;
    expected = original;
    for (int32_t x = 0; x < sx; ++x) {
      const int col = static_cast<int>((kBoxFirstX + x * 0.5f - kChunkOrigins[id][0]) * 2);
      if (col < 0 || col >= 32) continue;
      for (int32_t z = 0; z < sz; ++z) {
        const int row = static_cast<int>((kBoxFirstZ + z * 0.5f - kChunkOrigins[id][1]) * 2);
        if (row < 0 || row >= 32) continue;
        for (int32_t y = 0; y < sy; ++y) {
          const int h = static_cast<int>(kBoxFirstY * 2) + y;
          const size_t offset = world::CellOffset(col, row, h);
          const uint8_t type = content.BlockAt(x, z, y);
          expected[offset] = type;
          const world::CellKey key = world::MakeCellKey(static_cast<uint8_t>(col), static_cast<uint8_t>(row),
                                                        static_cast<int16_t>(h));
          if (type == world::kBlockCustom) {
            const auto value = customIds.find({x, z, y});
            if (value == customIds.end()) {
              ++customsWithoutValue;
            } else if (original[offset] != world::kBlockCustom || originalLists.customBlocks.contains(key)) {
              // (A custom block written over one that had no record gets none.)
              FUZZ_CHECK(lists.customBlocks.Lookup(key) && *lists.customBlocks.Lookup(key) == value->second);
            }
          } else if (original[offset] == world::kBlockCustom || !originalLists.customBlocks.contains(key)) {
            // (A record beside a cell of another type is no custom block's: the writer leaves it.)
            FUZZ_CHECK_MSG(!lists.customBlocks.contains(key), "a custom-block record outlived its block");
          }
          if (rig.kinds[type] == world::kKindMeshBlock) {
            const auto value = rotations.find({x, z, y});
            if (value == rotations.end()) {
              ++rotationsWithoutValue;
            } else if (rig.kinds[original[offset]] != world::kKindMeshBlock ||
                       originalLists.rotations.contains(key)) {
              FUZZ_CHECK(lists.rotations.Lookup(key) &&
                         *lists.rotations.Lookup(key) == static_cast<int8_t>(value->second));
            }
          } else if (rig.kinds[original[offset]] == world::kKindMeshBlock ||
                     !originalLists.rotations.contains(key)) {
            FUZZ_CHECK_MSG(!lists.rotations.contains(key), "a rotation record outlived its block");
          }
        }
      }
    }
    FUZZ_CHECK_MSG(std::equal(expected.begin(), expected.end(), record.begin()),
                   "the box was not written, or a cell outside it changed");
  }
  FUZZ_CHECK(CountMessages(gui, "Cblock not found") == customsWithoutValue);
  FUZZ_CHECK(CountMessages(gui, "Torchrot not found") == rotationsWithoutValue);
  FUZZ_CHECK(gui.MessageBoxCount() == customsWithoutValue + rotationsWithoutValue);
}

void CheckFile(SchematicRig& rig, std::span<const uint8_t> bytes) {
  fixtures::WriteBytesToFile(rig.path, bytes);

  schematic::SchematicPlacement placement{1, 2, 3, -7, -8, -9};
  schematic::ReadSchematicSize(placement, rig.path);
  if (bytes.size() >= 12) {
    FUZZ_CHECK(placement.sizeX == fuzz::Int32At(bytes, 0) && placement.sizeZ == fuzz::Int32At(bytes, 4) &&
               placement.sizeHeight == fuzz::Int32At(bytes, 8));
  } else {
    FUZZ_CHECK(placement.sizeX == -7 && placement.sizeHeight == -8 && placement.sizeZ == -9);
  }

  std::optional<SchematicContent> content;
  const SchematicReadStatus status = ReadStatusOf(rig.path, rig.libraries, content);
  platform::ScriptedGui gui;
  const world::BlockRecord sentinel{-5, -6, -7, 99, 0x40, 4242};
  std::vector<world::BlockRecord> list{sentinel};
  const int loaded = schematic::LoadSchematicFile(gui, rig.libraries.locator(), rig.path, list);
  FUZZ_CHECK(loaded == (status == SchematicReadStatus::kRead ? 1 : 0));
  if (!loaded) {
    FUZZ_CHECK_MSG(list.size() == 1 && list[0].extra == sentinel.extra && list[0].col == sentinel.col,
                   "a failed load changed the preview list");
    FUZZ_CHECK(gui.MessageBoxCount() == (status == SchematicReadStatus::kNotASchematic ? 0u : 1u));
    return;
  }
  FUZZ_CHECK(gui.MessageBoxCount() == 0);
  FUZZ_CHECK(content->blockTypes.size() ==
             static_cast<size_t>(*schematic::SchematicCellCount(content->size)));
  CheckPreviewList(*content, list);
  CheckRoundTrip(rig, *content);
  if (content->size.sizeX <= kLargestInjectedSide && content->size.sizeZ <= kLargestInjectedSide &&
      content->size.sizeY <= kLargestInjectedHeight) {
    CheckInjection(rig, *content);
  }
}

// A file around the payload: the input's first 12 bytes as sizes, the rest compressed.
std::vector<uint8_t> FileAroundPayload(const fuzz::Libraries& libraries, std::span<const uint8_t> input) {
  std::vector<uint8_t> file(input.begin(), input.begin() + 12);
  const std::span<const uint8_t> payload = input.subspan(12);
  platform::ByteWriter writer(file);
  writer.WriteI32(schematic::kSchematicMagic);
  writer.WriteBytes(libraries.Compress(payload));
  writer.WriteI32(static_cast<int32_t>(payload.size()));
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static SchematicRig rig;
  const std::span<const uint8_t> input = fuzz::InputBytes(data, size);
  CheckFile(rig, input);
  if (input.size() >= 12) CheckFile(rig, FileAroundPayload(rig.libraries, input));
  return 0;
}
