#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/files/file.h"

namespace orelens::platform {

// A preference file: "key = value" lines at the top level; lines from a "[Group]" line on belong
// to that group and are kept as they are, but never read as keys. Written as UTF-8 with a byte-order
// mark and "\r\n" line ends, one line per key in the order the keys were first written (keys
// already in the file keep their place; lines that are not keys, empty ones included, are kept as
// they were).
// Read with keys matched without regard to case and values trimmed of blanks and tabs; a file
// without the byte-order mark is read as ISO-8859-1. Changes reach the disk on Close() or when
// the object goes.
class PreferenceFile {
 public:
  // Opens an existing file for reading and writing; nullopt when it cannot be opened.
  static std::optional<PreferenceFile> Open(std::string_view path);
  // Opens an existing file for reading only (nothing can be written back); nullopt when it cannot
  // be opened.
  static std::optional<PreferenceFile> OpenForReading(std::string_view path);
  // Creates (or empties) the file; nullopt when it cannot be created.
  static std::optional<PreferenceFile> Create(std::string_view path);

  PreferenceFile(PreferenceFile&&) noexcept = default;
  PreferenceFile& operator=(PreferenceFile&&) noexcept;
  ~PreferenceFile();

  std::string ReadString(std::string_view key, std::string_view defaultValue) const;
  // Decimal digits only ("$1F" is not a number); a value that is not a number reads as 0; a
  // missing key gives the default.
  int64_t ReadInteger(std::string_view key, int64_t defaultValue) const;
  void WriteString(std::string_view key, std::string_view value);
  void WriteInteger(std::string_view key, int64_t value);

  // Writes the file back when it changed; false when that failed. The object is closed after.
  bool Close();

 private:
  struct Line {
    std::string key;  // empty for lines that are not "key = value"
    std::string text;  // the value, or the whole line when it is not a key line
  };

  explicit PreferenceFile(File file) : file_(std::move(file)) {}
  static std::optional<PreferenceFile> OpenWith(std::string_view path, FileMode mode);
  void Parse(std::string_view content);
  const Line* Find(std::string_view key) const;
  Line* Find(std::string_view key) { return const_cast<Line*>(std::as_const(*this).Find(key)); }

  File file_;
  std::vector<Line> lines_;
  bool changed_ = false;
};

}  // namespace orelens::platform
