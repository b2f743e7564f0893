#include <gtest/gtest.h>

#include <string>

#include "block_definitions_test_support.h"
#include "platform/engine3d/scene.h"

namespace orelens::viewer {
namespace {

using testing::BlockDefinitionsWorld;

class BlockDefinitionsTest : public ::testing::Test, public BlockDefinitionsWorld {
 protected:
  void ExpectLabelMaterialsOnly() {
    for (int type = 0; type < 256; ++type) {
      const BlockDefinition& entry = blocks.definitions[type];
      EXPECT_EQ(entry.faceMaterials, (std::array<int32_t, 6>{type, type, type, type, type, type})) << type;
      EXPECT_EQ(entry.kind, 0) << type;
      EXPECT_EQ(blocks.kinds[type], 0) << type;
      EXPECT_TRUE(entry.name.empty()) << type;
    }
  }
  std::string OnlyMessageText() {
    const auto boxes = gui.MessageBoxes();
    EXPECT_EQ(boxes.size(), 1u);
    if (boxes.empty()) return {};
    EXPECT_EQ(boxes[0].title, "Error");
    return boxes[0].text;
  }
};

TEST_F(BlockDefinitionsTest, WithoutAReadableFileEveryTypeIsAnOpaqueCubeWithItsLabelMaterial) {
  EXPECT_EQ(Load(), 0);
  EXPECT_EQ(OnlyMessageText(), "Sorry, the block definition XML could not be loaded.");
  ExpectLabelMaterialsOnly();

  WriteXml("");
  Load();
  std::filesystem::create_directory(folder / "folder.xml");
  Load("folder.xml");
  ASSERT_EQ(gui.MessageBoxCount(), 3u);
  for (const auto& box : gui.MessageBoxes()) {
    EXPECT_EQ(box.text, "Sorry, the block definition XML could not be loaded.");
  }
}

TEST_F(BlockDefinitionsTest, MalformedDocumentsReportTheParsersPlaceAndDefineNothing) {
  WriteTexture("stone.png");
  WriteXml("<Blocks>\n  <Block id=\"1\" texture0=\"stone.png\">Stone</Blok>\n</Blocks>\n");
  Load();
  EXPECT_EQ(OnlyMessageText(), "Error in the Block definition XML:\rMessage: mismatched tag\rLine: 2   Character: 44");
  ExpectLabelMaterialsOnly();
}

TEST_F(BlockDefinitionsTest, TruncatedAndGarbageDocumentsAreReportedNotRead) {
  const std::string good = "<Blocks><Block id=\"1\" textype=\"2\">Stone</Block><Block id=\"2\">Dirt</Block></Blocks>";
  const std::string garbage("\x00\xFF\x13<<<\x89PNG\r\n&&&;\xC3", 18);
  for (const std::string& bad : {good.substr(0, 40), good.substr(0, good.size() - 3), garbage,
                                 std::string("<Blocks><Block id=\"1\">&bogus;</Block></Blocks>"),
                                 std::string("<!-- only a comment -->"), std::string(" \n\t ")}) {
    BlockDefinitionsWorld fresh;
    fresh.WriteXml(bad);
    fresh.Load();
    const auto boxes = fresh.gui.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u) << bad;
    EXPECT_EQ(boxes[0].text.rfind("Error in the Block definition XML:\rMessage: ", 0), 0u) << boxes[0].text;
    for (int type = 0; type < 256; ++type) {
      ASSERT_EQ(fresh.blocks.definitions[type].faceMaterials[0], type);
      ASSERT_TRUE(fresh.blocks.definitions[type].name.empty());
    }
  }
}

TEST_F(BlockDefinitionsTest, CubeBlocksTakeTheirTexturesAndLeaveOtherFacesAtMaterialZero) {
  WriteTexture("stone.png", 64, platform::PackRgba(120, 120, 120));
  WriteTexture("grass_top.png", 128, platform::PackRgba(0, 200, 0));
  WriteTexture("dirt.png");
  WriteXml(R"(<?xml version="1.0"?>
<Blocks>
  <Block id="1" textype="0" texture0="stone.png">Stone</Block>
  <Block id="2" textype="3" texture0="grass_top.png" texture1="dirt.png" texture2="dirt.png">Grass</Block>
</Blocks>)");
  Load();
  EXPECT_EQ(gui.MessageBoxCount(), 0u);

  const BlockDefinition& stone = blocks.definitions[1];
  EXPECT_EQ(stone.name, "Stone");
  EXPECT_EQ(stone.kind, 0);
  EXPECT_EQ(stone.textype, 0);
  ASSERT_NE(stone.faceMaterials[0], 0);
  for (int face = 1; face < 6; ++face) EXPECT_EQ(stone.faceMaterials[face], 0) << face;
  const platform::Image* stoneTexture = FaceTexture(stone.faceMaterials[0]);
  ASSERT_NE(stoneTexture, nullptr);
  EXPECT_EQ(stoneTexture->width, 64);
  EXPECT_EQ(stoneTexture->at(5, 5), platform::PackRgba(120, 120, 120));
  EXPECT_EQ(FindMaterial(stone.faceMaterials[0])->blending, 0) << "cubes are not blended";

  const BlockDefinition& grass = blocks.definitions[2];
  EXPECT_EQ(grass.textype, 3);
  EXPECT_EQ(FaceTexture(grass.faceMaterials[0])->width, 128);
  EXPECT_NE(grass.faceMaterials[1], grass.faceMaterials[2]) << "every texture attribute makes its own material";
  EXPECT_EQ(grass.faceMaterials[3], 0);
  EXPECT_EQ(blocks.definitions[4].faceMaterials[0], 4) << "types the file leaves out keep their label material";
}

TEST_F(BlockDefinitionsTest, IdAndTextypeCarryOverWhileMeshAndTexturesDoNot) {
  WriteTexture("a.png");
  WriteTexture("b.png");
  WriteXml(R"(<Blocks>
  <Block textype="2" texture0="a.png">First</Block>
  <Block id="7" texture0="a.png" texture3="b.png">Seven</Block>
  <Block texture1="b.png">Seven again</Block>
  <Block id=" 	+$0A" ID="20" Texture0="a.png" TEXTYPE="4">Ten</Block>
  <Block id="%1011" textype="-3">Eleven</Block>
  <Block id="12" textype="261">Twelve</Block>
</Blocks>)");
  Load();
  EXPECT_EQ(gui.MessageBoxCount(), 0u);
  EXPECT_EQ(blocks.definitions[0].name, "First") << "no id before the first element means type 0";
  EXPECT_EQ(blocks.definitions[0].textype, 2);

  const BlockDefinition& seven = blocks.definitions[7];
  EXPECT_EQ(seven.name, "Seven again") << "an element without id redefines the type before it";
  EXPECT_EQ(seven.textype, 2) << "textype repeats";
  EXPECT_EQ(seven.faceMaterials[0], 0) << "textures do not carry over";
  EXPECT_NE(seven.faceMaterials[1], 0);
  EXPECT_EQ(seven.faceMaterials[3], 0);

  const BlockDefinition& ten = blocks.definitions[10];
  EXPECT_EQ(ten.name, "Ten") << "integer text: blanks, sign and hexadecimal";
  EXPECT_EQ(ten.faceMaterials[0], 0) << "attribute names are case-sensitive";
  EXPECT_EQ(ten.textype, 2);
  EXPECT_EQ(blocks.definitions[20].name, "");
  EXPECT_EQ(blocks.definitions[11].name, "Eleven") << "binary integer text";
  EXPECT_EQ(blocks.definitions[11].textype, static_cast<uint8_t>(-3));
  EXPECT_EQ(blocks.definitions[12].textype, 5) << "only the low 8 bits of textype count";
}

TEST_F(BlockDefinitionsTest, ALaterElementReplacesTheWholeEntry) {
  WriteTexture("glass.png");
  WriteTexture("stone.png");
  WriteXml(R"(<Blocks>
  <AlphaBlock id="5" textype="0" texture0="glass.png" texture4="glass.png">Glass</AlphaBlock>
  <Block id="5" textype="1" texture2="stone.png">Stone</Block>
</Blocks>)");
  Load();
  const BlockDefinition& entry = blocks.definitions[5];
  EXPECT_EQ(entry.name, "Stone");
  EXPECT_EQ(entry.textype, 1);
  EXPECT_EQ(entry.kind, 0);
  EXPECT_EQ(blocks.kinds[5], 0);
  EXPECT_EQ(entry.faceMaterials[0], 0);
  EXPECT_EQ(entry.faceMaterials[4], 0);
  EXPECT_NE(entry.faceMaterials[2], 0);
}

TEST_F(BlockDefinitionsTest, AlphaBlocksAreBlendedAndSortedIntoKinds) {
  WriteTexture("glass.png");
  WriteTexture("plant.png");
  WriteTexture("torch.png");
  WriteTextFile("Textures/stick.obj", "v 0 0 0\nv 0 0 50\nv 0 10 0\nvt 0 0\nvt 0 1\nvt 1 0\nf 1/1 2/2 3/3\n");
  WriteXml(R"(<Blocks>
  <AlphaBlock id="3" textype="0">Air</AlphaBlock>
  <AlphaBlock id="5" textype="0" texture0="glass.png" texture3="glass.png">Glass</AlphaBlock>
  <AlphaBlock id="36" textype="5">Bare plant</AlphaBlock>
  <AlphaBlock id="39" textype="5" texture0="plant.png">Plant</AlphaBlock>
  <AlphaBlock id="40" textype="0" texture1="glass.png">Only a bottom</AlphaBlock>
  <AlphaBlock id="41" textype="1" mesh="stick.obj" texture0="glass.png">Alpha ignores mesh</AlphaBlock>
  <AlphaBlock id="42" textype="6" mesh="stick.obj" texture0="torch.png">Ordinary</AlphaBlock>
</Blocks>)");
  Load();
  EXPECT_EQ(gui.MessageBoxCount(), 0u);
  EXPECT_EQ(blocks.kinds[3], world::kKindNotDrawn);
  EXPECT_EQ(blocks.kinds[5], world::kKindAlphaCube);
  EXPECT_EQ(blocks.kinds[36], world::kKindDoubleSidedAlpha) << "textype 5 is double-sided even without texture0";
  EXPECT_EQ(blocks.kinds[39], world::kKindDoubleSidedAlpha);
  EXPECT_EQ(blocks.kinds[40], world::kKindNotDrawn) << "the kind looks at face 0 only";
  EXPECT_EQ(blocks.kinds[41], world::kKindAlphaCube);
  EXPECT_EQ(blocks.definitions[41].meshEntity, 0);
  EXPECT_EQ(blocks.kinds[42], world::kKindMeshBlock) << "textype 6 makes an ordinary block";
  for (int type : {3, 5, 36, 39, 40, 41, 42}) EXPECT_EQ(blocks.kinds[type], blocks.definitions[type].kind) << type;

  const BlockDefinition& glass = blocks.definitions[5];
  EXPECT_EQ(FindMaterial(glass.faceMaterials[0])->blending, platform::kBlendAlpha);
  EXPECT_EQ(FindMaterial(glass.faceMaterials[3])->blending, platform::kBlendAlpha);
  EXPECT_EQ(FindMaterial(blocks.definitions[40].faceMaterials[1])->blending, platform::kBlendAlpha);
  EXPECT_EQ(FindMaterial(blocks.definitions[42].faceMaterials[0])->blending, 0);
  EXPECT_EQ(FindMaterial(0)->blending, 0) << "faces without a material leave material 0 alone";
}

TEST_F(BlockDefinitionsTest, MeshBlocksStandUprightAtBlockScaleWithTheirFirstFaceMaterial) {
  WriteTexture("torch.png");
  // z up in the file: (0, 0, 0) and (0, 0, 50) become the torch's foot and a point a block higher.
  WriteTextFile("Textures/torch.obj", "v 0 0 0\nv 0 0 50\nv 10 0 0\nvt 0 0\nvt 0 1\nvt 1 0\nf 1/1 2/2 3/3\n");
  WriteXml(R"(<Blocks><Block id="15" mesh="torch.obj" texture0="torch.png">Torch</Block></Blocks>)");
  Load();
  EXPECT_EQ(gui.MessageBoxCount(), 0u);
  const BlockDefinition& torch = blocks.definitions[15];
  EXPECT_EQ(torch.kind, world::kKindMeshBlock);
  EXPECT_EQ(blocks.kinds[15], world::kKindMeshBlock);
  ASSERT_TRUE(engine->PBO_IsEntity(torch.meshEntity));

  const platform::Scene& scene = engine->GetScene();
  const platform::Entity* entity = scene.entities.Find(torch.meshEntity);
  ASSERT_NE(entity, nullptr);
  EXPECT_EQ(entity->materialKey, platform::object_ref::KeyOf(engine->PBO_MaterialID(torch.faceMaterials[0])));
  const platform::Mesh* mesh = scene.meshes.FindKey(entity->meshKey);
  ASSERT_NE(mesh, nullptr);
  ASSERT_EQ(mesh->vertices.size(), 3u);
  auto expectAt = [&](int vertex, float x, float y, float z) {
    const glm::vec3 p = mesh->vertices[vertex].position;
    EXPECT_NEAR(p.x, x, 1e-4) << vertex;
    EXPECT_NEAR(p.y, y, 1e-4) << vertex;
    EXPECT_NEAR(p.z, z, 1e-4) << vertex;
  };
  expectAt(0, 0.03f, -0.36f, 0.0f);
  expectAt(1, 0.03f, 0.64f, 0.0f);
  expectAt(2, 0.03f, -0.36f, -0.2f);
}

TEST_F(BlockDefinitionsTest, AMissingMeshIsReportedAndDrawnAsAnAlphaCube) {
  WriteXml(R"(<Blocks><Block id="15" mesh="lost.obj">Torch</Block><Block id="16" mesh="">Cube</Block></Blocks>)");
  Load();
  EXPECT_EQ(OnlyMessageText(), "Mesh not found: lost.obj");
  EXPECT_EQ(blocks.kinds[15], world::kKindAlphaCube);
  EXPECT_EQ(blocks.definitions[15].meshEntity, 0);
  EXPECT_EQ(blocks.kinds[16], world::kKindOpaqueCube) << "an empty mesh attribute means a cube";
}

TEST_F(BlockDefinitionsTest, IdsOutsideTheTableAreSkipped) {
  WriteXml(R"(<Blocks>
  <Block id="256">Too high</Block>
  <Block id="-1">Negative</Block>
  <Block id="99999999999999999999999">Huge</Block>
  <Block id="$1FF">Hex too high</Block>
  <Block id="255">Last</Block>
</Blocks>)");
  Load();
  EXPECT_EQ(gui.MessageBoxCount(), 0u);
  EXPECT_EQ(blocks.definitions[255].name, "Last");
  EXPECT_EQ(blocks.definitions[0].name, "");
  EXPECT_EQ(blocks.definitions[255 & 256].name, "");
  EXPECT_EQ(blocks.definitions[0xFF & 0x1FF].name, "Last") << "not wrapped into the table";
}

TEST_F(BlockDefinitionsTest, OtherNodesNestedElementsAndEncodingsAreHandled) {
  WriteTextFile("latin1.xml",
                "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                "<Root><!-- a comment --><?tool note?>"
                "<Block id=\"4\">Gr\xFCn<b>bold</b> tail</Block>text between<Block id=\"6\"/></Root>");
  Load("latin1.xml");
  EXPECT_EQ(gui.MessageBoxCount(), 0u);
  EXPECT_EQ(blocks.definitions[4].name, "Gr\xC3\xBCn tail") << "own text only, as UTF-8";
  EXPECT_EQ(blocks.definitions[6].name, "");
  EXPECT_EQ(blocks.definitions[6].faceMaterials[0], 0) << "a defined type without textures";
  EXPECT_EQ(blocks.definitions[3].faceMaterials[0], 3) << "comments and instructions define nothing";

  const std::u16string utf16 = u"\xFEFF<Blocks><Block id=\"9\">Sand \x00E9t\x00E9</Block></Blocks>";
  WriteTextFile("utf16.xml", std::string(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2));
  Load("utf16.xml");
  EXPECT_EQ(blocks.definitions[9].name, "Sand \xC3\xA9t\xC3\xA9");
}

TEST_F(BlockDefinitionsTest, HugeValuesStayHarmless) {
  const std::string longName(1 << 20, 'x');
  const std::string longText(1 << 20, 'y');
  WriteXml("<Blocks><Block id=\"8\" texture0=\"" + longName + "\" mesh=\"" + longName + "\" textype=\"" +
           std::string(5000, '9') + "\">" + longText + "</Block></Blocks>");
  Load();
  const auto boxes = gui.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Mesh not found: " + longName);
  EXPECT_EQ(blocks.definitions[8].name, longText);
  EXPECT_EQ(blocks.kinds[8], world::kKindAlphaCube);
  const platform::Image* placeholder = FaceTexture(blocks.definitions[8].faceMaterials[0]);
  ASSERT_NE(placeholder, nullptr);
  EXPECT_EQ(placeholder->width, 128);
}

}  // namespace
}  // namespace orelens::viewer
