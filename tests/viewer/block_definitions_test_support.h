#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/draw2d/font_library.h"
#include "platform/engine3d/engine3d.h"
#include "platform/engine3d/scene.h"
#include "platform/gui/scripted_gui.h"
#include "platform/image/png_writer.h"
#include "viewer/block_definitions.h"

namespace orelens::viewer::testing {

// A working folder with a "Textures" resource folder registered with a headless engine whose
// label materials 0..255 (but 66) exist, as start-up leaves them before the definitions load.
class BlockDefinitionsWorld {
 public:
  BlockDefinitionsWorld() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orelens-blockdefs-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) folder = pattern;
    std::filesystem::create_directories(folder / "Textures");
    engine = platform::MakeHeadlessEngine();
    engine->PBO_InitEngine3D(2);
    engine->PBO_Add3DArchive((folder / "Textures").string(), 0);
    for (int type = 0; type < 256; ++type) {
      if (type == 66) continue;
      engine->PBO_CreateTexture(type, 32, 32);
      engine->PBO_CreateMaterial(type, engine->PBO_TextureID(type));
    }
  }
  ~BlockDefinitionsWorld() {
    std::error_code ignored;
    if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
  }

  void WriteTexture(const std::string& name, int size = 64, uint32_t colour = platform::PackRgba(90, 160, 60)) {
    platform::WritePngFile((folder / "Textures" / name).string(), platform::Image(size, size, colour));
  }
  void WriteTextFile(const std::filesystem::path& name, const std::string& content) {
    std::ofstream(folder / name, std::ios::binary) << content;
  }
  void WriteXml(const std::string& content) { WriteTextFile("demo.xml", content); }

  int Load(const std::filesystem::path& file = "demo.xml") {
    return LoadBlockDefinitions(blocks, *engine, gui, fonts, folder / file);
  }

  // The picture behind a face material, or nullptr.
  const platform::Image* FaceTexture(int32_t material) const {
    const platform::Scene& scene = engine->GetScene();
    const platform::Material* found = scene.materials.Find(material);
    if (!found) return nullptr;
    const platform::Texture* texture = scene.textures.FindKey(found->textureKey);
    return texture ? &texture->image : nullptr;
  }
  const platform::Material* FindMaterial(int32_t material) const { return engine->GetScene().materials.Find(material); }

  std::filesystem::path folder;
  std::unique_ptr<platform::Engine3D> engine;
  platform::ScriptedGui gui;
  platform::FontLibrary fonts;
  BlockDefinitions blocks;
};

}  // namespace orelens::viewer::testing
