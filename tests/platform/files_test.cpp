#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "fixtures/child_process.h"
#include "fixtures/world_writer.h"
#include "platform/files/byte_reader.h"
#include "platform/files/directory_listing.h"
#include "platform/files/file.h"
#include "platform/files/path_resolver.h"

namespace orelens::platform {
namespace {

using fixtures::ReadFileBytes;
using fixtures::TempFolder;
using fixtures::WriteBytesToFile;

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

TEST(PathResolver, BothSeparatorsAndCaseInsensitiveParts) {
  TempFolder temp;
  temp.MakeFolder("Textures/Block_prev");
  WriteBytesToFile(temp.path() + "Textures/Toolblock.png", Bytes("x"));
  EXPECT_EQ(ResolvePath(temp.path() + "textures\\TOOLBLOCK.PNG"), temp.path() + "Textures/Toolblock.png");
  EXPECT_EQ(ResolvePath(temp.path() + "TEXTURES/block_prev\\"), temp.path() + "Textures/Block_prev/");
  // A missing part stays as written, and so does everything after it.
  EXPECT_EQ(ResolvePath(temp.path() + "Textures\\missing\\a.png"), temp.path() + "Textures/missing/a.png");
  // An exact name wins over a case-insensitive one.
  temp.MakeFolder("textures");
  EXPECT_EQ(ResolvePath(temp.path() + "textures/"), temp.path() + "textures/");
}

TEST(FileSize, GivesSizeOrMissingOrFolder) {
  TempFolder temp;
  WriteBytesToFile(temp.path() + "five", Bytes("12345"));
  EXPECT_EQ(FileSize(temp.path() + "FIVE"), 5);
  EXPECT_EQ(FileSize(temp.path() + "none"), -1);
  EXPECT_EQ(FileSize(temp.path()), -2);
  EXPECT_EQ(FileSize(""), -1);
}

TEST(FileSize, IsWritableFileAsksPermissionWithoutWritingOrWaiting) {
  TempFolder temp;
  const std::string file = temp.path() + "prefs.ini";
  WriteBytesToFile(file, Bytes("kept"));
  ASSERT_EQ(mkfifo((temp.path() + "pipe").c_str(), 0600), 0);
  const auto openDescriptors = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                         std::filesystem::directory_iterator());
  };
  const auto descriptorsBefore = openDescriptors();
  EXPECT_TRUE(IsWritableFile(temp.path() + "PREFS.INI"));
  EXPECT_EQ(openDescriptors(), descriptorsBefore);  // the file was let go again
  EXPECT_FALSE(IsWritableFile(""));
  EXPECT_FALSE(IsWritableFile(temp.path() + "none"));
  EXPECT_FALSE(IsWritableFile(temp.path()));
  EXPECT_FALSE(IsWritableFile(temp.path() + "pipe"));  // nobody reads it: answered at once
  EXPECT_EQ(ReadFileBytes(file), Bytes("kept"));
  EXPECT_FALSE(std::filesystem::exists(temp.path() + "none"));

  fixtures::HandToUnprivilegedUser(temp.path());
  std::filesystem::permissions(file, std::filesystem::perms::owner_read);
  EXPECT_EQ(fixtures::RunInChild([&] { return std::string(IsWritableFile(file) ? "writable" : "not writable"); },
                                 fixtures::DropPrivileges),
            "not writable");
}

TEST(DirectoryListing, MatchesPatternsWithoutRegardToCase) {
  EXPECT_TRUE(MatchesPattern("WorldMetadata12.important", "*.important"));
  EXPECT_TRUE(MatchesPattern("a.IMPORTANT", "*.important"));
  EXPECT_FALSE(MatchesPattern("a.important.bak", "*.important"));
  EXPECT_TRUE(MatchesPattern("noextension", "*.*"));
  EXPECT_TRUE(MatchesPattern("ab", "a?"));
  EXPECT_FALSE(MatchesPattern("abc", "a?"));

  TempFolder temp;
  temp.MakeFolder("sub.important");
  WriteBytesToFile(temp.path() + "x.important", Bytes(""));
  WriteBytesToFile(temp.path() + "y.txt", Bytes(""));
  auto entries = ListDirectory(temp.path(), "*.important");
  ASSERT_EQ(entries.size(), 2u);
  for (const auto& entry : entries) EXPECT_EQ(entry.isFolder, entry.name == "sub.important");
  auto all = ListDirectory(temp.path(), "*.*");
  EXPECT_EQ(all.size(), 5u);  // with "." and ".."
  EXPECT_TRUE(ListDirectory(temp.path() + "missing/", "*.*").empty());
}

TEST(File, ReadWriteSeekLengthAndTruncate) {
  TempFolder temp;
  std::string path = temp.path() + "data.bin";
  {
    File file = File::Open(path, FileMode::kReadWrite);  // created when missing
    ASSERT_TRUE(file.IsOpen());
    EXPECT_TRUE(file.Write(Bytes("hello world")));
    EXPECT_EQ(file.Length(), 11);
    ASSERT_TRUE(file.Seek(5));
    EXPECT_TRUE(file.TruncateAtPosition());
    EXPECT_EQ(file.Length(), 5);
  }
  File file = File::Open(path, FileMode::kRead);
  ASSERT_TRUE(file.IsOpen());
  EXPECT_EQ(file.ReadAll(), Bytes("hello"));
  std::vector<uint8_t> buffer(10);
  ASSERT_TRUE(file.Seek(3));
  EXPECT_EQ(file.Read(buffer), 2u);
  EXPECT_FALSE(file.Write(Bytes("x")));
  file.Close();

  File created = File::Open(path, FileMode::kCreate);
  ASSERT_TRUE(created.IsOpen());
  EXPECT_EQ(created.Length(), 0);
}

TEST(File, OpenFailsForMissingFoldersAndExclusiveHolders) {
  TempFolder temp;
  EXPECT_FALSE(File::Open(temp.path() + "missing", FileMode::kRead).IsOpen());
  EXPECT_FALSE(File::Open(temp.path() + "no/such/folder/file", FileMode::kReadWrite).IsOpen());
  EXPECT_FALSE(File::Open(temp.path(), FileMode::kRead).IsOpen());

  std::string path = temp.path() + "held";
  File writer = File::Open(path, FileMode::kReadWrite);
  ASSERT_TRUE(writer.IsOpen());
  EXPECT_FALSE(File::Open(path, FileMode::kRead).IsOpen());
  EXPECT_FALSE(File::Open(path, FileMode::kReadWrite).IsOpen());
  writer.Close();
  File reader1 = File::Open(path, FileMode::kRead);
  File reader2 = File::Open(path, FileMode::kRead);
  EXPECT_TRUE(reader1.IsOpen());
  EXPECT_TRUE(reader2.IsOpen());
  EXPECT_FALSE(File::Open(path, FileMode::kReadWrite).IsOpen());
}

TEST(File, AtomicReplaceLeavesOnlyTheNewContent) {
  TempFolder temp;
  std::string path = temp.path() + "7.chunks";
  WriteBytesToFile(path, Bytes("old record, longer"));
  ASSERT_TRUE(ReplaceFileAtomically(path, Bytes("new")));
  EXPECT_EQ(ReadFileBytes(path), Bytes("new"));
  // No temporary file is left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temp.path()), {}), 1);
  EXPECT_FALSE(ReplaceFileAtomically(temp.path() + "missing/folder/x", Bytes("x")));
  EXPECT_TRUE(DeleteFile(path));
  EXPECT_FALSE(DeleteFile(path));
}

// The names in a folder, sorted.
std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// A replacement is written beside the file and takes its place only on Commit: given up, or
// failing, it leaves the file as it was and no temporary. One still being written is never taken
// for the leftover of a replacement that was cut short.
TEST(File, ReplacementTakesThePlaceOfTheFileOnlyWhenCommitted) {
  TempFolder temp;
  const std::string path = temp.path() + "a.kvSch";
  WriteBytesToFile(path, Bytes("old"));
  {
    ReplacementFile givenUp = ReplacementFile::Begin(path);
    ASSERT_TRUE(givenUp.IsOpen());
    EXPECT_TRUE(givenUp.Write(Bytes("new")));
    EXPECT_EQ(NamesIn(temp.path()).size(), 2u) << "the temporary stands beside the file";
  }
  EXPECT_EQ(ReadFileBytes(path), Bytes("old"));
  EXPECT_EQ(NamesIn(temp.path()), std::vector<std::string>{"a.kvSch"});

  ReplacementFile first = ReplacementFile::Begin(path);
  ASSERT_TRUE(first.Write(Bytes("first")));
  {
    ReplacementFile second = ReplacementFile::Begin(path);  // cleans leftovers: not the first's temporary
    ASSERT_TRUE(second.IsOpen());
    EXPECT_EQ(NamesIn(temp.path()).size(), 3u);
  }
  EXPECT_TRUE(first.Commit());
  EXPECT_EQ(ReadFileBytes(path), Bytes("first"));
  EXPECT_EQ(NamesIn(temp.path()), std::vector<std::string>{"a.kvSch"});

  // A folder of the file's name cannot be replaced: the commit fails and takes its temporary along.
  const std::string folder = temp.MakeFolder("b.kvSch");
  WriteBytesToFile(folder + "inside", Bytes("x"));
  ReplacementFile overFolder = ReplacementFile::Begin(temp.path() + "b.kvSch");
  ASSERT_TRUE(overFolder.Write(Bytes("new")));
  EXPECT_FALSE(overFolder.Commit());
  EXPECT_EQ(NamesIn(temp.path()), (std::vector<std::string>{"a.kvSch", "b.kvSch"}));
  ReplacementFile inMissingFolder = ReplacementFile::Begin(temp.path() + "missing/x");
  EXPECT_FALSE(inMissingFolder.IsOpen());
  EXPECT_FALSE(inMissingFolder.Commit());
}

TEST(ByteReader, RefusesReadsPastTheEndWithoutMoving) {
  const std::vector<uint8_t> bytes = {1, 0, 0, 0, 0xFF, 0xFF};
  ByteReader reader(bytes);
  int32_t value = 0;
  EXPECT_TRUE(reader.ReadI32(value));
  EXPECT_EQ(value, 1);
  EXPECT_FALSE(reader.ReadI32(value));
  EXPECT_EQ(reader.Position(), 4u);
  int16_t small = 0;
  EXPECT_TRUE(reader.ReadI16(small));
  EXPECT_EQ(small, -1);
  EXPECT_FALSE(reader.Skip(1));
  EXPECT_FALSE(reader.Seek(7));
  EXPECT_FALSE(reader.Skip(UINT64_MAX));
  EXPECT_FALSE(ReadValueAt(std::span(bytes), UINT64_MAX - 1, value));
  std::vector<uint8_t> target(2);
  EXPECT_FALSE(WriteValueAt(std::span(target), 0, value));
}

}  // namespace
}  // namespace orelens::platform
