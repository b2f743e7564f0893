#include <gtest/gtest.h>

#include "platform/input/keyboard_state.h"
#include "platform/input/scripted_input.h"

namespace orelens::platform {
namespace {

KeyboardState::Keys Held(std::initializer_list<int> keys) {
  KeyboardState::Keys held;
  for (int key : keys) held.set(key);
  return held;
}

TEST(KeyboardStateTest, ReleaseIsReportedOnceInThePassThatFindsIt) {
  KeyboardState keyboard;
  keyboard.Examine(Held({DIK_ESCAPE, DIK_P, DIK_RETURN}));
  EXPECT_TRUE(keyboard.KeyDown(DIK_P));
  EXPECT_FALSE(keyboard.KeyReleased(DIK_P));

  keyboard.Examine(Held({}));  // all three released; this pass asks only for Escape
  EXPECT_FALSE(keyboard.KeyDown(DIK_P));
  EXPECT_TRUE(keyboard.KeyReleased(DIK_ESCAPE));
  EXPECT_FALSE(keyboard.KeyReleased(DIK_ESCAPE));

  keyboard.Examine(Held({}));  // releases nobody asked about are gone
  EXPECT_FALSE(keyboard.KeyReleased(DIK_P));
  EXPECT_FALSE(keyboard.KeyReleased(DIK_RETURN));
  EXPECT_FALSE(keyboard.KeyReleased(DIK_ESCAPE));
}

TEST(KeyboardStateTest, AKeptReleaseIsReportedOnTheNextPassOnly) {
  KeyboardState keyboard;
  keyboard.Examine(Held({DIK_ESCAPE, DIK_P}));
  keyboard.Examine(Held({}));
  EXPECT_TRUE(keyboard.KeyReleased(DIK_ESCAPE));
  keyboard.KeepReleaseForNextPass(DIK_P);
  EXPECT_FALSE(keyboard.KeyReleased(DIK_P));  // not in this pass any more
  keyboard.KeepReleaseForNextPass(DIK_W);     // nothing to keep: W was never down

  keyboard.Examine(Held({}));
  EXPECT_FALSE(keyboard.KeyReleased(DIK_W));
  EXPECT_TRUE(keyboard.KeyReleased(DIK_P));
  EXPECT_FALSE(keyboard.KeyReleased(DIK_P));

  // Kept but not asked for on the next pass either: gone.
  keyboard.Examine(Held({DIK_P}));
  keyboard.Examine(Held({}));
  keyboard.KeepReleaseForNextPass(DIK_P);
  keyboard.Examine(Held({}));
  keyboard.Examine(Held({}));
  EXPECT_FALSE(keyboard.KeyReleased(DIK_P));
}

TEST(KeyboardStateTest, PressingAgainCancelsAKeptRelease) {
  KeyboardState keyboard;
  keyboard.Examine(Held({DIK_P}));
  keyboard.Examine(Held({}));
  keyboard.KeepReleaseForNextPass(DIK_P);
  keyboard.Examine(Held({DIK_P}));  // down again: no release in this pass
  EXPECT_FALSE(keyboard.KeyReleased(DIK_P));
  keyboard.Examine(Held({}));
  EXPECT_TRUE(keyboard.KeyReleased(DIK_P));
}

TEST(KeyboardStateTest, AKeyHeldAcrossPassesIsReleasedOnlyWhenLetGo) {
  KeyboardState keyboard;
  keyboard.Examine(Held({DIK_RETURN}));
  keyboard.Examine(Held({DIK_RETURN}));
  EXPECT_FALSE(keyboard.KeyReleased(DIK_RETURN));
  keyboard.Examine(Held({}));
  EXPECT_TRUE(keyboard.KeyReleased(DIK_RETURN));
  keyboard.Clear();
  keyboard.Examine(Held({}));
  EXPECT_FALSE(keyboard.KeyReleased(DIK_RETURN));

  // A release not asked for yet is forgotten with a lost keyboard.
  keyboard.Examine(Held({DIK_RETURN}));
  keyboard.Examine(Held({}));
  keyboard.Clear();
  EXPECT_FALSE(keyboard.KeyReleased(DIK_RETURN));

  // A kept release does not outlive a lost keyboard either.
  keyboard.Examine(Held({DIK_P}));
  keyboard.Examine(Held({}));
  keyboard.KeepReleaseForNextPass(DIK_P);
  keyboard.Clear();
  keyboard.Examine(Held({}));
  EXPECT_FALSE(keyboard.KeyReleased(DIK_P));
}

// A box closed on Return's press: that Return neither holds nor releases in the passes after it,
// and neither does a key that was held before the box; each counts again from its next press.
TEST(KeyboardStateTest, KeysDownWhenABoxClosesDoNothingUntilLetGo) {
  KeyboardState keyboard;
  keyboard.Examine(Held({DIK_W, DIK_P}));  // flying, P held, when the box opens
  keyboard.IgnoreUntilReleased(Held({DIK_RETURN, DIK_W}));  // P let go while the box was up
  keyboard.Examine(Held({DIK_RETURN, DIK_W}));
  EXPECT_FALSE(keyboard.KeyDown(DIK_RETURN));
  EXPECT_FALSE(keyboard.KeyDown(DIK_W));
  EXPECT_FALSE(keyboard.KeyReleased(DIK_P));

  keyboard.Examine(Held({DIK_W}));  // Return let go
  EXPECT_FALSE(keyboard.KeyReleased(DIK_RETURN));
  EXPECT_FALSE(keyboard.KeyDown(DIK_W));
  keyboard.Examine(Held({DIK_RETURN}));  // W let go, Return pressed anew
  EXPECT_FALSE(keyboard.KeyReleased(DIK_W));
  EXPECT_TRUE(keyboard.KeyDown(DIK_RETURN));
  keyboard.Examine(Held({DIK_W}));
  EXPECT_TRUE(keyboard.KeyReleased(DIK_RETURN));
  EXPECT_TRUE(keyboard.KeyDown(DIK_W));

  // A release of the pass the box closed in, and one kept for the next pass, went to the box too.
  keyboard.Examine(Held({DIK_ESCAPE, DIK_P}));
  keyboard.Examine(Held({}));
  keyboard.KeepReleaseForNextPass(DIK_P);
  keyboard.IgnoreUntilReleased(Held({}));
  EXPECT_FALSE(keyboard.KeyReleased(DIK_ESCAPE));
  keyboard.Examine(Held({}));
  EXPECT_FALSE(keyboard.KeyReleased(DIK_P));

  // Losing the keyboard meanwhile does not end the setting aside of a key still down.
  keyboard.IgnoreUntilReleased(Held({DIK_RETURN}));
  keyboard.Clear();
  keyboard.Examine(Held({DIK_RETURN}));
  EXPECT_FALSE(keyboard.KeyDown(DIK_RETURN));
  keyboard.Examine(Held({}));
  EXPECT_FALSE(keyboard.KeyReleased(DIK_RETURN));
}

TEST(KeyboardStateTest, OutOfRangeCodesAreNeverHeld) {
  KeyboardState keyboard;
  keyboard.Examine(Held({0xFF}));
  EXPECT_FALSE(keyboard.KeyDown(-1));
  EXPECT_FALSE(keyboard.KeyDown(256));
  EXPECT_FALSE(keyboard.KeyReleased(100000));
}

TEST(ScriptedInputTest, KeyboardNotAcquiredReadsNothing) {
  ScriptedInput input;
  input.HoldKey(DIK_W);
  ASSERT_TRUE(input.ExamineKeyboard());
  EXPECT_TRUE(input.KeyDown(DIK_W));
  input.SetKeyboardAcquired(false);
  EXPECT_FALSE(input.ExamineKeyboard());
  EXPECT_FALSE(input.KeyDown(DIK_W));
  input.LiftKey(DIK_W);
  input.SetKeyboardAcquired(true);
  ASSERT_TRUE(input.ExamineKeyboard());
  EXPECT_FALSE(input.KeyReleased(DIK_W));  // the release happened while the keyboard was lost
}

TEST(ScriptedInputTest, KeysDownNowAreSetAsideUntilLetGo) {
  ScriptedInput input;
  input.HoldKey(DIK_RETURN);
  input.IgnoreKeysDownNow();
  input.HoldKey(DIK_S);  // pressed after the box closed: counts
  ASSERT_TRUE(input.ExamineKeyboard());
  EXPECT_FALSE(input.KeyDown(DIK_RETURN));
  EXPECT_TRUE(input.KeyDown(DIK_S));
  input.LiftKey(DIK_RETURN);
  ASSERT_TRUE(input.ExamineKeyboard());
  EXPECT_FALSE(input.KeyReleased(DIK_RETURN));
}

TEST(ScriptedInputTest, MouseMovementCountsOnlyWhileCaptured) {
  ScriptedInput input;
  input.MoveMouse(5, 5);
  EXPECT_FALSE(input.ExamineMouse());
  EXPECT_EQ(input.MouseDeltaX(), 0);

  input.CaptureMouse(true);
  input.MoveMouse(12, -3);
  input.TurnWheel(1);
  input.TurnWheel(1);
  ASSERT_TRUE(input.ExamineMouse());
  EXPECT_EQ(input.MouseDeltaX(), 12);
  EXPECT_EQ(input.MouseDeltaY(), -3);
  EXPECT_EQ(input.MouseWheel(), 2);
  ASSERT_TRUE(input.ExamineMouse());  // taken once
  EXPECT_EQ(input.MouseDeltaX(), 0);
  EXPECT_EQ(input.MouseWheel(), 0);

  input.CaptureMouse(false);
  EXPECT_FALSE(input.ExamineMouse());
  EXPECT_EQ(input.CaptureCount(), 1);
}

TEST(ScriptedInputTest, PassesReplaceKeysAndButtonsAndAddMovement) {
  ScriptedInput input;
  InputPass press;
  press.leftButton = true;
  press.pointer = std::make_pair(200, 150);
  InputPass drag = press;
  drag.moveX = 12;
  drag.keysHeld = {DIK_LSHIFT};
  input.QueuePass(press);
  input.QueuePass(drag);
  input.QueuePass(InputPass{});

  ASSERT_TRUE(input.AdvancePass());
  EXPECT_EQ(input.IsMouseButtonDown(1), 1);
  EXPECT_EQ(input.IsMouseButtonDown(2), 0);
  EXPECT_EQ(input.IsMouseButtonDown(4), 0);
  EXPECT_EQ(input.WindowMouseX(), 200);
  input.CaptureMouse(true);
  input.ExamineMouse();

  ASSERT_TRUE(input.AdvancePass());
  input.ExamineKeyboard();
  EXPECT_TRUE(input.KeyDown(DIK_LSHIFT));
  input.ExamineMouse();
  EXPECT_EQ(input.MouseDeltaX(), 12);

  ASSERT_TRUE(input.AdvancePass());
  input.ExamineKeyboard();
  EXPECT_TRUE(input.KeyReleased(DIK_LSHIFT));
  EXPECT_EQ(input.IsMouseButtonDown(1), 0);
  EXPECT_EQ(input.WindowMouseY(), 150);  // unset pointer keeps the last position
  EXPECT_FALSE(input.AdvancePass());

  input.WarpPointerToClient(200, 150);
  ASSERT_EQ(input.Warps().size(), 1u);
}

}  // namespace
}  // namespace orelens::platform
