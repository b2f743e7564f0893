#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orelens::platform {

// A menu bar as built by the menu calls: titles on the bar, sub-menus and items below them.
struct MenuNode {
  enum class Kind { kTitle, kSubMenu, kItem };
  Kind kind = Kind::kItem;
  std::string text;
  int id = -1;           // items only
  bool checked = false;  // items only
  std::vector<MenuNode> children;
};

// One item with the texts leading to it: "Visuals/Shadows/Simple".
struct MenuItemPath {
  std::string path;
  int id = -1;
  bool checked = false;
};

class MenuTree {
 public:
  // Builder calls, in the order the program makes them. Items and sub-menus before the first
  // title have no place on a bar and are dropped; a CloseSubMenu with none open is ignored.
  void AddTitle(std::string_view text);
  void AddItem(int id, std::string_view text);
  void OpenSubMenu(std::string_view text);
  void CloseSubMenu();

  // Check marks by item id; every item with that id is marked. False when no item has the id.
  bool SetChecked(int id, bool checked);
  bool IsChecked(int id) const;

  const std::vector<MenuNode>& Titles() const { return titles_; }
  std::vector<MenuItemPath> Items() const;

 private:
  MenuNode* CurrentContainer();

  std::vector<MenuNode> titles_;
  // Indexes from the current title down through the open sub-menus (rebuilt pointers would
  // dangle when a vector grows).
  std::vector<size_t> openPath_;
};

}  // namespace orelens::platform
