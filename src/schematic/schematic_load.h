#pragma once

#include <string_view>
#include <vector>

#include "platform/dynlib/dynamic_library.h"
#include "platform/gui/gui.h"
#include "schematic/schematic_state.h"
#include "world/block_record.h"

namespace orelens::schematic {

// What the user is told when a schematic does not fit in memory.
inline constexpr std::string_view kNotEnoughMemoryText =
    "There is not enough memory available to ofen this schematic. Try unloading some chunks and closing "
    "applications to make some space.";

// Takes the three sizes from the start of a schematic file into the placement, whatever the rest
// of the file holds. A file that cannot be opened, or is too short for them, leaves the sizes.
void ReadSchematicSize(SchematicPlacement& placement, std::string_view path);

// Reads a schematic file into the preview list (see BuildPreviewBlockList). 1 when the list holds
// the new preview, 0 when the file could not be used; the reason is shown in a message box, and
// the list keeps what it held.
int LoadSchematicFile(platform::Gui& gui, const platform::LibraryLocator& libraries, std::string_view path,
                      std::vector<world::BlockRecord>& previewBlockList);

}  // namespace orelens::schematic
