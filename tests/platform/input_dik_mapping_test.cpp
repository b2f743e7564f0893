#include <gtest/gtest.h>

#include <set>

#include "platform/input/dik_mapping.h"
#include "platform/input/input.h"

namespace orelens::platform {
namespace {

TEST(DikMappingTest, KeysOfTheMainLoopMapToTheirScanCodes) {
  EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_W), DIK_W);
  EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_A), 0x1E);
  EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_S), 0x1F);
  EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_D), 0x20);
  EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_LSHIFT), 0x2A);
  EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_LCTRL), 0x1D);
  EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_RETURN), 0x1C);
  EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_ESCAPE), 0x01);
  EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_P), 0x19);
  EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_UP), 0xC8);
  EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_DOWN), 0xD0);
  EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_LEFT), 0xCB);
  EXPECT_EQ(DikFromSdlScancode(SDL_SCANCODE_RIGHT), 0xCD);
  // Left and right modifiers stay apart: the program tests the left ones only.
  EXPECT_NE(DikFromSdlScancode(SDL_SCANCODE_RSHIFT), DIK_LSHIFT);
  EXPECT_NE(DikFromSdlScancode(SDL_SCANCODE_RCTRL), DIK_LCONTROL);
}

TEST(DikMappingTest, EveryScancodeMapsToOneKeyOrNone) {
  std::set<int> seen;
  for (int scancode = 0; scancode < SDL_NUM_SCANCODES; ++scancode) {
    const int dik = DikFromSdlScancode(static_cast<SDL_Scancode>(scancode));
    ASSERT_GE(dik, 0);
    ASSERT_LT(dik, 256);
    if (dik != 0) {
      EXPECT_TRUE(seen.insert(dik).second) << "two keys give " << dik;
    }
  }
  EXPECT_EQ(DikFromSdlScancode(static_cast<SDL_Scancode>(-1)), 0);
}

}  // namespace
}  // namespace orelens::platform
