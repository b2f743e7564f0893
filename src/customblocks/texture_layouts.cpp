#include "customblocks/texture_layouts.h"

#include <array>

namespace orelens::customblocks {

namespace {

constexpr std::array<LayoutTexture, 1> kOneTexture{{{"\\Textures\\all.dds", 0}}};
constexpr std::array<LayoutTexture, 2> kSidesAndCaps{
    {{"\\Textures\\sides.dds", 2}, {"\\Textures\\updown.dds", 0}}};
constexpr std::array<LayoutTexture, 3> kSidesTopBottom{
    {{"\\Textures\\sides.dds", 2}, {"\\Textures\\up.dds", 0}, {"\\Textures\\down.dds", 1}}};
constexpr std::array<LayoutTexture, 6> kEveryFace{{{"\\Textures\\up.dds", 0},
                                                   {"\\Textures\\down.dds", 1},
                                                   {"\\Textures\\left.dds", 2},
                                                   {"\\Textures\\right.dds", 3},
                                                   {"\\Textures\\front.dds", 4},
                                                   {"\\Textures\\back.dds", 5}}};

constexpr std::array<TextureLayout, 4> kLayouts{{
    {kOneTexture, -1},
    {kSidesAndCaps, 2},
    {kSidesTopBottom, 2},
    {kEveryFace, 0},
}};

}  // namespace

const TextureLayout* TextureLayoutOfMode(int64_t mode) {
  if (mode < 1 || mode > 4) return nullptr;
  return &kLayouts[static_cast<size_t>(mode - 1)];
}

void FillLaterSlots(const TextureLayout& layout, std::span<int32_t> faces,
                    const std::function<std::optional<int32_t>(std::string_view file)>& materialOf) {
  for (const LayoutTexture& later : layout.textures.subspan(1)) {
    const std::optional<int32_t> material = materialOf(later.file);
    faces[static_cast<size_t>(later.slot)] =
        material ? *material : faces[static_cast<size_t>(layout.fallbackSlot)];
  }
}

}  // namespace orelens::customblocks
