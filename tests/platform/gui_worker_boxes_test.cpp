// Message boxes asked for by worker threads, answered without a person when the program stops
// its workers.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/gui/scripted_gui.h"
#include "platform/gui/sdl_gui.h"

namespace orelens::platform {
namespace {

using namespace std::chrono_literals;

// Answers worker boxes until both threads have their answer (a box asked after one round waits
// for the next); false when that takes longer than the limit.
bool AnswerUntilBothReturn(Gui& gui, std::atomic<int>& returned) {
  const auto end = std::chrono::steady_clock::now() + 10s;
  while (returned.load() < 2) {
    if (std::chrono::steady_clock::now() > end) return false;
    gui.AnswerWorkerMessageBoxes();
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

TEST(GuiWorkerBoxes, TheRealGuiAnswersWaitingWorkerBoxesHarmlessly) {
  auto gui = std::make_unique<SdlGui>();  // no window: nothing on this thread would ever show the boxes
  std::atomic<int> returned{0};
  MessageBoxAnswer error = MessageBoxAnswer::kYes, question = MessageBoxAnswer::kYes;
  std::thread loader([&, boxes = gui.get()] {
    error = boxes->MessageBox("Error", "LZ4 couldn't be opened");
    ++returned;
  });
  std::thread asker([&, boxes = gui.get()] {
    question = boxes->MessageBox("Info", "Do it?", MessageBoxButtons::kYesNo);
    ++returned;
  });
  const bool answered = AnswerUntilBothReturn(*gui, returned);
  gui.reset();  // answers whatever still waits, and waits for the threads to leave it
  loader.join();
  asker.join();
  ASSERT_TRUE(answered);
  EXPECT_EQ(error, MessageBoxAnswer::kOk);
  EXPECT_EQ(question, MessageBoxAnswer::kNo);
}

TEST(GuiWorkerBoxes, ScriptedBoxesOfWorkersWaitUntilAnswered) {
  ScriptedGui gui;
  gui.HoldWorkerMessageBoxes(true);
  EXPECT_EQ(gui.MessageBox("Main", "not held"), MessageBoxAnswer::kOk);  // the GUI's own thread
  std::atomic<int> returned{0};
  MessageBoxAnswer question = MessageBoxAnswer::kYes;
  gui.QueueYesNoAnswer(true);  // scripted answers are for boxes that do not wait
  std::thread first([&] {
    gui.MessageBox("Error", "LZ4 couldn't be opened");
    ++returned;
  });
  std::thread second([&] {
    question = gui.MessageBox("Info", "Do it?", MessageBoxButtons::kYesNo);
    ++returned;
  });
  const auto end = std::chrono::steady_clock::now() + 10s;
  while (gui.WorkerMessageBoxesWaiting() < 2 && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(2ms);
  EXPECT_EQ(gui.WorkerMessageBoxesWaiting(), 2);
  EXPECT_EQ(returned.load(), 0);
  const bool answered = AnswerUntilBothReturn(gui, returned);
  first.join();
  second.join();
  ASSERT_TRUE(answered);
  EXPECT_EQ(question, MessageBoxAnswer::kNo);
  EXPECT_EQ(gui.MessageBoxCount(), 3u);
}

}  // namespace
}  // namespace orelens::platform
