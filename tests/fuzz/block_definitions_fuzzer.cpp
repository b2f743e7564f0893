// The block definition file "demo.xml": parsed with the XML parser, then loaded into the block
// definition table through a headless engine.
//
// Input: the file. Properties:
//  - the file read from disk parses exactly like the same bytes in memory;
//  - the table holds what the elements say: each defined type its last element's name, texture
//    layout type (low 8 bits), one material per texture attribute and the kind its element gives
//    it; every other type keeps its label material on all six faces and kind 0; the kind table
//    matches the definitions everywhere;
//  - a malformed file gives one message that names the parser's line and column, a mesh that
//    cannot be loaded one message each, and nothing else shows a message.

#include <array>
#include <string>
#include <string_view>

#include "fixtures/world_writer.h"
#include "fuzz/fuzz_support.h"
#include "platform/draw2d/font_library.h"
#include "platform/engine3d/engine3d.h"
#include "platform/gui/scripted_gui.h"
#include "platform/image/png_writer.h"
#include "platform/text/integer_text.h"
#include "viewer/block_definitions.h"
#include "viewer/block_definitions_file.h"

namespace {

using namespace orelens;
using viewer::BlockDefinitionFile;
using viewer::BlockElement;
using viewer::BlockFileStatus;

// Missing textures are drawn as placeholders with text, which is slow; files with more texture
// attributes than this are only parsed.
constexpr int kMostTexturesLoaded = 48;

struct DefinitionsRig {
  fixtures::TempFolder temp;
  std::string textures = temp.MakeFolder("Textures");
  std::string file = temp.path() + "demo.xml";
  platform::FontLibrary fonts;

  DefinitionsRig() {
    FUZZ_CHECK(platform::WritePngFile(textures + "stone.png",
                                      platform::Image(8, 8, platform::PackRgba(90, 90, 90))));
  }
};

bool SameDocument(const BlockDefinitionFile& a, const BlockDefinitionFile& b) {
  if (a.status != b.status || a.elements.size() != b.elements.size()) return false;
  if (a.status == BlockFileStatus::kMalformed) {
    return a.parseError == b.parseError && a.errorLine == b.errorLine && a.errorColumn == b.errorColumn;
  }
  for (size_t i = 0; i < a.elements.size(); ++i) {
    const BlockElement& x = a.elements[i];
    const BlockElement& y = b.elements[i];
    if (x.name != y.name || x.text != y.text || x.attributes != y.attributes) return false;
  }
  return true;
}

int FaceOf(std::string_view attribute) {
  if (attribute.size() == 8 && attribute.substr(0, 7) == "texture" && attribute[7] >= '0' &&
      attribute[7] <= '5') {
    return attribute[7] - '0';
  }
  return -1;
}

// Files whose names point outside the resource folder are not loaded: the harness must not read
// whatever the machine holds.
bool StaysInResourceFolder(const BlockDefinitionFile& document) {
  int textures = 0;
  for (const BlockElement& element : document.elements) {
    for (const auto& [name, value] : element.attributes) {
      if (name != "mesh" && FaceOf(name) < 0) continue;
      if (value.find_first_of("/\\") != std::string::npos || value.find("..") != std::string::npos)
        return false;
      if (FaceOf(name) >= 0) ++textures;
    }
  }
  return textures <= kMostTexturesLoaded;
}

// What the elements make of each block type, by the file's rules.
struct ExpectedType {
  const BlockElement* element = nullptr;  // the last element that defines the type
  int64_t textype = 0;
};

struct ExpectedTable {
  std::array<ExpectedType, 256> types{};
  size_t meshMessages = 0;
};

ExpectedTable ExpectTable(const BlockDefinitionFile& document) {
  ExpectedTable table;
  int64_t id = 0;  // "id" and "textype" carry over from the element before
  int64_t textype = 0;
  for (const BlockElement& element : document.elements) {
    bool hasMesh = false;
    for (const auto& [name, value] : element.attributes) {
      if (name == "id") id = platform::ParseIntegerText(value);
      if (name == "textype") textype = platform::ParseIntegerText(value);
      if (name == "mesh" && !value.empty()) hasMesh = true;
    }
    if (id < 0 || id > 255) continue;
    table.types[id] = {&element, textype};
    const bool alpha = element.name == "AlphaBlock" && (textype & 0xFF) < 6;
    if (!alpha && hasMesh) ++table.meshMessages;  // the resource folder holds no mesh
  }
  return table;
}

uint8_t ExpectedKind(const BlockElement& element, uint8_t textype, int32_t faceZeroMaterial) {
  if (element.name == "AlphaBlock" && textype < 6) {
    if (textype == 5) return world::kKindDoubleSidedAlpha;
    return faceZeroMaterial != 0 ? world::kKindAlphaCube : world::kKindNotDrawn;
  }
  for (const auto& [name, value] : element.attributes) {
    if (name == "mesh" && !value.empty()) return world::kKindAlphaCube;  // its mesh is not found
  }
  return world::kKindOpaqueCube;
}

void CheckTable(const ExpectedTable& expected, const viewer::BlockDefinitions& blocks,
                const platform::Engine3D& engine) {
  for (int type = 0; type < 256; ++type) {
    const viewer::BlockDefinition& definition = blocks.definitions[type];
    FUZZ_CHECK(blocks.kinds[type] == definition.kind);
    const ExpectedType& wanted = expected.types[type];
    if (!wanted.element) {
      FUZZ_CHECK(definition.name.empty() && definition.kind == 0 && definition.textype == 0);
      for (const int32_t material : definition.faceMaterials) FUZZ_CHECK(material == type);
      continue;
    }
    const BlockElement& element = *wanted.element;
    FUZZ_CHECK(definition.name == element.text);
    FUZZ_CHECK(definition.textype == static_cast<uint8_t>(wanted.textype & 0xFF));
    std::array<bool, 6> textured{};
    for (const auto& [name, value] : element.attributes) {
      if (const int face = FaceOf(name); face >= 0) textured[face] = true;
    }
    for (int face = 0; face < 6; ++face) {
      const int32_t material = definition.faceMaterials[face];
      FUZZ_CHECK(textured[face] ? material != 0 && engine.PBO_IsMaterial(material) : material == 0);
    }
    FUZZ_CHECK(definition.kind == ExpectedKind(element, definition.textype, definition.faceMaterials[0]));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static DefinitionsRig rig;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const BlockDefinitionFile parsed = viewer::ParseBlockDefinitionXml(text);
  fixtures::WriteBytesToFile(rig.file, fuzz::InputBytes(data, size));
  const BlockDefinitionFile fromDisk = viewer::ReadBlockDefinitionFile(rig.file);
  if (size == 0) {
    FUZZ_CHECK(fromDisk.status == BlockFileStatus::kUnreadable);
    return 0;
  }
  FUZZ_CHECK_MSG(SameDocument(parsed, fromDisk), "the file on disk parses otherwise than its bytes");
  if (!StaysInResourceFolder(parsed)) return 0;

  const std::unique_ptr<platform::Engine3D> engine = platform::MakeHeadlessEngine();
  engine->PBO_InitEngine3D(2);
  engine->PBO_Add3DArchive(rig.textures, 0);
  platform::ScriptedGui gui;
  viewer::BlockDefinitions blocks;
  FUZZ_CHECK(viewer::LoadBlockDefinitions(blocks, *engine, gui, rig.fonts, rig.file) == 0);

  const std::vector<platform::RecordedMessageBox> messages = gui.MessageBoxes();
  if (parsed.status == BlockFileStatus::kMalformed) {
    FUZZ_CHECK(messages.size() == 1 && messages[0].title == "Error");
    const std::string where =
        "\rLine: " + std::to_string(parsed.errorLine) + "   Character: " + std::to_string(parsed.errorColumn);
    FUZZ_CHECK(messages[0].text.starts_with("Error in the Block definition XML:\rMessage: ") &&
               messages[0].text.ends_with(where));
    return 0;
  }
  FUZZ_CHECK(parsed.status == BlockFileStatus::kLoaded);
  const ExpectedTable expected = ExpectTable(parsed);
  FUZZ_CHECK_MSG(messages.size() == expected.meshMessages, "unexpected messages while loading");
  for (const platform::RecordedMessageBox& message : messages) {
    FUZZ_CHECK(message.title == "Error" && message.text.starts_with("Mesh not found: "));
  }
  CheckTable(expected, blocks, *engine);
  return 0;
}
