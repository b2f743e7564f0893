#include "customblocks/dds_thumbnail.h"

#include "customblocks/dds_block_file.h"
#include "customblocks/import_progress_window.h"
#include "platform/files/file.h"

namespace orelens::customblocks {

int LoadDdsPreviewTexture(platform::Engine3D& engine, platform::Gui& gui, const std::string& path) {
  gui.SetGadgetState(kTextureProgressBar, 0);
  const int texture = engine.PBO_CreateTexture(-1, kDdsThumbnailSize, kDdsThumbnailSize);
  if (texture == 0) return 0;
  DrawDdsThumbnail(engine, gui, path, texture);
  gui.SetGadgetState(kTextureProgressBar, 100);
  return texture;
}

void DrawDdsThumbnail(platform::Engine3D& engine, platform::Gui& gui, const std::string& path, int texture) {
  if (platform::FileSize(path) <= 0) return;
  std::optional<DdsBlockFile> file = DdsBlockFile::Open(path);
  if (!file) return;
  if (engine.PBO_TextureWidth(texture) < file->BlocksPerRow() ||
      engine.PBO_TextureHeight(texture) < file->Rows()) {
    return;
  }
  platform::Image* picture = engine.PBO_LockTexture(texture);
  if (!picture) return;
  DrawDdsBlockRows(*file, *picture, [&gui] { gui.WindowEventNoWait(); });
  engine.PBO_UnlockTexture(texture);
}

}  // namespace orelens::customblocks
