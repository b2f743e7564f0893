#include "viewer/unknown_custom_block.h"

#include <string>

#include "platform/draw2d/drawing_session.h"
#include "platform/engine3d/engine3d.h"

namespace orelens::viewer {
namespace {

constexpr int kPlaceholderSize = 128;

// Draws the warning onto a new texture and makes a material of it; returns the material handle.
int MakeUnknownBlockMaterial(int32_t id, platform::Engine3D& engine, const platform::FontLibrary& fonts,
                             std::mt19937& random) {
  using platform::PackRgba;
  const int texture = engine.PBO_CreateTexture(-1, kPlaceholderSize, kPlaceholderSize);
  {
    platform::DrawingSession drawing(engine.PBO_LockTexture(texture), fonts,
                                     [&engine, texture] { engine.PBO_UnlockTexture(texture); });
    std::uniform_int_distribution<int> component(0, 100);
    const int red = component(random);
    const int green = component(random);
    const int blue = component(random);
    drawing.DrawingMode(platform::kDrawTransparent);
    // The one-pixel edge keeps the texture's first colour.
    drawing.Box(1, 1, kPlaceholderSize - 2, kPlaceholderSize - 2, PackRgba(red, green, blue));
    const int lineHeight = drawing.TextHeight(" ");
    const struct {
      std::string text;
      uint32_t colour;
    } lines[] = {
        {"Unknown Block", PackRgba(255, 0, 0)},          {"Install BlockID:", PackRgba(255, 200, 200)},
        {std::to_string(id), PackRgba(255, 200, 0)},     {"or Kelvane won't", PackRgba(255, 200, 200)},
        {"show it correctly.", PackRgba(255, 200, 200)},
    };
    int n = 0;
    for (const auto& line : lines) drawing.DrawText(3, 5 + n++ * lineHeight, line.text, line.colour);
  }
  return engine.PBO_CreateMaterial(-1, engine.PBO_TextureID(texture));
}

}  // namespace

CustomBlockDefinition& FindOrAddUnknownCustomBlock(CustomBlockMap& customBlocks, int32_t id,
                                                   platform::Engine3D& engine,
                                                   const platform::FontLibrary& fonts, std::mt19937& random) {
  const std::string key = std::to_string(id);
  if (CustomBlockDefinition* known = customBlocks.Find(key)) return *known;
  CustomBlockDefinition& placeholder = customBlocks.AddOrFind(key);
  placeholder.id = id;
  placeholder.kind = 1;
  placeholder.name = "UNKNOWN";
  placeholder.faces[0] = MakeUnknownBlockMaterial(id, engine, fonts, random);
  return placeholder;
}

}  // namespace orelens::viewer
