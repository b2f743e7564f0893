// The real program under Xvfb, driven with xdotool: it starts in a prepared working folder, shows
// the demo world, takes menu choices and writes its preferences when it ends.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "e2e/desktop_person.h"
#include "e2e/running_program.h"

namespace orelens::e2e {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

bool IsSkyBlue(Screenshot::Pixel p) { return p.b > 150 && p.b > p.r + 30; }
bool IsTerrain(Screenshot::Pixel p) { return p.g > p.b + 20 || (p.r > 150 && p.g > 130 && p.b < 140); }

TEST(ProgramDisplayTest, ShowsTheWorldTakesMenuChoicesAndSavesOnQuit) {
  const PrivateDesktop desktop;
  ASSERT_TRUE(desktop.Running()) << "Xvfb could not be started";
  const DemoFolder folder = PrepareDemoFolder("program-display");
  const fs::path metadata = folder.saves / "Demo Valley" / "WorldMetadata3.important";
  const std::vector<uint8_t> metadataBefore = ReadFileBytes(metadata);
  ASSERT_FALSE(metadataBefore.empty());
  const fs::path artefacts = fs::path(ORELENS_BINARY_DIR) / "e2e";

  RunningProgram program(folder.root, &desktop);
  ASSERT_FALSE(program.WaitForMainWindow(20s).empty()) << "the main window never showed";

  // Sky above, terrain below and the overlay panel in the top left corner.
  Screenshot shot;
  const bool drawn = WaitFor(40s, [&] {
    shot = TakeScreenshot(artefacts / "program-start.png", &desktop);
    if (shot.width < 800) return false;
    const double sky = shot.Share(500, 40, shot.width, 200, IsSkyBlue);
    const double terrain = shot.Share(0, shot.height / 2, shot.width, shot.height, IsTerrain);
    return sky > 0.5 && terrain > 0.3;
  }, 1s);
  ASSERT_TRUE(drawn) << "no sky and terrain on screen";
  // The panel darkens what lies behind it: compare it with the sky beside it.
  auto brightness = [&](int x, int y) { auto p = shot.At(x, y); return p.r + p.g + p.b; };
  EXPECT_LT(brightness(300, 50), brightness(600, 50));
  EXPECT_EQ(shot.At(20 + 12, 126).r > 150, true);  // a slot status box along the panel's bottom

  // Fly forward for a moment.
  desktop.Run("xdotool mousemove 640 600 keydown w sleep 1 keyup w");

  DesktopPerson person(desktop, program, artefacts / "program-display-shots");
  ASSERT_TRUE(person.ChooseSubMenu(kVisuals, 4, kDrawDistance, 0)) << person.Stacks();  // Far
  ASSERT_TRUE(person.ChooseSubMenu(kVisuals, 2, kShadows, 1)) << person.Stacks();       // Simple
  TakeScreenshot(artefacts / "program-after-menus.png", &desktop);
  person.ChooseMenu(kFile, 4);  // Quit: its sign is the end of the program
  EXPECT_EQ(program.WaitForExit(20s), 0);

  const std::vector<std::string> prefs = PreferenceLines(folder.root / "prefs.ini");
  ASSERT_EQ(prefs.size(), 10u);
  const char* keys[] = {"LastWorld",       "SaveDir",         "InstaLoadDir", "SteamAppsDir",
                        "VisibleChunkBorders", "NarrowRenderHeight", "ViewDistance", "DrawBothNormals",
                        "Shadows",         "Do not share custom Blocks in mods directory"};
  for (size_t i = 0; i < 10; ++i) EXPECT_EQ(prefs[i].rfind(std::string(keys[i]) + " = ", 0), 0u) << prefs[i];
  EXPECT_EQ(prefs[0], "LastWorld = Demo Valley");
  EXPECT_EQ(prefs[6], "ViewDistance = 600");
  EXPECT_EQ(prefs[8], "Shadows = 1");

  // Viewing a world writes nothing into it.
  EXPECT_EQ(ReadFileBytes(metadata), metadataBefore);
}

}  // namespace
}  // namespace orelens::e2e
