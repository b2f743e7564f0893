#pragma once

// A person at the program's real window: clicks menus, holds keys, types into requesters, and
// reads the program's own signs off the screen (the overlay's lines, menus, boxes, requesters).
// Every wait is bounded; a sign that never comes fails the step, with the program's stacks.

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "e2e/running_program.h"

namespace orelens::e2e {

// What the overlay in the top left corner says, told by the colours of its lines.
enum class HudSign {
  kStartHint,     // two white lines at the top
  kBrowse,        // three grey lines: chunks, position, chunk id
  kBoxSelection,  // white, green, orange: save box (mode 1) or marker placement (mode 3)
  kInsertion,     // three white lines: schematic insertion (mode 2)
  kUnknown,
};
HudSign ReadHud(const Screenshot& shot);
bool HudShowsPaused(const Screenshot& shot);
const char* Describe(HudSign sign);

// A menu bar title, or a pop-up (menu or sub-menu), as they are laid out on the screen.
struct MenuPlace {
  int x;         // where to point: on the title, or on the item text
  int firstRow;  // y of the first item of the pop-up the title opens
  int padX;      // a column of the pop-up's left padding, free of text
};

// Where the menus lie on the 1280 x 800 screen: the program's layout in its interface font,
// DejaVu Sans (fonts-dejavu-core) as fontconfig gives it for "sans-serif".
inline constexpr MenuPlace kFile{22, 36, 5};
inline constexpr MenuPlace kWorld{70, 36, 45};
inline constexpr MenuPlace kVisuals{127, 36, 99};
inline constexpr MenuPlace kHelp{181, 36, 160};
// A sub-menu's padding column lies right of its parent pop-up, so that the parent is not taken
// for it.
inline constexpr MenuPlace kClearChunks{0, 74, 564};    // File > "Clear all chunks except"
inline constexpr MenuPlace kActiveWorld{0, 36, 199};    // World > "Active World"
inline constexpr MenuPlace kShadows{0, 74, 435};        // Visuals > "Shadows"
inline constexpr MenuPlace kDrawDistance{0, 112, 435};  // Visuals > "Draw distance"
inline constexpr int kRow = 19;
inline constexpr int kVisualsCheckX = 419, kShadowsCheckX = 520, kDistanceCheckX = 510, kFileCheckX = 548;

class DesktopPerson {
 public:
  DesktopPerson(const PrivateDesktop& desktop, RunningProgram& program, std::filesystem::path artefacts);

  // A look at the screen, kept (uncompressed) under the name until the next look of that name.
  Screenshot Shoot(const std::string& name);
  // A look kept as a numbered PNG, for the pictures that tell the run's story.
  Screenshot Keep(const std::string& name);
  // Waits (bounded) for a sign on the screen; false after the limit.
  bool SeeWithin(std::chrono::milliseconds limit, const std::function<bool(const Screenshot&)>& sign,
                 const std::string& name);
  // Waits for a sign that is not on the screen (a file, the exit of the program).
  static bool WithinTime(std::chrono::milliseconds limit, const std::function<bool()>& sign);

  void PointAt(int x, int y);
  // Pointer to the spot, a short rest there, then press and release.
  void Click(int x, int y);
  void Type(const std::string& text);
  // Holds keys (xdotool names, "+"-joined) for a while and lets them go.
  void Tap(const std::string& keys, std::chrono::milliseconds hold = std::chrono::milliseconds(300));
  void KeyDown(const std::string& keys);
  void KeyUp(const std::string& keys);
  // Keys that act when they are let go, tapped again (should a pass have missed them) until the
  // sign shows; false when it never does.
  bool TapUntil(const std::string& keys, const std::function<bool(const Screenshot&)>& sign,
                const std::string& name);

  // Drags the view upwards from the middle of the screen until it differs from `before`; false
  // when it has not within the limit.
  bool LookUpFrom(const Screenshot& before, std::chrono::milliseconds limit);

  // The overlay says this within the limit.
  bool SeeHud(HudSign sign, const std::string& name, std::chrono::milliseconds limit);
  // The overlay of a program just started: the start hint, or, once the main loop has refreshed
  // it (every half second), the browsing lines.
  bool SeeOverlayAfterStart();

  // A menu item: its title, and the item row (and for a sub-menu, the sub-menu's row and pop-up).
  // Each step waits for the pop-up it opened before the next click.
  bool ChooseMenu(const MenuPlace& title, int row);
  bool ChooseSubMenu(const MenuPlace& title, int row, const MenuPlace& subMenu, int subRow);
  // Opens a menu (and sub-menu) to look at it; CloseMenus takes it away again.
  bool OpenMenu(const MenuPlace& title);
  bool OpenSubMenu(const MenuPlace& title, int row, const MenuPlace& subMenu);
  void CloseMenus(const MenuPlace& title);

  // The program is there and drawing: its window exists and the screen is not black.
  bool Alive(const std::string& step);
  // Stacks of the program's threads, for the message of a failed wait.
  std::string Stacks() {
    return "input focus " + desktop_.Output("xdotool getwindowfocus 2>&1") + "pointer " +
           desktop_.Output("xdotool getmouselocation 2>&1") + program_.Backtraces();
  }

  static bool PopupOpen(const Screenshot& shot, const MenuPlace& popup);
  // The title bar of a centred modal (message box, requester) in the screen's middle column:
  // its top row, or -1 when there is none.
  static int ModalTitleRow(const Screenshot& shot);
  static bool MessageBoxShown(const Screenshot& shot);
  static bool RequesterShown(const Screenshot& shot);
  static bool AboutWindowShown(const Screenshot& shot);
  // A check mark beside an item of an open pop-up.
  static bool CheckMarkAt(const Screenshot& shot, int x, int row);
  // Pixels of one overlay text line (10, 30, 50 or 70) that differ between two screenshots.
  static int HudLineDifference(const Screenshot& a, const Screenshot& b, int line);
  // Mean difference of the 3D view between two screenshots, 0..255.
  static double ViewDifference(const Screenshot& a, const Screenshot& b);

 private:
  const PrivateDesktop& desktop_;
  RunningProgram& program_;
  std::filesystem::path artefacts_;
  int kept_ = 0;
};

}  // namespace orelens::e2e
