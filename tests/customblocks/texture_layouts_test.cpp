#include "customblocks/texture_layouts.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace orelens::customblocks {
namespace {

// A later file whose texture cannot be created shows the material of its layout's fallback
// slot: the sides of layouts 2 and 3, the top of layout 4.
TEST(TextureLayouts, ALaterTextureThatCannotBeCreatedTakesTheFallbackSlot) {
  const std::array<std::pair<int, int>, 3> fallbackOfMode{{{2, 2}, {3, 2}, {4, 0}}};
  for (const auto& [mode, fallback] : fallbackOfMode) {
    const TextureLayout* layout = TextureLayoutOfMode(mode);
    ASSERT_TRUE(layout) << mode;
    ASSERT_EQ(layout->fallbackSlot, fallback) << mode;
    for (const LayoutTexture& failing : layout->textures.subspan(1)) {
      std::array<int32_t, 7> faces{};
      faces[static_cast<size_t>(layout->textures.front().slot)] = 1000;  // the first file's material
      int nextMaterial = 2000;
      FillLaterSlots(*layout, faces, [&](std::string_view file) -> std::optional<int32_t> {
        if (file == failing.file) return std::nullopt;
        return nextMaterial++;
      });
      const std::string what = "mode " + std::to_string(mode) + ", " + std::string(failing.file);
      EXPECT_EQ(faces[static_cast<size_t>(failing.slot)], faces[static_cast<size_t>(fallback)]) << what;
      EXPECT_NE(faces[static_cast<size_t>(failing.slot)], 0) << what;
      // The others got their own materials; slot 6 is never written.
      for (const LayoutTexture& other : layout->textures.subspan(1)) {
        if (other.file != failing.file) {
          EXPECT_GE(faces[static_cast<size_t>(other.slot)], 2000) << what;
        }
      }
      EXPECT_EQ(faces[6], 0) << what;
    }
  }
  // A layout of one file has no later ones.
  ASSERT_TRUE(TextureLayoutOfMode(1));
  EXPECT_EQ(TextureLayoutOfMode(1)->textures.size(), 1u);
  EXPECT_FALSE(TextureLayoutOfMode(0));
  EXPECT_FALSE(TextureLayoutOfMode(5));
}

}  // namespace
}  // namespace orelens::customblocks
