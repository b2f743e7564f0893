#pragma once

#include <memory>

#include "customblocks/import_progress_window.h"
#include "platform/engine3d/engine3d.h"
#include "platform/engine3d/scene.h"
#include "platform/gui/scripted_gui.h"

namespace orelens::customblocks::testing {

// What start-up has built when the import runs: the progress window, a headless 3D view with
// camera 0 on a white background and the six face template entities 10..15.
struct ImportScene {
  explicit ImportScene(int screenWidth = 1280, int screenHeight = 800)
      : engine(platform::MakeHeadlessEngine()) {
    engine->PBO_InitEngine3D(0);
    engine->OpenWindowedScreen(nullptr, 0, 0, screenWidth, screenHeight, 0, 0, 0, 0);
    engine->PBO_CreateCamera(0, 0, 0, 100, 100);
    engine->PBO_CameraBackColor(0, platform::PackRgb(255, 255, 255));
    const int cube = engine->PBO_CreateCube(-1, 0.5f);
    for (int entity = 10; entity <= 15; ++entity) engine->PBO_CreateEntity2(entity, cube, 0);
    OpenImportProgressWindow(gui);
  }

  // The material an entity carries, as the scene holds it (nullptr for none).
  const platform::Material* MaterialOfEntity(int entity) const {
    const platform::Scene& scene = engine->GetScene();
    const platform::Entity* found = scene.entities.Find(entity);
    return found ? scene.materials.FindKey(found->materialKey) : nullptr;
  }
  const platform::Material* Material(int handle) const { return engine->GetScene().materials.Find(handle); }
  // The picture behind a material handle (nullptr when it has no texture).
  const platform::Image* PictureOfMaterial(int handle) const {
    const platform::Material* material = Material(handle);
    if (!material) return nullptr;
    const platform::Texture* texture = engine->GetScene().textures.FindKey(material->textureKey);
    return texture ? &texture->image : nullptr;
  }

  platform::ScriptedGui gui;
  std::unique_ptr<platform::Engine3D> engine;
};

}  // namespace orelens::customblocks::testing
