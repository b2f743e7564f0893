// Resource folders and the texture and mesh files read from them, including damaged files.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine3d_test_scene.h"
#include "platform/engine3d/engine3d.h"
#include "platform/engine3d/scene.h"
#include "platform/image/png_writer.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb_image_write.h>
#pragma GCC diagnostic pop

namespace orelens::platform {
namespace {

namespace fs = std::filesystem;
using engine3d_test::ReadBytes;
using engine3d_test::TempFolder;
using engine3d_test::WriteBytes;

class ResourceFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(folder.path() / "Textures" / "Blocks");
    Image checker(4, 2, PackRgba(200, 10, 10));
    checker.at(3, 1) = PackRgba(1, 2, 3, 4);
    ASSERT_TRUE(WritePngFile((folder.path() / "Textures" / "Blocks" / "Stone.png").string(), checker));
    WriteBytes(folder.path() / "Textures" / "torch.obj",
               "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nvt 0 0\nvt 1 0\nvt 0 1\nf 1/1 2/2 3/3\nf 1/1 3/3 4/1\n");
    previous = fs::current_path();
    fs::current_path(folder.path());
    ASSERT_EQ(engine->PBO_Add3DArchive("textures\\", 0), 1);  // matched whatever its case
  }
  void TearDown() override { fs::current_path(previous); }

  TempFolder folder{"orelens-engine-resources"};
  fs::path previous;
  std::unique_ptr<Engine3D> engine = MakeHeadlessEngine();
};

TEST_F(ResourceFiles, MissingFoldersAndUnknownTypesAreRefused) {
  EXPECT_EQ(engine->PBO_Add3DArchive("Meshes\\", 0), 0);
  EXPECT_EQ(engine->PBO_Add3DArchive("Textures\\", 1), 0);
  EXPECT_EQ(engine->PBO_Add3DArchive("Textures/Blocks/Stone.png", 0), 0);  // a file, not a folder
}

TEST_F(ResourceFiles, TexturesAreFoundWithEitherSeparatorInAnyCase) {
  const int texture = engine->PBO_LoadTexture(-1, "BLOCKS\\stone.PNG");
  ASSERT_NE(texture, 0);
  EXPECT_EQ(engine->PBO_TextureWidth(texture), 4);
  EXPECT_EQ(engine->PBO_TextureHeight(texture), 2);
  const Image& picture = engine->GetScene().textures.Find(texture)->image;
  EXPECT_EQ(picture.at(0, 0), PackRgba(200, 10, 10));
  EXPECT_EQ(picture.at(3, 1), PackRgba(1, 2, 3, 4));
  EXPECT_NE(engine->PBO_LoadTexture(1001, "Blocks/Stone.png"), 0);
  EXPECT_EQ(engine->PBO_LoadTexture(-1, "Blocks/Missing.png"), 0);
  EXPECT_EQ(engine->PBO_LoadTexture(-1, ""), 0);
}

TEST_F(ResourceFiles, JpegTexturesLoad) {
  const unsigned char pixels[2 * 2 * 3] = {255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255};
  ASSERT_NE(stbi_write_jpg((folder.path() / "Textures" / "clouds.jpg").c_str(), 2, 2, 3, pixels, 90), 0);
  const int texture = engine->PBO_LoadTexture(-1, "clouds.jpg");
  ASSERT_NE(texture, 0);
  EXPECT_GE(RedOf(engine->GetScene().textures.Find(texture)->image.at(1, 1)), 250u);
  EXPECT_EQ(engine->PBO_SkyDome("clouds.jpg", 10), 1);
  EXPECT_EQ(engine->PBO_SkyDome("nothing.jpg", 10), 0);
}

TEST_F(ResourceFiles, DamagedPicturesGiveNoTexture) {
  const fs::path textures = folder.path() / "Textures";
  const std::string good = ReadBytes(textures / "Blocks" / "Stone.png");
  WriteBytes(textures / "truncated.png", good.substr(0, good.size() / 2));
  WriteBytes(textures / "empty.png", "");
  WriteBytes(textures / "garbage.png", std::string(300, '\x5a'));
  // A PNG whose header claims 100000 x 100000 pixels.
  std::string huge = good;
  const std::string side = std::string("\x00\x01\x86\xA0", 4);
  huge.replace(16, 4, side);
  huge.replace(20, 4, side);
  WriteBytes(textures / "huge.png", huge);
  for (const char* name : {"truncated.png", "empty.png", "garbage.png", "huge.png"}) {
    EXPECT_EQ(engine->PBO_LoadTexture(-1, name), 0) << name;
  }
  EXPECT_EQ(engine->GetScene().textures.Count(), 0u);
}

TEST_F(ResourceFiles, MeshFilesLoadAsOneTriangulatedMesh) {
  const int mesh = engine->PBO_LoadMesh(-1, "TORCH.obj");
  ASSERT_NE(mesh, 0);
  const Mesh* loaded = engine->GetScene().meshes.Find(mesh);
  EXPECT_EQ(loaded->indices.size(), 6u);
  for (uint32_t index : loaded->indices) EXPECT_LT(index, loaded->vertices.size());
  for (const MeshVertex& vertex : loaded->vertices) EXPECT_NEAR(glm::length(vertex.normal), 1.0f, 1e-4f);
  EXPECT_EQ(engine->PBO_MeshID(mesh), mesh);
}

TEST_F(ResourceFiles, DamagedMeshFilesGiveNoMesh) {
  const fs::path textures = folder.path() / "Textures";
  WriteBytes(textures / "garbage.obj", std::string("\x01\x02\x03 not a mesh \xff\xfe", 18));
  WriteBytes(textures / "truncated.obj", "v 0 0 0\nv 1 0");
  WriteBytes(textures / "bad_index.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 99\n");
  WriteBytes(textures / "empty.obj", "");
  for (const char* name : {"garbage.obj", "truncated.obj", "bad_index.obj", "empty.obj", "absent.obj"}) {
    const int mesh = engine->PBO_LoadMesh(-1, name);
    if (mesh != 0) {  // whatever the importer salvages must be safe to use
      const Mesh* loaded = engine->GetScene().meshes.Find(mesh);
      for (uint32_t index : loaded->indices) EXPECT_LT(index, loaded->vertices.size()) << name;
    }
  }
  EXPECT_EQ(engine->PBO_LoadMesh(-1, "absent.obj"), 0);
  EXPECT_EQ(engine->PBO_LoadMesh(-1, "empty.obj"), 0);
}

}  // namespace
}  // namespace orelens::platform
