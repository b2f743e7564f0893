#include "customblocks/block_preview.h"

#include <array>
#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/files/path_resolver.h"
#include "platform/image/png_writer.h"
#include "platform/system/process.h"

namespace orelens::customblocks {

namespace {

constexpr int kPreviewSize = 512;
constexpr int kSpriteKeepsAlpha = 8;
constexpr int kWhite = platform::PackRgb(255, 255, 255);

// The face template entities that start-up builds, one per cube face.
constexpr std::array<std::pair<int, viewer::CubeFace>, 6> kFaceTemplateEntities{{
    {10, viewer::CubeFace::kTop},
    {11, viewer::CubeFace::kBottom},
    {12, viewer::CubeFace::kMinusX},
    {13, viewer::CubeFace::kPlusX},
    {14, viewer::CubeFace::kPlusZ},
    {15, viewer::CubeFace::kMinusZ},
}};

}  // namespace

std::string PreviewFilePath(const std::string& previewFolder, int32_t id) {
  return previewFolder + std::to_string(id) + ".png";
}

std::string OptimiserBesideExecutable() {
  std::error_code error;
  const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  return (executable.parent_path() / "tools" / "pingo").string();
}

int GrabWindowRegion(platform::Engine3D& engine, int number, int x, int y, int width, int height, int flags) {
  const platform::Image grabbed = engine.GrabScreenRegion(x, y, width, height);
  const int sprite = engine.CreateSprite(number, width, height, flags);
  if (sprite == 0) return 0;
  platform::Image* picture = engine.SpriteImage(sprite);
  if (picture && grabbed.width == picture->width && grabbed.height == picture->height) {
    picture->pixels = grabbed.pixels;
    engine.MarkSpriteChanged(sprite);
  }
  return number == -1 ? sprite : number;
}

BlockPreviewMaker::BlockPreviewMaker(platform::Engine3D& engine, platform::Gui& gui,
                                     BlockPreviewSettings settings)
    : engine_(engine), gui_(gui), settings_(std::move(settings)) {
  if (settings_.optimiserProgram.empty()) settings_.optimiserProgram = OptimiserBesideExecutable();
}

void BlockPreviewMaker::MakeBlockPreview(const viewer::CustomBlockDefinition& entry) {
  for (const auto& [entity, face] : kFaceTemplateEntities) {
    const int slot = viewer::FaceSlotOfKind(entry.kind, face);
    engine_.PBO_SetEntityMaterial(entity, engine_.PBO_MaterialID(entry.faces[static_cast<size_t>(slot)]));
  }
  gui_.HandlePendingEvents();
  engine_.PBO_RenderWorld();
  engine_.PBO_FlipBuffers();

  const int sprite = GrabWindowRegion(engine_, -1, engine_.ScreenWidth() / 2 - kPreviewSize / 2,
                                      engine_.ScreenHeight() / 2 - kPreviewSize / 2, kPreviewSize,
                                      kPreviewSize, kSpriteKeepsAlpha);
  // The installation's folder may be spelled in another letter case on disk.
  const std::string previewFile = platform::ResolvePath(PreviewFilePath(settings_.previewFolder, entry.id));
  if (sprite != 0) {
    engine_.TransparentSpriteColor(sprite, kWhite);
    if (const platform::Image* picture = engine_.SpriteImage(sprite)) {
      platform::WritePngFile(previewFile, *picture);  // a failed save is not reported
    }
    // One sprite per block would otherwise stay in memory for the whole session.
    engine_.FreeSprite(sprite);
  }

  // An argument vector, never a shell command line: the path goes to the optimiser unchanged.
  if (!settings_.optimiserProgram.empty()) {
    platform::RunHiddenAndWait(settings_.optimiserProgram, {"-pngpalette=40", previewFile}, "",
                               settings_.optimiserTimeoutMs);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(settings_.pauseAfterPreviewMs));
  gui_.HandlePendingEvents();
}

}  // namespace orelens::customblocks
