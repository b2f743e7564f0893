#include "schematic/schematic_file.h"

#include <gtest/gtest.h>

#include <random>

#include "fixtures/schematic_writer.h"

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

TEST(SchematicPayload, IgnoresBytesAfterTheRotationList) {
  SchematicSpec spec = SchematicSpec::Filled(1, 1, 1, 1);
  spec.payloadTail = {1, 2, 3};
  EXPECT_TRUE(DecodeSchematicPayload({1, 1, 1}, fixtures::MakeSchematicPayload(spec)));
}

TEST(SchematicPayload, RejectsSizesThatDoNotFitThePayload) {
  const std::vector<uint8_t> payload = fixtures::MakeSchematicPayload(SchematicSpec::Filled(2, 2, 2, 1));
  EXPECT_TRUE(DecodeSchematicPayload({2, 2, 2}, payload));
  EXPECT_FALSE(DecodeSchematicPayload({0, 2, 2}, payload));
  EXPECT_FALSE(DecodeSchematicPayload({2, -1, 2}, payload));
  EXPECT_FALSE(DecodeSchematicPayload({3, 2, 2}, payload)) << "cells past the payload";
  EXPECT_FALSE(DecodeSchematicPayload({2, 2, 3}, payload)) << "counts would be read past the payload";
  EXPECT_FALSE(DecodeSchematicPayload({65536, 65536, 2}, payload)) << "cell count overflowing 32 bits";
  EXPECT_FALSE(DecodeSchematicPayload({2147483647, 2147483647, 2147483647}, payload));
}

TEST(SchematicPayload, RejectsCountsRunningPastThePayload) {
  SchematicSpec spec = SchematicSpec::Filled(1, 1, 1, 66);
  spec.customBlocks = {{0, 0, 0, 5}};

  spec.customCount = 2;
  EXPECT_FALSE(DecodeSchematicPayload({1, 1, 1}, fixtures::MakeSchematicPayload(spec)));
  spec.customCount = 0x7fffffff;
  EXPECT_FALSE(DecodeSchematicPayload({1, 1, 1}, fixtures::MakeSchematicPayload(spec)));
  spec.customCount = -1;
  EXPECT_FALSE(DecodeSchematicPayload({1, 1, 1}, fixtures::MakeSchematicPayload(spec)));
  spec.customCount.reset();

  spec.rotationCount = 1;
  EXPECT_FALSE(DecodeSchematicPayload({1, 1, 1}, fixtures::MakeSchematicPayload(spec)));
  spec.rotationCount = -5;
  EXPECT_FALSE(DecodeSchematicPayload({1, 1, 1}, fixtures::MakeSchematicPayload(spec)));

  std::vector<uint8_t> truncated = fixtures::MakeSchematicPayload(SchematicSpec::Filled(1, 1, 1, 1));
  for (size_t length = 0; length < truncated.size(); ++length) {
    EXPECT_FALSE(DecodeSchematicPayload({1, 1, 1}, std::span(truncated).first(length))) << length;
  }
}

TEST(SchematicPayload, GarbageNeverReadsOutsideThePayload) {
  std::mt19937 random(1234);
  for (int round = 0; round < 2000; ++round) {
    std::vector<uint8_t> garbage(random() % 64);
    for (uint8_t& byte : garbage) byte = static_cast<uint8_t>(random());
    const SchematicSize size{static_cast<int32_t>(random() % 5) - 1, static_cast<int32_t>(random() % 4),
                             static_cast<int32_t>(random() % 4)};
    if (const auto content = DecodeSchematicPayload(size, garbage)) {
      EXPECT_EQ(content->blockTypes.size(), static_cast<size_t>(size.sizeX * size.sizeZ * size.sizeY));
    }
  }
}

TEST(SchematicFileFrame, ReadsSizesMagicAndTrailer) {
  SchematicSpec spec = SchematicSpec::Filled(4, 5, 6, 1);
  spec.magic = 42;
  const std::vector<uint8_t> file = fixtures::MakeSchematicFile(spec);
  const std::optional<SchematicHeader> header = ReadSchematicHeader(file);
  ASSERT_TRUE(header);
  EXPECT_EQ(header->size.sizeX, 4);
  EXPECT_EQ(header->size.sizeZ, 5);
  EXPECT_EQ(header->size.sizeY, 6);
  EXPECT_EQ(header->magic, 42);
  EXPECT_EQ(ReadSchematicTrailer(file), 4 * 5 * 6 + 8);

  EXPECT_FALSE(ReadSchematicHeader(std::span(file).first(15)));
  EXPECT_FALSE(ReadSchematicTrailer(std::span(file).first(3)));
}

}  // namespace
}  // namespace orelens::schematic
