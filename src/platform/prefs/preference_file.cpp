#include "platform/prefs/preference_file.h"

#include <algorithm>
#include <charconv>

#include "platform/files/path_resolver.h"
#include "platform/text/integer_text.h"

namespace orelens::platform {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::string Latin1ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (byte >> 6));
      out += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return out;
}

}  // namespace

std::optional<PreferenceFile> PreferenceFile::Open(std::string_view path) {
  return OpenWith(path, FileMode::kReadWrite);
}

std::optional<PreferenceFile> PreferenceFile::OpenForReading(std::string_view path) {
  return OpenWith(path, FileMode::kRead);
}

std::optional<PreferenceFile> PreferenceFile::OpenWith(std::string_view path, FileMode mode) {
  File file = File::Open(path, mode);
  if (!file.IsOpen()) return std::nullopt;
  std::vector<uint8_t> bytes = file.ReadAll();
  std::string_view content(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  PreferenceFile preferences(std::move(file));
  if (content.starts_with(kByteOrderMark)) {
    std::string_view text = content.substr(kByteOrderMark.size());
    // The mark stands on a line of its own: that line break is the mark's, not an empty line.
    if (text.starts_with("\r\n")) text.remove_prefix(2);
    else if (text.starts_with('\n')) text.remove_prefix(1);
    preferences.Parse(text);
  } else {
    preferences.Parse(Latin1ToUtf8(content));
  }
  return preferences;
}

std::optional<PreferenceFile> PreferenceFile::Create(std::string_view path) {
  File file = File::Open(path, FileMode::kCreate);
  if (!file.IsOpen()) return std::nullopt;
  PreferenceFile preferences(std::move(file));
  preferences.changed_ = true;
  return preferences;
}

PreferenceFile& PreferenceFile::operator=(PreferenceFile&& other) noexcept {
  if (this != &other) {
    Close();
    file_ = std::move(other.file_);
    lines_ = std::move(other.lines_);
    changed_ = other.changed_;
  }
  return *this;
}

PreferenceFile::~PreferenceFile() { Close(); }

void PreferenceFile::Parse(std::string_view content) {
  size_t start = 0;
  bool inGroup = false;  // keys after a "[Group]" line are the group's, not top-level ones
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string_view::npos) end = content.size();
    std::string_view line = content.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    size_t equals = line.find('=');
    std::string_view key = equals == std::string_view::npos ? std::string_view() : Trim(line.substr(0, equals));
    if (Trim(line).starts_with('[')) inGroup = true;
    bool isKeyLine = !inGroup && !key.empty() && key[0] != ';' && key[0] != '[';
    if (isKeyLine) {
      lines_.push_back({std::string(key), std::string(Trim(line.substr(equals + 1)))});
    } else {
      lines_.push_back({std::string(), std::string(line)});  // comments and empty lines are kept too
    }
  }
}

const PreferenceFile::Line* PreferenceFile::Find(std::string_view key) const {
  for (const Line& line : lines_) {
    if (!line.key.empty() && EqualsIgnoringCase(line.key, key)) return &line;
  }
  return nullptr;
}

std::string PreferenceFile::ReadString(std::string_view key, std::string_view defaultValue) const {
  const Line* line = Find(key);
  return std::string(line ? std::string_view(line->text) : defaultValue);
}

int64_t PreferenceFile::ReadInteger(std::string_view key, int64_t defaultValue) const {
  const Line* line = Find(key);
  return line ? ParseDecimalIntegerText(line->text) : defaultValue;
}

void PreferenceFile::WriteString(std::string_view key, std::string_view value) {
  changed_ = true;
  if (Line* line = Find(key)) {
    line->text = std::string(value);
    return;
  }
  // A new top-level key goes before the first group, which would otherwise take it in.
  auto firstGroup = std::find_if(lines_.begin(), lines_.end(), [](const Line& line) {
    return line.key.empty() && Trim(line.text).starts_with('[');
  });
  lines_.insert(firstGroup, {std::string(key), std::string(value)});
}

void PreferenceFile::WriteInteger(std::string_view key, int64_t value) {
  char digits[24];
  auto result = std::to_chars(digits, digits + sizeof(digits), value);
  WriteString(key, std::string_view(digits, result.ptr - digits));
}

bool PreferenceFile::Close() {
  if (!file_.IsOpen()) return true;
  bool written = true;
  if (changed_) {
    std::string content(kByteOrderMark);
    content += "\r\n";
    for (const Line& line : lines_) {
      if (line.key.empty()) {
        content += line.text;
      } else {
        content += line.key;
        content += " = ";
        content += line.text;
      }
      content += "\r\n";
    }
    auto bytes = std::span(reinterpret_cast<const uint8_t*>(content.data()), content.size());
    written = file_.Seek(0) && file_.Write(bytes) && file_.TruncateAtPosition();
  }
  file_.Close();
  changed_ = false;
  return written;
}

}  // namespace orelens::platform
