#include "platform/gui/scripted_gui.h"

namespace orelens::platform {

WindowEvent ScriptedGui::Resolve(const ScriptedEvent& scripted) const {
  WindowEvent event = scripted.event;
  if (event.type != kEventGadget) return event;
  if (!scripted.buttonText.empty()) {
    for (int window : WindowNumbers()) {
      for (int gadget : GadgetsOf(window)) {
        const GadgetRecord* record = FindGadget(gadget);
        if (record->kind == GadgetRecord::Kind::kButton && record->text == scripted.buttonText) {
          event.item = gadget;
        }
      }
    }
  }
  if (const GadgetRecord* record = FindGadget(event.item)) event.window = record->window;
  return event;
}

void ScriptedGui::DropLeadingNoEvents() {
  while (!events_.empty() && events_.front().event.type == kEventNone) events_.pop_front();
}

void ScriptedGui::QueueNoEvent(int polls) {
  for (int i = 0; i < polls; ++i) QueueEvent({kEventNone, -1, -1});
}

void ScriptedGui::QueueYesNoAnswer(bool yes) {
  std::lock_guard lock(messageMutex_);
  yesNoAnswers_.push_back(yes);
}

void ScriptedGui::SetDefaultYesNoAnswer(bool yes) {
  std::lock_guard lock(messageMutex_);
  defaultYes_ = yes;
}

std::vector<RecordedMessageBox> ScriptedGui::MessageBoxes() const {
  std::lock_guard lock(messageMutex_);
  return messages_;
}

size_t ScriptedGui::MessageBoxCount() const {
  std::lock_guard lock(messageMutex_);
  return messages_.size();
}

bool ScriptedGui::OpenMainWindow(int innerWidth, int innerHeight, std::string_view title,
                                 const WindowStyle& style) {
  if (style.maximised) {
    innerWidth = screenWidth_;
    innerHeight = screenHeight_;
  }
  return GuiObjectStore::OpenMainWindow(innerWidth, innerHeight, title, style);
}

ScriptedGui::~ScriptedGui() {
  std::unique_lock lock(messageMutex_);
  holdWorkerBoxes_ = false;
  workerBoxAnswered_.notify_all();
  workerBoxAnswered_.wait(lock, [this] { return workerBoxesWaiting_ == 0; });
}

void ScriptedGui::HoldWorkerMessageBoxes(bool hold) {
  {
    std::lock_guard lock(messageMutex_);
    holdWorkerBoxes_ = hold;
  }
  workerBoxAnswered_.notify_all();
}

int ScriptedGui::WorkerMessageBoxesWaiting() const {
  std::lock_guard lock(messageMutex_);
  return workerBoxesWaiting_;
}

void ScriptedGui::AnswerWorkerMessageBoxes() {
  {
    std::lock_guard lock(messageMutex_);
    ++workerBoxesAnswered_;
  }
  workerBoxAnswered_.notify_all();
}

MessageBoxAnswer ScriptedGui::MessageBox(std::string_view title, std::string_view text,
                                         MessageBoxButtons buttons) {
  std::unique_lock lock(messageMutex_);
  RecordedMessageBox box{std::string(title), std::string(text), buttons, MessageBoxAnswer::kOk,
                         std::this_thread::get_id()};
  if (holdWorkerBoxes_ && box.thread != guiThread_) {
    // Waits like a box on the screen; answered with the harmless answer.
    box.answer = HarmlessAnswer(buttons);
    messages_.push_back(box);
    const uint64_t round = workerBoxesAnswered_;
    ++workerBoxesWaiting_;
    workerBoxAnswered_.wait(lock, [&] { return workerBoxesAnswered_ != round || !holdWorkerBoxes_; });
    --workerBoxesWaiting_;
    workerBoxAnswered_.notify_all();  // the destructor waits for the last waiter to leave
    return box.answer;
  }
  if (TerminationRequested()) {
    box.answer = HarmlessAnswer(buttons);
  } else if (buttons == MessageBoxButtons::kYesNo) {
    bool yes = defaultYes_;
    if (!yesNoAnswers_.empty()) {
      yes = yesNoAnswers_.front();
      yesNoAnswers_.pop_front();
    }
    box.answer = yes ? MessageBoxAnswer::kYes : MessageBoxAnswer::kNo;
  }
  messages_.push_back(box);
  NoteModalClosed();
  return box.answer;
}

std::string ScriptedGui::AnswerRequester(bool save, std::string_view title, std::string_view defaultPath,
                                         std::string_view pattern, int patternIndex) {
  RecordedRequester requester{save, std::string(title), std::string(defaultPath), std::string(pattern),
                              patternIndex, {}};
  if (!fileAnswers_.empty() && !TerminationRequested()) {
    requester.answer = std::move(fileAnswers_.front());
    fileAnswers_.pop_front();
  }
  requesters_.push_back(requester);
  NoteModalClosed();
  return requester.answer;
}

std::string ScriptedGui::OpenFileRequester(std::string_view title, std::string_view defaultPath,
                                           std::string_view pattern, int patternIndex) {
  return AnswerRequester(false, title, defaultPath, pattern, patternIndex);
}

std::string ScriptedGui::SaveFileRequester(std::string_view title, std::string_view defaultPath,
                                           std::string_view pattern, int patternIndex) {
  return AnswerRequester(true, title, defaultPath, pattern, patternIndex);
}

WindowEvent ScriptedGui::WindowEventNoWait() {
  ++noWaitCalls_;
  if (pollHook_) pollHook_(*this);
  if (events_.empty()) return {};
  const WindowEvent event = Resolve(events_.front());
  events_.pop_front();
  return event;
}

WindowEvent ScriptedGui::WaitWindowEvent() {
  ++waitCalls_;
  if (pollHook_) pollHook_(*this);
  if (TerminationRequested()) return {kEventCloseWindow, 0, -1};
  DropLeadingNoEvents();
  if (events_.empty() && waitHandler_) {
    const WindowEvent answered = waitHandler_(*this);
    if (answered.type != kEventNone) return answered;
    if (TerminationRequested()) return {kEventCloseWindow, 0, -1};
    DropLeadingNoEvents();
  }
  if (events_.empty()) throw ScriptExhausted("WaitWindowEvent: the script holds no further event");
  const WindowEvent event = Resolve(events_.front());
  events_.pop_front();
  return event;
}

}  // namespace orelens::platform
