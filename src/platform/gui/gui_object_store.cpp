#include "platform/gui/gui_object_store.h"

#include <algorithm>

namespace orelens::platform {

bool GuiObjectStore::OpenMainWindow(int innerWidth, int innerHeight, std::string_view title,
                                    const WindowStyle& style) {
  return GuiObjectStore::OpenWindow(0, 0, 0, innerWidth, innerHeight, title, style) == 0;
}

int GuiObjectStore::OpenWindow(int number, int x, int y, int innerWidth, int innerHeight,
                               std::string_view title, const WindowStyle& style) {
  if (number < -1) return -1;
  if (number == -1) number = NextNumber();
  if (windows_.count(number) != 0) CloseWindow(number);
  WindowRecord record;
  record.number = number;
  record.x = x;
  record.y = y;
  record.innerWidth = std::max(0, innerWidth);
  record.innerHeight = std::max(0, innerHeight);
  record.title = std::string(title);
  record.style = style;
  windows_[number] = std::move(record);
  windowOrder_.push_back(number);
  gadgetListWindow_ = number;
  return number;
}

void GuiObjectStore::HideWindow(int window, bool hidden) {
  if (WindowRecord* record = MutableWindow(window)) record->hidden = hidden;
}

void GuiObjectStore::CloseWindow(int window) {
  if (windows_.erase(window) == 0) return;
  windowOrder_.erase(std::remove(windowOrder_.begin(), windowOrder_.end(), window), windowOrder_.end());
  for (auto it = gadgets_.begin(); it != gadgets_.end();) {
    if (it->second.window == window) {
      gadgetOrder_.erase(std::remove(gadgetOrder_.begin(), gadgetOrder_.end(), it->first), gadgetOrder_.end());
      it = gadgets_.erase(it);
    } else {
      ++it;
    }
  }
  for (auto it = menus_.begin(); it != menus_.end();) {
    it = it->second.window == window ? menus_.erase(it) : std::next(it);
  }
  if (gadgetListWindow_ == window) gadgetListWindow_ = windowOrder_.empty() ? -1 : windowOrder_.back();
  OnWindowClosed(window);
}

bool GuiObjectStore::IsWindow(int window) { return windows_.count(window) != 0; }

bool GuiObjectStore::IsWindowHidden(int window) {
  const WindowRecord* record = FindWindow(window);
  return record != nullptr && record->hidden;
}

std::string GuiObjectStore::WindowTitle(int window) {
  const WindowRecord* record = FindWindow(window);
  return record != nullptr ? record->title : std::string();
}

int GuiObjectStore::WindowInnerWidth(int window) {
  const WindowRecord* record = FindWindow(window);
  return record != nullptr ? record->innerWidth : 0;
}

int GuiObjectStore::WindowInnerHeight(int window) {
  const WindowRecord* record = FindWindow(window);
  return record != nullptr ? record->innerHeight : 0;
}

void GuiObjectStore::MoveWindowTo(int window, int x, int y) {
  if (WindowRecord* record = MutableWindow(window)) {
    record->x = x;
    record->y = y;
    record->style.centred = false;
  }
}

bool GuiObjectStore::LoadFont(int number, std::string_view name, int size) {
  if (number < 0 || size <= 0 || name.empty()) return false;
  fonts_[number] = FontRecord{std::string(name), size};
  return true;
}

int GuiObjectStore::AddGadget(int number, GadgetRecord gadget) {
  if (number < -1 || windows_.count(gadgetListWindow_) == 0) return -1;
  if (number == -1) number = NextNumber();
  gadget.window = gadgetListWindow_;
  gadget.width = std::max(0, gadget.width);
  gadget.height = std::max(0, gadget.height);
  if (gadgets_.count(number) == 0) gadgetOrder_.push_back(number);
  gadgets_[number] = std::move(gadget);
  return number;
}

int GuiObjectStore::ProgressBarGadget(int number, int x, int y, int w, int h, int minimum, int maximum) {
  GadgetRecord gadget;
  gadget.kind = GadgetRecord::Kind::kProgressBar;
  gadget.x = x;
  gadget.y = y;
  gadget.width = w;
  gadget.height = h;
  gadget.minimum = std::min(minimum, maximum);
  gadget.maximum = std::max(minimum, maximum);
  gadget.state = gadget.minimum;
  return AddGadget(number, std::move(gadget));
}

void GuiObjectStore::SetProgressMarquee(int gadget, bool on) {
  GadgetRecord* record = MutableGadget(gadget);
  if (record != nullptr && record->kind == GadgetRecord::Kind::kProgressBar) record->marquee = on;
}

int GuiObjectStore::TextGadget(int number, int x, int y, int w, int h, std::string_view text, bool centred) {
  GadgetRecord gadget;
  gadget.kind = GadgetRecord::Kind::kText;
  gadget.x = x;
  gadget.y = y;
  gadget.width = w;
  gadget.height = h;
  gadget.text = std::string(text);
  gadget.centred = centred;
  return AddGadget(number, std::move(gadget));
}

int GuiObjectStore::ButtonGadget(int number, int x, int y, int w, int h, std::string_view text) {
  GadgetRecord gadget;
  gadget.kind = GadgetRecord::Kind::kButton;
  gadget.x = x;
  gadget.y = y;
  gadget.width = w;
  gadget.height = h;
  gadget.text = std::string(text);
  gadget.centred = true;
  return AddGadget(number, std::move(gadget));
}

void GuiObjectStore::SetGadgetFont(int gadget, int font) {
  if (GadgetRecord* record = MutableGadget(gadget)) record->font = font;
}

void GuiObjectStore::SetGadgetState(int gadget, int state) {
  GadgetRecord* record = MutableGadget(gadget);
  if (record != nullptr && record->kind == GadgetRecord::Kind::kProgressBar) {
    record->state = std::clamp(state, record->minimum, record->maximum);
  }
}

int GuiObjectStore::GetGadgetState(int gadget) {
  const GadgetRecord* record = FindGadget(gadget);
  return record != nullptr ? record->state : 0;
}

void GuiObjectStore::SetGadgetText(int gadget, std::string_view text) {
  if (GadgetRecord* record = MutableGadget(gadget)) record->text = std::string(text);
}

std::string GuiObjectStore::GetGadgetText(int gadget) {
  const GadgetRecord* record = FindGadget(gadget);
  return record != nullptr ? record->text : std::string();
}

bool GuiObjectStore::IsGadget(int gadget) { return gadgets_.count(gadget) != 0; }

bool GuiObjectStore::CreateMenuBar(int menu, int window) {
  if (menu < 0 || windows_.count(window) == 0) return false;
  for (auto it = menus_.begin(); it != menus_.end();) {
    it = it->second.window == window ? menus_.erase(it) : std::next(it);
  }
  menus_[menu] = MenuRecord{window, MenuTree{}};
  buildingMenu_ = menu;
  return true;
}

void GuiObjectStore::MenuTitle(std::string_view title) {
  if (auto it = menus_.find(buildingMenu_); it != menus_.end()) it->second.tree.AddTitle(title);
}

void GuiObjectStore::MenuItem(int id, std::string_view text) {
  if (auto it = menus_.find(buildingMenu_); it != menus_.end()) it->second.tree.AddItem(id, text);
}

void GuiObjectStore::OpenSubMenu(std::string_view text) {
  if (auto it = menus_.find(buildingMenu_); it != menus_.end()) it->second.tree.OpenSubMenu(text);
}

void GuiObjectStore::CloseSubMenu() {
  if (auto it = menus_.find(buildingMenu_); it != menus_.end()) it->second.tree.CloseSubMenu();
}

void GuiObjectStore::SetMenuItemState(int menu, int id, bool checked) {
  if (auto it = menus_.find(menu); it != menus_.end()) it->second.tree.SetChecked(id, checked);
}

bool GuiObjectStore::GetMenuItemState(int menu, int id) {
  const MenuRecord* record = FindMenu(menu);
  return record != nullptr && record->tree.IsChecked(id);
}

const WindowRecord* GuiObjectStore::FindWindow(int window) const {
  auto it = windows_.find(window);
  return it != windows_.end() ? &it->second : nullptr;
}

const GadgetRecord* GuiObjectStore::FindGadget(int gadget) const {
  auto it = gadgets_.find(gadget);
  return it != gadgets_.end() ? &it->second : nullptr;
}

const FontRecord* GuiObjectStore::FindFont(int font) const {
  auto it = fonts_.find(font);
  return it != fonts_.end() ? &it->second : nullptr;
}

const MenuRecord* GuiObjectStore::FindMenu(int menu) const {
  auto it = menus_.find(menu);
  return it != menus_.end() ? &it->second : nullptr;
}

std::vector<int> GuiObjectStore::WindowNumbers() const { return windowOrder_; }

std::vector<int> GuiObjectStore::GadgetsOf(int window) const {
  std::vector<int> numbers;
  for (int number : gadgetOrder_) {
    if (gadgets_.at(number).window == window) numbers.push_back(number);
  }
  return numbers;
}

GadgetRecord* GuiObjectStore::MutableGadget(int gadget) {
  auto it = gadgets_.find(gadget);
  return it != gadgets_.end() ? &it->second : nullptr;
}

WindowRecord* GuiObjectStore::MutableWindow(int window) {
  auto it = windows_.find(window);
  return it != windows_.end() ? &it->second : nullptr;
}

MenuRecord* GuiObjectStore::MenuOfWindow(int window) {
  for (auto& [number, menu] : menus_) {
    if (menu.window == window) return &menu;
  }
  return nullptr;
}

}  // namespace orelens::platform
