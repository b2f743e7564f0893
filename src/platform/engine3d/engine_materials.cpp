// Textures (loaded or made, and drawn into) and the materials made from them.
#include "platform/engine3d/engine3d.h"
#include "platform/engine3d/image_file.h"
#include "platform/engine3d/resource_folders.h"
#include "platform/engine3d/scene.h"

namespace orelens::platform {
namespace {

constexpr int kMaxTextureSide = 16384;

}  // namespace

int Engine3D::PBO_LoadTexture(int texture, const std::string& file) {
  const auto path = FindResourceFile(scene_->resourceFolders, file);
  if (!path) return 0;
  std::optional<Image> image = LoadImageFile(*path);
  if (!image || image->width > kMaxTextureSide || image->height > kMaxTextureSide) return 0;
  auto [created, key] = scene_->textures.Create(texture);
  if (!created) return 0;
  created->serial = scene_->nextSerial++;
  created->image = std::move(*image);
  return object_ref::HandleOf(key);
}

int Engine3D::PBO_CreateTexture(int texture, int width, int height) {
  if (width <= 0 || height <= 0 || width > kMaxTextureSide || height > kMaxTextureSide) return 0;
  auto [created, key] = scene_->textures.Create(texture);
  if (!created) return 0;
  created->serial = scene_->nextSerial++;
  created->image = Image(width, height, PackRgba(0, 0, 0));
  return object_ref::HandleOf(key);
}

int Engine3D::PBO_TextureID(int texture) const {
  return scene_->textures.Find(texture) ? object_ref::HandleOf(object_ref::KeyOf(texture)) : 0;
}

int Engine3D::PBO_TextureWidth(int texture) const {
  const Texture* found = scene_->textures.Find(texture);
  return found ? found->image.width : 0;
}

int Engine3D::PBO_TextureHeight(int texture) const {
  const Texture* found = scene_->textures.Find(texture);
  return found ? found->image.height : 0;
}

Image* Engine3D::PBO_LockTexture(int texture) {
  Texture* found = scene_->textures.Find(texture);
  if (!found) return nullptr;
  ++found->revision;  // the caller may draw before the next frame even without unlocking
  return &found->image;
}

int Engine3D::PBO_UnlockTexture(int texture) {
  Texture* found = scene_->textures.Find(texture);
  if (!found) return 0;
  ++found->revision;
  return 1;
}

int Engine3D::PBO_CreateMaterial(int material, int textureHandle) {
  const int textureKey = object_ref::KeyOf(textureHandle);
  if (!scene_->textures.FindKey(textureKey)) return 0;
  auto [created, key] = scene_->materials.Create(material);
  if (!created) return 0;
  created->textureKey = textureKey;
  return object_ref::HandleOf(key);
}

int Engine3D::PBO_MaterialID(int material) const {
  return scene_->materials.Find(material) ? object_ref::HandleOf(object_ref::KeyOf(material)) : 0;
}

int Engine3D::PBO_IsMaterial(int material) const { return scene_->materials.Find(material) ? 1 : 0; }

int Engine3D::PBO_MaterialBlendingMode(int material, int mode) {
  Material* found = scene_->materials.Find(material);
  if (!found) return 0;
  found->blending = mode;
  return 1;
}

bool Engine3D::IsMaterialBlended(int materialHandle) const {
  const Material* found = scene_->materials.Find(materialHandle);
  return found && found->blending == kBlendAlpha;
}

int Engine3D::PBO_MaterialCullingMode(int material, int mode) {
  Material* found = scene_->materials.Find(material);
  if (!found) return 0;
  found->culling = mode;
  return 1;
}

}  // namespace orelens::platform
