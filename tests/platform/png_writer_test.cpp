#include "platform/image/png_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

namespace orelens::platform {
namespace {

class PngWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "orelens-png-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::filesystem::path folder_;
};

TEST_F(PngWriterTest, PixelsAndAlphaSurviveARoundTrip) {
  Image image(3, 2);
  image.at(0, 0) = PackRgba(255, 0, 0, 255);
  image.at(1, 0) = PackRgba(0, 255, 0, 128);
  image.at(2, 0) = PackRgba(0, 0, 255, 0);
  image.at(0, 1) = PackRgba(255, 255, 255, 0);
  image.at(1, 1) = PackRgba(1, 2, 3, 4);
  image.at(2, 1) = PackRgba(250, 251, 252, 253);
  const std::string path = (folder_ / "round.png").string();
  ASSERT_TRUE(WritePngFile(path, image));

  int width = 0, height = 0, channels = 0;
  std::unique_ptr<stbi_uc, void (*)(void*)> decoded(stbi_load(path.c_str(), &width, &height, &channels, 4),
                                                    stbi_image_free);
  ASSERT_TRUE(decoded);
  ASSERT_EQ(width, 3);
  ASSERT_EQ(height, 2);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      const stbi_uc* p = decoded.get() + (y * 3 + x) * 4;
      EXPECT_EQ(PackRgba(p[0], p[1], p[2], p[3]), image.at(x, y)) << x << "," << y;
    }
  }
}

TEST_F(PngWriterTest, FailsWithoutWritingForMissingFoldersAndBadPictures) {
  EXPECT_FALSE(WritePngFile((folder_ / "missing" / "x.png").string(), Image(4, 4)));
  EXPECT_FALSE(WritePngFile((folder_ / "empty.png").string(), Image()));
  Image inconsistent(4, 4);
  inconsistent.pixels.resize(3);
  EXPECT_FALSE(WritePngFile((folder_ / "bad.png").string(), inconsistent));
  EXPECT_FALSE(std::filesystem::exists(folder_ / "empty.png"));
  EXPECT_FALSE(std::filesystem::exists(folder_ / "bad.png"));
}

}  // namespace
}  // namespace orelens::platform
