#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orelens::platform {

enum class FileMode {
  kRead,       // existing file, read only; others may read it too, nobody may hold it exclusively
  kReadWrite,  // read and write, created when missing; held exclusively
  kUpdate,     // existing file, read and write, never created; held exclusively
  kCreate,     // created or truncated to empty, read and write; held exclusively
};

// An open file, closed when the object goes. Paths go through ResolvePath. Sharing follows the
// game's platform: a file opened for reading shares with other readers, a file opened for
// writing shares with nobody (advisory locks, so other processes that do not lock are not held
// off).
class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // An object whose IsOpen() is false when the file cannot be opened (missing, a folder,
  // no permission, or held by another opener).
  static File Open(std::string_view path, FileMode mode);

  bool IsOpen() const { return descriptor_ >= 0; }
  void Close();

  // Reads up to buffer.size() bytes at the current position; the number read.
  size_t Read(std::span<uint8_t> buffer);
  // Reads the whole file from the start.
  std::vector<uint8_t> ReadAll();
  // Writes all bytes at the current position; false when not all could be written.
  bool Write(std::span<const uint8_t> bytes);
  bool Seek(int64_t position);
  int64_t Position() const;
  int64_t Length() const;
  // Cuts the file at the current position.
  bool TruncateAtPosition();
  // Forces the written bytes to the disk.
  bool Sync();

 private:
  friend class ReplacementFile;
  explicit File(int descriptor) : descriptor_(descriptor) {}
  int descriptor_ = -1;
};

// Size of a file in bytes; -1 when it is missing, -2 when it is a folder.
int64_t FileSize(std::string_view path);

// True when the file exists and this process may write to it (its permissions and its file
// system allow it). Whether another opener holds it at this moment is not asked; nothing is
// written or changed.
bool IsWritableFile(std::string_view path);

// Deletes a file; false when it could not be deleted.
bool DeleteFile(std::string_view path);

// A new content for a file, written beside it under a temporary name and put in its place only
// by Commit, so that readers see the old content or the new one whole, and a replacement that
// fails or is given up leaves the old file as it was and no temporary behind. The temporary is
// named after the file, then ".orelens-tmp-" and six letters or digits: a mark no user gives a
// file of their own. It is held locked while it is written; temporaries of this path that a kill
// or a crash left behind are removed when a new replacement of it begins, and nothing else is.
// The new file keeps the old one's permission bits; a file that did not exist gets 0644.
class ReplacementFile {
 public:
  ReplacementFile() = default;
  // IsOpen() is false when no temporary can be made beside the path.
  static ReplacementFile Begin(std::string_view path);
  ~ReplacementFile();  // removes the temporary unless it was committed
  ReplacementFile(ReplacementFile&& other) noexcept;
  ReplacementFile& operator=(ReplacementFile&& other) = delete;
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  bool IsOpen() const { return file_.IsOpen(); }
  // Appends the bytes to the new content; false when not all could be written.
  bool Write(std::span<const uint8_t> bytes) { return file_.Write(bytes); }
  // Forces the new content to the disk and puts it in place of the file. False when that fails;
  // the temporary is then removed and the file left as it was.
  bool Commit();

 private:
  void Abandon();

  File file_;
  std::string temporary_;  // empty once committed or removed
  std::string target_;
};

// Replaces the whole content of a file as ReplacementFile does.
bool ReplaceFileAtomically(std::string_view path, std::span<const uint8_t> bytes);

}  // namespace orelens::platform
