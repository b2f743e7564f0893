// Block previews rendered for real: the OpenGL engine in the program's window under a private X
// server, the face templates and the provisional camera and lights of the start-up, a block
// whose face slots carry six colours. The faces are then found by their pixels in the picture.
#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "customblocks/block_preview.h"
#include "customblocks/scratch_folder.h"
#include "fixtures/png_reader.h"
#include "platform/engine3d/camera_math.h"
#include "platform/engine3d/engine3d.h"
#include "platform/gui/sdl_gui.h"
#include "platform/gui_display_support.h"
#include "viewer/block_definitions.h"
#include "viewer/face_templates.h"

namespace orelens::customblocks {
namespace {

using platform::PackRgb;

// The colour of each material slot 0..5: red, green, blue, yellow, magenta, cyan.
constexpr std::array<std::array<int, 3>, 6> kSlotColours{
    {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}, {255, 0, 255}, {0, 255, 255}}};

// The slot whose colour a lit pixel shows: each channel counts as on when it is near the
// brightest one, and the pattern of on channels names the colour. -1 for none (white, black).
int SlotOfPixel(uint32_t pixel) {
  const int r = static_cast<int>(platform::RedOf(pixel)), g = static_cast<int>(platform::GreenOf(pixel)),
            b = static_cast<int>(platform::BlueOf(pixel));
  const int brightest = std::max({r, g, b});
  if (brightest < 60) return -1;
  const auto on = [brightest](int channel) { return channel * 2 > brightest; };
  for (size_t slot = 0; slot < kSlotColours.size(); ++slot) {
    const auto& colour = kSlotColours[slot];
    if (on(r) == (colour[0] > 0) && on(g) == (colour[1] > 0) && on(b) == (colour[2] > 0))
      return static_cast<int>(slot);
  }
  return -1;
}

enum Face { kTop, kBottom, kMinusX, kPlusX, kPlusZ, kMinusZ };
// The centres of the faces of the block the templates make around the origin (half a block).
constexpr std::array<glm::vec3, 6> kFaceCentres{
    {{0, 0.25f, 0}, {0, -0.25f, 0}, {-0.25f, 0, 0}, {0.25f, 0, 0}, {0, 0, 0.25f}, {0, 0, -0.25f}}};

class BlockPreviewDisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Running()) << "Xvfb could not be started";
    gui_ = std::make_unique<platform::SdlGui>();
    ASSERT_TRUE(gui_->HasDisplay());
    platform::WindowStyle style;
    style.centred = true;
    style.maximised = true;
    ASSERT_TRUE(gui_->OpenMainWindow(500, 500, "Orelens", style));
    width_ = gui_->WindowInnerWidth(0);
    height_ = gui_->WindowInnerHeight(0);
    ASSERT_GE(width_, 512);
    ASSERT_GE(height_, 512);
    engine_ = platform::MakeOpenGlEngine();
    ASSERT_NE(engine_->PBO_InitEngine3D(2), 0);
    ASSERT_EQ(engine_->OpenWindowedScreen(gui_.get(), 0, 0, width_, height_, 0, 0, 0, 2), 1);

    // The scene as the start-up leaves it for the import.
    engine_->PBO_CreateCamera(0, 0, 0, 100, 100);
    engine_->PBO_CameraFOV(0, 50);
    engine_->PBO_AmbientColor(PackRgb(200, 200, 220));
    engine_->PBO_Sun(10, 800, 10, PackRgb(255, 200, 150));
    viewer::CreateFaceTemplateMeshes(*engine_, definitions_.definitions);
    engine_->PBO_CreateLight2(0, PackRgb(250, 250, 230), -100, 100, -100);
    engine_->PBO_CreateLight2(1, PackRgb(250, 250, 230), -100, 100, 100);
    engine_->PBO_CameraBackColor(0, PackRgb(255, 255, 255));
    for (size_t slot = 0; slot < kSlotColours.size(); ++slot) {
      const int texture = engine_->PBO_CreateTexture(-1, 4, 4);
      platform::Image* picture = engine_->PBO_LockTexture(texture);
      ASSERT_TRUE(picture);
      const auto& [r, g, b] = kSlotColours[slot];
      for (uint32_t& pixel : picture->pixels) pixel = platform::PackRgba(r, g, b);
      engine_->PBO_UnlockTexture(texture);
      slotMaterials_[slot] = engine_->PBO_CreateMaterial(-1, engine_->PBO_TextureID(texture));
    }
  }
  void TearDown() override {
    engine_.reset();  // its GL context goes before the window
    gui_.reset();
  }

  // Camera 0 where the start-up puts it (s, s, s) looking at the templates, or mirrored below them.
  void LookFrom(float side) {
    const float s = static_cast<float>(height_) / 1000.0f * 1.1f * side;
    engine_->PBO_MoveCamera2(0, s, s, s, 0);
    engine_->PBO_CameraLookAt(0, 0.06f * side, 0, 0.06f * side);
  }
  // Renders the preview of a block of this layout and returns the picture it saved.
  platform::Image Preview(int kind) {
    viewer::CustomBlockDefinition block;
    block.id = 900 + kind;
    block.kind = static_cast<uint8_t>(kind);
    block.name = "Colours";
    for (size_t slot = 0; slot < slotMaterials_.size(); ++slot) block.faces[slot] = slotMaterials_[slot];
    BlockPreviewSettings settings;
    settings.previewFolder = scratch_.WithSeparator();
    settings.optimiserProgram = "/nonexistent/pingo";
    settings.pauseAfterPreviewMs = 0;
    BlockPreviewMaker(*engine_, *gui_, settings).MakeBlockPreview(block);
    std::optional<platform::Image> picture =
        fixtures::ReadPngFile(PreviewFilePath(settings.previewFolder, block.id));
    EXPECT_TRUE(picture);
    return picture ? *picture : platform::Image();
  }
  // The slot shown around the face's centre in the preview (-1 when the pixels disagree).
  int SlotShownOn(const platform::Image& preview, Face face) {
    const platform::Camera& camera = engine_->GetScene().cameras[0];
    const glm::vec4 clip = platform::CameraProjection(camera, static_cast<float>(width_) / height_) *
                           platform::CameraView(camera) * glm::vec4(kFaceCentres[face], 1);
    const int x = static_cast<int>((clip.x / clip.w + 1) / 2 * width_) - (width_ / 2 - 256);
    const int y = static_cast<int>((1 - clip.y / clip.w) / 2 * height_) - (height_ / 2 - 256);
    int shown = -2;
    for (int dy = -3; dy <= 3; ++dy)
      for (int dx = -3; dx <= 3; ++dx) {
        if (!preview.contains(x + dx, y + dy)) return -1;
        const uint32_t pixel = preview.at(x + dx, y + dy);
        if (platform::AlphaOf(pixel) != 255) return -1;
        const int slot = SlotOfPixel(pixel);
        if (shown != -2 && slot != shown) return -1;
        shown = slot;
      }
    return shown;
  }

  platform::display_testing::PrivateXServer server_;
  std::unique_ptr<platform::SdlGui> gui_;
  std::unique_ptr<platform::Engine3D> engine_;
  int width_ = 0, height_ = 0;
  viewer::BlockDefinitions definitions_;
  std::array<int, 6> slotMaterials_{};
  testing::ScratchFolder scratch_;
};

TEST_F(BlockPreviewDisplayTest, EachLayoutShowsItsSlotsOnTheFacesOfTheRenderedBlock) {
  // The slot each face shows, by layout: top, bottom, -X, +X, +Z, -Z.
  const std::array<std::array<int, 6>, 4> slotsOfKind{{
      {0, 0, 0, 0, 0, 0},
      {0, 0, 2, 2, 2, 2},
      {0, 1, 2, 2, 2, 2},
      {0, 1, 2, 3, 4, 5},
  }};
  for (int kind = 1; kind <= 4; ++kind) {
    const auto& slots = slotsOfKind[static_cast<size_t>(kind - 1)];
    // From above, as the start-up looks: the top and the +X and +Z sides.
    LookFrom(1);
    const platform::Image above = Preview(kind);
    ASSERT_EQ(above.width, 512);
    for (Face face : {kTop, kPlusX, kPlusZ})
      EXPECT_EQ(SlotShownOn(above, face), slots[face]) << kind << " " << face;
    // The white background around the block is transparent.
    EXPECT_EQ(platform::AlphaOf(above.at(2, 2)), 0u);
    EXPECT_EQ(platform::AlphaOf(above.at(509, 509)), 0u);

    // From below: the bottom and the -X and -Z sides.
    LookFrom(-1);
    const platform::Image below = Preview(kind);
    for (Face face : {kBottom, kMinusX, kMinusZ})
      EXPECT_EQ(SlotShownOn(below, face), slots[face]) << kind << " " << face;
  }
}

}  // namespace
}  // namespace orelens::customblocks
