#include "schematic/schematic_save.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "platform/dynlib/lz4_library.h"
#include "platform/files/file.h"
#include "schematic/schematic_box.h"
#include "schematic/schematic_file.h"
#include "world/database_wait_window.h"

namespace orelens::schematic {

namespace {

constexpr std::string_view kOutOfMemoryText =
    "Sorry, not enough free memory available to save this map portion, try to lower the viewdistance, or "
    "reduce "
    "schematic size.";
constexpr std::string_view kLz4MissingText =
    "Lz4.dll not found, or not accessible. This file should have been shipped with the tool, try to "
    "re-download.";
constexpr std::string_view kWriteFailedText = "The schematic file could not be written.";

// Room for LZ4's worst case: a payload that does not compress at all.
size_t CompressedCapacityFor(size_t payloadSize) {
  return std::max(kCompressedOutputCapacity, payloadSize + payloadSize / 255 + 16);
}

// Reads every cell of the box from the world, chunk by chunk. False when a chunk could not be
// read (the block reader's failure says why).
bool ReadBoxFromWorld(SchematicServices& services, const SchematicBox& box, ProgressWindow& progress,
                      SchematicContent& content) {
  world::BlockReader& reader = services.blockReader;
  reader.ClearFailure();  // a new operation: the store is asked again
  const int64_t cellCount = static_cast<int64_t>(content.blockTypes.size());
  world::BlockQuery query;  // one record for the whole save: a cell without a value keeps the last one
  return ForEachCellByChunk(
      services.store, box,
      [&](int32_t x, int32_t z, int32_t y) {
        const uint8_t type = reader.GetBlockAt(query, box.CellX(x), box.CellY(y), box.CellZ(z));
        if (reader.failure()) return false;
        content.blockTypes[content.CellIndex(x, z, y)] = type;
        if (type == world::kBlockCustom) {
          content.customBlocks.push_back({x, z, y, query.extra});
        } else if (type == world::kBlockTorch) {
          content.rotations.push_back({x, z, y, query.extra});
        }
        progress.CountCell(cellCount);
        return true;
      },
      [](const world::ChunkLocation&) { return true; });
}

// The payload compressed, or nothing when it cannot be.
std::optional<std::vector<uint8_t>> Compress(const platform::Lz4Library& lz4,
                                             std::span<const uint8_t> payload) {
  std::vector<uint8_t> output;
  try {
    output.resize(CompressedCapacityFor(payload.size()));
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  const int written = lz4.CompressDefault(payload, output);
  if (written <= 0) return std::nullopt;
  output.resize(static_cast<size_t>(written));
  return output;
}

}  // namespace

std::string WithSchematicExtension(std::string path) {
  const size_t lastSeparator = path.find_last_of("/\\");
  const size_t partStart = lastSeparator == std::string::npos ? 0 : lastSeparator + 1;
  const size_t dot = path.rfind('.');
  const std::string_view extension = dot != std::string::npos && dot >= partStart
                                         ? std::string_view(path).substr(dot + 1)
                                         : std::string_view();
  if (extension != kSchematicExtension) path += ".kvSch";
  return path;
}

int SaveSelectionAsSchematic(SchematicServices& services, float centreX, float centreY, float centreZ,
                             int32_t sizeX, int32_t sizeY, int32_t sizeZ) {
  const SchematicBox box = SchematicBox::AroundCentre(centreX, centreY, centreZ, sizeX, sizeY, sizeZ);
  platform::Gui& gui = services.gui;

  const std::string chosen = gui.SaveFileRequester("Choose a File to save to", "", kSaveRequesterPattern, 0);
  if (chosen.empty()) return 0;
  const std::string path = WithSchematicExtension(chosen);
  // A file that is there but may not be written (read-only, held by another program) stays as it is.
  if (platform::FileSize(path) != -1 && !platform::File::Open(path, platform::FileMode::kUpdate).IsOpen())
    return 0;
  // The new file is written beside the chosen one and takes its place only once the save has
  // succeeded: a save that fails leaves a file it was to replace as it was, and nothing new.
  platform::ReplacementFile file = platform::ReplacementFile::Begin(path);
  if (!file.IsOpen()) return 0;
  const auto writeFailed = [&] {
    gui.MessageBox("Error", kWriteFailedText);
    return 0;
  };
  const auto outOfMemory = [&] {
    gui.MessageBox("Out of memory", kOutOfMemoryText);
    return 0;
  };

  ProgressWindow progress(gui, services.clock, "Saving Kelvane Schematic...", "Saving cube...");
  // Declared after the progress window: its own window goes first and the progress stays beneath.
  world::DatabaseWaitWindow databaseWait(gui);
  const world::ScopedWaitObserver watchReads(services.blockReader, &databaseWait);
  const SchematicSize size{sizeX, sizeZ, sizeY};
  if (!file.Write(EncodeSchematicHeader(size))) return writeFailed();

  const std::optional<int64_t> cellCount = SchematicCellCount(size);
  SchematicContent content;
  content.size = size;
  try {
    // Cells of chunks the world does not list are not all visited (they share one chunk id);
    // they are air, never the block type 0.
    if (cellCount) content.blockTypes.assign(static_cast<size_t>(*cellCount), world::kBlockAir);
  } catch (const std::bad_alloc&) {
    content.blockTypes.clear();
  }
  if (content.blockTypes.empty()) return outOfMemory();

  if (!ReadBoxFromWorld(services, box, progress, content)) {
    progress.Close();
    gui.MessageBox(
        "Error", world::ChunkFailureMessage("The schematic was not saved", *services.blockReader.failure()));
    return 0;
  }

  std::vector<uint8_t> payload;
  try {
    payload = EncodeSchematicPayload(content);
  } catch (const std::bad_alloc&) {
    return outOfMemory();
  }
  if (payload.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return outOfMemory();
  const auto payloadSize = static_cast<int32_t>(payload.size());

  if (const std::unique_ptr<platform::Lz4Library> lz4 = platform::Lz4Library::Load(services.libraries)) {
    const std::optional<std::vector<uint8_t>> compressed = Compress(*lz4, payload);
    if (!compressed) return outOfMemory();
    if (!file.Write(*compressed)) return writeFailed();
  } else {
    // The file is finished without a payload, which no reader accepts; the user is told why.
    gui.MessageBox("Error", kLz4MissingText);
  }
  if (!file.Write(EncodeSchematicTrailer(payloadSize)) || !file.Commit()) return writeFailed();
  return 1;
}

}  // namespace orelens::schematic
