#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

namespace orelens::customblocks {

// One texture file of a block folder and the material slot it fills.
struct LayoutTexture {
  std::string_view file;  // appended to the block's folder
  int slot = 0;
};

// The texture files a block's "Mode" asks for, in the order they are loaded. The first one
// decides whether the block gets an entry; a later file whose texture cannot be created takes
// the material of the fallback slot instead.
struct TextureLayout {
  std::span<const LayoutTexture> textures;
  int fallbackSlot = -1;  // -1: the layout has no later files
};

// The layout of Mode 1, 2, 3 or 4; nullptr for any other value.
const TextureLayout* TextureLayoutOfMode(int64_t mode);

// Fills the slots of the layout's later files in faces (material handles by slot): each takes
// the material made from its file, or the fallback slot's material when materialOf gives
// nullopt (the file's texture could not be created).
void FillLaterSlots(const TextureLayout& layout, std::span<int32_t> faces,
                    const std::function<std::optional<int32_t>(std::string_view file)>& materialOf);

}  // namespace orelens::customblocks
