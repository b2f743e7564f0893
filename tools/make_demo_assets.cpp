// Writes the demo assets: "demo.xml" and the "Textures" folder with every texture, the torch mesh,
// the selection cube faces and the sky picture ("clouds.png"; tools/make_demo_assets.sh turns it
// into "clouds.jpg"). Usage: make_demo_assets <assets folder>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "demo_textures.h"
#include "platform/draw2d/drawing_session.h"
#include "platform/draw2d/font_library.h"
#include "platform/image/png_writer.h"

namespace fs = std::filesystem;
using namespace orelens;
using platform::Image;
using platform::PackRgba;

namespace {

// One face of the axis block: a stone panel with the face's name in large letters.
Image AxisFace(const platform::FontLibrary& fonts, const std::string& label, uint32_t colour) {
  Image face = tools::Cobblestone();
  platform::DrawingSession drawing(&face, fonts);
  drawing.DrawingMode(platform::kDrawAlphaBlend);
  drawing.RoundBox(6, 14, 52, 36, 8, 8, PackRgba(20, 20, 24, 170));
  drawing.DrawingMode(platform::kDrawAlphaBlend | platform::kDrawTransparent);
  drawing.DrawingFont(1);
  if (drawing.TextWidth(label) > 48) drawing.DrawingFont(2);
  const int width = drawing.TextWidth(label);
  const int height = drawing.TextHeight(label);
  drawing.DrawText(32 - width / 2, 32 - height / 2, label, colour);
  return face;
}

// A torch of two boxes, modelled with z up in units of 1/50 block width; the block definition
// loader scales it by 0.02 and turns it upright. The stick maps to the left half of torch.png,
// the flame to the right half.
void AppendBox(std::string& obj, int& vertexBase, float x0, float x1, float y0, float y1, float z0, float z1,
               float u0, float u1) {
  const float corners[8][3] = {{x0, y0, z0}, {x1, y0, z0}, {x1, y1, z0}, {x0, y1, z0},
                               {x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}};
  char line[256];
  for (const auto& c : corners) {
    std::snprintf(line, sizeof line, "v %g %g %g\n", c[0], c[1], c[2]);
    obj += line;
  }
  std::snprintf(line, sizeof line, "vt %g 0\nvt %g 0\nvt %g 1\nvt %g 1\n", u0, u1, u1, u0);
  obj += line;
  // Faces counter-clockwise seen from outside: -z, +z, -y, +y, -x, +x.
  const int faces[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {2, 3, 7, 6}, {3, 0, 4, 7}, {1, 2, 6, 5}};
  const char* normals[6] = {"0 0 -1", "0 0 1", "0 -1 0", "0 1 0", "-1 0 0", "1 0 0"};
  const int vt = vertexBase / 2;  // four texture coordinates per box, eight positions
  for (int f = 0; f < 6; ++f) {
    obj += std::string("vn ") + normals[f] + "\n";
  }
  const int normalBase = vertexBase / 8 * 6;
  for (int f = 0; f < 6; ++f) {
    std::snprintf(line, sizeof line, "f %d/%d/%d %d/%d/%d %d/%d/%d %d/%d/%d\n",  //
                  vertexBase + faces[f][0] + 1, vt + 4, normalBase + f + 1,     //
                  vertexBase + faces[f][1] + 1, vt + 3, normalBase + f + 1,     //
                  vertexBase + faces[f][2] + 1, vt + 2, normalBase + f + 1,     //
                  vertexBase + faces[f][3] + 1, vt + 1, normalBase + f + 1);
    obj += line;
  }
  vertexBase += 8;
}

std::string TorchObj() {
  std::string obj = "# Torch for block 15 (made by tools/make_demo_assets)\n";
  int vertexBase = 0;
  AppendBox(obj, vertexBase, -1.5f, 1.5f, 0.0f, 3.0f, 5.5f, 23.0f, 0.0f, 0.5f);
  AppendBox(obj, vertexBase, -1.2f, 1.2f, 0.3f, 2.7f, 23.0f, 27.5f, 0.5f, 1.0f);
  return obj;
}

constexpr const char* kDemoXml = R"(<?xml version="1.0" encoding="UTF-8"?>
<!--
  Block definitions of the demo world; every texture and the torch mesh in Textures/ were made
  by tools/make_demo_assets. Block ids:
     1 Stone            opaque cube, one texture (textype 0)
     2 Grass            opaque cube, own top, bottom and sides (textype 3)
     3 Air              not drawn (AlphaBlock without texture0)
     4 Dirt             opaque cube (textype 0)
     5 Glass            alpha cube (AlphaBlock)
     6 Cobblestone      opaque cube (textype 1)
     7 Log              opaque cube, rings on top and bottom, bark on the sides (textype 2)
     8 Planks           opaque cube (textype 0)
     9 Sand             opaque cube (textype 0)
    10 Bricks           opaque cube (textype 0)
    11 Axis block       opaque cube, six faces of its own (textype 4): UP, DOWN, -X, +X, +Z, -Z
    12 Snow             opaque cube, own top, bottom and sides (textype 3)
    13 Gravel           opaque cube (textype 0)
    14 Gold ore         opaque cube (textype 0)
    15 Torch            mesh block (torch.obj)
    16 Leaves           alpha cube with holes (AlphaBlock)
    17 Water            alpha cube (AlphaBlock)
    36 Tall grass       crossed quads (AlphaBlock, textype 5)
    39 Red flower       crossed quads (AlphaBlock, textype 5)
    63 Ice              alpha cube (AlphaBlock)
-->
<Blocks>
  <Block id="1" textype="0" texture0="stone.png">Stone</Block>
  <Block id="2" textype="3" texture0="grass_top.png" texture1="dirt.png" texture2="grass_side.png">Grass</Block>
  <AlphaBlock id="3" textype="0">Air</AlphaBlock>
  <Block id="4" textype="0" texture0="dirt.png">Dirt</Block>
  <AlphaBlock id="5" textype="0" texture0="glass.png">Glass</AlphaBlock>
  <Block id="6" textype="1" texture0="cobblestone.png">Cobblestone</Block>
  <Block id="7" textype="2" texture0="log_top.png" texture2="log_side.png">Log</Block>
  <Block id="8" textype="0" texture0="planks.png">Planks</Block>
  <Block id="9" textype="0" texture0="sand.png">Sand</Block>
  <Block id="10" textype="0" texture0="bricks.png">Bricks</Block>
  <Block id="11" textype="4" texture0="axis_up.png" texture1="axis_down.png" texture2="axis_minus_x.png" texture3="axis_plus_x.png" texture4="axis_plus_z.png" texture5="axis_minus_z.png">Axis block</Block>
  <Block id="12" textype="3" texture0="snow_top.png" texture1="dirt.png" texture2="snow_side.png">Snow</Block>
  <Block id="13" textype="0" texture0="gravel.png">Gravel</Block>
  <Block id="14" textype="0" texture0="gold_ore.png">Gold ore</Block>
  <Block id="15" textype="0" mesh="torch.obj" texture0="torch.png">Torch</Block>
  <AlphaBlock id="16" textype="0" texture0="leaves.png">Leaves</AlphaBlock>
  <AlphaBlock id="17" textype="0" texture0="water.png">Water</AlphaBlock>
  <AlphaBlock id="36" textype="5" texture0="tall_grass.png">Tall grass</AlphaBlock>
  <AlphaBlock id="39" textype="5" texture0="red_flower.png">Red flower</AlphaBlock>
  <AlphaBlock id="63" textype="0" texture0="ice.png">Ice</AlphaBlock>
</Blocks>
)";

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_demo_assets <assets folder>\n";
    return 2;
  }
  const fs::path assets = argv[1];
  const fs::path textures = assets / "Textures";
  fs::create_directories(textures / "Block_prev");
  std::ofstream(textures / "Block_prev" / ".gitkeep");

  platform::FontLibrary fonts;
  fonts.LoadFont(1, "Palatino Linotype", 16);
  fonts.LoadFont(2, "Palatino Linotype", 11);

  const std::vector<std::pair<std::string, Image>> pictures = {
      {"stone.png", tools::Stone()},
      {"dirt.png", tools::Dirt()},
      {"grass_top.png", tools::GrassTop()},
      {"grass_side.png", tools::GrassSide()},
      {"snow_top.png", tools::SnowTop()},
      {"snow_side.png", tools::SnowSide()},
      {"sand.png", tools::Sand()},
      {"log_side.png", tools::Bark()},
      {"log_top.png", tools::LogEnd()},
      {"planks.png", tools::Planks()},
      {"bricks.png", tools::Bricks()},
      {"cobblestone.png", tools::Cobblestone()},
      {"gravel.png", tools::Gravel()},
      {"gold_ore.png", tools::GoldOre()},
      {"glass.png", tools::Glass()},
      {"leaves.png", tools::Leaves()},
      {"water.png", tools::Water()},
      {"ice.png", tools::Ice()},
      {"tall_grass.png", tools::TallGrass()},
      {"red_flower.png", tools::Flower()},
      {"torch.png", tools::Torch()},
      {"axis_up.png", AxisFace(fonts, "UP", PackRgba(255, 255, 255))},
      {"axis_down.png", AxisFace(fonts, "DOWN", PackRgba(200, 200, 200))},
      {"axis_minus_x.png", AxisFace(fonts, "-X", PackRgba(255, 120, 120))},
      {"axis_plus_x.png", AxisFace(fonts, "+X", PackRgba(255, 80, 80))},
      {"axis_plus_z.png", AxisFace(fonts, "+Z", PackRgba(110, 160, 255))},
      {"axis_minus_z.png", AxisFace(fonts, "-Z", PackRgba(150, 190, 255))},
      {"Toolblock.png", tools::ToolFrame({235, 240, 245})},
      {"Toolblock_act.png", tools::ToolFrame({255, 160, 30})},
      {"clouds.png", tools::Clouds(512, 512)},
  };
  for (const auto& [name, picture] : pictures) {
    if (!platform::WritePngFile((textures / name).string(), picture)) {
      std::cerr << "could not write " << (textures / name) << "\n";
      return 1;
    }
  }
  std::ofstream(textures / "torch.obj", std::ios::binary) << TorchObj();
  std::ofstream(assets / "demo.xml", std::ios::binary) << kDemoXml;
  return 0;
}
