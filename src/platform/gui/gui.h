#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orelens::platform {

// Event numbers as the program compares them.
enum EventType : int {
  kEventNone = 0,
  kEventGadget = 13100,       // a control (push button, ...) was used; see WindowEvent::item
  kEventMenu = 13101,         // a menu item was chosen; see WindowEvent::item
  kEventCloseWindow = 13116,  // a window's close request
};

struct WindowEvent {
  int type = kEventNone;
  int window = -1;  // the window the event belongs to
  int item = -1;    // menu item id for kEventMenu, gadget number for kEventGadget
};

enum class MessageBoxButtons { kOk, kYesNo };
enum class MessageBoxAnswer { kOk, kYes, kNo };

// What a box answers when nobody can: OK, or No for a question.
constexpr MessageBoxAnswer HarmlessAnswer(MessageBoxButtons buttons) {
  return buttons == MessageBoxButtons::kYesNo ? MessageBoxAnswer::kNo : MessageBoxAnswer::kOk;
}

// How a secondary window looks and behaves.
struct WindowStyle {
  bool centred = false;       // centred on the screen (x and y are then ignored)
  bool toolWindow = false;    // small title bar, no system menu: no close box
  bool keptAbove = false;     // stays above all other windows
  bool maximised = false;     // main window only
};

// The window system of the program: main window, menus, secondary windows with their gadgets,
// message boxes, file requesters and the event queue. Objects are numbered by the caller;
// number -1 asks for a new number, which the call returns.
// Texts are UTF-8; "\n\r" inside a text shows as one line break.
class Gui {
 public:
  virtual ~Gui() = default;

  // ---- windows ----
  // Opens the main window (number 0) with its inner size; the real implementation shows it
  // maximised when style.maximised is set. Returns false when it cannot be opened.
  virtual bool OpenMainWindow(int innerWidth, int innerHeight, std::string_view title,
                              const WindowStyle& style) = 0;
  // Opens a secondary window; returns its number (the given one, or a new one for -1), or -1.
  virtual int OpenWindow(int number, int x, int y, int innerWidth, int innerHeight,
                         std::string_view title, const WindowStyle& style) = 0;
  virtual void HideWindow(int window, bool hidden) = 0;
  virtual void CloseWindow(int window) = 0;
  virtual bool IsWindow(int window) = 0;
  virtual bool IsWindowHidden(int window) = 0;
  virtual std::string WindowTitle(int window) = 0;
  // Inner (client) size of a window; for window 0 the area below the menu bar.
  virtual int WindowInnerWidth(int window) = 0;
  virtual int WindowInnerHeight(int window) = 0;
  virtual void MoveWindowTo(int window, int x, int y) = 0;

  // ---- fonts (for gadgets; 2D drawing has its own) ----
  virtual bool LoadFont(int number, std::string_view name, int size) = 0;

  // ---- gadgets of the most recently opened window ----
  // smooth: a smooth bar; the marquee state is set with SetProgressMarquee.
  virtual int ProgressBarGadget(int number, int x, int y, int w, int h, int minimum, int maximum) = 0;
  virtual void SetProgressMarquee(int gadget, bool on) = 0;
  virtual int TextGadget(int number, int x, int y, int w, int h, std::string_view text, bool centred) = 0;
  virtual int ButtonGadget(int number, int x, int y, int w, int h, std::string_view text) = 0;
  virtual void SetGadgetFont(int gadget, int font) = 0;
  virtual void SetGadgetState(int gadget, int state) = 0;  // progress bar value
  virtual int GetGadgetState(int gadget) = 0;
  virtual void SetGadgetText(int gadget, std::string_view text) = 0;
  virtual std::string GetGadgetText(int gadget) = 0;
  virtual bool IsGadget(int gadget) = 0;

  // ---- menus (menu bar of a window) ----
  virtual bool CreateMenuBar(int menu, int window) = 0;
  virtual void MenuTitle(std::string_view title) = 0;
  virtual void MenuItem(int id, std::string_view text) = 0;
  virtual void OpenSubMenu(std::string_view text) = 0;
  virtual void CloseSubMenu() = 0;
  virtual void SetMenuItemState(int menu, int id, bool checked) = 0;
  virtual bool GetMenuItemState(int menu, int id) = 0;

  // ---- modal boxes and requesters: they block the caller ----
  virtual MessageBoxAnswer MessageBox(std::string_view title, std::string_view text,
                                      MessageBoxButtons buttons = MessageBoxButtons::kOk) = 0;
  // Answers every message box that another thread is waiting for and that is not on the screen
  // yet, with the harmless answer (OK, or No for a question), so that worker threads can end
  // before the caller waits for them. Called from the GUI's own thread.
  virtual void AnswerWorkerMessageBoxes() = 0;
  // pattern: "Label|*.a;*.b|Label 2|*.*"; returns the chosen path or "" when cancelled.
  virtual std::string OpenFileRequester(std::string_view title, std::string_view defaultPath,
                                        std::string_view pattern, int patternIndex) = 0;
  virtual std::string SaveFileRequester(std::string_view title, std::string_view defaultPath,
                                        std::string_view pattern, int patternIndex) = 0;
  // How many message boxes and file requesters have been on the screen and closed so far. They
  // act on a key's press, so the key is still down when they close: the main loop looks at this
  // count and has the keyboard set such keys aside (Input::IgnoreKeysDownNow).
  virtual uint64_t ModalsClosed() const = 0;

  // ---- events ----
  // Takes one pending event without waiting (type kEventNone when there is none).
  virtual WindowEvent WindowEventNoWait() = 0;
  // Waits for the next event.
  virtual WindowEvent WaitWindowEvent() = 0;
  // ---- ending ----
  // The session asks the program to end (a termination signal); any thread may call it. From
  // then on message boxes give their harmless answer at once (OK, or No for a question), file
  // requesters are cancelled and WaitWindowEvent returns a close request of window 0, so that
  // whatever waits for a person comes back and the main loop can end as on Quit.
  virtual void RequestTermination() = 0;
  virtual bool TerminationRequested() const = 0;

  // Handles every pending event, without acting on any (keeps the windows alive during long work).
  void HandlePendingEvents() {
    while (WindowEventNoWait().type != kEventNone) {
    }
  }
};

}  // namespace orelens::platform
