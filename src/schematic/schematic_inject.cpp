#include "schematic/schematic_inject.h"

#include "platform/files/file.h"
#include "schematic/cell_value_map.h"
#include "schematic/schematic_box.h"
#include "schematic/schematic_load.h"
#include "schematic/schematic_reading.h"
#include "world/database_wait_window.h"

namespace orelens::schematic {

namespace {

// Writes the cells of the schematic chunk by chunk through the block writer. Stops at the first
// chunk that cannot be read or stored; the chunks before it are written and released. The number
// of chunks written.
int WriteCellsIntoWorld(SchematicServices& services, const SchematicContent& content, const SchematicBox& box,
                        ProgressWindow& progress) {
  CellValueMap customIds;
  customIds.Add(content.customBlocks);
  CellValueMap rotations;
  rotations.Add(content.rotations);

  const int64_t cellCount = static_cast<int64_t>(content.blockTypes.size());
  int32_t extra = 0;  // a cell whose value is missing gets the one written before it
  int chunksWritten = 0;
  bool chunkHasCells = false;
  ForEachCellByChunk(
      services.store, box,
      [&](int32_t x, int32_t z, int32_t y) {
        const uint8_t type = content.BlockAt(x, z, y);
        if (type == world::kBlockCustom) {
          if (const int32_t* value = customIds.Find(x, z, y)) {
            extra = *value;
          } else {
            services.gui.MessageBox("", "Cblock not found");
          }
        } else if (services.kinds[type] == world::kKindMeshBlock) {
          if (const int32_t* value = rotations.Find(x, z, y)) {
            extra = *value;
          } else {
            services.gui.MessageBox("", "Torchrot not found");
          }
        } else {
          extra = 1;
        }
        if (!services.blockWriter.SetBlock(type, extra, box.CellX(x), box.CellY(y), box.CellZ(z)))
          return false;
        chunkHasCells = true;
        progress.CountCell(cellCount);
        return true;
      },
      [&](const world::ChunkLocation& chunk) {
        // Store the chunk before it leaves the loaded chunks: a loader may take it up at once and
        // must find the new record.
        if (!services.blockWriter.Flush()) return false;
        chunksWritten += chunkHasCells ? 1 : 0;
        chunkHasCells = false;
        if (services.releaseLoadedChunk) services.releaseLoadedChunk(chunk);
        return true;
      });
  return chunksWritten;
}

// What an injection that a chunk stopped had done by then.
std::string InjectionDoneSoFar(int chunksWritten) {
  if (chunksWritten == 0) return "Nothing in the world was changed.";
  return "It was written into " + std::to_string(chunksWritten) +
         (chunksWritten == 1 ? " chunk" : " chunks") +
         " before it stopped; injecting it again at the same place completes it.";
}

}  // namespace

int InjectSchematic(SchematicServices& services, std::string_view path, float centreX, float centreY,
                    float centreZ) {
  platform::File file = OpenSchematicForReading(path);
  if (!file.IsOpen()) return 1;
  ProgressWindow progress(services.gui, services.clock, "Injecting Kelvane Schematic to World...",
                          "Manipulating Chunks...");
  const SchematicReadResult read = ReadSchematic(file, services.libraries);
  if (read.status == SchematicReadStatus::kOutOfMemory) {
    progress.Close();
    services.gui.MessageBox("Error", kNotEnoughMemoryText);
  }
  if (read.status != SchematicReadStatus::kRead) return 1;
  const SchematicContent& content = *read.content;

  const SchematicBox box = SchematicBox::AroundCentre(centreX, centreY, centreZ, content.size.sizeX,
                                                      content.size.sizeY, content.size.sizeZ);
  world::BlockWriter& writer = services.blockWriter;
  writer.ClearFailure();  // a new operation: the store is asked again
  world::DatabaseWaitWindow databaseWait(services.gui);
  const world::ScopedWaitObserver watchWrites(writer, &databaseWait);
  const int chunksWritten = WriteCellsIntoWorld(services, content, box, progress);
  writer.Flush();
  if (const std::optional<world::ChunkAccessFailure> failure = writer.failure()) {
    progress.Close();
    services.gui.MessageBox(
        "Error", world::ChunkFailureMessage("The schematic could not be written into the world", *failure,
                                            InjectionDoneSoFar(chunksWritten)));
    if (chunksWritten == 0) return 1;
  }

  platform::DeleteFile(services.settings.InstaLoadDir + services.settings.CurrentWorldName +
                       "/chunkmeshes.sqlite");
  return 1;
}

}  // namespace orelens::schematic
