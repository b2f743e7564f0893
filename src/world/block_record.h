#pragma once

#include <cstdint>

namespace orelens::world {

// Bits of BlockRecord::faceMask: which faces of a block are drawn.
enum FaceMask : uint8_t {
  kFaceTop = 0x01,     // +Y
  kFaceBottom = 0x02,  // -Y
  kFaceMinusX = 0x04,
  kFacePlusX = 0x08,
  kFacePlusZ = 0x10,
  kFaceMinusZ = 0x20,
  kFaceWholeBlock = 0x80,  // the whole block model (double-sided alpha blocks, schematic see-through blocks)
};

// One visible block: written by the chunk loaders and by schematic loading,
// read by the chunk mesher and the schematic preview.
struct BlockRecord {
  int32_t col = 0;     // 0..31 along X inside the chunk (cell index along X in a schematic)
  int32_t row = 0;     // 0..31 along Z inside the chunk
  int32_t height = 0;  // 0..799 along Y
  uint8_t type = 0;    // block type
  uint8_t faceMask = 0;
  int32_t extra = 0;  // custom block id for type 66, rotation value for mesh blocks
};

}  // namespace orelens::world
