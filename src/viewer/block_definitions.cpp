#include "viewer/block_definitions.h"

#include <string>

#include "platform/draw2d/drawing_session.h"
#include "platform/engine3d/engine3d.h"
#include "platform/gui/gui.h"
#include "platform/text/integer_text.h"
#include "viewer/block_definitions_file.h"

namespace orelens::viewer {
namespace {

constexpr int kCharactersPerRow = 14;
constexpr int kPlaceholderSize = 128;
constexpr int kBlendAlpha = 3;
constexpr const char* kAlphaBlockElement = "AlphaBlock";

// The number of bytes that the first `count` characters of UTF-8 `text` take.
size_t BytesOfCharacters(std::string_view text, size_t count) {
  size_t at = 0;
  while (at < text.size() && count > 0) {
    ++at;
    while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) ++at;
    --count;
  }
  return at;
}

// A texture for a face: the file, or a placeholder that names the missing file.
int LoadFaceTexture(platform::Engine3D& engine, platform::Gui& gui, const platform::FontLibrary& fonts,
                    const std::string& file) {
  if (const int texture = engine.PBO_LoadTexture(-1, file)) return texture;
  const int texture = engine.PBO_CreateTexture(-1, kPlaceholderSize, kPlaceholderSize);
  platform::Image* output = texture ? engine.PBO_LockTexture(texture) : nullptr;
  if (!output) {
    gui.MessageBox("", "Drawing failed!");
    return texture;
  }
  platform::DrawingSession drawing(output, fonts, [&engine, texture] { engine.PBO_UnlockTexture(texture); });
  drawing.DrawingMode(platform::kDrawAlphaBlend);
  DrawWrappedText(drawing, 1, 1, "Texture missing:\r\n" + file);
  return texture;
}

int FaceNumberOf(const std::string& attribute) {
  if (attribute.size() == 8 && attribute.compare(0, 7, "texture") == 0 && attribute[7] >= '0' && attribute[7] <= '5') {
    return attribute[7] - '0';
  }
  return -1;
}

struct ElementState {
  std::string meshFile;
  std::array<int32_t, 6> faceMaterials{};
};

uint8_t AlphaBlockKind(platform::Engine3D& engine, const BlockDefinition& entry) {
  for (const int32_t material : entry.faceMaterials) {
    if (material != 0) engine.PBO_MaterialBlendingMode(material, kBlendAlpha);
  }
  if (entry.textype == 5) return world::kKindDoubleSidedAlpha;
  return entry.faceMaterials[0] != 0 ? world::kKindAlphaCube : world::kKindNotDrawn;
}

// Loads the block's mesh, sets it upright at block scale and makes its entity.
uint8_t MeshBlockKind(platform::Engine3D& engine, platform::Gui& gui, BlockDefinition& entry, const std::string& file) {
  const int mesh = engine.PBO_LoadMesh(-1, file);
  entry.meshEntity = mesh;
  if (!mesh) {
    gui.MessageBox("Error", "Mesh not found: " + file);
    return world::kKindAlphaCube;
  }
  engine.PBO_TransformMesh(mesh, 0.03f, -0.36f, 0.0f, 0.02f, 0.02f, 0.02f, -90.0f, 90.0f, 0.0f);
  entry.meshEntity =
      engine.PBO_CreateEntity2(-1, engine.PBO_MeshID(mesh), engine.PBO_MaterialID(entry.faceMaterials[0]));
  return world::kKindMeshBlock;
}

}  // namespace

void DrawWrappedText(platform::DrawingSession& drawing, int x, int y, std::string_view text) {
  const int rowHeight = drawing.TextHeight(" ");
  const int outputHeight = drawing.OutputHeight();
  while (true) {
    const size_t lineEnd = text.find("\r\n");
    std::string_view line = text.substr(0, lineEnd);
    while (!line.empty()) {
      // Rows below the output cannot show anything; a huge text costs nothing past it.
      if (y >= outputHeight) return;
      const size_t rowBytes = BytesOfCharacters(line, kCharactersPerRow);
      drawing.DrawText(x, y, line.substr(0, rowBytes));
      line.remove_prefix(rowBytes);
      y += rowHeight;
    }
    if (lineEnd == std::string_view::npos) return;
    text.remove_prefix(lineEnd + 2);
  }
}

int LoadBlockDefinitions(BlockDefinitions& blocks, platform::Engine3D& engine, platform::Gui& gui,
                         const platform::FontLibrary& fonts, const std::filesystem::path& file) {
  for (int type = 0; type < 256; ++type) blocks.definitions[type].faceMaterials.fill(type);

  const BlockDefinitionFile document = ReadBlockDefinitionFile(file);
  switch (document.status) {
    case BlockFileStatus::kUnreadable:
      gui.MessageBox("Error", "Sorry, the block definition XML could not be loaded.");
      return 0;
    case BlockFileStatus::kMalformed:
      gui.MessageBox("Error", "Error in the Block definition XML:\rMessage: " + document.parseError + "\rLine: " +
                                  std::to_string(document.errorLine) +
                                  "   Character: " + std::to_string(document.errorColumn));
      return 0;
    case BlockFileStatus::kNoRoot:
      gui.MessageBox("Error", "No Main XML note present in block definition file.");
      return 0;
    case BlockFileStatus::kLoaded:
      break;
  }

  // An element without "id" or "textype" repeats the value of the element before it.
  int64_t id = 0;
  int64_t textype = 0;
  for (const BlockElement& element : document.elements) {
    ElementState state;
    for (const auto& [attribute, value] : element.attributes) {
      if (attribute == "id") {
        id = platform::ParseIntegerText(value);
      } else if (attribute == "textype") {
        textype = platform::ParseIntegerText(value);
      } else if (attribute == "mesh") {
        state.meshFile = value;
      } else if (const int face = FaceNumberOf(attribute); face >= 0) {
        const int texture = LoadFaceTexture(engine, gui, fonts, value);
        state.faceMaterials[face] = engine.PBO_CreateMaterial(-1, engine.PBO_TextureID(texture));
      }
    }
    // Block types are one byte; an element naming any other id has no entry to define.
    if (id < 0 || id > 255) continue;

    BlockDefinition& entry = blocks.definitions[id];
    entry = BlockDefinition{};
    entry.textype = static_cast<uint8_t>(textype & 0xFF);
    entry.name = element.text;
    entry.faceMaterials = state.faceMaterials;
    if (element.name == kAlphaBlockElement && entry.textype < 6) {
      entry.kind = AlphaBlockKind(engine, entry);
    } else if (!state.meshFile.empty()) {
      entry.kind = MeshBlockKind(engine, gui, entry, state.meshFile);
    }
    blocks.kinds[id] = entry.kind;
  }
  return 0;
}

}  // namespace orelens::viewer
