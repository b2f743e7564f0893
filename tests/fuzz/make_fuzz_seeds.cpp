// Writes the seed inputs of every harness, made by our own fixture writers, into
// <folder>/<harness>/ (the harness's name without "_fuzzer"). Run at build time.
//   make_fuzz_seeds <folder>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "customblocks/block_properties.h"
#include "fixtures/chunk_record_writer.h"
#include "fixtures/custom_block_folder.h"
#include "fixtures/dds_writer.h"
#include "fixtures/schematic_writer.h"
#include "fixtures/world_writer.h"
#include "platform/files/byte_writer.h"
#include "platform/gui/scripted_gui.h"
#include "viewer/preferences.h"
#include "world/chunk_record.h"
#include "world/settings.h"

namespace {

namespace fs = std::filesystem;
using namespace orelens;
using Bytes = std::vector<uint8_t>;

class SeedFolder {
 public:
  SeedFolder(const fs::path& root, const std::string& harness) : folder_(root / harness) {
    fs::create_directories(folder_);
  }
  void Put(const std::string& name, const Bytes& bytes) const {
    fixtures::WriteBytesToFile((folder_ / name).string(), bytes);
  }
  void Put(const std::string& name, const std::string& text) const {
    Put(name, Bytes(text.begin(), text.end()));
  }

 private:
  fs::path folder_;
};

// The bytes of a decoded record from offset 1,638,400 on: what the record harnesses take.
Bytes RecordTail(const fixtures::ChunkRecordSpec& spec) {
  const Bytes record = fixtures::MakeChunkRecord(spec);
  return Bytes(record.begin() + world::kChunkSizeWithoutLists, record.end());
}

fixtures::ChunkRecordSpec SmallSpecWithLists() {
  fixtures::ChunkRecordSpec spec;
  spec.withLists = true;
  spec.minHeight = 10;
  spec.maxHeight = 120;
  spec.rotations = {{3, 4, 50, 2}, {3, 5, 50, -1}};
  spec.n2Records = {{1, 2, 3, 4, 5}};
  spec.groups = {{{7, 7, 7}, {11, 12}}};
  spec.customBlocks = {{1, 1, 20, 111}, {2, 1, 20, 222}};
  return spec;
}

// Record variants whose walk stops at each of its checks, and counts that lie.
std::vector<std::pair<std::string, fixtures::ChunkRecordSpec>> RecordVariants() {
  std::vector<std::pair<std::string, fixtures::ChunkRecordSpec>> variants;
  variants.emplace_back("terrain", fixtures::MakeTerrainChunkSpec(7));
  variants.emplace_back("small", SmallSpecWithLists());
  const auto variant = [&](const std::string& name, auto change) {
    fixtures::ChunkRecordSpec spec = SmallSpecWithLists();
    change(spec);
    variants.emplace_back(name, spec);
  };
  using Spec = fixtures::ChunkRecordSpec;
  variant("flag-of-two", [](Spec& spec) { spec.flags[3] = 2; });
  variant("version-51", [](Spec& spec) { spec.v = 51; });
  variant("light-table-1023", [](Spec& spec) { spec.l = 1023; });
  variant("negative-rotation-count", [](Spec& spec) { spec.rotationCountOverride = -1; });
  variant("huge-second-count", [](Spec& spec) { spec.n2CountOverride = 0x7FFFFFFF; });
  variant("groups-past-the-end", [](Spec& spec) { spec.groupCountOverride = 1000; });
  variant("custom-count-past-the-end", [](Spec& spec) {
    spec.customBlockCountOverride = 3;
    spec.trailing.clear();
  });
  return variants;
}

void WriteChunkRecordSeeds(const fs::path& root) {
  const SeedFolder seeds(root, "chunk_record");
  for (const auto& [name, spec] : RecordVariants()) seeds.Put(name, RecordTail(spec));
  seeds.Put("no-lists", Bytes{});
}

// One edit of the block writer harness: a cell named by its place, a block (an index, or 0x0F for
// the flush call), an extra value.
void AppendEdit(Bytes& out, int col, int row, int height, uint8_t blockIndex, int8_t extra) {
  out.push_back(static_cast<uint8_t>(col + 16));
  out.push_back(static_cast<uint8_t>(row + 16));
  out.push_back(static_cast<uint8_t>((height + 100) & 0xFF));
  out.push_back(static_cast<uint8_t>((height + 100) >> 8));
  out.push_back(blockIndex);
  out.push_back(static_cast<uint8_t>(extra));
}
// An edit of the n-th cell that the record's lists name.
void AppendListedCellEdit(Bytes& out, uint16_t index, uint8_t blockIndex, int8_t extra) {
  out.insert(out.end(), {0x80, static_cast<uint8_t>(index), static_cast<uint8_t>(index >> 8), 0, blockIndex,
                         static_cast<uint8_t>(extra)});
}

void WriteBlockWriterSeeds(const fs::path& root) {
  const SeedFolder seeds(root, "block_writer");
  // Block indexes: 0 air, 1 stone, 2 custom block, 3 torch, 4 lantern, 5 glass.
  for (const auto& [name, spec] : RecordVariants()) {
    Bytes input{0};                         // the number of edits, set below
    AppendListedCellEdit(input, 0, 0, 0);   // a listed cell becomes air
    AppendListedCellEdit(input, 1, 2, 55);  // another a custom block
    AppendEdit(input, 5, 6, 7, 2, 12);      // a new custom block
    AppendEdit(input, 8, 9, 60, 3, 2);      // a new torch
    AppendEdit(input, 8, 9, 60, 4, 3);      // the torch becomes a lantern
    AppendEdit(input, 0, 0, 0, 0x0F, 0);    // the flush call: the chunk stays loaded
    AppendEdit(input, 9, 9, 60, 3, 1);      // another torch in it, written at the end
    AppendEdit(input, 0, 0, 850, 1, 0);     // above the chunk: nothing
    AppendEdit(input, 40, 5, 230, 0, 0);    // in the neighbour chunk: the first is written back
    AppendEdit(input, 3, 4, 200, 2, 9);     // and back in the first chunk
    if (!spec.customBlocks.empty()) {       // a listed custom block gets another id
      const world::CustomBlockRecord& custom = spec.customBlocks.front();
      AppendEdit(input, custom.col, custom.row, custom.height, 2, -7);
    }
    if (!spec.rotations.empty()) {  // a listed mesh block becomes another mesh block
      const world::RotationRecord& rotation = spec.rotations.front();
      AppendEdit(input, rotation.col, rotation.row, rotation.height, 4, 1);
    }
    input[0] = static_cast<uint8_t>((input.size() - 1) / 6);
    const Bytes tail = RecordTail(spec);
    input.insert(input.end(), tail.begin(), tail.end());
    seeds.Put(name, input);
  }
  Bytes airOnly{1};
  AppendEdit(airOnly, 31, 31, 799, 1, 0);
  seeds.Put("no-lists", airOnly);
}

void WriteChunkStoreSeeds(const fs::path& root) {
  const SeedFolder seeds(root, "chunk_store");
  const Bytes small = fixtures::MakeChunkRecord(SmallSpecWithLists());
  seeds.Put("small", fixtures::CompressChunkRecord(small));
  seeds.Put("terrain", fixtures::MakeChunkBlob(fixtures::MakeTerrainChunkSpec(3)));
  seeds.Put("no-lists", fixtures::MakeChunkBlob(fixtures::ChunkRecordSpec{}));
  seeds.Put("trailer-too-large",
            fixtures::CompressChunkRecordWithTrailer(small, static_cast<int32_t>(small.size() + 5)));
  seeds.Put("trailer-too-small",
            fixtures::CompressChunkRecordWithTrailer(small, static_cast<int32_t>(small.size() - 5)));
  seeds.Put("trailer-below-the-plane", fixtures::CompressChunkRecordWithTrailer(
                                           small, static_cast<int32_t>(world::kChunkHeadAndPlaneSize - 1)));
  seeds.Put("shorter-than-its-trailer", Bytes{1, 2, 3});
  Bytes headAndPlane = small;
  headAndPlane.resize(world::kChunkHeadAndPlaneSize);
  seeds.Put("head-and-plane-only", fixtures::CompressChunkRecord(headAndPlane));
}

void WriteWorldMetadataSeeds(const fs::path& root) {
  const SeedFolder seeds(root, "world_metadata");
  fixtures::MetadataSpec spec = fixtures::MetadataForEngineOrigins({{-8, -8},
                                                                    {8, -8},
                                                                    {-8, 8},
                                                                    {8, 8},
                                                                    {24, -8},
                                                                    {24, 8},
                                                                    {-24, 8},
                                                                    {-24, -8},
                                                                    {-8, 24},
                                                                    {8, 24},
                                                                    {24, 24},
                                                                    {-8, 24}});
  spec.bRecords = {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {}};
  spec.position = {1000, 2000, 300};
  seeds.Put("twelve-chunks", fixtures::MakeMetadataFile(spec));
  fixtures::MetadataSpec few = fixtures::MetadataForEngineOrigins({{-8, -8}, {8, -8}});
  seeds.Put("two-chunks", fixtures::MakeMetadataFile(few));
  few.chunkCountOverride = 100000;
  seeds.Put("count-past-the-end", fixtures::MakeMetadataFile(few));
  few.chunkCountOverride = -3;
  seeds.Put("negative-count", fixtures::MakeMetadataFile(few));
  Bytes cut = fixtures::MakeMetadataFile(spec);
  cut.resize(fixtures::PlayerPositionOffset(spec) + 10);
  seeds.Put("cut-in-the-position", cut);
  fixtures::MetadataSpec endsWithPosition = spec;
  endsWithPosition.afterPosition.clear();
  seeds.Put("ends-with-the-position", fixtures::MakeMetadataFile(endsWithPosition));
  seeds.Put("empty", Bytes{});
}

void WriteSchematicSeeds(const fs::path& root) {
  const SeedFolder seeds(root, "schematic");
  seeds.Put("stone", fixtures::MakeSchematicFile(fixtures::SchematicSpec::Filled(1, 1, 1, 1)));
  fixtures::SchematicSpec mixed = fixtures::SchematicSpec::Filled(4, 3, 5, 3);
  mixed.Set(0, 0, 0, 1);
  mixed.Set(1, 0, 0, 1);
  mixed.Set(2, 1, 1, 5);
  mixed.Set(3, 2, 4, 66);
  mixed.Set(1, 1, 2, 15);
  mixed.Set(0, 2, 3, 200);
  mixed.customBlocks = {{3, 2, 4, 123456}};
  mixed.rotations = {{1, 1, 2, -2}};
  seeds.Put("mixed", fixtures::MakeSchematicFile(mixed));
  fixtures::SchematicSpec wide = fixtures::SchematicSpec::Filled(20, 18, 6, 1);
  for (int x = 0; x < 20; x += 3) {
    wide.Set(x, x % 18, 2, 66);
    wide.customBlocks.push_back({x, x % 18, 2, 1000 + x});
  }
  for (int z = 0; z < 18; z += 4) {
    wide.Set(z, z, 5, 15);
    wide.rotations.push_back({z, z, 5, z % 4});
  }
  wide.Set(7, 7, 3, 36);
  seeds.Put("wide-across-chunks", fixtures::MakeSchematicFile(wide));
  seeds.Put("air", fixtures::MakeSchematicFile(fixtures::SchematicSpec::Filled(2, 2, 2, 3)));
  fixtures::SchematicSpec broken = mixed;
  broken.magic = 0x12345678;
  seeds.Put("wrong-magic", fixtures::MakeSchematicFile(broken));
  broken = mixed;
  broken.withoutPayload = true;
  seeds.Put("without-payload", fixtures::MakeSchematicFile(broken));
  broken = mixed;
  broken.customCount = 1000;
  seeds.Put("custom-count-past-the-end", fixtures::MakeSchematicFile(broken));
  broken = mixed;
  broken.storedSize = 7;
  seeds.Put("wrong-stored-size", fixtures::MakeSchematicFile(broken));
  // The harness also reads an input as sizes and a bare payload.
  for (const auto& [name, spec] : {std::pair{"payload-mixed", mixed}, std::pair{"payload-wide", wide}}) {
    Bytes input;
    platform::ByteWriter writer(input);
    writer.WriteI32(spec.sizeX);
    writer.WriteI32(spec.sizeZ);
    writer.WriteI32(spec.sizeY);
    writer.WriteBytes(fixtures::MakeSchematicPayload(spec));
    seeds.Put(name, input);
  }
}

void WritePreferencesSeeds(const fs::path& root) {
  const SeedFolder seeds(root, "preferences");
  fixtures::TempFolder temp;
  world::Settings settings;
  settings.CurrentWorldName = "My Great World";
  settings.SaveDir = "/home/player/Kelvane/Saved/WorldData/";
  settings.InstaLoadDir = "/home/player/Kelvane/Saved/WorldData_InstaLoad/";
  settings.SteamAppsDir = "C:/Program Files (x86)/Steam/steamapps/";
  settings.ViewDistance = 300;
  settings.ShadowMode = 2;
  platform::ScriptedGui gui;
  const std::string path = temp.path() + "prefs.ini";
  fixtures::WriteBytesToFile(path, Bytes{});
  viewer::SavePreferences(settings, path, gui);
  seeds.Put("as-saved", fixtures::ReadFileBytes(path));
  seeds.Put(
      "by-hand",
      std::string("; written by hand\n[Group]\nlastworld =  Caf\xE9 World \t\nViewDistance = far\n"
                  "Shadows=-1\nSaveDir\t=\t/data/saves/\n  = no key\nDo not share custom Blocks in mods "
                  "directory = 0\r\nVisibleChunkBorders = 99999999999999\n"));
  seeds.Put("empty", Bytes{});
}

void WriteBlockDefinitionsSeeds(const fs::path& root) {
  const SeedFolder seeds(root, "block_definitions");
  seeds.Put("blocks",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- block types -->\n<Blocks>\n"
            "  <Block id=\"1\" textype=\"0\" texture0=\"stone.png\">Stone</Block>\n"
            "  <Block id=\"2\" textype=\"3\" texture0=\"stone.png\" texture1=\"missing.png\" "
            "texture2=\"stone.png\">Grass</Block>\n"
            "  <AlphaBlock id=\"3\" textype=\"0\">Air</AlphaBlock>\n"
            "  <AlphaBlock id=\"5\" texture0=\"stone.png\">Glass</AlphaBlock>\n"
            "  <Block id=\"15\" mesh=\"torch.obj\" texture0=\"stone.png\">Torch</Block>\n"
            "  <AlphaBlock id=\"36\" textype=\"5\" texture0=\"stone.png\">Tall grass</AlphaBlock>\n"
            "  <AlphaBlock id=\"$3F\" textype=\"6\" mesh=\"ice.obj\">Ice</AlphaBlock>\n"
            "  <Block textype=\"260\">Repeats the id before</Block>\n"
            "  <Block id=\"300\">Out of range</Block>\n"
            "  <Block ID=\"7\" Texture0=\"stone.png\">Capitals are other attributes</Block>\n"
            "</Blocks>\n");
  seeds.Put("malformed", "<Blocks>\n  <Block id=\"1\">Stone</Blok>\n</Blocks>\n");
  // <r><a id="9"/></r> in UTF-16 with its byte-order mark.
  constexpr char kUtf16[] =
      "\xFF\xFE<\0r\0>\0<\0a\0 \0i\0d\0=\0\"\0"
      "9\0\"\0/\0>\0<\0/\0r\0>\0";
  seeds.Put("utf-16", std::string(kUtf16, sizeof(kUtf16) - 1));
}

void WriteBlockPropertiesSeeds(const fs::path& root) {
  const SeedFolder seeds(root, "block_properties");
  seeds.Put("as-written", fixtures::MakeBlockPropertiesText("Marble", 3, 1234567, "Someone"));
  seeds.Put("odd-lines", std::string("{\r\"name\": \"lower\",\n\"Mode\" : -4\r\n\"UniqueID\": \"12\"\n"
                                     "\"CreatorName\": \"A\" \"B\"\r\n\"UniqueID\": 99999999999999999999"));
  // A CR LF that falls across the reader's 4,096-byte pieces.
  std::string longFile(4095, ' ');
  longFile += "\r\n\"Name\": \"after the break\",\r\n";
  seeds.Put("line-end-across-pieces", longFile);
  // Key lines as long as the longest line that is read, and one byte longer.
  const size_t bound = customblocks::kLongestPropertiesLine;
  const auto padded = [](std::string line, size_t length) {
    line.resize(length, ' ');
    return line;
  };
  seeds.Put("lines-at-the-bound", padded("\"Mode\": 2", bound) + "\n" + padded("\"Mode\": 3", bound + 1) +
                                      "\r\n\"Name\": \"" + std::string(bound - 10, 'n') + "\"\n\"Name\": \"" +
                                      std::string(bound - 9, 'm') + "\"\n");
}

void WriteDdsThumbnailSeeds(const fs::path& root) {
  const SeedFolder seeds(root, "dds_thumbnail");
  const fixtures::Bc3BlockFields red{.alpha0 = 200,
                                     .alpha1 = 100,
                                     .alphaIndices = 3,
                                     .colour0 = 0xF800,
                                     .colour1 = 0x001F,
                                     .colourIndices = 2};
  seeds.Put("uniform", fixtures::MakeUniformDdsFile(64, 64, red));
  seeds.Put("pattern", fixtures::MakeDdsFile(128, 32, [](int x, int y) {
              return fixtures::MakeBc3Block({.alpha0 = static_cast<uint8_t>(x),
                                             .alpha1 = static_cast<uint8_t>(y),
                                             .alphaIndices = static_cast<uint64_t>(x % 8),
                                             .colour0 = static_cast<uint16_t>(x * 977),
                                             .colour1 = static_cast<uint16_t>(y * 131),
                                             .colourIndices = static_cast<uint32_t>(x + y)});
            }));
  Bytes cut = fixtures::MakeUniformDdsFile(2048, 2048, red);
  cut.resize(128 + 16 * 700 + 9);
  seeds.Put("cut-short", cut);
  seeds.Put("narrow", fixtures::MakeUniformDdsFile(6, 8, red));
  Bytes tooLarge = fixtures::MakeUniformDdsFile(8, 8, red);
  tooLarge[16] = 0x04;  // width 4096 + 8 in the header
  tooLarge[17] = 0x10;
  seeds.Put("wider-than-the-texture", tooLarge);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_seeds <folder>\n");
    return 2;
  }
  const fs::path root = argv[1];
  WriteChunkRecordSeeds(root);
  WriteBlockWriterSeeds(root);
  WriteChunkStoreSeeds(root);
  WriteWorldMetadataSeeds(root);
  WriteSchematicSeeds(root);
  WritePreferencesSeeds(root);
  WriteBlockDefinitionsSeeds(root);
  WriteBlockPropertiesSeeds(root);
  WriteDdsThumbnailSeeds(root);
  return 0;
}
