#include "platform/dynlib/dynamic_library.h"

#include <dlfcn.h>

#include "platform/files/path_resolver.h"

namespace orelens::platform {

DynamicLibrary::~DynamicLibrary() { Release(); }

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
  if (this != &other) {
    Release();
    handle_ = other.handle_;
    other.handle_ = nullptr;
  }
  return *this;
}

DynamicLibrary DynamicLibrary::Load(const std::string& file) {
  DynamicLibrary library;
  if (!file.empty()) library.handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  return library;
}

void* DynamicLibrary::Symbol(const char* name) const { return handle_ ? dlsym(handle_, name) : nullptr; }

void DynamicLibrary::Release() {
  if (handle_) {
    dlclose(handle_);
    handle_ = nullptr;
  }
}

LibraryLocator::LibraryLocator() {
  entries_.push_back({std::string(kLz4LibraryName), "liblz4.so.1"});
  entries_.push_back({std::string(kMariaDbLibraryName), "libmariadb.so.3"});
}

void LibraryLocator::SetLibraryFile(std::string_view name, std::string file) {
  for (Entry& entry : entries_) {
    if (EqualsIgnoringCase(entry.name, name)) {
      entry.file = std::move(file);
      return;
    }
  }
  entries_.push_back({std::string(name), std::move(file)});
}

std::string LibraryLocator::FileFor(std::string_view name) const {
  for (const Entry& entry : entries_) {
    if (EqualsIgnoringCase(entry.name, name)) return entry.file;
  }
  return std::string(name);
}

}  // namespace orelens::platform
