#pragma once

#include <array>
#include <bitset>

namespace orelens::platform {

// The keyboard as seen by the passes of the main loop, indexed by DIK scan code.
// A key is released once, on the first pass that finds it up after a pass that found it down.
// A release belongs to that pass: one that the pass does not ask about is gone when the next
// pass examines the keyboard (a Return let go in browse mode never confirms a later marker).
// The one way to keep a release for the next pass is KeepReleaseForNextPass.
// Keys that went to a message box or requester are set aside: see IgnoreUntilReleased.
class KeyboardState {
 public:
  static constexpr int kKeyCount = 256;
  using Keys = std::bitset<kKeyCount>;

  // Takes the state of one pass; the releases of the pass before are dropped.
  void Examine(const Keys& down);
  // Forgets what is held and released (keyboard lost); keys set aside stay set aside.
  void Clear();
  // A box or requester has just closed, with these keys down: it acts on a press, so the key that
  // answered it is still down. Each of them counts as neither held nor released until an Examine
  // finds it up; no release is reported of a key held before either (it went to the box).
  void IgnoreUntilReleased(const Keys& downNow);

  bool KeyDown(int dik) const;
  // True once per release, in the pass that found it.
  bool KeyReleased(int dik);
  // A release of this pass that this pass does not look at is reported on the next pass
  // instead (unless the key is down again by then).
  void KeepReleaseForNextPass(int dik);

 private:
  static bool Valid(int dik) { return dik >= 0 && dik < kKeyCount; }

  Keys held_;
  Keys released_;  // releases of the current pass not reported yet
  Keys kept_;      // releases handed on to the next pass
  Keys ignored_;   // down when a box closed and not let go since
};

}  // namespace orelens::platform
