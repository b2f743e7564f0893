#include "customblocks/bc3_texel.h"

#include <gtest/gtest.h>

#include "fixtures/dds_writer.h"
#include "platform/image/image.h"

namespace orelens::customblocks {
namespace {

using platform::AlphaOf;
using platform::BlueOf;
using platform::GreenOf;
using platform::RedOf;

TEST(Bc3Alpha, EightValueModeInterpolatesBetweenEndpoints) {
  EXPECT_EQ(Bc3Alpha(200, 100, 0), 200u);
  EXPECT_EQ(Bc3Alpha(200, 100, 1), 100u);
  EXPECT_EQ(Bc3Alpha(200, 100, 3), 171u);  // (5 * 200 + 2 * 100) / 7
  EXPECT_EQ(Bc3Alpha(200, 100, 7), 114u);  // (1 * 200 + 6 * 100) / 7
}

TEST(Bc3Alpha, SixValueModeHasFixedZeroAndFull) {
  EXPECT_EQ(Bc3Alpha(100, 200, 6), 0u);
  EXPECT_EQ(Bc3Alpha(100, 200, 7), 255u);
  EXPECT_EQ(Bc3Alpha(100, 200, 2), 120u);  // (4 * 100 + 1 * 200) / 5
  EXPECT_EQ(Bc3Alpha(100, 200, 5), 180u);  // (1 * 100 + 4 * 200) / 5
  EXPECT_EQ(Bc3Alpha(77, 77, 4), 77u);     // equal endpoints take the six-value mode
}

TEST(WidenRgb565, ReplicatesHighBits) {
  const RgbChannels white = WidenRgb565(0xFFFF);
  EXPECT_EQ(white.red, 255u);
  EXPECT_EQ(white.green, 255u);
  EXPECT_EQ(white.blue, 255u);
  const RgbChannels middle = WidenRgb565(static_cast<uint16_t>((16 << 11) | (32 << 5) | 16));
  EXPECT_EQ(middle.red, 132u);
  EXPECT_EQ(middle.green, 130u);
  EXPECT_EQ(middle.blue, 132u);
  const RgbChannels black = WidenRgb565(0);
  EXPECT_EQ(black.red + black.green + black.blue, 0u);
}

TEST(DecodeBc3FirstTexel, UsesTexelZeroOfBothIndexFields) {
  // Texel 0 takes colour index 2, every other texel index 1; alpha index 3 for texel 0 only.
  const auto block = fixtures::MakeBc3Block({.alpha0 = 200,
                                             .alpha1 = 100,
                                             .alphaIndices = 0xFFFFFFFFFFF8 | 3,
                                             .colour0 = 0xF800,
                                             .colour1 = 0x001F,
                                             .colourIndices = 0x55555556});
  const uint32_t pixel = DecodeBc3FirstTexel(std::as_bytes(std::span(block)).first<16>());
  EXPECT_EQ(RedOf(pixel), 170u);
  EXPECT_EQ(GreenOf(pixel), 0u);
  EXPECT_EQ(BlueOf(pixel), 85u);
  EXPECT_EQ(AlphaOf(pixel), 171u);
}

TEST(DecodeBc3FirstTexel, KeepsFourColoursWhateverTheEndpointOrder) {
  // c0 <= c1 would mean three colours and transparent black elsewhere; here index 3 is a mix.
  const auto block = fixtures::MakeBc3Block(
      {.alpha0 = 255, .alpha1 = 0, .colour0 = 0x001F, .colour1 = 0xF800, .colourIndices = 3});
  const uint32_t pixel = DecodeBc3FirstTexel(std::as_bytes(std::span(block)).first<16>());
  EXPECT_EQ(RedOf(pixel), 170u);
  EXPECT_EQ(BlueOf(pixel), 85u);
  EXPECT_EQ(AlphaOf(pixel), 255u);
}

}  // namespace
}  // namespace orelens::customblocks
