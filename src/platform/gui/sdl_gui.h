#pragma once

#include <SDL2/SDL_events.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/display/screen_host.h"
#include "platform/gui/file_browser.h"
#include "platform/gui/gui_object_store.h"

struct ImFont;
struct ImVec2;
struct ImGuiContext;

namespace orelens::platform {

// A rectangle in window pixels (window 0's whole area, menu bar included).
struct ControlRect {
  float x = 0, y = 0, width = 0, height = 0;
};

// The program's window system: window 0 is an SDL window with an OpenGL surface that the
// engine renders into; the menu bar, the secondary windows with their gadgets, the message
// boxes and the file requesters are Dear ImGui drawn over the 3D view (DrawGuiLayer, called by
// the engine's flip). Modal boxes and blocking waits draw frames themselves: the engine's
// registered scene redraw, then the GUI layer, then a buffer swap.
//
// The engine deletes its GL context before this object goes (the display closes with it).
// Everything runs on the thread that made the object, except MessageBox: another thread's
// box is handed to this thread's event handling and the caller blocks until it is answered.
class SdlGui : public GuiObjectStore, public ScreenHost {
 public:
  SdlGui();
  ~SdlGui() override;
  SdlGui(const SdlGui&) = delete;
  SdlGui& operator=(const SdlGui&) = delete;

  // False when there is no display (SDL's video could not start).
  bool HasDisplay() const { return videoStarted_; }

  // ---- Gui ----
  bool OpenMainWindow(int innerWidth, int innerHeight, std::string_view title,
                      const WindowStyle& style) override;
  int OpenWindow(int number, int x, int y, int innerWidth, int innerHeight, std::string_view title,
                 const WindowStyle& style) override;
  void MoveWindowTo(int window, int x, int y) override;
  int WindowInnerWidth(int window) override;
  int WindowInnerHeight(int window) override;
  bool LoadFont(int number, std::string_view name, int size) override;
  MessageBoxAnswer MessageBox(std::string_view title, std::string_view text,
                              MessageBoxButtons buttons = MessageBoxButtons::kOk) override;
  void AnswerWorkerMessageBoxes() override;
  std::string OpenFileRequester(std::string_view title, std::string_view defaultPath,
                                std::string_view pattern, int patternIndex) override;
  std::string SaveFileRequester(std::string_view title, std::string_view defaultPath,
                                std::string_view pattern, int patternIndex) override;
  WindowEvent WindowEventNoWait() override;
  WindowEvent WaitWindowEvent() override;

  // ---- ScreenHost ----
  SDL_Window* NativeWindow() override { return window_; }
  int ClientTop() override;
  int ClientWidth() override { return WindowInnerWidth(0); }
  int ClientHeight() override { return WindowInnerHeight(0); }
  void DrawGuiLayer() override;
  void SetSceneRedraw(std::function<void()> redraw) override { sceneRedraw_ = std::move(redraw); }

  // ---- for the input devices ----
  // True while the GUI layer uses the mouse (pointer over a menu or window, a menu open).
  bool GuiWantsMouse() const;

  // Where a control with this text (menu title, menu item, push button, message box button,
  // text gadget, secondary window's title bar) was drawn in the last frame; lets display tests
  // click it or see that it was drawn.
  std::optional<ControlRect> FindDrawnControl(std::string_view text) const;

 protected:
  void OnWindowClosed(int window) override;

 private:
  struct PendingMessageBox;  // a box asked for by another thread
  struct ActiveMessageBox {
    std::string title;
    std::string text;
    MessageBoxButtons buttons = MessageBoxButtons::kOk;
    std::optional<MessageBoxAnswer> answer;
  };
  struct ActiveRequester {
    std::string title;
    FileBrowser browser;
    std::optional<std::string> answer;
  };

  void PumpSdlEvents();
  void AnswerOtherThreadsBoxes();
  void AnswerWorkerMessageBoxesLocked();  // the caller holds boxRequestMutex_
  bool CanDrawFrames() const;
  void DrawFrame();  // scene redraw + GUI layer + swap
  void RepaintIfStale();
  void WaitForInputOrTimeout(int milliseconds);
  MessageBoxAnswer MainThreadMessageBox(std::string_view title, std::string_view text, MessageBoxButtons buttons);
  // Before the main window exists (a start-up message) or after it has gone, a box gets a window
  // of its own and is drawn as over the main window: the same keys answer it, and it ends when
  // the program is asked to end, as every other box does.
  MessageBoxAnswer MessageBoxInItsOwnWindow(std::string_view title, std::string_view text,
                                            MessageBoxButtons buttons);
  MessageBoxAnswer MessageBoxOverTheView(std::string_view title, std::string_view text, MessageBoxButtons buttons);
  // Only where no window can be drawn into: SDL's own box, which nothing else can end.
  MessageBoxAnswer NativeMessageBox(std::string_view title, std::string_view text, MessageBoxButtons buttons);
  std::string RunFileRequester(bool save, std::string_view title, std::string_view defaultPath,
                               std::string_view pattern, int patternIndex);
  void ShutDownGuiBackends();  // ImGui's SDL and OpenGL parts, with the window's context current
  void RebuildFontsIfChanged();
  float MenuBarHeight() const;

  // Drawing of the GUI layer (gui_layer_drawing.cpp).
  void DrawMenuBar();
  void DrawSecondaryWindows();
  void DrawGadget(int gadget, float originX, float originY);
  void DrawMessageBox();
  void DrawFileRequester();
  void NoteControl(std::string_view text);
  void NoteControlAt(std::string_view text, ImVec2 min, ImVec2 max);
  ImFont* FontOrDefault(int number) const;

  const std::thread::id guiThread_;
  bool videoStarted_ = false;
  SDL_Window* window_ = nullptr;  // the main window, or the window of a box shown without it
  bool boxOwnsWindow_ = false;    // window_ is a box's own window
  ImGuiContext* imgui_ = nullptr;
  bool sdlBackendReady_ = false;
  bool glBackendReady_ = false;
  bool fontsChanged_ = false;
  ImFont* uiFont_ = nullptr;
  std::map<int, ImFont*> gadgetFonts_;
  std::function<void()> sceneRedraw_;
  std::deque<WindowEvent> events_;
  std::deque<SDL_Event> deferredEvents_;  // SDL events held back for the next pump
  std::map<int, bool> placementPending_;  // windows whose position is applied on the next frame
  std::map<std::string, ControlRect, std::less<>> drawnControls_;
  std::optional<ActiveMessageBox> messageBox_;
  std::unique_ptr<ActiveRequester> requester_;
  int modalDepth_ = 0;
  uint32_t lastFrameTicks_ = 0;

  std::mutex boxRequestMutex_;
  std::condition_variable boxAnswered_;
  std::deque<PendingMessageBox*> boxRequests_;  // guarded by boxRequestMutex_
  bool closing_ = false;                         // guarded by boxRequestMutex_
  int workerBoxesWaiting_ = 0;                   // guarded by boxRequestMutex_
};

}  // namespace orelens::platform
