#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/gui/file_pattern.h"

namespace orelens::platform {

// The state of an open or save file requester: the folder shown, its entries filtered by the
// chosen pattern, and the file name typed or picked. Drawing lives in the GUI; this part only
// touches the file system, so tests can drive it without a display.
class FileBrowser {
 public:
  struct Entry {
    std::string name;
    bool folder = false;
  };

  // defaultPath may name a folder, a file (its folder is shown and its name preset) or be
  // empty (the current folder). Both "/" and "\" separate its components.
  FileBrowser(bool save, std::string_view defaultPath, std::string_view pattern, int patternIndex);

  bool IsSave() const { return save_; }
  const std::string& Folder() const { return folder_; }
  // ".." first (except at the root), then folders, then the files the chosen pattern lets
  // through; names sorted without regard to case.
  const std::vector<Entry>& Entries() const { return entries_; }
  const std::vector<FilePatternChoice>& Choices() const { return choices_; }
  int ChoiceIndex() const { return choiceIndex_; }
  void SelectChoice(int index);

  std::string& FileName() { return fileName_; }
  // Shows a sub-folder of the current one, or the parent for "..".
  void Enter(std::string_view folderName);
  void Refresh();

  // The full path the requester answers with, or "" when the name cannot be taken yet:
  // empty, a folder (which is then shown instead), or for opening a file that does not exist.
  std::string Accept();

 private:
  bool save_;
  std::string folder_;
  std::vector<Entry> entries_;
  std::vector<FilePatternChoice> choices_;
  int choiceIndex_ = 0;
  std::string fileName_;
};

}  // namespace orelens::platform
