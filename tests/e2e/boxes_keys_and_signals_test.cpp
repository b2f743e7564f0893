// The real program under Xvfb, where a person meets its boxes: a key held to answer a box does
// not act in the mode underneath, a requester takes typing at once, and a termination signal
// ends the program while its start-up box waits.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>

#include "e2e/desktop_person.h"
#include "e2e/running_program.h"

namespace orelens::e2e {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string TestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

// A world that does not exist: the start-up says "There ist no current world selected ..." in a
// box before the main window opens. SIGTERM and SIGINT end the program from there, with exit
// code 0, and the preferences are saved as on Quit.
TEST(BoxesKeysAndSignalsTest, ATerminationSignalEndsTheStartUpBoxDisplay) {
  const PrivateDesktop desktop;
  ASSERT_TRUE(desktop.Running()) << "Xvfb could not be started";
  const DemoFolder folder = PrepareDemoFolder(TestName(), "No Such World");
  for (const int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal == SIGTERM ? "SIGTERM" : "SIGINT");
    RunningProgram program(folder.root, &desktop);
    // The box: something drawn in the middle of the screen before the main window shows.
    const fs::path shotFile = folder.root / "start-up-box.ppm";
    const bool boxShown = WaitFor(60s, [&] {
      if (!program.Running() || program.HasMainWindow()) return true;
      const Screenshot shot = TakeScreenshot(shotFile, &desktop);
      return shot.width >= 1280 &&
             shot.Share(340, 300, 940, 500, [](Screenshot::Pixel p) { return p.r + p.g + p.b > 120; }) > 0.02;
    });
    ASSERT_TRUE(boxShown && program.Running() && !program.HasMainWindow())
        << "no start-up box\n" << program.Backtraces();
    program.Signal(signal);
    const int exitCode = program.WaitForExit(60s);
    EXPECT_EQ(exitCode, 0) << (exitCode == -1 ? program.Backtraces() : "");
    const std::vector<std::string> prefs = PreferenceLines(folder.root / "prefs.ini");
    ASSERT_EQ(prefs.size(), 10u) << "the preferences were not saved";
    EXPECT_EQ(prefs[0], "LastWorld = No Such World");
  }
}

class HeldKeysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(desktop_.Running()) << "Xvfb could not be started";
    folder_ = PrepareDemoFolder(TestName());
    program_ = std::make_unique<RunningProgram>(folder_.root, &desktop_);
    person_ = std::make_unique<DesktopPerson>(desktop_, *program_,
                                              fs::path(ORELENS_BINARY_DIR) / "e2e" / (TestName() + "-shots"));
    ASSERT_FALSE(program_->WaitForMainWindow(60s).empty()) << "the main window never showed";
    ASSERT_TRUE(person_->SeeOverlayAfterStart()) << "no overlay on the screen\n" << person_->Stacks();
  }

  bool SeeHud(HudSign sign, const std::string& name) { return person_->SeeHud(sign, name, 20s); }

  // The main loop has gone through passes since the keys before: P, which the loop reads in
  // every pass after the others, has switched the overlay's pause sign.
  bool PassesWentBy(const std::string& name) {
    const bool paused = HudShowsPaused(person_->Shoot(name));
    return person_->TapUntil("p", [paused](const Screenshot& shot) { return HudShowsPaused(shot) != paused; }, name);
  }

  // Turns the view to the sky by a drag: software rendering draws the sky many times faster than
  // terrain, so the passes read the keys often, as on a person's machine.
  bool LookUp() { return person_->LookUpFrom(person_->Shoot("before-look"), 30s); }

  // The count box of "Delete all marked chunks", answered with Return held as a real keypress
  // is held; then the passes after it.
  bool AnswerCountBoxWithAHeldReturn() {
    if (!person_->ChooseSubMenu(kFile, 2, kClearChunks, 3)) return false;
    if (!person_->SeeWithin(20s, DesktopPerson::MessageBoxShown, "count box")) return false;
    person_->Tap("Return", 300ms);
    if (!person_->SeeWithin(
            20s, [](const Screenshot& shot) { return !DesktopPerson::MessageBoxShown(shot); }, "box gone"))
      return false;
    if (PassesWentBy("after the box")) return true;
    // P goes to a requester, not to the main loop.
    ADD_FAILURE() << (DesktopPerson::RequesterShown(person_->Shoot("after the box"))
                          ? "the save requester opened by itself"
                          : "the main loop took no key after the box");
    return false;
  }

  PrivateDesktop desktop_;
  DemoFolder folder_;
  std::unique_ptr<RunningProgram> program_;
  std::unique_ptr<DesktopPerson> person_;
};

#define STEP(name, condition) ASSERT_TRUE(condition) << "step \"" << (name) << "\" failed\n" << person_->Stacks()

TEST_F(HeldKeysTest, AReturnHeldToAnswerABoxDoesNotActUnderneathAndRequestersTakeTypingDisplay) {
  STEP("look up", LookUp());

  // Save-box mode: the Return that answered the box does not open the save requester.
  STEP("save schematic cube", person_->ChooseMenu(kFile, 1) && SeeHud(HudSign::kBoxSelection, "save box"));
  STEP("count box answered with a held Return", AnswerCountBoxWithAHeldReturn());
  const Screenshot afterBox = person_->Keep("after the count box");
  EXPECT_FALSE(DesktopPerson::RequesterShown(afterBox)) << "the save requester opened by itself";
  EXPECT_EQ(ReadHud(afterBox), HudSign::kBoxSelection);

  // A Return pressed anew opens it; the name is typed without a click into its field.
  STEP("save requester", person_->TapUntil("Return", DesktopPerson::RequesterShown, "requester"));
  person_->Type("heldkeys");
  person_->Tap("Return");
  STEP("saved", DesktopPerson::WithinTime(30s, [&] { return fs::exists(folder_.root / "heldkeys.kvSch"); }));
  STEP("browse mode after the save", SeeHud(HudSign::kBrowse, "browse"));

  // Marker mode: the Return that answered the box does not confirm the marker.
  STEP("add a marker area", person_->ChooseSubMenu(kFile, 2, kClearChunks, 0) &&
                                SeeHud(HudSign::kBoxSelection, "marker"));
  STEP("count box answered with a held Return", AnswerCountBoxWithAHeldReturn());
  EXPECT_EQ(ReadHud(person_->Keep("marker after the count box")), HudSign::kBoxSelection)
      << "the box's Return confirmed the marker";
  STEP("confirm the marker", person_->TapUntil("Return", [](const Screenshot& shot) { return ReadHud(shot) == HudSign::kBrowse; },
                                      "marker confirmed"));

  person_->ChooseMenu(kFile, 4);  // Quit: its sign is the end of the program
  EXPECT_EQ(program_->WaitForExit(30s), 0);
}

}  // namespace
}  // namespace orelens::e2e
