#pragma once

#include <string>

#include "schematic/schematic_services.h"

namespace orelens::schematic {

// The name a schematic is saved under: the chosen name, with ".kvSch" appended unless its
// extension is exactly "kvSch" (a.KvSch becomes a.KvSch.kvSch).
std::string WithSchematicExtension(std::string path);

// Asks for a file and saves the box of blocks of the given size (cells along X, the height and Z)
// around the centre into it, reading every cell from the world. 1 when the file was written
// (also without the LZ4 library: the file then holds no payload and the user is told), 0 when
// the user cancelled or the file could not be made or saved. An existing file of the chosen name
// is replaced only by a save that succeeded; one that failed leaves it as it was.
int SaveSelectionAsSchematic(SchematicServices& services, float centreX, float centreY, float centreZ,
                             int32_t sizeX, int32_t sizeY, int32_t sizeZ);

}  // namespace orelens::schematic
