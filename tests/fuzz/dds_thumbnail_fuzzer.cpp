// DDS thumbnails of custom-block textures: one pixel per BC3 block drawn into a 512 x 512 texture.
//
// Input: the DDS file. Properties:
//  - bounds: only the pixels of whole blocks that the file holds, within the block grid its
//    header gives, change; a grid wider or higher than the texture draws nothing, and the rest of
//    the texture keeps what it held;
//  - each drawn pixel is texel 0 of its block, decoded here by the BC3 rules written out long hand.

#include <algorithm>
#include <vector>

#include "customblocks/dds_thumbnail.h"
#include "fixtures/world_writer.h"
#include "fuzz/fuzz_support.h"
#include "platform/engine3d/engine3d.h"
#include "platform/gui/scripted_gui.h"

namespace {

using namespace orelens;

constexpr int kTexture = 7;
constexpr int kSide = customblocks::kDdsThumbnailSize;
constexpr size_t kFirstBlock = 128;

// What a texture holds before drawing: no two neighbours alike, so a pixel drawn anywhere shows.
uint32_t UntouchedPixel(int x, int y) {
  return static_cast<uint32_t>(x) * 2654435761u ^ static_cast<uint32_t>(y) * 40503u ^ 0xA5000000u;
}

struct ThumbnailRig {
  fixtures::TempFolder temp;
  std::string file = temp.path() + "all.dds";
  std::unique_ptr<platform::Engine3D> engine = platform::MakeHeadlessEngine();
  platform::ScriptedGui gui;
  platform::Image untouched{kSide, kSide};
  std::vector<uint32_t> expected;  // reused from run to run

  ThumbnailRig() {
    engine->PBO_InitEngine3D(2);
    FUZZ_CHECK(engine->PBO_CreateTexture(kTexture, kSide, kSide) != 0);
    for (int y = 0; y < kSide; ++y) {
      for (int x = 0; x < kSide; ++x) untouched.at(x, y) = UntouchedPixel(x, y);
    }
  }
};

unsigned Widen(unsigned value, unsigned bits) {
  const unsigned levels = (1u << bits) - 1;
  const unsigned t = value * 255 + (levels + 1) / 2;
  return (t + t / (levels + 1)) / (levels + 1);
}

// Texel 0 of a BC3 block.
uint32_t FirstTexel(std::span<const uint8_t> block) {
  const unsigned a0 = block[0], a1 = block[1];
  const unsigned alphaIndex = block[2] & 7;
  unsigned alpha;
  if (alphaIndex == 0) {
    alpha = a0;
  } else if (alphaIndex == 1) {
    alpha = a1;
  } else if (a0 > a1) {
    alpha = ((8 - alphaIndex) * a0 + (alphaIndex - 1) * a1) / 7;
  } else if (alphaIndex == 6) {
    alpha = 0;
  } else if (alphaIndex == 7) {
    alpha = 255;
  } else {
    alpha = ((6 - alphaIndex) * a0 + (alphaIndex - 1) * a1) / 5;
  }
  unsigned c0[3], c1[3];
  for (int e = 0; e < 2; ++e) {
    const unsigned packed = block[8 + 2 * e] | (block[9 + 2 * e] << 8);
    unsigned* channels = e == 0 ? c0 : c1;
    channels[0] = Widen(packed >> 11, 5);
    channels[1] = Widen((packed >> 5) & 0x3F, 6);
    channels[2] = Widen(packed & 0x1F, 5);
  }
  unsigned colour[3];
  for (int c = 0; c < 3; ++c) {
    switch (block[12] & 3) {
      case 0:
        colour[c] = c0[c];
        break;
      case 1:
        colour[c] = c1[c];
        break;
      case 2:
        colour[c] = (2 * c0[c] + c1[c]) / 3;
        break;
      default:
        colour[c] = (c0[c] + 2 * c1[c]) / 3;
        break;
    }
  }
  return colour[0] | (colour[1] << 8) | (colour[2] << 16) | (alpha << 24);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static ThumbnailRig rig;
  const std::span<const uint8_t> file = fuzz::InputBytes(data, size);
  fixtures::WriteBytesToFile(rig.file, file);

  platform::Image* picture = rig.engine->PBO_LockTexture(kTexture);
  picture->pixels = rig.untouched.pixels;
  rig.engine->PBO_UnlockTexture(kTexture);

  customblocks::DrawDdsThumbnail(*rig.engine, rig.gui, rig.file, kTexture);

  // The block grid by the header: height at 12, width at 16, a pixel per 4 x 4 block.
  const bool hasSizes = size >= 20;
  const int32_t blocksPerRow = hasSizes ? fuzz::Int32At(file, 16) / 4 : 0;
  const int32_t rows = hasSizes ? fuzz::Int32At(file, 12) / 4 : 0;
  const bool drawn = blocksPerRow > 0 && rows > 0 && blocksPerRow <= kSide && rows <= kSide;
  const size_t blocksInFile = size > kFirstBlock ? (size - kFirstBlock) / 16 : 0;

  picture = rig.engine->PBO_LockTexture(kTexture);
  FUZZ_CHECK(picture->width == kSide && picture->height == kSide);
  // The blocks of the file, then every pixel outside them.
  const size_t drawnBlocks = drawn ? std::min<size_t>(blocksInFile, size_t(blocksPerRow) * size_t(rows)) : 0;
  std::vector<uint32_t>& expected = rig.expected;
  expected = rig.untouched.pixels;
  for (size_t block = 0; block < drawnBlocks; ++block) {
    const int x = static_cast<int>(block % static_cast<size_t>(blocksPerRow));
    const int y = static_cast<int>(block / static_cast<size_t>(blocksPerRow));
    expected[static_cast<size_t>(y) * kSide + static_cast<size_t>(x)] =
        FirstTexel(file.subspan(kFirstBlock + 16 * block, 16));
  }
  if (picture->pixels != expected) {
    const size_t at = static_cast<size_t>(
        std::mismatch(expected.begin(), expected.end(), picture->pixels.begin()).first - expected.begin());
    const bool inFile = expected[at] != rig.untouched.pixels[at];
    fuzz::PropertyFailed(
        "picture->pixels == expected", __FILE__, __LINE__,
        "pixel (" + std::to_string(at % kSide) + ", " + std::to_string(at / kSide) + ")" +
            (inFile ? " is not its block's texel" : " changed though no block of the file lies there"));
  }
  rig.engine->PBO_UnlockTexture(kTexture);
  return 0;
}
