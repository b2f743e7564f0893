#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/gui/gui_object_store.h"

namespace orelens::platform {

// Thrown by WaitWindowEvent when the script holds no event and no wait handler answers:
// a test that would otherwise hang fails instead.
class ScriptExhausted : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct RecordedMessageBox {
  std::string title;
  std::string text;  // as given, "\n\r" included
  MessageBoxButtons buttons = MessageBoxButtons::kOk;
  MessageBoxAnswer answer = MessageBoxAnswer::kOk;
  std::thread::id thread;  // the thread that asked
};

struct RecordedRequester {
  bool save = false;
  std::string title;
  std::string defaultPath;
  std::string pattern;
  int patternIndex = 0;
  std::string answer;
};

// A headless window system for tests. Windows, gadgets, fonts and menus are kept as records
// (see GuiObjectStore) that tests inspect; events, message box answers and file requester
// answers come from a script; every message box and requester is recorded.
//
// Events: WindowEventNoWait takes the next scripted entry (a queued kEventNone entry delays
// the following events by one poll); WaitWindowEvent skips kEventNone entries and, with an
// empty script, asks the wait handler, or throws ScriptExhausted.
//
// Message boxes may be called from any thread (a loader thread reports a missing library);
// they and their records are guarded by one mutex. Everything else is main thread only.
class ScriptedGui : public GuiObjectStore {
 public:
  // The size a maximised main window gets.
  explicit ScriptedGui(int screenWidth = 1280, int screenHeight = 800)
      : screenWidth_(screenWidth), screenHeight_(screenHeight), guiThread_(std::this_thread::get_id()) {}
  ~ScriptedGui() override;

  // ---- script ----
  void QueueEvent(const WindowEvent& event) { events_.push_back({event, {}}); }
  void QueueMenuEvent(int item, int window = 0) { QueueEvent({kEventMenu, window, item}); }
  // The event's window is the gadget's window at the time the event is taken.
  void QueueGadgetEvent(int gadget) { QueueEvent({kEventGadget, -1, gadget}); }
  // A click on the newest push button showing this text, found when the event is taken
  // (buttons made with number -1 have numbers a script cannot know in advance).
  void QueueButtonClick(std::string buttonText) { events_.push_back({{kEventGadget, -1, -1}, std::move(buttonText)}); }
  void QueueCloseEvent(int window = 0) { QueueEvent({kEventCloseWindow, window, -1}); }
  void QueueNoEvent(int polls = 1);
  size_t EventsLeft() const { return events_.size(); }
  // Called by WaitWindowEvent when the script is empty; it may queue events or return one.
  void SetWaitHandler(std::function<WindowEvent(ScriptedGui&)> handler) { waitHandler_ = std::move(handler); }
  // Called at the start of every WindowEventNoWait and WaitWindowEvent (for example to step a
  // ScriptedInput once per main-loop pass, or to queue events when the program reaches a point).
  void SetPollHook(std::function<void(ScriptedGui&)> hook) { pollHook_ = std::move(hook); }

  // Yes/No answers in order; with none left, Yes/No boxes get the default answer (No).
  void QueueYesNoAnswer(bool yes);
  void SetDefaultYesNoAnswer(bool yes);
  // With true, a message box asked for by another thread than the GUI's waits, as a real one
  // does for a person, until AnswerWorkerMessageBoxes answers it (or holding is switched off).
  void HoldWorkerMessageBoxes(bool hold);
  // Boxes of other threads waiting now.
  int WorkerMessageBoxesWaiting() const;
  // File requester answers in order; with none left, the requester is cancelled ("").
  void QueueFileAnswer(std::string path) { fileAnswers_.push_back(std::move(path)); }

  // ---- records ----
  std::vector<RecordedMessageBox> MessageBoxes() const;
  size_t MessageBoxCount() const;
  const std::vector<RecordedRequester>& Requesters() const { return requesters_; }
  int NoWaitCalls() const { return noWaitCalls_; }
  int WaitCalls() const { return waitCalls_; }

  // ---- Gui ----
  bool OpenMainWindow(int innerWidth, int innerHeight, std::string_view title,
                      const WindowStyle& style) override;
  MessageBoxAnswer MessageBox(std::string_view title, std::string_view text,
                              MessageBoxButtons buttons = MessageBoxButtons::kOk) override;
  void AnswerWorkerMessageBoxes() override;
  std::string OpenFileRequester(std::string_view title, std::string_view defaultPath,
                                std::string_view pattern, int patternIndex) override;
  std::string SaveFileRequester(std::string_view title, std::string_view defaultPath,
                                std::string_view pattern, int patternIndex) override;
  WindowEvent WindowEventNoWait() override;
  WindowEvent WaitWindowEvent() override;

 private:
  struct ScriptedEvent {
    WindowEvent event;
    std::string buttonText;  // non-empty: resolve the gadget by its text when taken
  };
  WindowEvent Resolve(const ScriptedEvent& scripted) const;
  void DropLeadingNoEvents();

  std::string AnswerRequester(bool save, std::string_view title, std::string_view defaultPath,
                              std::string_view pattern, int patternIndex);

  const int screenWidth_;
  const int screenHeight_;
  std::deque<ScriptedEvent> events_;
  std::function<WindowEvent(ScriptedGui&)> waitHandler_;
  std::function<void(ScriptedGui&)> pollHook_;
  std::deque<std::string> fileAnswers_;
  std::vector<RecordedRequester> requesters_;
  int noWaitCalls_ = 0;
  int waitCalls_ = 0;

  const std::thread::id guiThread_;
  mutable std::mutex messageMutex_;
  std::condition_variable workerBoxAnswered_;
  bool holdWorkerBoxes_ = false;              // guarded by messageMutex_
  int workerBoxesWaiting_ = 0;                // guarded by messageMutex_
  uint64_t workerBoxesAnswered_ = 0;          // guarded by messageMutex_; counts answering rounds
  std::deque<bool> yesNoAnswers_;             // guarded by messageMutex_
  bool defaultYes_ = false;                    // guarded by messageMutex_
  std::vector<RecordedMessageBox> messages_;  // guarded by messageMutex_
};

}  // namespace orelens::platform
