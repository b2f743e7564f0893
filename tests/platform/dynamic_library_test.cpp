#include <gtest/gtest.h>

#include <numeric>

#include "platform/dynlib/dynamic_library.h"
#include "platform/dynlib/lz4_library.h"

namespace orelens::platform {
namespace {

TEST(LibraryLocator, MapsProgramNamesToSystemFiles) {
  LibraryLocator locator;
  EXPECT_EQ(locator.FileFor("lz4.dll"), "liblz4.so.1");
  EXPECT_EQ(locator.FileFor("LZ4.DLL"), "liblz4.so.1");
  EXPECT_EQ(locator.FileFor("libmariadb.dll"), "libmariadb.so.3");
  locator.SetLibraryFile("lz4.dll", "/nonexistent/liblz4.so");
  EXPECT_FALSE(locator.Load("lz4.dll").IsLoaded());
  EXPECT_EQ(Lz4Library::Load(locator), nullptr);
}

TEST(DynamicLibrary, LooksUpEntryPointsByName) {
  DynamicLibrary library = DynamicLibrary::Load("liblz4.so.1");
  ASSERT_TRUE(library.IsLoaded());
  EXPECT_NE(library.Symbol("LZ4_decompress_safe"), nullptr);
  EXPECT_EQ(library.Symbol("NoSuchFunction"), nullptr);
}

TEST(Lz4Library, RoundTripsAndReportsCapacityFaults) {
  auto lz4 = Lz4Library::Load(LibraryLocator());
  ASSERT_NE(lz4, nullptr);
  std::vector<uint8_t> source(10000);
  std::iota(source.begin(), source.end(), 0);
  std::vector<uint8_t> compressed(20000);
  int size = lz4->CompressDefault(source, compressed);
  ASSERT_GT(size, 0);
  std::vector<uint8_t> decoded(source.size());
  EXPECT_EQ(lz4->DecompressSafe(std::span(compressed).first(size), decoded), 10000);
  EXPECT_EQ(decoded, source);

  std::vector<uint8_t> small(100);
  EXPECT_LT(lz4->DecompressSafe(std::span(compressed).first(size), small), 0);
  EXPECT_EQ(lz4->CompressDefault(source, std::span(compressed).first(10)), 0);
  std::vector<uint8_t> garbage = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_LT(lz4->DecompressSafe(garbage, decoded), 0);
}

TEST(Lz4Library, MissingEntryPointsReturnZero) {
  // A library without the codec's entry points (the C library is always there).
  LibraryLocator locator;
  locator.SetLibraryFile("lz4.dll", "libc.so.6");
  auto lz4 = Lz4Library::Load(locator);
  ASSERT_NE(lz4, nullptr);
  std::vector<uint8_t> source(100, 1), destination(200);
  EXPECT_EQ(lz4->CompressDefault(source, destination), 0);
  EXPECT_EQ(lz4->DecompressSafe(source, destination), 0);
}

}  // namespace
}  // namespace orelens::platform
