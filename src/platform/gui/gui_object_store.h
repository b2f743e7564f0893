#pragma once

#include <atomic>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gui/gui.h"
#include "platform/gui/menu_tree.h"

namespace orelens::platform {

struct FontRecord {
  std::string name;
  int size = 0;
};

struct GadgetRecord {
  enum class Kind { kProgressBar, kText, kButton };
  Kind kind = Kind::kText;
  int window = -1;
  int x = 0, y = 0, width = 0, height = 0;
  int minimum = 0, maximum = 100;  // progress bars
  int state = 0;                   // progress bar value, kept within minimum..maximum
  bool marquee = false;
  std::string text;                // as given; DisplayText turns it into lines
  bool centred = false;
  int font = -1;                   // -1: the default font
};

struct WindowRecord {
  int number = -1;
  int x = 0, y = 0, innerWidth = 0, innerHeight = 0;
  std::string title;
  WindowStyle style;
  bool hidden = false;
};

struct MenuRecord {
  int window = -1;
  MenuTree tree;
};

// The bookkeeping every window system shares: numbered windows, their gadgets, fonts and menu
// bars. The real and the scripted GUI derive from it and add drawing, events and modal boxes.
// Main thread only, but for the termination request.
class GuiObjectStore : public Gui {
 public:
  bool OpenMainWindow(int innerWidth, int innerHeight, std::string_view title,
                      const WindowStyle& style) override;
  int OpenWindow(int number, int x, int y, int innerWidth, int innerHeight, std::string_view title,
                 const WindowStyle& style) override;
  void HideWindow(int window, bool hidden) override;
  void CloseWindow(int window) override;
  bool IsWindow(int window) override;
  bool IsWindowHidden(int window) override;
  std::string WindowTitle(int window) override;
  int WindowInnerWidth(int window) override;
  int WindowInnerHeight(int window) override;
  void MoveWindowTo(int window, int x, int y) override;

  bool LoadFont(int number, std::string_view name, int size) override;

  int ProgressBarGadget(int number, int x, int y, int w, int h, int minimum, int maximum) override;
  void SetProgressMarquee(int gadget, bool on) override;
  int TextGadget(int number, int x, int y, int w, int h, std::string_view text, bool centred) override;
  int ButtonGadget(int number, int x, int y, int w, int h, std::string_view text) override;
  void SetGadgetFont(int gadget, int font) override;
  void SetGadgetState(int gadget, int state) override;
  int GetGadgetState(int gadget) override;
  void SetGadgetText(int gadget, std::string_view text) override;
  std::string GetGadgetText(int gadget) override;
  bool IsGadget(int gadget) override;

  bool CreateMenuBar(int menu, int window) override;
  void MenuTitle(std::string_view title) override;
  void MenuItem(int id, std::string_view text) override;
  void OpenSubMenu(std::string_view text) override;
  void CloseSubMenu() override;
  void SetMenuItemState(int menu, int id, bool checked) override;
  bool GetMenuItemState(int menu, int id) override;

  void RequestTermination() override { terminationRequested_ = true; }
  bool TerminationRequested() const override { return terminationRequested_; }
  uint64_t ModalsClosed() const override { return modalsClosed_; }

  // ---- inspection ----
  const WindowRecord* FindWindow(int window) const;
  const GadgetRecord* FindGadget(int gadget) const;
  const FontRecord* FindFont(int font) const;
  const MenuRecord* FindMenu(int menu) const;
  // Windows in the order they were opened (the later one draws on top).
  std::vector<int> WindowNumbers() const;
  // Gadgets of a window, in creation order.
  std::vector<int> GadgetsOf(int window) const;

 protected:
  // Numbers handed out for -1 start far above the fixed numbers the program uses.
  static constexpr int kFirstDynamicNumber = 100000;

  GadgetRecord* MutableGadget(int gadget);
  WindowRecord* MutableWindow(int window);
  MenuRecord* MenuOfWindow(int window);
  // Hook for implementations that keep a native object per window.
  virtual void OnWindowClosed(int /*window*/) {}
  // A message box or requester that was shown has closed (any thread).
  void NoteModalClosed() { ++modalsClosed_; }

 private:
  int AddGadget(int number, GadgetRecord gadget);
  int NextNumber() { return nextDynamicNumber_++; }

  std::map<int, WindowRecord> windows_;
  std::vector<int> windowOrder_;
  std::map<int, GadgetRecord> gadgets_;
  std::vector<int> gadgetOrder_;
  std::map<int, FontRecord> fonts_;
  std::map<int, MenuRecord> menus_;
  int gadgetListWindow_ = -1;  // the window new gadgets go to: the last one opened
  int buildingMenu_ = -1;      // the menu the builder calls add to
  int nextDynamicNumber_ = kFirstDynamicNumber;
  std::atomic<bool> terminationRequested_{false};
  std::atomic<uint64_t> modalsClosed_{0};
};

}  // namespace orelens::platform
