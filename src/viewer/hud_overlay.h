#pragma once

#include <cstdint>

namespace orelens::viewer {

class ProgramContext;

// The translucent panel in the top left corner of the view: sprite 0, 450 x 100 pixels.

// Makes the sprite and draws its frame once; DrawHudText repaints only inside the frame.
void CreateHudSprite(ProgramContext& ctx);
// Redraws the panel for an interaction mode (-1: the start hint) and the chunk under the camera.
int DrawHudText(ProgramContext& ctx, int mode, int chunkId);
// The eight loader slot boxes along the panel's bottom edge, coloured by each slot's mesher state.
void DrawSlotStatusBoxes(ProgramContext& ctx);
// The RGBA colour of a slot box: green building, orange a band due, white abandoned, red idle.
uint32_t SlotStatusColour(int64_t meshSlotState);

}  // namespace orelens::viewer
