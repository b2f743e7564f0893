// Engine start, resource folders, screen and frame, world settings.
#include "platform/engine3d/engine3d.h"

#include <algorithm>
#include <system_error>

#include "platform/engine3d/renderer.h"
#include "platform/engine3d/resource_folders.h"
#include "platform/engine3d/scene.h"

namespace orelens::platform {

Scene::Scene(std::function<void(uint64_t)> releaseGpuCopy)
    : textures([releaseGpuCopy](Texture& t) { releaseGpuCopy(t.serial); }),
      meshes([releaseGpuCopy](Mesh& m) { releaseGpuCopy(m.serial); }),
      geometries([this, releaseGpuCopy](StaticGeometry& g) {
        releaseGpuCopy(g.serial);
        spareBatches.Give(g.batches);
      }),
      sprites([releaseGpuCopy](Sprite& s) { releaseGpuCopy(s.serial); }) {}

Engine3D::Engine3D(std::unique_ptr<Renderer> renderer)
    : renderer_(std::move(renderer)),
      scene_(std::make_unique<Scene>([this](uint64_t serial) { renderer_->Release(serial); })) {}

Engine3D::~Engine3D() {
  // Objects go before the renderer that holds their GPU copies.
  if (renderer_->IsScreenOpen()) renderer_->CloseScreen();
  scene_.reset();
}

std::unique_ptr<Engine3D> MakeHeadlessEngine() { return std::make_unique<Engine3D>(MakeHeadlessRenderer()); }
std::unique_ptr<Engine3D> MakeOpenGlEngine() { return std::make_unique<Engine3D>(MakeOpenGlRenderer()); }

int Engine3D::PBO_InitEngine3D(int /*startMode*/) { return renderer_->Start() ? 1 : 0; }

int Engine3D::PBO_Add3DArchive(const std::string& folder, int type) {
  if (type != 0) return 0;
  std::error_code error;
  auto resolved = ResolvePathLoosely(folder, std::filesystem::current_path(error));
  if (!resolved || !std::filesystem::is_directory(*resolved, error)) return 0;
  scene_->resourceFolders.push_back(std::filesystem::absolute(*resolved, error));
  return 1;
}

int Engine3D::PBO_AntialiasingMode(int mode) {
  scene_->world.antialiasing = mode;
  return 1;
}

int Engine3D::PBO_MaterialFilteringMode2(int material, int filter, int anisotropy) {
  anisotropy = std::clamp(anisotropy, 1, 16);
  if (material == -1) {
    scene_->world.defaultFilter = filter;
    scene_->world.defaultAnisotropy = anisotropy;
    scene_->materials.ForEach([](int, Material& m) { m.filter = m.anisotropy = -1; });
    return 1;
  }
  Material* found = scene_->materials.Find(material);
  if (!found) return 0;
  found->filter = filter;
  found->anisotropy = anisotropy;
  return 1;
}

// --- Screen and frame --------------------------------------------------------------------------

int Engine3D::OpenWindowedScreen(ScreenHost* host, int x, int y, int width, int height, int /*autoStretch*/,
                                 int /*rightOffset*/, int /*bottomOffset*/, int flipMode) {
  if (width <= 0 || height <= 0) return 0;
  if (renderer_->IsScreenOpen()) renderer_->CloseScreen();
  return renderer_->OpenScreen(host, ScreenArea{x, y, width, height, flipMode}) ? 1 : 0;
}

void Engine3D::CloseScreen() {
  if (renderer_->IsScreenOpen()) renderer_->CloseScreen();
}

int Engine3D::IsScreenActive() const { return renderer_->IsScreenOpen() ? 1 : 0; }
int Engine3D::ScreenWidth() const { return renderer_->IsScreenOpen() ? renderer_->Width() : 0; }
int Engine3D::ScreenHeight() const { return renderer_->IsScreenOpen() ? renderer_->Height() : 0; }

int Engine3D::PBO_RenderWorld() {
  if (!renderer_->IsScreenOpen()) return 0;
  renderer_->RenderWorld(*scene_);
  return 1;
}

int Engine3D::PBO_FlipBuffers() {
  if (!renderer_->IsScreenOpen()) return 0;
  renderer_->Flip();
  return 1;
}

Image Engine3D::GrabScreenRegion(int x, int y, int width, int height) {
  constexpr int kMaxGrabSide = 16384;
  if (width <= 0 || height <= 0 || width > kMaxGrabSide || height > kMaxGrabSide) return Image();
  if (!renderer_->IsScreenOpen()) return Image(width, height, PackRgba(0, 0, 0));
  return renderer_->Grab(x, y, width, height);
}

// --- World -------------------------------------------------------------------------------------

int Engine3D::PBO_AmbientColor(int rgb) {
  scene_->world.ambientRgb = rgb;
  return 1;
}

int Engine3D::PBO_Sun(float x, float y, float z, int rgb) {
  scene_->world.sunPosition = {x, y, z};
  scene_->world.sunRgb = rgb;
  scene_->world.sunEnabled = true;
  return 1;
}

int Engine3D::PBO_CreateLight2(int light, int rgb, float x, float y, float z) {
  auto [created, key] = scene_->lights.Create(light);
  if (!created) return 0;
  created->diffuse = rgb;
  created->position = {x, y, z};
  return object_ref::HandleOf(key);
}

int Engine3D::PBO_MoveLight(int light, float x, float y, float z) {
  Light* found = scene_->lights.Find(light);
  if (!found) return 0;
  found->position = {x, y, z};
  return 1;
}

int Engine3D::PBO_SetLightColor(int light, int type, int rgb) {
  Light* found = scene_->lights.Find(light);
  if (!found) return 0;
  (type == 1 ? found->specular : found->diffuse) = rgb;
  return 1;
}

int Engine3D::PBO_IsLight(int light) const { return scene_->lights.Find(light) ? 1 : 0; }

int Engine3D::PBO_Fog(int rgb, float intensity, float startDistance, float endDistance) {
  FogSettings& fog = scene_->world.fog;
  fog.enabled = intensity > 0.0f && endDistance > startDistance;
  fog.rgb = rgb;
  fog.intensity = std::clamp(intensity, 0.0f, 1.0f);
  fog.start = startDistance;
  fog.end = endDistance;
  return 1;
}

int Engine3D::PBO_SkyDome(const std::string& textureFile, float tiling) {
  const int texture = PBO_LoadTexture(-1, textureFile);
  if (!texture) return 0;
  scene_->world.skyTextureKey = object_ref::KeyOf(texture);
  scene_->world.skyTiling = tiling > 0.0f ? tiling : 1.0f;
  return 1;
}

int Engine3D::PBO_WorldShadows(int mode) {
  scene_->world.shadows.mode = std::clamp(mode, 0, 2);
  return 1;
}

int Engine3D::PBO_WorldShadows3(int mode, float range, int rgb) {
  ShadowSettings& shadows = scene_->world.shadows;
  shadows.mode = std::clamp(mode, 0, 2);
  if (range > 0.0f) shadows.range = range;
  shadows.rgb = rgb;
  return 1;
}

int Engine3D::PBO_WorldShadows4(int mode, float range, int rgb, int mapSize) {
  PBO_WorldShadows3(mode, range, rgb);
  scene_->world.shadows.mapSize = mapSize;
  return 1;
}

int Engine3D::PBO_EnableWorldPhysics(int enable) {
  scene_->world.physics = enable != 0;
  return 1;
}

int Engine3D::PBO_EnableWorldCollisions(int enable) {
  scene_->world.collisions = enable != 0;
  return 1;
}

}  // namespace orelens::platform
