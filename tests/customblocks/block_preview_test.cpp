#include "customblocks/block_preview.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "customblocks/import_scene.h"
#include "customblocks/scratch_folder.h"
#include "fixtures/png_reader.h"

namespace orelens::customblocks {
namespace {

using testing::ImportScene;
using testing::ScratchFolder;

void WriteScript(const std::string& path, const std::string& body) {
  std::ofstream(path) << "#!/bin/sh\n" << body;
  chmod(path.c_str(), 0755);
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class BlockPreviewTest : public ::testing::Test {
 protected:
  BlockPreviewSettings Settings(const std::string& optimiser = "/nonexistent/pingo") {
    BlockPreviewSettings settings;
    settings.previewFolder = scratch_.WithSeparator();
    settings.optimiserProgram = optimiser;
    settings.pauseAfterPreviewMs = 0;
    return settings;
  }
  viewer::CustomBlockDefinition Block(int32_t id, uint8_t kind) {
    viewer::CustomBlockDefinition block;
    block.id = id;
    block.kind = kind;
    block.name = "Crate";
    for (int slot = 0; slot < 6; ++slot) {
      const int texture = scene_->engine->PBO_CreateTexture(-1, 4, 4);
      block.faces[static_cast<size_t>(slot)] = scene_->engine->PBO_CreateMaterial(-1, texture);
    }
    return block;
  }

  ScratchFolder scratch_;
  std::unique_ptr<ImportScene> scene_ = std::make_unique<ImportScene>();
};

TEST_F(BlockPreviewTest, GrabsTheCentredSquareAndMakesWhiteTransparent) {
  scene_ = std::make_unique<ImportScene>(1920, 1080);
  // A red camera over the bottom-right quarter: its corner (960, 540) lies at (256, 256) of a
  // square grabbed from (704, 284).
  scene_->engine->PBO_CreateCamera(1, 50, 50, 50, 50);
  scene_->engine->PBO_CameraBackColor(1, platform::PackRgb(255, 0, 0));

  BlockPreviewMaker maker(*scene_->engine, scene_->gui, Settings());
  maker.MakeBlockPreview(Block(77, 1));

  const auto png = fixtures::ReadPngFile(scratch_.File("77.png"));
  ASSERT_TRUE(png);
  ASSERT_EQ(png->width, 512);
  ASSERT_EQ(png->height, 512);
  EXPECT_EQ(png->at(255, 255), platform::PackRgba(255, 255, 255, 0));
  EXPECT_EQ(png->at(256, 255) >> 24, 0u);
  EXPECT_EQ(png->at(255, 256) >> 24, 0u);
  EXPECT_EQ(png->at(256, 256), platform::PackRgba(255, 0, 0, 255));
  EXPECT_EQ(png->at(511, 511), platform::PackRgba(255, 0, 0, 255));
  EXPECT_EQ(png->at(0, 0) >> 24, 0u);
}

TEST_F(BlockPreviewTest, SmallViewsGrabBlackOutsideAndFreeTheSprite) {
  scene_ = std::make_unique<ImportScene>(300, 200);
  BlockPreviewMaker maker(*scene_->engine, scene_->gui, Settings());
  maker.MakeBlockPreview(Block(5, 1));
  // The square starts at (-106, -156): black outside the view, transparent white inside.
  const auto png = fixtures::ReadPngFile(scratch_.File("5.png"));
  ASSERT_TRUE(png);
  EXPECT_EQ(png->at(0, 0), platform::PackRgba(0, 0, 0, 255));
  EXPECT_EQ(png->at(106, 156) >> 24, 0u);
  EXPECT_EQ(png->at(105, 156), platform::PackRgba(0, 0, 0, 255));
  EXPECT_EQ(png->at(406, 356), platform::PackRgba(0, 0, 0, 255));
  EXPECT_EQ(scene_->engine->GetScene().sprites.Count(), 0u);
}

TEST_F(BlockPreviewTest, FaceTemplatesTakeTheSlotsOfTheKind) {
  BlockPreviewMaker maker(*scene_->engine, scene_->gui, Settings());
  const viewer::CustomBlockDefinition sidesAndCaps = Block(2, 2);
  maker.MakeBlockPreview(sidesAndCaps);
  EXPECT_EQ(scene_->MaterialOfEntity(10), scene_->Material(sidesAndCaps.faces[0]));
  EXPECT_EQ(scene_->MaterialOfEntity(11), scene_->Material(sidesAndCaps.faces[0]));
  for (int entity = 12; entity <= 15; ++entity) {
    EXPECT_EQ(scene_->MaterialOfEntity(entity), scene_->Material(sidesAndCaps.faces[2])) << entity;
  }
  const viewer::CustomBlockDefinition everyFace = Block(4, 4);
  maker.MakeBlockPreview(everyFace);
  for (int entity = 10; entity <= 15; ++entity) {
    EXPECT_EQ(scene_->MaterialOfEntity(entity),
              scene_->Material(everyFace.faces[static_cast<size_t>(entity - 10)]));
  }
}

TEST_F(BlockPreviewTest, OptimiserGetsTheFileAsOneArgumentWithoutAShell) {
  const std::string log = scratch_.File("arguments.log");
  const std::string optimiser = scratch_.File("pingo");
  WriteScript(optimiser, "for a in \"$@\"; do printf '%s\\n' \"$a\" >> '" + log + "'; done\n");
  // A folder name a shell would act on.
  const std::filesystem::path odd = scratch_.Path() / "it's $(touch pwned); x";
  std::filesystem::create_directory(odd);
  BlockPreviewSettings settings = Settings(optimiser);
  settings.previewFolder = odd.string() + "/";
  BlockPreviewMaker maker(*scene_->engine, scene_->gui, settings);
  maker.MakeBlockPreview(Block(-12, 1));

  EXPECT_EQ(ReadText(log), "-pngpalette=40\n" + (odd / "-12.png").string() + "\n");
  EXPECT_TRUE(std::filesystem::exists(odd / "-12.png"));
  EXPECT_FALSE(std::filesystem::exists("pwned"));
  EXPECT_FALSE(std::filesystem::exists(scratch_.Path() / "pwned"));
}

TEST_F(BlockPreviewTest, ASlowOptimiserIsEnded) {
  const std::string pidFile = scratch_.File("optimiser.pid");
  const std::string optimiser = scratch_.File("slow-pingo");
  WriteScript(optimiser, "echo $$ > '" + pidFile + "'\nexec sleep 30\n");
  BlockPreviewSettings settings = Settings(optimiser);
  settings.optimiserTimeoutMs = 300;
  BlockPreviewMaker maker(*scene_->engine, scene_->gui, settings);
  maker.MakeBlockPreview(Block(9, 1));

  const std::string pid = ReadText(pidFile);
  ASSERT_FALSE(pid.empty());
  EXPECT_NE(kill(std::stoi(pid), 0), 0) << "the optimiser still runs";
  EXPECT_TRUE(std::filesystem::exists(scratch_.File("9.png")));
}

TEST_F(BlockPreviewTest, TheBundledOptimiserLeavesAPngOfTheSamePicture) {
  scene_->engine->PBO_CreateCamera(1, 50, 50, 50, 50);
  scene_->engine->PBO_CameraBackColor(1, platform::PackRgb(10, 200, 30));
  BlockPreviewMaker maker(*scene_->engine, scene_->gui, Settings(ORELENS_SOURCE_DIR "/tools/pingo"));
  maker.MakeBlockPreview(Block(6, 1));
  const auto png = fixtures::ReadPngFile(scratch_.File("6.png"));
  ASSERT_TRUE(png);
  EXPECT_EQ(png->width, 512);
  EXPECT_EQ(png->at(0, 0) >> 24, 0u);
  // The palette may move a colour by a step or two, never more.
  const uint32_t green = png->at(511, 511);
  EXPECT_NEAR(platform::RedOf(green), 10, 2);
  EXPECT_NEAR(platform::GreenOf(green), 200, 2);
  EXPECT_NEAR(platform::BlueOf(green), 30, 2);
  EXPECT_EQ(platform::AlphaOf(green), 255u);
  EXPECT_EQ(fixtures::PngColourType(scratch_.File("6.png")), 3);
}

TEST_F(BlockPreviewTest, WithoutTheQuantiserTheBundledOptimiserStillLeavesTheSamePicture) {
  if (!std::filesystem::exists("/usr/bin/optipng")) GTEST_SKIP() << "optipng is not installed";
  // A search path that holds the lossless fallback only.
  const std::filesystem::path bin = scratch_.Path() / "bin";
  std::filesystem::create_directory(bin);
  std::filesystem::create_symlink("/usr/bin/optipng", bin / "optipng");
  const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", bin.c_str(), 1);
  scene_->engine->PBO_CreateCamera(1, 50, 50, 50, 50);
  scene_->engine->PBO_CameraBackColor(1, platform::PackRgb(200, 20, 90));
  BlockPreviewMaker maker(*scene_->engine, scene_->gui, Settings(ORELENS_SOURCE_DIR "/tools/pingo"));
  maker.MakeBlockPreview(Block(7, 1));
  setenv("PATH", path.c_str(), 1);
  const auto png = fixtures::ReadPngFile(scratch_.File("7.png"));
  ASSERT_TRUE(png);
  EXPECT_EQ(png->width, 512);
  EXPECT_EQ(png->at(0, 0) >> 24, 0u);
  EXPECT_EQ(png->at(511, 511), platform::PackRgba(200, 20, 90, 255));
  // Rewritten: two colours make a palette picture of the RGBA one the program saved.
  EXPECT_NE(fixtures::PngColourType(scratch_.File("7.png")), 6);
}

TEST_F(BlockPreviewTest, MissingFolderOrOptimiserIsNotAnError) {
  BlockPreviewSettings settings = Settings();
  settings.previewFolder = scratch_.File("no-such-folder") + "/";
  BlockPreviewMaker maker(*scene_->engine, scene_->gui, settings);
  maker.MakeBlockPreview(Block(3, 3));
  EXPECT_FALSE(std::filesystem::exists(scratch_.Path() / "no-such-folder"));
}

}  // namespace
}  // namespace orelens::customblocks
