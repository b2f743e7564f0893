#pragma once

#include <string>

#include "platform/engine3d/engine3d.h"
#include "platform/gui/gui.h"

namespace orelens::customblocks {

// Side of the textures that custom-block pictures are decoded into: a 2048 x 2048 DDS file
// fills one exactly at a quarter of its size.
inline constexpr int kDdsThumbnailSize = 512;

// A new 512 x 512 texture holding the quarter-size picture of the DDS file at path, or 0 when
// the engine cannot create the texture. A missing or unreadable file still gives a texture,
// which keeps the content it was created with. Moves the texture progress bar from 0 to 100.
int LoadDdsPreviewTexture(platform::Engine3D& engine, platform::Gui& gui, const std::string& path);

// Draws the quarter-size picture of the DDS file (one pixel per 4 x 4 block) into the top-left
// corner of the texture, handling one window event after each row of blocks. Draws nothing
// when the file is missing, empty, a folder, or larger than the texture allows.
void DrawDdsThumbnail(platform::Engine3D& engine, platform::Gui& gui, const std::string& path, int texture);

}  // namespace orelens::customblocks
