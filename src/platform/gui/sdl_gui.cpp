#include "platform/gui/sdl_gui.h"

#include <SDL2/SDL.h>
#include <backends/imgui_impl_opengl3.h>
#include <backends/imgui_impl_sdl.h>
#include <epoxy/gl.h>
#include <imgui.h>

#include <bitset>
#include <cfloat>
#include <cmath>
#include <cstdio>

#include "platform/gui/font_lookup.h"
#include "platform/gui/gui_text.h"

namespace orelens::platform {

namespace {
constexpr uint32_t kStaleFrameMs = 250;  // a frame older than this is redrawn by the event calls
constexpr int kModalFrameMs = 15;        // pause between two frames of a modal loop
constexpr float kUiFontPixels = 15.0f;
constexpr int kBoxWindowWidth = 640;  // a box's own window, before the main window exists
constexpr int kBoxWindowHeight = 240;

// The engine makes an OpenGL 3.3 core context on the window; on X11 the visual (depth and
// stencil buffers) is fixed when the window is made, so the attributes are set before.
void RequestOpenGlContext() {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
}
}  // namespace

struct SdlGui::PendingMessageBox {
  std::string title;
  std::string text;
  MessageBoxButtons buttons = MessageBoxButtons::kOk;
  std::optional<MessageBoxAnswer> answer;  // guarded by boxRequestMutex_
};

SdlGui::SdlGui() : guiThread_(std::this_thread::get_id()) {
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  // Termination signals are the program's own business (a request to end, RequestTermination).
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
  videoStarted_ = SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == 0;

  IMGUI_CHECKVERSION();
  imgui_ = ImGui::CreateContext();
  ImGuiIO& io = ImGui::GetIO();
  io.IniFilename = nullptr;
  io.LogFilename = nullptr;
  const std::string uiFontFile = FindFontFile("sans-serif");
  if (!uiFontFile.empty()) uiFont_ = io.Fonts->AddFontFromFileTTF(uiFontFile.c_str(), kUiFontPixels);
  if (uiFont_ == nullptr) uiFont_ = io.Fonts->AddFontDefault();
  ImGui::StyleColorsDark();
  ImGuiStyle& style = ImGui::GetStyle();
  style.WindowRounding = 0.0f;
  style.WindowBorderSize = 1.0f;
}

SdlGui::~SdlGui() {
  {
    // Threads still waiting for a box get the harmless answer, and leave before the mutex goes.
    std::unique_lock lock(boxRequestMutex_);
    closing_ = true;
    AnswerWorkerMessageBoxesLocked();
    boxAnswered_.wait(lock, [this] { return workerBoxesWaiting_ == 0; });
  }

  ImGui::SetCurrentContext(imgui_);
  if (glBackendReady_ && SDL_GL_GetCurrentContext() != nullptr) ImGui_ImplOpenGL3_Shutdown();
  if (sdlBackendReady_) ImGui_ImplSDL2_Shutdown();
  ImGui::DestroyContext(imgui_);
  if (window_ != nullptr) SDL_DestroyWindow(window_);
  if (videoStarted_) SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
}

// ---------------------------------------------------------------- windows

bool SdlGui::OpenMainWindow(int innerWidth, int innerHeight, std::string_view title, const WindowStyle& style) {
  if (!videoStarted_ || window_ != nullptr) return false;
  RequestOpenGlContext();

  int width = std::max(1, innerWidth), height = std::max(1, innerHeight);
  uint32_t flags = SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_SHOWN;
  if (style.maximised) {
    // Without a window manager (Xvfb) "maximised" would do nothing: take the usable area.
    SDL_Rect usable{0, 0, width, height};
    if (SDL_GetDisplayUsableBounds(0, &usable) == 0) {
      width = usable.w;
      height = usable.h;
    }
    flags |= SDL_WINDOW_MAXIMIZED;
  }
  const std::string caption(title);
  const int position = style.centred ? SDL_WINDOWPOS_CENTERED : SDL_WINDOWPOS_UNDEFINED;
  window_ = SDL_CreateWindow(caption.c_str(), position, position, width, height, flags);
  if (window_ == nullptr) return false;

  ImGui::SetCurrentContext(imgui_);
  sdlBackendReady_ = ImGui_ImplSDL2_InitForOpenGL(window_, nullptr);
  GuiObjectStore::OpenMainWindow(width, height, title, style);
  return true;
}

int SdlGui::OpenWindow(int number, int x, int y, int innerWidth, int innerHeight, std::string_view title,
                       const WindowStyle& style) {
  if (number == 0) return OpenMainWindow(innerWidth, innerHeight, title, style) ? 0 : -1;
  const int opened = GuiObjectStore::OpenWindow(number, x, y, innerWidth, innerHeight, title, style);
  if (opened >= 0) placementPending_[opened] = true;
  return opened;
}

void SdlGui::MoveWindowTo(int window, int x, int y) {
  GuiObjectStore::MoveWindowTo(window, x, y);
  if (window == 0) {
    if (window_ != nullptr) SDL_SetWindowPosition(window_, x, y);
  } else if (IsWindow(window)) {
    placementPending_[window] = true;
  }
}

void SdlGui::OnWindowClosed(int window) {
  placementPending_.erase(window);
  if (window == 0 && window_ != nullptr) {
    ShutDownGuiBackends();
    SDL_DestroyWindow(window_);
    window_ = nullptr;
  }
}

void SdlGui::ShutDownGuiBackends() {
  ImGui::SetCurrentContext(imgui_);
  if (glBackendReady_ && SDL_GL_GetCurrentContext() != nullptr) ImGui_ImplOpenGL3_Shutdown();
  glBackendReady_ = false;
  if (sdlBackendReady_) ImGui_ImplSDL2_Shutdown();
  sdlBackendReady_ = false;
}

int SdlGui::WindowInnerWidth(int window) {
  if (window != 0 || window_ == nullptr) return GuiObjectStore::WindowInnerWidth(window);
  int width = 0, height = 0;
  SDL_GetWindowSize(window_, &width, &height);
  return width;
}

int SdlGui::WindowInnerHeight(int window) {
  if (window != 0 || window_ == nullptr) return GuiObjectStore::WindowInnerHeight(window);
  int width = 0, height = 0;
  SDL_GetWindowSize(window_, &width, &height);
  return std::max(0, height - ClientTop());
}

float SdlGui::MenuBarHeight() const {
  const float fontSize = uiFont_ != nullptr ? uiFont_->FontSize : 13.0f;
  return fontSize + ImGui::GetStyle().FramePadding.y * 2.0f;
}

int SdlGui::ClientTop() {
  if (MenuOfWindow(0) == nullptr) return 0;
  ImGui::SetCurrentContext(imgui_);
  return static_cast<int>(std::ceil(MenuBarHeight()));
}

bool SdlGui::LoadFont(int number, std::string_view name, int size) {
  if (!GuiObjectStore::LoadFont(number, name, size)) return false;
  const std::string file = FindFontFile(name);
  if (file.empty()) return false;
  ImGui::SetCurrentContext(imgui_);
  ImFont* font = ImGui::GetIO().Fonts->AddFontFromFileTTF(file.c_str(), PointsToPixels(size));
  if (font == nullptr) return false;
  gadgetFonts_[number] = font;
  fontsChanged_ = true;
  return true;
}

ImFont* SdlGui::FontOrDefault(int number) const {
  auto it = gadgetFonts_.find(number);
  return it != gadgetFonts_.end() ? it->second : uiFont_;
}

// ---------------------------------------------------------------- frames

bool SdlGui::CanDrawFrames() const {
  return window_ != nullptr && SDL_GL_GetCurrentContext() != nullptr &&
         std::this_thread::get_id() == guiThread_;
}

void SdlGui::RebuildFontsIfChanged() {
  if (!fontsChanged_ || !glBackendReady_) return;
  ImGui_ImplOpenGL3_DestroyFontsTexture();
  ImGui_ImplOpenGL3_CreateFontsTexture();
  fontsChanged_ = false;
}

void SdlGui::DrawGuiLayer() {
  if (window_ == nullptr || !sdlBackendReady_ || SDL_GL_GetCurrentContext() == nullptr) return;
  ImGui::SetCurrentContext(imgui_);
  if (!glBackendReady_) {
    glBackendReady_ = ImGui_ImplOpenGL3_Init("#version 330 core");
    if (!glBackendReady_) return;
    fontsChanged_ = false;  // the first frame builds the font texture with every font loaded so far
  }
  RebuildFontsIfChanged();
  ImGui_ImplOpenGL3_NewFrame();
  ImGui_ImplSDL2_NewFrame();
  // The backend of this ImGui version takes the pointer only from a window it thinks focused,
  // which misses plain motion without a window manager: give it SDL's own idea every frame.
  ImGuiIO& io = ImGui::GetIO();
  if (SDL_GetMouseFocus() == window_ && !SDL_GetRelativeMouseMode()) {
    int x = 0, y = 0;
    SDL_GetMouseState(&x, &y);
    io.MousePos = ImVec2(static_cast<float>(x), static_cast<float>(y));
  } else if (SDL_GetRelativeMouseMode()) {
    io.MousePos = ImVec2(-FLT_MAX, -FLT_MAX);  // the captured pointer belongs to the 3D view
  }
  ImGui::NewFrame();
  drawnControls_.clear();
  DrawMenuBar();
  DrawSecondaryWindows();
  DrawMessageBox();
  DrawFileRequester();
  ImGui::Render();
  ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
  lastFrameTicks_ = SDL_GetTicks();
}

void SdlGui::DrawFrame() {
  if (!CanDrawFrames()) return;
  if (sceneRedraw_ && !boxOwnsWindow_) {
    sceneRedraw_();
  } else {
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(window_, &width, &height);
    glViewport(0, 0, width, height);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  }
  DrawGuiLayer();
  SDL_GL_SwapWindow(window_);
}

void SdlGui::RepaintIfStale() {
  if (CanDrawFrames() && SDL_GetTicks() - lastFrameTicks_ > kStaleFrameMs) DrawFrame();
}

void SdlGui::WaitForInputOrTimeout(int milliseconds) {
  // A plain pause, not SDL_WaitEventTimeout: its X11 wait ended in broken display connections
  // under Xvfb. A modal loop only needs to draw and look at the input a few dozen times a second.
  SDL_Delay(static_cast<Uint32>(milliseconds));
}

bool SdlGui::GuiWantsMouse() const {
  if (!glBackendReady_) return false;
  ImGui::SetCurrentContext(imgui_);
  return ImGui::GetIO().WantCaptureMouse;
}

std::optional<ControlRect> SdlGui::FindDrawnControl(std::string_view text) const {
  auto it = drawnControls_.find(text);
  if (it == drawnControls_.end()) return std::nullopt;
  return it->second;
}

// ---------------------------------------------------------------- events

void SdlGui::PumpSdlEvents() {
  if (!videoStarted_) return;
  ImGui::SetCurrentContext(imgui_);
  // This ImGui sees a key as held or not when a frame starts, so a press and its release handed
  // over between the same two frames would never count (a quick Return on a message box). A
  // release that follows its press within one pump waits, with all after it, for the next pump.
  std::bitset<SDL_NUM_SCANCODES> pressedNow;
  std::deque<SDL_Event> waiting;
  waiting.swap(deferredEvents_);
  SDL_Event event;
  const auto next = [&waiting](SDL_Event& out) {
    if (waiting.empty()) return SDL_PollEvent(&out) == 1;
    out = waiting.front();
    waiting.pop_front();
    return true;
  };
  while (next(event)) {
    if (event.type == SDL_KEYUP || event.type == SDL_KEYDOWN) {
      const auto scancode = static_cast<size_t>(event.key.keysym.scancode);
      if (scancode < pressedNow.size()) {
        if (event.type == SDL_KEYUP && pressedNow.test(scancode)) {
          deferredEvents_.push_back(event);
          deferredEvents_.insert(deferredEvents_.end(), waiting.begin(), waiting.end());
          return;
        }
        if (event.type == SDL_KEYDOWN) pressedNow.set(scancode);
      }
    }
    if (sdlBackendReady_) ImGui_ImplSDL2_ProcessEvent(&event);
    if (event.type == SDL_QUIT) {
      events_.push_back({kEventCloseWindow, 0, -1});
    } else if (event.type == SDL_WINDOWEVENT && window_ != nullptr &&
               event.window.windowID == SDL_GetWindowID(window_) &&
               event.window.event == SDL_WINDOWEVENT_CLOSE) {
      // Closing a box's own window answers the box, as Escape does; it does not end the program.
      if (boxOwnsWindow_ && messageBox_) messageBox_->answer = HarmlessAnswer(messageBox_->buttons);
      else events_.push_back({kEventCloseWindow, 0, -1});
    }
  }
}

WindowEvent SdlGui::WindowEventNoWait() {
  PumpSdlEvents();
  AnswerOtherThreadsBoxes();
  RepaintIfStale();
  if (events_.empty()) return {};
  const WindowEvent event = events_.front();
  events_.pop_front();
  return event;
}

WindowEvent SdlGui::WaitWindowEvent() {
  if (TerminationRequested()) return {kEventCloseWindow, 0, -1};
  if (window_ == nullptr && events_.empty()) return {};  // nothing could ever arrive
  while (true) {
    PumpSdlEvents();
    AnswerOtherThreadsBoxes();
    if (!events_.empty()) break;
    if (TerminationRequested()) return {kEventCloseWindow, 0, -1};
    DrawFrame();
    WaitForInputOrTimeout(kModalFrameMs);
  }
  const WindowEvent event = events_.front();
  events_.pop_front();
  return event;
}

// ---------------------------------------------------------------- message boxes

void SdlGui::AnswerOtherThreadsBoxes() {
  if (modalDepth_ > 0) return;  // answered once the open modal ends
  while (true) {
    PendingMessageBox* request = nullptr;
    {
      std::lock_guard lock(boxRequestMutex_);
      if (boxRequests_.empty()) return;
      request = boxRequests_.front();
      boxRequests_.pop_front();
    }
    const MessageBoxAnswer answer = MainThreadMessageBox(request->title, request->text, request->buttons);
    {
      std::lock_guard lock(boxRequestMutex_);
      request->answer = answer;
    }
    boxAnswered_.notify_all();
  }
}

MessageBoxAnswer SdlGui::MessageBox(std::string_view title, std::string_view text, MessageBoxButtons buttons) {
  if (std::this_thread::get_id() == guiThread_) return MainThreadMessageBox(title, text, buttons);

  PendingMessageBox request{std::string(title), std::string(text), buttons, std::nullopt};
  std::unique_lock lock(boxRequestMutex_);
  if (closing_ || TerminationRequested()) return HarmlessAnswer(buttons);
  // No SDL call from this thread (SDL's X11 wake-up would touch the display connection the GUI
  // thread is using): the GUI thread's loops look for requests at least every 30 ms.
  boxRequests_.push_back(&request);
  ++workerBoxesWaiting_;
  boxAnswered_.wait(lock, [&] { return request.answer.has_value(); });
  --workerBoxesWaiting_;
  boxAnswered_.notify_all();  // the destructor waits for the last waiter to leave
  return *request.answer;
}

void SdlGui::AnswerWorkerMessageBoxes() {
  std::lock_guard lock(boxRequestMutex_);
  AnswerWorkerMessageBoxesLocked();
}

void SdlGui::AnswerWorkerMessageBoxesLocked() {
  for (PendingMessageBox* request : boxRequests_)
    request->answer =
        request->buttons == MessageBoxButtons::kYesNo ? MessageBoxAnswer::kNo : MessageBoxAnswer::kOk;
  boxRequests_.clear();
  boxAnswered_.notify_all();
}

MessageBoxAnswer SdlGui::MainThreadMessageBox(std::string_view title, std::string_view text,
                                              MessageBoxButtons buttons) {
  if (TerminationRequested()) return HarmlessAnswer(buttons);
  MessageBoxAnswer answer;
  if (window_ == nullptr && videoStarted_) answer = MessageBoxInItsOwnWindow(title, text, buttons);
  else if (!CanDrawFrames() || messageBox_ || requester_) answer = NativeMessageBox(title, text, buttons);
  else answer = MessageBoxOverTheView(title, text, buttons);
  NoteModalClosed();
  return answer;
}

MessageBoxAnswer SdlGui::MessageBoxInItsOwnWindow(std::string_view title, std::string_view text,
                                                  MessageBoxButtons buttons) {
  RequestOpenGlContext();
  const std::string caption(title);
  SDL_Window* window = SDL_CreateWindow(caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                        kBoxWindowWidth, kBoxWindowHeight, SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN);
  SDL_GLContext context = window != nullptr ? SDL_GL_CreateContext(window) : nullptr;
  if (context == nullptr) {
    if (window != nullptr) SDL_DestroyWindow(window);
    return NativeMessageBox(title, text, buttons);
  }
  window_ = window;
  boxOwnsWindow_ = true;
  ImGui::SetCurrentContext(imgui_);
  sdlBackendReady_ = ImGui_ImplSDL2_InitForOpenGL(window_, context);
  const MessageBoxAnswer answer = MessageBoxOverTheView(title, text, buttons);
  ShutDownGuiBackends();
  SDL_GL_DeleteContext(context);
  SDL_DestroyWindow(window_);
  window_ = nullptr;
  boxOwnsWindow_ = false;
  return answer;
}

MessageBoxAnswer SdlGui::MessageBoxOverTheView(std::string_view title, std::string_view text,
                                               MessageBoxButtons buttons) {
  messageBox_ = ActiveMessageBox{std::string(title), DisplayText(text), buttons, std::nullopt};
  ++modalDepth_;
  while (!messageBox_->answer && !TerminationRequested()) {
    PumpSdlEvents();
    DrawFrame();
    WaitForInputOrTimeout(kModalFrameMs);
  }
  --modalDepth_;
  const MessageBoxAnswer answer = messageBox_->answer.value_or(HarmlessAnswer(buttons));
  messageBox_.reset();
  DrawFrame();  // take the box off the screen at once
  return answer;
}

MessageBoxAnswer SdlGui::NativeMessageBox(std::string_view title, std::string_view text,
                                          MessageBoxButtons buttons) {
  const std::string caption(title);
  const std::string shown = DisplayText(text);
  const bool question = buttons == MessageBoxButtons::kYesNo;
  if (videoStarted_) {
    const SDL_MessageBoxButtonData okButton[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "OK"}};
    const SDL_MessageBoxButtonData yesNoButtons[] = {
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 2, "No"},
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"}};
    SDL_MessageBoxData data{};
    data.flags = SDL_MESSAGEBOX_INFORMATION;
    data.window = window_;
    data.title = caption.c_str();
    data.message = shown.c_str();
    data.numbuttons = question ? 2 : 1;
    data.buttons = question ? yesNoButtons : okButton;
    int pressed = -1;
    if (SDL_ShowMessageBox(&data, &pressed) == 0) {
      if (!question) return MessageBoxAnswer::kOk;
      return pressed == 1 ? MessageBoxAnswer::kYes : MessageBoxAnswer::kNo;
    }
  }
  // No display at all: the text goes to the log, and a question is answered No.
  std::fprintf(stderr, "[%s] %s\n", caption.c_str(), shown.c_str());
  return question ? MessageBoxAnswer::kNo : MessageBoxAnswer::kOk;
}

// ---------------------------------------------------------------- file requesters

std::string SdlGui::RunFileRequester(bool save, std::string_view title, std::string_view defaultPath,
                                     std::string_view pattern, int patternIndex) {
  if (!CanDrawFrames() || messageBox_ || requester_ || TerminationRequested()) return {};
  requester_ = std::make_unique<ActiveRequester>(
      ActiveRequester{std::string(title), FileBrowser(save, defaultPath, pattern, patternIndex), std::nullopt});
  ++modalDepth_;
  while (!requester_->answer && !TerminationRequested()) {
    PumpSdlEvents();
    DrawFrame();
    WaitForInputOrTimeout(kModalFrameMs);
  }
  --modalDepth_;
  std::string answer = requester_->answer.value_or(std::string());
  requester_.reset();
  DrawFrame();
  NoteModalClosed();
  return answer;
}

std::string SdlGui::OpenFileRequester(std::string_view title, std::string_view defaultPath,
                                      std::string_view pattern, int patternIndex) {
  return RunFileRequester(false, title, defaultPath, pattern, patternIndex);
}

std::string SdlGui::SaveFileRequester(std::string_view title, std::string_view defaultPath,
                                      std::string_view pattern, int patternIndex) {
  return RunFileRequester(true, title, defaultPath, pattern, patternIndex);
}

}  // namespace orelens::platform
