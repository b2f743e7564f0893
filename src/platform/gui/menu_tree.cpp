#include "platform/gui/menu_tree.h"

#include <functional>

namespace orelens::platform {

MenuNode* MenuTree::CurrentContainer() {
  if (openPath_.empty()) return nullptr;
  MenuNode* node = &titles_[openPath_.front()];
  for (size_t i = 1; i < openPath_.size(); ++i) node = &node->children[openPath_[i]];
  return node;
}

void MenuTree::AddTitle(std::string_view text) {
  titles_.push_back(MenuNode{MenuNode::Kind::kTitle, std::string(text), -1, false, {}});
  openPath_.assign(1, titles_.size() - 1);
}

void MenuTree::AddItem(int id, std::string_view text) {
  if (MenuNode* container = CurrentContainer()) {
    container->children.push_back(MenuNode{MenuNode::Kind::kItem, std::string(text), id, false, {}});
  }
}

void MenuTree::OpenSubMenu(std::string_view text) {
  if (MenuNode* container = CurrentContainer()) {
    container->children.push_back(MenuNode{MenuNode::Kind::kSubMenu, std::string(text), -1, false, {}});
    openPath_.push_back(container->children.size() - 1);
  }
}

void MenuTree::CloseSubMenu() {
  if (openPath_.size() > 1) openPath_.pop_back();
}

namespace {

bool ForEachItem(std::vector<MenuNode>& nodes, const std::function<void(MenuNode&)>& visit) {
  bool any = false;
  for (MenuNode& node : nodes) {
    if (node.kind == MenuNode::Kind::kItem) {
      visit(node);
      any = true;
    } else if (ForEachItem(node.children, visit)) {
      any = true;
    }
  }
  return any;
}

const MenuNode* FindItem(const std::vector<MenuNode>& nodes, int id) {
  for (const MenuNode& node : nodes) {
    if (node.kind == MenuNode::Kind::kItem) {
      if (node.id == id) return &node;
    } else if (const MenuNode* found = FindItem(node.children, id)) {
      return found;
    }
  }
  return nullptr;
}

void CollectItems(const std::vector<MenuNode>& nodes, const std::string& prefix,
                  std::vector<MenuItemPath>& items) {
  for (const MenuNode& node : nodes) {
    const std::string path = prefix.empty() ? node.text : prefix + "/" + node.text;
    if (node.kind == MenuNode::Kind::kItem) {
      items.push_back(MenuItemPath{path, node.id, node.checked});
    } else {
      CollectItems(node.children, path, items);
    }
  }
}

}  // namespace

bool MenuTree::SetChecked(int id, bool checked) {
  bool found = false;
  ForEachItem(titles_, [&](MenuNode& item) {
    if (item.id == id) {
      item.checked = checked;
      found = true;
    }
  });
  return found;
}

bool MenuTree::IsChecked(int id) const {
  const MenuNode* item = FindItem(titles_, id);
  return item != nullptr && item->checked;
}

std::vector<MenuItemPath> MenuTree::Items() const {
  std::vector<MenuItemPath> items;
  CollectItems(titles_, "", items);
  return items;
}

}  // namespace orelens::platform
