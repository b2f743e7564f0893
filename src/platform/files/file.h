#pragma once

#include <cstdint>
#include <span>
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
  friend bool ReplaceFileAtomically(std::string_view path, std::span<const uint8_t> bytes);
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

// Replaces the content of a file so that readers see either the old or the new content whole:
// the bytes go into a temporary file in the same folder (the path + "." + six letters or digits,
// locked while it is written), which is then renamed over the old one. The new file keeps the
// old one's permission bits; a new file gets 0644.
bool ReplaceFileAtomically(std::string_view path, std::span<const uint8_t> bytes);

// Removes the temporaries that replacements of this path left when they were cut short (a kill,
// a crash): files named as ReplaceFileAtomically names them that no live replacement holds
// locked. Nothing else is touched. The number removed.
int RemoveStaleReplacementTemporaries(std::string_view path);

}  // namespace orelens::platform
