#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "world/block_kind_table.h"

namespace orelens::platform {
class DrawingSession;
class Engine3D;
class FontLibrary;
class Gui;
}  // namespace orelens::platform

namespace orelens::viewer {

// How one block type is drawn.
struct BlockDefinition {
  std::string name;                       // the element's text; empty for a type the file leaves out
  std::array<int32_t, 6> faceMaterials{};  // 0 top, 1 bottom, 2..5 the sides of face templates 12..15
  int32_t meshEntity = 0;                 // the entity of a mesh block (kind 3)
  uint8_t textype = 0;                    // texture layout type
  uint8_t kind = 0;                       // world::BlockKind
};

using BlockDefinitionTable = std::array<BlockDefinition, 256>;

// The block definitions of a run: filled once from the block definition file before any loader
// thread starts and only read afterwards (the loaders read `kinds` without a lock).
struct BlockDefinitions {
  BlockDefinitionTable definitions{};
  world::BlockKindTable kinds{};
};

constexpr const char* kBlockDefinitionFileName = "demo.xml";

// Fills `blocks` from the block definition file. Every type first gets its number-label material
// (material t) on all six faces; the file's elements then define their types. Textures and
// meshes are looked up in the engine's resource folders; a texture that cannot be loaded gets a
// "Texture missing:" placeholder, and failures are reported through `gui`. Returns 0 in every case.
int LoadBlockDefinitions(BlockDefinitions& blocks, platform::Engine3D& engine, platform::Gui& gui,
                         const platform::FontLibrary& fonts,
                         const std::filesystem::path& file = kBlockDefinitionFileName);

// Draws `text` at (x, y) in the output's default text colours: split into lines at each "\r\n",
// each line in rows of 14 characters, every row one height of " " further down.
void DrawWrappedText(platform::DrawingSession& drawing, int x, int y, std::string_view text);

}  // namespace orelens::viewer
