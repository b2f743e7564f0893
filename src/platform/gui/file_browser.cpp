#include "platform/gui/file_browser.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace orelens::platform {
namespace fs = std::filesystem;

namespace {

std::string WithSlashes(std::string_view path) {
  std::string converted(path);
  std::replace(converted.begin(), converted.end(), '\\', '/');
  return converted;
}

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
  });
}

bool IsFolder(const fs::path& path) {
  std::error_code error;
  return fs::is_directory(path, error);
}

std::string CurrentFolder() {
  std::error_code error;
  const fs::path current = fs::current_path(error);
  return error ? std::string("/") : current.string();
}

}  // namespace

FileBrowser::FileBrowser(bool save, std::string_view defaultPath, std::string_view pattern, int patternIndex)
    : save_(save), choices_(ParseFilePattern(pattern)) {
  choiceIndex_ = std::clamp(patternIndex, 0, static_cast<int>(choices_.size()) - 1);
  const std::string preset = WithSlashes(defaultPath);
  folder_ = CurrentFolder();
  if (!preset.empty()) {
    std::error_code error;
    const fs::path absolute = fs::absolute(fs::path(preset), error);
    if (!error && IsFolder(absolute)) {
      folder_ = absolute.lexically_normal().string();
    } else if (!error) {
      if (IsFolder(absolute.parent_path())) folder_ = absolute.parent_path().lexically_normal().string();
      fileName_ = absolute.filename().string();
    }
  }
  Refresh();
}

void FileBrowser::SelectChoice(int index) {
  if (index < 0 || index >= static_cast<int>(choices_.size())) return;
  choiceIndex_ = index;
  Refresh();
}

void FileBrowser::Refresh() {
  entries_.clear();
  std::vector<Entry> folders, files;
  std::error_code error;
  for (fs::directory_iterator it(folder_, fs::directory_options::skip_permission_denied, error), end;
       !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    std::error_code typeError;
    if (it->is_directory(typeError)) {
      folders.push_back({name, true});
    } else if (MatchesFilePattern(name, choices_[choiceIndex_])) {
      files.push_back({name, false});
    }
  }
  auto byName = [](const Entry& a, const Entry& b) { return LessIgnoringCase(a.name, b.name); };
  std::sort(folders.begin(), folders.end(), byName);
  std::sort(files.begin(), files.end(), byName);
  if (fs::path(folder_).has_relative_path()) entries_.push_back({"..", true});
  entries_.insert(entries_.end(), folders.begin(), folders.end());
  entries_.insert(entries_.end(), files.begin(), files.end());
}

void FileBrowser::Enter(std::string_view folderName) {
  fs::path next = folderName == ".." ? fs::path(folder_).parent_path() : fs::path(folder_) / fs::path(folderName);
  next = next.lexically_normal();
  if (IsFolder(next)) {
    folder_ = next.string();
    if (folder_.size() > 1 && folder_.back() == '/') folder_.pop_back();
  }
  Refresh();
}

std::string FileBrowser::Accept() {
  const std::string typed = WithSlashes(fileName_);
  if (typed.empty()) return {};
  const fs::path chosen = (fs::path(folder_) / fs::path(typed)).lexically_normal();
  if (IsFolder(chosen)) {
    folder_ = chosen.string();
    if (folder_.size() > 1 && folder_.back() == '/') folder_.pop_back();
    fileName_.clear();
    Refresh();
    return {};
  }
  if (!save_) {
    std::error_code error;
    if (!fs::is_regular_file(chosen, error)) return {};
  } else if (!IsFolder(chosen.parent_path()) || !chosen.has_filename()) {
    return {};
  }
  return chosen.string();
}

}  // namespace orelens::platform
