#include "platform/files/file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <string>
#include <utility>

#include "platform/files/directory_listing.h"
#include "platform/files/path_resolver.h"

namespace orelens::platform {
namespace {

// What follows the replaced file's name in the name of its temporary: our mark, then the six
// letters or digits that mkstemp fills in.
constexpr std::string_view kTemporaryMark = ".orelens-tmp-";
constexpr size_t kTemporaryUniqueLength = 6;

// Removes the temporaries that replacements of target left when they were cut short: files named
// as Begin names them that no live replacement holds locked.
void RemoveStaleTemporaries(const std::string& target) {
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "./" : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  const std::string prefix = name + std::string(kTemporaryMark);
  for (const DirectoryEntry& entry :
       ListDirectory(folder, prefix + std::string(kTemporaryUniqueLength, '?'))) {
    const std::string_view candidate = entry.name;
    // The listing ignores case; our temporaries carry the exact name.
    if (entry.isFolder || candidate.size() != prefix.size() + kTemporaryUniqueLength ||
        candidate.substr(0, prefix.size()) != prefix ||
        !std::all_of(candidate.begin() + static_cast<std::ptrdiff_t>(prefix.size()), candidate.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; })) {
      continue;
    }
    const std::string leftover = folder + entry.name;
    const int descriptor = open(leftover.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (descriptor < 0) continue;
    // A replacement still writing holds its temporary locked.
    if (flock(descriptor, LOCK_EX | LOCK_NB) == 0) unlink(leftover.c_str());
    close(descriptor);
  }
}

}  // namespace

File::~File() { Close(); }

File::File(File&& other) noexcept : descriptor_(other.descriptor_) { other.descriptor_ = -1; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    descriptor_ = other.descriptor_;
    other.descriptor_ = -1;
  }
  return *this;
}

File File::Open(std::string_view path, FileMode mode) {
  std::string resolved = ResolvePath(path);
  if (resolved.empty()) return File();
  int flags = O_CLOEXEC;
  int lock = LOCK_EX;
  switch (mode) {
    case FileMode::kRead:
      flags |= O_RDONLY;
      lock = LOCK_SH;
      break;
    case FileMode::kReadWrite:
      flags |= O_RDWR | O_CREAT;
      break;
    case FileMode::kUpdate:
      flags |= O_RDWR;
      break;
    case FileMode::kCreate:
      flags |= O_RDWR | O_CREAT | O_TRUNC;
      break;
  }
  int descriptor = open(resolved.c_str(), flags, 0644);
  if (descriptor < 0) return File();
  struct stat info;
  if (fstat(descriptor, &info) != 0 || S_ISDIR(info.st_mode) || flock(descriptor, lock | LOCK_NB) != 0) {
    close(descriptor);
    return File();
  }
  return File(descriptor);
}

void File::Close() {
  if (descriptor_ >= 0) {
    close(descriptor_);
    descriptor_ = -1;
  }
}

size_t File::Read(std::span<uint8_t> buffer) {
  size_t total = 0;
  while (IsOpen() && total < buffer.size()) {
    ssize_t got = read(descriptor_, buffer.data() + total, buffer.size() - total);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    total += static_cast<size_t>(got);
  }
  return total;
}

std::vector<uint8_t> File::ReadAll() {
  std::vector<uint8_t> bytes;
  int64_t length = Length();
  if (length <= 0 || !Seek(0)) return bytes;
  bytes.resize(static_cast<size_t>(length));
  bytes.resize(Read(bytes));
  return bytes;
}

bool File::Write(std::span<const uint8_t> bytes) {
  size_t total = 0;
  while (IsOpen() && total < bytes.size()) {
    ssize_t put = write(descriptor_, bytes.data() + total, bytes.size() - total);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    total += static_cast<size_t>(put);
  }
  return IsOpen();
}

bool File::Seek(int64_t position) {
  return IsOpen() && position >= 0 && lseek(descriptor_, position, SEEK_SET) == position;
}

int64_t File::Position() const { return IsOpen() ? lseek(descriptor_, 0, SEEK_CUR) : -1; }

int64_t File::Length() const {
  struct stat info;
  if (!IsOpen() || fstat(descriptor_, &info) != 0) return -1;
  return info.st_size;
}

bool File::TruncateAtPosition() {
  int64_t position = Position();
  return position >= 0 && ftruncate(descriptor_, position) == 0;
}

bool File::Sync() { return IsOpen() && fdatasync(descriptor_) == 0; }

int64_t FileSize(std::string_view path) {
  std::string resolved = ResolvePath(path);
  struct stat info;
  if (resolved.empty() || stat(resolved.c_str(), &info) != 0) return -1;
  if (S_ISDIR(info.st_mode)) return -2;
  return info.st_size;
}

bool IsWritableFile(std::string_view path) {
  std::string resolved = ResolvePath(path);
  if (resolved.empty()) return false;
  // Opened for writing without creating or cutting it; non-blocking, so that a named pipe
  // nobody reads answers at once.
  int descriptor = open(resolved.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0) return false;
  close(descriptor);
  return true;
}

bool DeleteFile(std::string_view path) {
  std::string resolved = ResolvePath(path);
  return !resolved.empty() && unlink(resolved.c_str()) == 0;
}

ReplacementFile ReplacementFile::Begin(std::string_view path) {
  ReplacementFile replacement;
  std::string target = ResolvePath(path);
  if (target.empty() || target.back() == '/') return replacement;
  RemoveStaleTemporaries(target);
  std::string temporary = target + std::string(kTemporaryMark) + std::string(kTemporaryUniqueLength, 'X');
  const int descriptor = mkstemp(temporary.data());
  if (descriptor < 0) return replacement;
  // Held while it is written, so that no cleaning takes it for a leftover.
  flock(descriptor, LOCK_EX);
  replacement.file_ = File(descriptor);
  replacement.temporary_ = std::move(temporary);
  replacement.target_ = std::move(target);
  return replacement;
}

ReplacementFile::~ReplacementFile() { Abandon(); }

ReplacementFile::ReplacementFile(ReplacementFile&& other) noexcept
    : file_(std::move(other.file_)),
      temporary_(std::exchange(other.temporary_, {})),
      target_(std::move(other.target_)) {}

void ReplacementFile::Abandon() {
  if (!temporary_.empty()) unlink(temporary_.c_str());
  temporary_.clear();
}

bool ReplacementFile::Commit() {
  if (!IsOpen()) return false;
  struct stat old;
  const mode_t mode = stat(target_.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  const bool written = file_.Sync() && fchmod(file_.descriptor_, mode) == 0;
  file_.Close();
  if (!written || rename(temporary_.c_str(), target_.c_str()) != 0) {
    Abandon();
    return false;
  }
  temporary_.clear();
  return true;
}

bool ReplaceFileAtomically(std::string_view path, std::span<const uint8_t> bytes) {
  ReplacementFile replacement = ReplacementFile::Begin(path);
  return replacement.Write(bytes) && replacement.Commit();
}

}  // namespace orelens::platform
