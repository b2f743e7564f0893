#include "schematic/schematic_inject.h"

#include "platform/files/file.h"
#include "schematic/cell_value_map.h"
#include "schematic/schematic_box.h"
#include "schematic/schematic_reading.h"

namespace orelens::schematic {

namespace {

// Writes the cells of the schematic chunk by chunk through the block writer.
void WriteCellsIntoWorld(SchematicServices& services, const SchematicContent& content,
                         const SchematicBox& box, ProgressWindow& progress) {
  CellValueMap customIds;
  customIds.Add(content.customBlocks);
  CellValueMap rotations;
  rotations.Add(content.rotations);

  const int64_t cellCount = static_cast<int64_t>(content.blockTypes.size());
  int32_t extra = 0;  // a cell whose value is missing gets the one written before it
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
        services.blockWriter.SetBlock(type, extra, box.CellX(x), box.CellY(y), box.CellZ(z));
        progress.CountCell(cellCount);
      },
      [&](const world::ChunkLocation& chunk) {
        // Store the chunk before it leaves the loaded chunks: a loader may take it up at once and
        // must find the new record.
        services.blockWriter.Flush();
        if (services.releaseLoadedChunk) services.releaseLoadedChunk(chunk);
      });
}

}  // namespace

int InjectSchematic(SchematicServices& services, std::string_view path, float centreX, float centreY,
                    float centreZ) {
  platform::File file = OpenSchematicForReading(path);
  if (!file.IsOpen()) return 1;
  ProgressWindow progress(services.gui, services.clock, "Injecting Kelvane Schematic to World...",
                          "Manipulating Chunks...");
  const SchematicReadResult read = ReadSchematic(file, services.libraries);
  if (read.status != SchematicReadStatus::kRead) return 1;
  const SchematicContent& content = *read.content;

  const SchematicBox box = SchematicBox::AroundCentre(centreX, centreY, centreZ, content.size.sizeX,
                                                      content.size.sizeY, content.size.sizeZ);
  WriteCellsIntoWorld(services, content, box, progress);
  services.blockWriter.Flush();

  platform::DeleteFile(services.settings.InstaLoadDir + services.settings.CurrentWorldName +
                       "/chunkmeshes.sqlite");
  return 1;
}

}  // namespace orelens::schematic
