#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orelens::platform {

// A shared library loaded with dlopen, released when the object goes.
class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  ~DynamicLibrary();
  DynamicLibrary(DynamicLibrary&& other) noexcept;
  DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  // IsLoaded() is false when the file cannot be loaded.
  static DynamicLibrary Load(const std::string& file);

  bool IsLoaded() const { return handle_ != nullptr; }
  // The address of an entry point, nullptr when the library has none of that name.
  void* Symbol(const char* name) const;
  void Release();

 private:
  void* handle_ = nullptr;
};

// Maps the library names the program asks for to the files that provide them on this system.
// Tests point a name at a missing file to make its loading fail.
class LibraryLocator {
 public:
  LibraryLocator();

  void SetLibraryFile(std::string_view name, std::string file);
  // The file for a name; an unknown name is taken as a file name itself.
  std::string FileFor(std::string_view name) const;
  DynamicLibrary Load(std::string_view name) const { return DynamicLibrary::Load(FileFor(name)); }

 private:
  struct Entry {
    std::string name;
    std::string file;
  };
  std::vector<Entry> entries_;
};

inline constexpr std::string_view kLz4LibraryName = "lz4.dll";
inline constexpr std::string_view kMariaDbLibraryName = "libmariadb.dll";

}  // namespace orelens::platform
