#include "schematic/schematic_load.h"

#include <array>
#include <new>

#include "platform/files/byte_reader.h"
#include "schematic/schematic_preview.h"
#include "schematic/schematic_reading.h"

namespace orelens::schematic {

void ReadSchematicSize(SchematicPlacement& placement, std::string_view path) {
  platform::File file = OpenSchematicForReading(path);
  if (!file.IsOpen()) return;
  std::array<uint8_t, 12> sizes{};
  if (file.Read(sizes) != sizes.size()) return;
  platform::ByteReader reader(sizes);
  int32_t sizeX = 0, sizeZ = 0, sizeHeight = 0;
  reader.ReadI32(sizeX);
  reader.ReadI32(sizeZ);
  reader.ReadI32(sizeHeight);
  placement.sizeX = sizeX;
  placement.sizeZ = sizeZ;
  placement.sizeHeight = sizeHeight;
}

int LoadSchematicFile(platform::Gui& gui, const platform::LibraryLocator& libraries, std::string_view path,
                      std::vector<world::BlockRecord>& previewBlockList) {
  platform::File file = OpenSchematicForReading(path);
  if (!file.IsOpen()) {
    gui.MessageBox("Error", "The selected file could not be read, sorry.");
    return 0;
  }
  SchematicReadResult read = ReadSchematic(file, libraries);
  switch (read.status) {
    case SchematicReadStatus::kRead:
      try {
        // Built beside the old preview, which stays when there is no room for the new one.
        std::vector<world::BlockRecord> preview;
        BuildPreviewBlockList(*read.content, preview);
        read.content.reset();
        previewBlockList.swap(preview);
        return 1;
      } catch (const std::bad_alloc&) {
        read.content.reset();
        gui.MessageBox("Error", kNotEnoughMemoryText);
        return 0;
      }
    case SchematicReadStatus::kCannotAllocate:
    case SchematicReadStatus::kOutOfMemory:
      gui.MessageBox("Error", kNotEnoughMemoryText);
      return 0;
    case SchematicReadStatus::kNotASchematic:
      return 0;
    case SchematicReadStatus::kNoLz4:
      gui.MessageBox(
          "Error",
          "Lz4.dll not found, or not accessible. This file should have been shipped with the tool, try "
          "to re-download.");
      return 0;
    case SchematicReadStatus::kUnpackFailed:
    case SchematicReadStatus::kBadPayload:
      gui.MessageBox("", "Failed to unkack schematic file. Sorry, but this file is not useable.");
      return 0;
  }
  return 0;
}

}  // namespace orelens::schematic
