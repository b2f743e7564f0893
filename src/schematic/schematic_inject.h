#pragma once

#include <string_view>

#include "schematic/schematic_services.h"

namespace orelens::schematic {

// Writes every cell of the schematic file into the world, in the box of the schematic's size
// around the centre, air included, chunk by chunk. Each rewritten chunk is stored and released
// from the loaded chunks so the loaders take it up again; the world's mesh cache
// InstaLoadDir + CurrentWorldName + "/chunkmeshes.sqlite" is deleted afterwards. A file that
// cannot be read writes nothing and shows nothing. Always 1.
int InjectSchematic(SchematicServices& services, std::string_view path, float centreX, float centreY,
                    float centreZ);

}  // namespace orelens::schematic
