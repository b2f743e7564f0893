// The renderer for tests and machines without a display: a CPU frame holding each camera's
// background colour with the sprites blended over it. Geometry stays in the scene for inspection.
#include <algorithm>

#include "platform/engine3d/camera_math.h"
#include "platform/engine3d/renderer.h"
#include "platform/engine3d/scene.h"

namespace orelens::platform {
namespace {

uint32_t BlendOver(uint32_t destination, uint32_t source, int alpha) {
  const uint32_t a = AlphaOf(source) * static_cast<uint32_t>(alpha) / 255;
  auto mix = [a](uint32_t d, uint32_t s) { return (s * a + d * (255 - a) + 127) / 255; };
  return PackRgba(mix(RedOf(destination), RedOf(source)), mix(GreenOf(destination), GreenOf(source)),
                  mix(BlueOf(destination), BlueOf(source)), 255);
}

class HeadlessRenderer final : public Renderer {
 public:
  bool Start() override { return true; }

  bool OpenScreen(ScreenHost* /*host*/, const ScreenArea& area) override {
    frame_ = Image(area.width, area.height, PackRgba(0, 0, 0));
    shown_ = frame_;
    open_ = true;
    return true;
  }
  void CloseScreen() override { open_ = false; }
  bool IsScreenOpen() const override { return open_; }
  int Width() const override { return frame_.width; }
  int Height() const override { return frame_.height; }

  void RenderWorld(Scene& scene) override {
    for (const Camera& camera : scene.cameras) {
      if (!camera.exists.load(std::memory_order_relaxed)) continue;
      const PixelRect rect = CameraViewportPixels(camera, frame_.width, frame_.height);
      const uint32_t colour = PackRgba(camera.backRgb & 0xFF, (camera.backRgb >> 8) & 0xFF, (camera.backRgb >> 16) & 0xFF);
      for (int y = std::max(rect.y, 0); y < std::min(rect.y + rect.height, frame_.height); ++y) {
        for (int x = std::max(rect.x, 0); x < std::min(rect.x + rect.width, frame_.width); ++x) frame_.at(x, y) = colour;
      }
    }
  }

  void DrawSprite(const Sprite& sprite, int left, int top, int alpha) override {
    const Image& picture = sprite.image;
    for (int y = 0; y < picture.height; ++y) {
      for (int x = 0; x < picture.width; ++x) {
        if (frame_.contains(left + x, top + y)) {
          frame_.at(left + x, top + y) = BlendOver(frame_.at(left + x, top + y), picture.at(x, y), alpha);
        }
      }
    }
  }

  void Flip() override { shown_ = frame_; }

  Image Grab(int left, int top, int width, int height) override {
    Image region(width, height, PackRgba(0, 0, 0));
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        if (shown_.contains(left + x, top + y)) region.at(x, y) = shown_.at(left + x, top + y);
      }
    }
    return region;
  }

  void Release(uint64_t /*serial*/) override {}

 private:
  bool open_ = false;
  Image frame_;  // being drawn
  Image shown_;  // the last flipped frame
};

}  // namespace

std::unique_ptr<Renderer> MakeHeadlessRenderer() { return std::make_unique<HeadlessRenderer>(); }

}  // namespace orelens::platform
