#pragma once

#include <cstdint>
#include <vector>

#include "schematic/schematic_file.h"
#include "world/block_record.h"

namespace orelens::schematic {

// Block types through which a neighbouring face can be seen in a schematic preview:
// air, 5, 15, 16, 17, 36, 39 and 63.
bool IsSeeThroughInPreview(uint8_t blockType);

// Replaces list with one record per visible cell of content, in the order x, then z, then y
// innermost: solid cells with the faces that border the box's outside or a see-through cell,
// see-through cells other than air drawn whole. The extra value is the cell's custom block id
// (type 66) or rotation (type 15); other cells carry the last such value met (0 before the first).
void BuildPreviewBlockList(const SchematicContent& content, std::vector<world::BlockRecord>& list);

}  // namespace orelens::schematic
