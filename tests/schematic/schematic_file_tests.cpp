#include <gtest/gtest.h>

#include "fixtures/schematic_writer.h"
#include "schematic/schematic_file.h"

namespace orelens::schematic {
namespace {

using fixtures::SchematicSpec;

TEST(SchematicPayload, EncodesCellsThenBothListsAndDecodesTheSame) {
  SchematicContent content;
  content.size = {2, 3, 2};
  content.blockTypes.assign(12, 3);
  content.blockTypes[content.CellIndex(1, 2, 1)] = 66;
  content.blockTypes[content.CellIndex(0, 1, 0)] = 15;
  content.customBlocks = {{1, 2, 1, 123456789}};
  content.rotations = {{0, 1, 0, -2}};

  const std::vector<uint8_t> payload = EncodeSchematicPayload(content);
  ASSERT_EQ(payload.size(), 12u + 8 + 10 + 7);

  SchematicSpec spec = SchematicSpec::Filled(2, 3, 2, 3);
  spec.Set(1, 2, 1, 66);
  spec.Set(0, 1, 0, 15);
  spec.customBlocks = {{1, 2, 1, 123456789}};
  spec.rotations = {{0, 1, 0, -2}};
  EXPECT_EQ(payload, fixtures::MakeSchematicPayload(spec)) << "writer and fixture disagree on the layout";

  const std::optional<SchematicContent> decoded = DecodeSchematicPayload(content.size, payload);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->blockTypes, content.blockTypes);
  ASSERT_EQ(decoded->customBlocks.size(), 1u);
  EXPECT_EQ(decoded->customBlocks[0].value, 123456789);
  ASSERT_EQ(decoded->rotations.size(), 1u);
  EXPECT_EQ(decoded->rotations[0].z, 1);
  EXPECT_EQ(decoded->rotations[0].value, -2) << "rotations are signed bytes";
}

TEST(SchematicPayload, WithoutExtrasEndsWithTwoZeroCounts) {
  SchematicContent content;
  content.size = {2, 1, 1};
  content.blockTypes = {7, 9};
  const std::vector<uint8_t> payload = EncodeSchematicPayload(content);
  EXPECT_EQ(payload, (std::vector<uint8_t>{7, 9, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(SchematicPayload, TruncatedPayloadsAreRejected) {
  SchematicSpec spec = SchematicSpec::Filled(2, 1, 1, 66);
  spec.customBlocks = {{0, 0, 0, 5}, {1, 0, 0, 6}};
  spec.rotations = {{1, 0, 0, 2}};
  const std::vector<uint8_t> payload = fixtures::MakeSchematicPayload(spec);
  EXPECT_TRUE(DecodeSchematicPayload({2, 1, 1}, payload));
  for (size_t length = 0; length < payload.size(); ++length) {
    EXPECT_FALSE(DecodeSchematicPayload({2, 1, 1}, std::span(payload).first(length))) << length;
  }
}

}  // namespace
}  // namespace orelens::schematic
