// The GUI layer drawn over the 3D view each frame: menu bar, secondary windows with their
// gadgets, and the modal message box or file requester.
#include <SDL2/SDL.h>
#include <imgui.h>
#include <imgui_internal.h>
#include <imgui_stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/gui/gui_text.h"
#include "platform/gui/sdl_gui.h"

namespace orelens::platform {

namespace {

// ImGui takes a text as a begin and end pointer and measures one without an end with strlen:
// every text goes to it as a range that is never null, the empty one included.
struct TextRange {
  const char* begin;
  const char* end;
};
TextRange RangeOf(std::string_view text) {
  static constexpr char kEmpty[] = "";
  if (text.data() == nullptr) return {kEmpty, kEmpty};
  return {text.data(), text.data() + text.size()};
}

void DrawMenuNodes(const std::vector<MenuNode>& nodes, std::deque<WindowEvent>& events,
                   const std::function<void(std::string_view, ImVec2, ImVec2)>& note) {
  for (size_t i = 0; i < nodes.size(); ++i) {
    const MenuNode& node = nodes[i];
    ImGui::PushID(static_cast<int>(i));
    if (node.kind == MenuNode::Kind::kItem) {
      if (ImGui::MenuItem(node.text.c_str(), nullptr, node.checked)) events.push_back({kEventMenu, 0, node.id});
      note(node.text, ImGui::GetItemRectMin(), ImGui::GetItemRectMax());
    } else {
      // Once open, the item rectangle belongs to the sub-menu's window: note the title first.
      const ImVec2 at = ImGui::GetCursorScreenPos();
      const ImVec2 text = ImGui::CalcTextSize(node.text.c_str());
      const ImVec2 padding = ImGui::GetStyle().FramePadding;
      note(node.text, at, ImVec2(at.x + text.x + padding.x * 2.0f, at.y + text.y + padding.y));
      if (ImGui::BeginMenu(node.text.c_str())) {
        DrawMenuNodes(node.children, events, note);
        ImGui::EndMenu();
      }
    }
    ImGui::PopID();
  }
}

// Splits a text into the lines it shows in a box of the given width: its own line breaks,
// then word wrapping. An empty line is an empty view into the text, never a null one.
std::vector<std::string_view> WrappedLines(ImFont* font, float fontSize, std::string_view text, float width) {
  std::vector<std::string_view> lines;
  const float scale = fontSize / font->FontSize;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const char* lineBegin = text.data() + start;
    const char* lineEnd = text.data() + end;
    if (lineBegin == lineEnd) lines.emplace_back(lineBegin, 0);
    while (lineBegin < lineEnd) {
      const char* wrap = font->CalcWordWrapPositionA(scale, lineBegin, lineEnd, std::max(width, 1.0f));
      if (wrap == lineBegin) wrap = lineBegin + 1;  // a word wider than the box still advances
      lines.emplace_back(lineBegin, static_cast<size_t>(wrap - lineBegin));
      lineBegin = wrap;
      while (lineBegin < lineEnd && *lineBegin == ' ') ++lineBegin;
    }
    start = end + 1;
  }
  return lines;
}

}  // namespace

void SdlGui::NoteControl(std::string_view text) {
  NoteControlAt(text, ImGui::GetItemRectMin(), ImGui::GetItemRectMax());
}

void SdlGui::NoteControlAt(std::string_view text, ImVec2 min, ImVec2 max) {
  drawnControls_[std::string(text)] = ControlRect{min.x, min.y, max.x - min.x, max.y - min.y};
}

void SdlGui::DrawMenuBar() {
  const MenuRecord* menu = MenuOfWindow(0);
  if (menu == nullptr || menu->tree.Titles().empty()) return;
  if (!ImGui::BeginMainMenuBar()) return;
  DrawMenuNodes(menu->tree.Titles(), events_,
                [this](std::string_view text, ImVec2 min, ImVec2 max) { NoteControlAt(text, min, max); });
  ImGui::EndMainMenuBar();
}

void SdlGui::DrawSecondaryWindows() {
  const ImVec2 display = ImGui::GetIO().DisplaySize;
  const float top = static_cast<float>(ClientTop());
  const float titleHeight = ImGui::GetFrameHeight();
  const bool popupOpen = ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopup);  // a menu, box or requester
  for (int number : WindowNumbers()) {
    if (number == 0) continue;
    WindowRecord* record = MutableWindow(number);
    if (record == nullptr || record->hidden) continue;

    const ImVec2 size(static_cast<float>(record->innerWidth), static_cast<float>(record->innerHeight) + titleHeight);
    if (placementPending_[number]) {
      ImVec2 position(static_cast<float>(record->x), top + static_cast<float>(record->y));
      if (record->style.centred) {
        position = ImVec2((display.x - size.x) * 0.5f, top + (display.y - top - size.y) * 0.5f);
      }
      ImGui::SetNextWindowPos(ImVec2(std::max(0.0f, position.x), std::max(top, position.y)), ImGuiCond_Always);
      placementPending_[number] = false;
    }
    ImGui::SetNextWindowSize(size, ImGuiCond_Always);

    ImGuiWindowFlags flags = ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoResize |
                             ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoScrollWithMouse |
                             ImGuiWindowFlags_NoSavedSettings;
    bool keepOpen = true;
    const std::string label = record->title + "###window" + std::to_string(number);
    ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0, 0));
    const bool visible = ImGui::Begin(label.c_str(), record->style.toolWindow ? nullptr : &keepOpen, flags);
    ImGui::PopStyleVar();
    // Kept-above windows stay over the other windows, but never over an open menu, message box or
    // requester: a person must see what they just opened, and answer a box.
    if (record->style.keptAbove && modalDepth_ == 0 && !popupOpen)
      ImGui::BringWindowToDisplayFront(ImGui::GetCurrentWindow());
    const ImVec2 position = ImGui::GetWindowPos();
    NoteControlAt(record->title, position, ImVec2(position.x + size.x, position.y + titleHeight));
    record->x = static_cast<int>(position.x);
    record->y = static_cast<int>(position.y - top);
    if (visible) {
      for (int gadget : GadgetsOf(number)) DrawGadget(gadget, position.x, position.y + titleHeight);
    }
    ImGui::End();
    if (!keepOpen) events_.push_back({kEventCloseWindow, number, -1});
  }
}

void SdlGui::DrawGadget(int gadget, float originX, float originY) {
  const GadgetRecord* record = FindGadget(gadget);
  if (record == nullptr) return;
  const ImVec2 min(originX + static_cast<float>(record->x), originY + static_cast<float>(record->y));
  const ImVec2 size(static_cast<float>(record->width), static_cast<float>(record->height));
  const ImVec2 max(min.x + size.x, min.y + size.y);
  ImDrawList* draw = ImGui::GetWindowDrawList();
  ImGui::PushID(gadget);
  switch (record->kind) {
    case GadgetRecord::Kind::kProgressBar: {
      draw->AddRectFilled(min, max, ImGui::GetColorU32(ImGuiCol_FrameBg));
      const ImU32 fill = ImGui::GetColorU32(ImGuiCol_PlotHistogram);
      if (record->marquee) {
        // A block sweeping across the bar, one pass every 1.5 s.
        const float chunk = size.x * 0.25f;
        const float phase = static_cast<float>(SDL_GetTicks() % 1500) / 1500.0f;
        const float left = min.x - chunk + phase * (size.x + chunk);
        draw->AddRectFilled(ImVec2(std::max(min.x, left), min.y), ImVec2(std::min(max.x, left + chunk), max.y), fill);
      } else {
        const int range = record->maximum - record->minimum;
        const float fraction = range > 0 ? static_cast<float>(record->state - record->minimum) / range : 0.0f;
        draw->AddRectFilled(min, ImVec2(min.x + size.x * fraction, max.y), fill);
      }
      break;
    }
    case GadgetRecord::Kind::kText: {
      ImFont* font = FontOrDefault(record->font);
      const float fontSize = font->FontSize;
      const std::string shown = DisplayText(record->text);
      draw->PushClipRect(min, max, true);
      float y = min.y;
      for (std::string_view line : WrappedLines(font, fontSize, shown, size.x)) {
        const TextRange range = RangeOf(line);
        const ImVec2 extent = font->CalcTextSizeA(fontSize, FLT_MAX, 0.0f, range.begin, range.end);
        const float x = record->centred ? min.x + (size.x - extent.x) * 0.5f : min.x;
        draw->AddText(font, fontSize, ImVec2(x, y), ImGui::GetColorU32(ImGuiCol_Text), range.begin,
                      range.end);
        y += fontSize;
      }
      draw->PopClipRect();
      NoteControlAt(record->text, min, max);
      break;
    }
    case GadgetRecord::Kind::kButton: {
      ImGui::PushFont(FontOrDefault(record->font));
      ImGui::SetCursorScreenPos(min);
      const std::string shown = DisplayText(record->text);
      if (ImGui::Button(shown.c_str(), size)) events_.push_back({kEventGadget, record->window, gadget});
      NoteControl(record->text);
      ImGui::PopFont();
      break;
    }
  }
  ImGui::PopID();
}

void SdlGui::DrawMessageBox() {
  if (!messageBox_) return;
  constexpr const char* kPopupId = "###message box";
  if (!ImGui::IsPopupOpen(kPopupId)) ImGui::OpenPopup(kPopupId);
  const ImVec2 display = ImGui::GetIO().DisplaySize;
  ImGui::SetNextWindowPos(ImVec2(display.x * 0.5f, display.y * 0.5f), ImGuiCond_Always, ImVec2(0.5f, 0.5f));
  const std::string label = messageBox_->title + kPopupId;
  if (!ImGui::BeginPopupModal(label.c_str(), nullptr,
                              ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoSavedSettings |
                                  ImGuiWindowFlags_NoMove)) {
    return;
  }
  ImGui::PushTextWrapPos(std::min(640.0f, display.x * 0.8f));
  ImGui::TextUnformatted(messageBox_->text.c_str());
  ImGui::PopTextWrapPos();
  ImGui::Spacing();
  const ImVec2 buttonSize(90.0f, 0.0f);
  const bool enter = ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Enter), false) ||
                     ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_KeyPadEnter), false);
  const bool escape = ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Escape), false);
  std::optional<MessageBoxAnswer> answer;
  if (messageBox_->buttons == MessageBoxButtons::kYesNo) {
    if (ImGui::Button("Yes", buttonSize) || enter) answer = MessageBoxAnswer::kYes;
    NoteControl("Yes");
    ImGui::SameLine();
    if (ImGui::Button("No", buttonSize) || escape) answer = answer ? answer : MessageBoxAnswer::kNo;
    NoteControl("No");
  } else {
    if (ImGui::Button("OK", buttonSize) || enter || escape) answer = MessageBoxAnswer::kOk;
    NoteControl("OK");
  }
  if (answer) {
    messageBox_->answer = answer;
    ImGui::CloseCurrentPopup();
  }
  ImGui::EndPopup();
}

void SdlGui::DrawFileRequester() {
  if (!requester_) return;
  FileBrowser& browser = requester_->browser;
  constexpr const char* kPopupId = "###file requester";
  if (!ImGui::IsPopupOpen(kPopupId)) ImGui::OpenPopup(kPopupId);
  const ImVec2 display = ImGui::GetIO().DisplaySize;
  ImGui::SetNextWindowPos(ImVec2(display.x * 0.5f, display.y * 0.5f), ImGuiCond_Always, ImVec2(0.5f, 0.5f));
  ImGui::SetNextWindowSize(ImVec2(std::min(720.0f, display.x - 20.0f), std::min(480.0f, display.y - 40.0f)),
                           ImGuiCond_Always);
  const std::string label = requester_->title + kPopupId;
  if (!ImGui::BeginPopupModal(label.c_str(), nullptr, ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoMove)) {
    return;
  }
  ImGui::TextUnformatted(browser.Folder().c_str());
  const float footer = ImGui::GetFrameHeightWithSpacing() * 2.0f + ImGui::GetStyle().ItemSpacing.y;
  std::optional<std::string> enterFolder;
  bool accept = false;
  if (ImGui::BeginChild("entries", ImVec2(0, -footer), true)) {
    for (const FileBrowser::Entry& entry : browser.Entries()) {
      const std::string shown = entry.folder ? "[" + entry.name + "]" : entry.name;
      const bool selected = !entry.folder && entry.name == browser.FileName();
      if (ImGui::Selectable(shown.c_str(), selected, ImGuiSelectableFlags_AllowDoubleClick)) {
        if (entry.folder) {
          if (ImGui::IsMouseDoubleClicked(0)) enterFolder = entry.name;
        } else {
          browser.FileName() = entry.name;
          accept = ImGui::IsMouseDoubleClicked(0);
        }
      }
    }
  }
  ImGui::EndChild();
  if (enterFolder) browser.Enter(*enterFolder);

  ImGui::SetNextItemWidth(-220.0f);
  if (ImGui::IsWindowAppearing()) ImGui::SetKeyboardFocusHere();  // typing goes to the name at once
  if (ImGui::InputText("##name", &browser.FileName(), ImGuiInputTextFlags_EnterReturnsTrue)) accept = true;
  ImGui::SameLine();
  ImGui::SetNextItemWidth(-1.0f);
  const auto& choices = browser.Choices();
  if (ImGui::BeginCombo("##pattern", choices[browser.ChoiceIndex()].label.c_str())) {
    for (int i = 0; i < static_cast<int>(choices.size()); ++i) {
      if (ImGui::Selectable(choices[i].label.c_str(), i == browser.ChoiceIndex())) browser.SelectChoice(i);
    }
    ImGui::EndCombo();
  }
  if (ImGui::Button(browser.IsSave() ? "Save" : "Open", ImVec2(90.0f, 0.0f))) accept = true;
  NoteControl(browser.IsSave() ? "Save" : "Open");
  ImGui::SameLine();
  bool cancel = ImGui::Button("Cancel", ImVec2(90.0f, 0.0f)) ||
                ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Escape), false);
  NoteControl("Cancel");

  if (accept) {
    std::string chosen = browser.Accept();
    if (!chosen.empty()) requester_->answer = std::move(chosen);
  }
  if (cancel && !requester_->answer) requester_->answer = std::string();
  if (requester_->answer) ImGui::CloseCurrentPopup();
  ImGui::EndPopup();
}

}  // namespace orelens::platform
