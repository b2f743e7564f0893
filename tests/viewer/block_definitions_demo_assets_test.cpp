#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "block_definitions_test_support.h"
#include "platform/engine3d/scene.h"

namespace orelens::viewer {
namespace {

// The demo assets that tools/make_demo_assets.sh generates, as the program loads them.
TEST(DemoAssetsTest, EveryDemoBlockLoadsWithItsOwnTexturesAndKind) {
  const std::filesystem::path assets = std::filesystem::path(ORELENS_SOURCE_DIR) / "assets";
  auto engine = platform::MakeHeadlessEngine();
  engine->PBO_InitEngine3D(2);
  ASSERT_EQ(engine->PBO_Add3DArchive((assets / "Textures").string(), 0), 1);
  for (int type = 0; type < 256; ++type) {
    if (type == 66) continue;
    engine->PBO_CreateTexture(type, 32, 32);
    engine->PBO_CreateMaterial(type, engine->PBO_TextureID(type));
  }
  platform::ScriptedGui gui;
  platform::FontLibrary fonts;
  BlockDefinitions blocks;
  LoadBlockDefinitions(blocks, *engine, gui, fonts, assets / "demo.xml");
  EXPECT_EQ(gui.MessageBoxCount(), 0u);

  const std::map<int, uint8_t> expectedKinds = {
      {1, world::kKindOpaqueCube},  {2, world::kKindOpaqueCube}, {3, world::kKindNotDrawn},
      {4, world::kKindOpaqueCube},  {5, world::kKindAlphaCube},  {11, world::kKindOpaqueCube},
      {15, world::kKindMeshBlock},  {16, world::kKindAlphaCube}, {17, world::kKindAlphaCube},
      {36, world::kKindDoubleSidedAlpha}, {39, world::kKindDoubleSidedAlpha}, {63, world::kKindAlphaCube}};
  for (const auto& [type, kind] : expectedKinds) EXPECT_EQ(blocks.kinds[type], kind) << type;
  for (int textype = 0; textype <= 5; ++textype) {
    bool used = false;
    for (const BlockDefinition& entry : blocks.definitions) used |= !entry.name.empty() && entry.textype == textype;
    EXPECT_TRUE(used) << "the demo shows texture layout " << textype;
  }

  const platform::Scene& scene = engine->GetScene();
  for (int type = 0; type < 256; ++type) {
    const BlockDefinition& entry = blocks.definitions[type];
    if (entry.name.empty()) continue;
    for (int32_t material : entry.faceMaterials) {
      if (material == 0) continue;
      const platform::Material* found = scene.materials.Find(material);
      ASSERT_NE(found, nullptr) << type;
      const platform::Texture* texture = scene.textures.FindKey(found->textureKey);
      ASSERT_NE(texture, nullptr) << type;
      EXPECT_TRUE(texture->image.width == 64 || texture->image.width == 128) << type << " has a loaded texture";
    }
  }
  const platform::Entity* torch = scene.entities.Find(blocks.definitions[15].meshEntity);
  ASSERT_NE(torch, nullptr);
  const platform::Mesh* torchMesh = scene.meshes.FindKey(torch->meshKey);
  ASSERT_NE(torchMesh, nullptr);
  ASSERT_FALSE(torchMesh->vertices.empty());
  for (const platform::MeshVertex& vertex : torchMesh->vertices) {
    EXPECT_LE(glm::abs(vertex.position.x), 0.25f) << "the torch stands inside its cell";
    EXPECT_LE(glm::abs(vertex.position.z), 0.25f);
    EXPECT_GE(vertex.position.y, -0.2501f) << "on the cell's floor, not below it";
    EXPECT_LE(vertex.position.y, 0.25f);
  }

  EXPECT_NE(engine->PBO_LoadTexture(-1, "Toolblock.png"), 0);
  EXPECT_NE(engine->PBO_LoadTexture(-1, "Toolblock_act.png"), 0);
  const int sky = engine->PBO_LoadTexture(-1, "clouds.jpg");
  EXPECT_NE(sky, 0) << "the sky picture decodes";
  EXPECT_GE(engine->PBO_TextureWidth(sky), 256);
  EXPECT_TRUE(std::filesystem::is_directory(assets / "Textures" / "Block_prev"));
}

}  // namespace
}  // namespace orelens::viewer
