// Sprites: pictures drawn over the 3D view (the overlay panel, grabbed previews).
#include <algorithm>

#include "platform/engine3d/engine3d.h"
#include "platform/engine3d/renderer.h"
#include "platform/engine3d/scene.h"

namespace orelens::platform {
namespace {

constexpr int kMaxSpriteSide = 16384;

void ApplyTransparentColour(Sprite& sprite) {
  if (sprite.transparentRgb < 0) return;
  const uint32_t key = static_cast<uint32_t>(sprite.transparentRgb) & 0xFFFFFF;
  for (uint32_t& pixel : sprite.image.pixels) {
    pixel = (pixel & 0xFFFFFF) == key ? (pixel & 0xFFFFFF) : (pixel | 0xFF000000u);
  }
}

}  // namespace

int Engine3D::CreateSprite(int sprite, int width, int height, int flags) {
  if (width <= 0 || height <= 0 || width > kMaxSpriteSide || height > kMaxSpriteSide) return 0;
  auto [created, key] = scene_->sprites.Create(sprite);
  if (!created) return 0;
  created->serial = scene_->nextSerial++;
  created->image = Image(width, height, PackRgba(0, 0, 0));
  created->flags = flags;
  return object_ref::HandleOf(key);
}

int Engine3D::IsSprite(int sprite) const { return scene_->sprites.Find(sprite) ? 1 : 0; }

int Engine3D::FreeSprite(int sprite) { return scene_->sprites.Free(sprite) ? 1 : 0; }

Image* Engine3D::SpriteImage(int sprite) {
  Sprite* found = scene_->sprites.Find(sprite);
  if (!found) return nullptr;
  ++found->revision;  // handed out for drawing: shown fresh next time
  return &found->image;
}

void Engine3D::MarkSpriteChanged(int sprite) {
  if (Sprite* found = scene_->sprites.Find(sprite)) {
    ApplyTransparentColour(*found);
    ++found->revision;
  }
}

int Engine3D::TransparentSpriteColor(int sprite, int rgb) {
  Sprite* found = scene_->sprites.Find(sprite);
  if (!found) return 0;
  found->transparentRgb = rgb & 0xFFFFFF;
  ApplyTransparentColour(*found);
  ++found->revision;
  return 1;
}

int Engine3D::DisplaySprite(int sprite, int x, int y, int alpha) {
  Sprite* found = scene_->sprites.Find(sprite);
  if (!found || !renderer_->IsScreenOpen()) return 0;
  ApplyTransparentColour(*found);  // the picture may have been drawn on since
  renderer_->DrawSprite(*found, x, y, std::clamp(alpha, 0, 255));
  return 1;
}

}  // namespace orelens::platform
