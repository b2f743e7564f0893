#pragma once

#include <string>

#include "platform/engine3d/engine3d.h"
#include "platform/gui/gui.h"
#include "viewer/custom_block_map.h"

namespace orelens::customblocks {

// Where preview pictures go and how they are optimised.
struct BlockPreviewSettings {
  // Relative to the working directory; the folder belongs to the installation and is not created.
  std::string previewFolder = "./Textures/Block_prev/";
  // The PNG optimiser; empty: "tools/pingo" in the folder of the program's own executable.
  std::string optimiserProgram;
  int optimiserTimeoutMs = 2000;
  int pauseAfterPreviewMs = 100;
};

// The preview file of a block: previewFolder + id in decimal + ".png".
std::string PreviewFilePath(const std::string& previewFolder, int32_t id);

// "tools/pingo" beside the running executable ("" when the executable cannot be found).
std::string OptimiserBesideExecutable();

// Copies the rectangle at (x, y) of the 3D view, in view pixels, into a sprite of that size
// made with the given flags (number -1 makes a new one). Returns the sprite's handle for -1, the
// number otherwise, or 0 when the sprite cannot be made. Parts outside the view come out black.
int GrabWindowRegion(platform::Engine3D& engine, int number, int x, int y, int width, int height, int flags);

// Makes the preview picture of one imported custom block: puts the block's face materials on the
// face template entities (10 top, 11 bottom, 12 -X, 13 +X, 14 +Z, 15 -Z), renders one frame of
// the import scene (white background), grabs the centred 512 x 512 square, turns white into
// transparency, saves it as PNG and runs the optimiser on it.
class BlockPreviewMaker {
 public:
  BlockPreviewMaker(platform::Engine3D& engine, platform::Gui& gui, BlockPreviewSettings settings);

  void MakeBlockPreview(const viewer::CustomBlockDefinition& entry);

  const BlockPreviewSettings& Settings() const { return settings_; }

 private:
  platform::Engine3D& engine_;
  platform::Gui& gui_;
  BlockPreviewSettings settings_;
};

}  // namespace orelens::customblocks
