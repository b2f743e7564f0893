#include "e2e/desktop_person.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <thread>

namespace orelens::e2e {

namespace {

using namespace std::chrono_literals;

std::string FileNameFor(const std::string& name) {
  std::string file;
  for (char c : name) file += std::isalnum(static_cast<unsigned char>(c)) ? c : '-';
  return file;
}

using Pixel = Screenshot::Pixel;

constexpr int kMenuRowHeight = 19;
constexpr int kMenuBarHeight = 21;
// Software rendering on a machine shared with builds draws a view full of terrain in seconds:
// a sign waits for a few such frames before a step is tried again (a second click on a menu
// title would close the menu the first one opened), and a chosen command (a world switch
// stops and starts the loaders) may take longer still.
constexpr auto kSlowFrame = 20s;
constexpr auto kCommandDone = 40s;
// The overlay sprite lies at (10, 10) of the view, which starts below the 21-pixel menu bar;
// its text lines start 10, 30, 50 and 70 pixels down the sprite.
constexpr int kHudTop = 31;

bool White(Pixel p) {
  return p.r > 235 && p.g > 235 && p.b > 235;
}
bool Grey(Pixel p) {
  const int low = std::min({p.r, p.g, p.b}), high = std::max({p.r, p.g, p.b});
  return low >= 180 && high <= 220 && high - low < 15;
}
bool Green(Pixel p) {
  return p.g > 150 && p.r < 110 && p.b < 110;
}
bool Orange(Pixel p) {
  return p.r > 200 && p.g > 100 && p.g < 190 && p.b < 80;
}
bool Yellow(Pixel p) {
  return p.r > 200 && p.g > 200 && p.b < 80;
}
bool Dark(Pixel p, int limit) {
  return p.r + p.g + p.b < limit;
}

int CountInHudLine(const Screenshot& shot, int line, bool (*test)(Pixel)) {
  if (shot.width < 460) return 0;
  int count = 0;
  for (int y = kHudTop + line + 2; y < kHudTop + line + 15; ++y)
    for (int x = 18; x < 450; ++x)
      if (test(shot.At(x, y))) ++count;
  return count;
}
bool LineHas(const Screenshot& shot, int line, bool (*test)(Pixel)) {
  return CountInHudLine(shot, line, test) >= 25;
}

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

HudSign ReadHud(const Screenshot& shot) {
  const bool white30 = LineHas(shot, 30, White), white50 = LineHas(shot, 50, White);
  if (white30 && white50 && LineHas(shot, 70, White)) return HudSign::kInsertion;
  if (white30 && LineHas(shot, 50, Green) && LineHas(shot, 70, Orange)) return HudSign::kBoxSelection;
  if (!white30 && LineHas(shot, 30, Grey) && LineHas(shot, 50, Grey) && LineHas(shot, 70, Grey))
    return HudSign::kBrowse;
  if (LineHas(shot, 10, White) && white30 && !white50) return HudSign::kStartHint;
  return HudSign::kUnknown;
}

bool HudShowsPaused(const Screenshot& shot) {
  return LineHas(shot, 10, Yellow);
}

const char* Describe(HudSign sign) {
  switch (sign) {
    case HudSign::kStartHint:
      return "start hint";
    case HudSign::kBrowse:
      return "browse";
    case HudSign::kBoxSelection:
      return "box selection";
    case HudSign::kInsertion:
      return "insertion";
    default:
      return "unknown";
  }
}

DesktopPerson::DesktopPerson(const PrivateDesktop& desktop, RunningProgram& program,
                             std::filesystem::path artefacts)
    : desktop_(desktop), program_(program), artefacts_(std::move(artefacts)) {
  std::filesystem::create_directories(artefacts_);
}

Screenshot DesktopPerson::Shoot(const std::string& name) {
  return TakeScreenshot(artefacts_ / (FileNameFor(name) + ".ppm"), &desktop_);
}

Screenshot DesktopPerson::Keep(const std::string& name) {
  // Numbered, so that the kept pictures of a run read as its story.
  const std::string number = std::to_string(100 + ++kept_).substr(1);
  return TakeScreenshot(artefacts_ / (number + "-" + FileNameFor(name) + ".png"), &desktop_);
}

bool DesktopPerson::SeeWithin(std::chrono::milliseconds limit,
                              const std::function<bool(const Screenshot&)>& sign, const std::string& name) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const Screenshot shot = Shoot("latest-" + name);
    if (shot.width > 0 && sign(shot)) return true;
    if (std::chrono::steady_clock::now() >= end || !program_.Running()) return false;
    std::this_thread::sleep_for(400ms);  // each look costs the X server a full-screen copy
  }
}

bool DesktopPerson::WithinTime(std::chrono::milliseconds limit, const std::function<bool()>& sign) {
  return WaitFor(limit, sign, 100ms);
}

void DesktopPerson::PointAt(int x, int y) {
  desktop_.Run("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y));
}

void DesktopPerson::Click(int x, int y) {
  PointAt(x, y);
  std::this_thread::sleep_for(250ms);
  desktop_.Run("xdotool mousedown 1 sleep 0.1 mouseup 1");
}

void DesktopPerson::Type(const std::string& text) {
  desktop_.Run("xdotool type --delay 40 " + Quoted(text));
}

void DesktopPerson::Tap(const std::string& keys, std::chrono::milliseconds hold) {
  const std::string seconds = std::to_string(static_cast<double>(hold.count()) / 1000.0);
  desktop_.Run("xdotool keydown " + keys + " sleep " + seconds + " keyup " + keys);
}

bool DesktopPerson::TapUntil(const std::string& keys, const std::function<bool(const Screenshot&)>& sign,
                             const std::string& name) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    Tap(keys);
    if (SeeWithin(20s, sign, name)) return true;
  }
  return false;
}

bool DesktopPerson::LookUpFrom(const Screenshot& before, std::chrono::milliseconds limit) {
  PointAt(640, 500);
  std::this_thread::sleep_for(300ms);
  desktop_.Run("xdotool mousedown 1");
  const bool turned = SeeWithin(
      limit,
      [&](const Screenshot& shot) {
        desktop_.Run("xdotool mousemove_relative -- 0 -40");
        return ViewDifference(before, shot) > 8.0;
      },
      "look");
  desktop_.Run("xdotool mouseup 1");
  return turned;
}

bool DesktopPerson::SeeHud(HudSign sign, const std::string& name, std::chrono::milliseconds limit) {
  return SeeWithin(
      limit, [sign](const Screenshot& shot) { return ReadHud(shot) == sign; }, name);
}

bool DesktopPerson::SeeOverlayAfterStart() {
  return SeeWithin(
      90s,
      [](const Screenshot& shot) {
        const HudSign sign = ReadHud(shot);
        return sign == HudSign::kStartHint || sign == HudSign::kBrowse;
      },
      "start");
}

void DesktopPerson::KeyDown(const std::string& keys) {
  desktop_.Run("xdotool keydown " + keys);
}
void DesktopPerson::KeyUp(const std::string& keys) {
  desktop_.Run("xdotool keyup " + keys);
}

bool DesktopPerson::OpenMenu(const MenuPlace& title) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    // A click on the title opens its menu; should the menu be open already, the click closes it.
    Click(title.x, 10);
    if (SeeWithin(
            kSlowFrame, [&](const Screenshot& shot) { return PopupOpen(shot, title); }, "menu"))
      return true;
  }
  return false;
}

bool DesktopPerson::OpenSubMenu(const MenuPlace& title, int row, const MenuPlace& subMenu) {
  if (!OpenMenu(title)) return false;
  const int y = title.firstRow + kMenuRowHeight * row;
  for (int attempt = 0; attempt < 3; ++attempt) {
    // Hovering the entry opens its sub-menu; a small move keeps the hover fresh.
    PointAt(title.padX + 40, y);
    std::this_thread::sleep_for(200ms);
    PointAt(title.padX + 46, y);
    if (SeeWithin(
            kSlowFrame, [&](const Screenshot& shot) { return PopupOpen(shot, subMenu); }, "submenu")) {
      // Into the sub-menu along the entry's own row, which is the sub-menu's first row.
      PointAt(subMenu.padX + 30, y);
      return true;
    }
  }
  return false;
}

bool DesktopPerson::ChooseMenu(const MenuPlace& title, int row) {
  if (!OpenMenu(title)) return false;
  Click(title.padX + 40, title.firstRow + kMenuRowHeight * row);
  return SeeWithin(
      kCommandDone, [&](const Screenshot& shot) { return !PopupOpen(shot, title); }, "menu-closed");
}

bool DesktopPerson::ChooseSubMenu(const MenuPlace& title, int row, const MenuPlace& subMenu, int subRow) {
  if (!OpenSubMenu(title, row, subMenu)) return false;
  const int y = subMenu.firstRow + kMenuRowHeight * subRow;
  PointAt(subMenu.padX + 30, y);
  std::this_thread::sleep_for(200ms);
  Click(subMenu.padX + 34, y);
  return SeeWithin(
      kCommandDone, [&](const Screenshot& shot) { return !PopupOpen(shot, title); }, "menu-closed");
}

void DesktopPerson::CloseMenus(const MenuPlace& title) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    Click(title.x, 10);
    if (SeeWithin(
            kSlowFrame, [&](const Screenshot& shot) { return !PopupOpen(shot, title); }, "menu-closed"))
      return;
  }
}

bool DesktopPerson::Alive(const std::string& step) {
  if (!program_.HasMainWindow()) return false;
  const Screenshot shot = Shoot("alive");
  if (shot.width == 0) return false;
  (void)step;
  return shot.Share(0, 0, shot.width, shot.height, [](Pixel p) { return !Dark(p, 30); }) > 0.5;
}

bool DesktopPerson::PopupOpen(const Screenshot& shot, const MenuPlace& popup) {
  // The pop-up's background, a near black grey with a little of the scene showing through, told
  // apart from a dark scene (the ground seen from inside, a fogged wall) by its lack of colour.
  const auto background = [&](int top) {
    return shot.Share(popup.padX, top, popup.padX + 3, top + 12, [](Pixel p) {
      return std::max({p.r, p.g, p.b}) <= 40 && std::max({p.r, p.g, p.b}) - std::min({p.r, p.g, p.b}) <= 8;
    }) > 0.8;
  };
  if (!background(popup.firstRow - 6)) return false;
  // A menu of the bar also has its title highlighted while it is open.
  if (popup.x > 0)
    return shot.Share(popup.x - 6, 2, popup.x + 6, 5, [](Pixel p) { return p.b > p.r + 60 && p.b > 150; }) >
           0.8;
  // A sub-menu starts level with its entry: a sub-menu opened from an entry above covers the
  // rows above this one's top too (the menu bar stands above those of the first entry).
  const int aboveTop = popup.firstRow - 30;
  return aboveTop < kMenuBarHeight || !background(aboveTop);
}

int DesktopPerson::ModalTitleRow(const Screenshot& shot) {
  if (shot.width < 800) return -1;
  // A few columns around the middle: the title's own text may cross any one of them.
  int found = -1;
  for (int x = 560; x <= 720; x += 20) {
    int run = 0;
    for (int y = 100; y < std::min(shot.height, 700); ++y) {
      const Pixel p = shot.At(x, y);
      const bool title = std::abs(p.r - 41) < 14 && std::abs(p.g - 74) < 14 && std::abs(p.b - 122) < 14;
      run = title ? run + 1 : 0;
      if (run >= 12) {
        const int top = y - run + 1;
        if (found < 0 || top < found) found = top;
        break;
      }
    }
  }
  return found;
}

bool DesktopPerson::MessageBoxShown(const Screenshot& shot) {
  const int row = ModalTitleRow(shot);
  return row >= 200 && row <= 395;
}

bool DesktopPerson::RequesterShown(const Screenshot& shot) {
  const int row = ModalTitleRow(shot);
  return row >= 140 && row <= 185;
}

bool DesktopPerson::AboutWindowShown(const Screenshot& shot) {
  return shot.Share(20, 70, 120, 140, [](Pixel p) { return Dark(p, 90); }) > 0.9;
}

bool DesktopPerson::CheckMarkAt(const Screenshot& shot, int x, int row) {
  int count = 0;
  for (int y = row - 7; y <= row + 7; ++y)
    for (int cx = x - 9; cx <= x + 9; ++cx)
      if (cx >= 0 && y >= 0 && cx < shot.width && y < shot.height) {
        const Pixel p = shot.At(cx, y);
        if (p.r > 200 && p.g > 200 && p.b > 200) ++count;
      }
  return count >= 6;
}

int DesktopPerson::HudLineDifference(const Screenshot& a, const Screenshot& b, int line) {
  if (a.width != b.width || a.height != b.height || a.width < 460) return 0;
  int count = 0;
  for (int y = kHudTop + line + 2; y < kHudTop + line + 15; ++y)
    for (int x = 18; x < 450; ++x) {
      const Pixel p = a.At(x, y), q = b.At(x, y);
      if (std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b) > 90) ++count;
    }
  return count;
}

double DesktopPerson::ViewDifference(const Screenshot& a, const Screenshot& b) {
  if (a.width != b.width || a.height != b.height || a.width == 0) return 0.0;
  double sum = 0;
  int samples = 0;
  for (int y = 150; y < a.height; y += 4)
    for (int x = 0; x < a.width; x += 4, ++samples) {
      const Pixel p = a.At(x, y), q = b.At(x, y);
      sum += (std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b)) / 3.0;
    }
  return samples == 0 ? 0.0 : sum / samples;
}

}  // namespace orelens::e2e
