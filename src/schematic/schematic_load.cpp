#include "schematic/schematic_load.h"

#include <array>

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
  const SchematicReadResult read = ReadSchematic(file, libraries);
  switch (read.status) {
    case SchematicReadStatus::kRead:
      BuildPreviewBlockList(*read.content, previewBlockList);
      return 1;
    case SchematicReadStatus::kCannotAllocate:
      gui.MessageBox(
          "Error",
          "There is not enough memory available to ofen this schematic. Try unloading some chunks and "
          "closing applications to make some space.");
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
