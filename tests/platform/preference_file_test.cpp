#include <gtest/gtest.h>

#include <random>

#include "fixtures/world_writer.h"
#include "platform/prefs/preference_file.h"

namespace orelens::platform {
namespace {

using fixtures::ReadFileBytes;
using fixtures::TempFolder;
using fixtures::WriteBytesToFile;

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }
std::string Text(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

TEST(PreferenceFile, WritesByteOrderMarkAndKeysInFirstWrittenOrder) {
  TempFolder temp;
  std::string path = temp.path() + "prefs.ini";
  {
    auto file = PreferenceFile::Create(path);
    ASSERT_TRUE(file);
    file->WriteString("LastWorld", "Wörld");
    file->WriteInteger("ViewDistance", -150);
    file->WriteString("lastworld", "Again");  // same key, keeps its place
    ASSERT_TRUE(file->Close());
  }
  EXPECT_EQ(Text(ReadFileBytes(path)), "\xEF\xBB\xBF\r\nLastWorld = Again\r\nViewDistance = -150\r\n");
}

TEST(PreferenceFile, ReadsKeysWithoutCaseTrimsValuesAndParsesIntegers) {
  TempFolder temp;
  std::string path = temp.path() + "prefs.ini";
  WriteBytesToFile(path, Bytes("\xEF\xBB\xBF\r\n  savedir =  \t/a b/ \t\r\nViewDistance = far\nShadows=2\r\n\r\n"
                               "; comment = 1\r\n[Group]\r\n \t\r\nnoequals\r\n\r\n"));
  auto file = PreferenceFile::Open(path);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->ReadString("SaveDir", "default"), "/a b/");
  EXPECT_EQ(file->ReadInteger("ViewDistance", 150), 0);  // not a number reads 0
  EXPECT_EQ(file->ReadInteger("SHADOWS", 0), 2);
  EXPECT_EQ(file->ReadInteger("Missing", 150), 150);
  EXPECT_EQ(file->ReadString("; comment", "none"), "none");
  // Writing keeps the lines that are not keys, empty ones included, and the keys already there.
  file->WriteInteger("Shadows", 1);
  ASSERT_TRUE(file->Close());
  const std::string written = "\xEF\xBB\xBF\r\nsavedir = /a b/\r\nViewDistance = far\r\nShadows = 1\r\n\r\n"
                              "; comment = 1\r\n[Group]\r\n \t\r\nnoequals\r\n\r\n";
  EXPECT_EQ(Text(ReadFileBytes(path)), written);
  // Read and written again, the program's own file stays as it is: the line break after the
  // byte-order mark is the mark's, not an empty line.
  auto again = PreferenceFile::Open(path);
  ASSERT_TRUE(again);
  again->WriteInteger("Shadows", 1);
  ASSERT_TRUE(again->Close());
  EXPECT_EQ(Text(ReadFileBytes(path)), written);
}

TEST(PreferenceFile, IntegersAreDecimalDigitsOnly) {
  TempFolder temp;
  std::string path = temp.path() + "prefs.ini";
  WriteBytesToFile(path, Bytes("Hex = $12C\r\nBinary = %101\r\nSigned =  -17x\r\nPlus = +0600\r\n"));
  auto file = PreferenceFile::Open(path);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->ReadInteger("Hex", 150), 0);
  EXPECT_EQ(file->ReadInteger("Binary", 150), 0);
  EXPECT_EQ(file->ReadInteger("Signed", 0), -17);
  EXPECT_EQ(file->ReadInteger("Plus", 0), 600);
}

TEST(PreferenceFile, KeysOfAGroupAreNotTopLevelKeys) {
  TempFolder temp;
  std::string path = temp.path() + "prefs.ini";
  WriteBytesToFile(
      path, Bytes("\xEF\xBB\xBF\r\nShadows = 1\r\n[Other tool]\r\nViewDistance = 600\r\nShadows = 2\r\n"));
  auto file = PreferenceFile::Open(path);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->ReadInteger("ViewDistance", 150), 150);
  EXPECT_EQ(file->ReadInteger("Shadows", 0), 1);
  // Writing changes the top-level key and puts a new one before the group, leaving the group be.
  file->WriteInteger("Shadows", 0);
  file->WriteInteger("ViewDistance", 300);
  ASSERT_TRUE(file->Close());
  EXPECT_EQ(Text(ReadFileBytes(path)),
            "\xEF\xBB\xBF\r\nShadows = 0\r\nViewDistance = 300\r\n[Other tool]\r\nViewDistance = 600\r\n"
            "Shadows = 2\r\n");
  auto again = PreferenceFile::Open(path);
  EXPECT_EQ(again->ReadInteger("ViewDistance", 150), 300);
}

TEST(PreferenceFile, OpenForReadingNeedsNoWriteAccessAndWritesNothing) {
  TempFolder temp;
  std::string path = temp.path() + "prefs.ini";
  WriteBytesToFile(path, Bytes("LastWorld = Alpha\r\n"));
  // Another program holds the file open for reading: a writer cannot have it, a reader can.
  File other = File::Open(path, FileMode::kRead);
  ASSERT_TRUE(other.IsOpen());
  EXPECT_FALSE(PreferenceFile::Open(path));
  auto file = PreferenceFile::OpenForReading(path);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->ReadString("LastWorld", ""), "Alpha");
  EXPECT_TRUE(file->Close());
  EXPECT_EQ(Text(ReadFileBytes(path)), "LastWorld = Alpha\r\n");
}

TEST(PreferenceFile, FileWithoutByteOrderMarkIsLatin1) {
  TempFolder temp;
  std::string path = temp.path() + "prefs.ini";
  WriteBytesToFile(path, Bytes("LastWorld = W\xF6rld\r\n"));
  auto file = PreferenceFile::Open(path);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->ReadString("LastWorld", ""), "W\xC3\xB6rld");
}

TEST(PreferenceFile, OpenFailsOnFoldersAndUnwritableFiles) {
  TempFolder temp;
  EXPECT_FALSE(PreferenceFile::Open(temp.MakeFolder("prefs.ini")));
  EXPECT_FALSE(PreferenceFile::Create(temp.path() + "missing/prefs.ini"));
}

TEST(PreferenceFile, GarbageBinaryAndHugeLinesNeverCrash) {
  TempFolder temp;
  std::string path = temp.path() + "prefs.ini";
  std::mt19937 random(7);
  std::vector<uint8_t> garbage(64 * 1024);
  for (auto& byte : garbage) byte = static_cast<uint8_t>(random());
  WriteBytesToFile(path, garbage);
  {
    auto file = PreferenceFile::Open(path);
    ASSERT_TRUE(file);
    file->ReadString("SaveDir", "");
    file->ReadInteger("ViewDistance", 150);
  }
  std::string huge = "\xEF\xBB\xBFViewDistance = " + std::string(4 << 20, '7') + "\r\nKey" + std::string(1 << 20, ' ');
  WriteBytesToFile(path, Bytes(huge));
  auto file = PreferenceFile::Open(path);
  ASSERT_TRUE(file);
  file->ReadInteger("ViewDistance", 150);
  EXPECT_EQ(file->ReadString("Key", "none"), "none");
}

}  // namespace
}  // namespace orelens::platform
