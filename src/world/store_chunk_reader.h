#pragma once

#include <memory>
#include <string>

#include "world/chunk_database.h"
#include "world/loader_chunk_reader.h"

namespace orelens::platform {
class LibraryLocator;
}

namespace orelens::world {

// A loader's reader over the world's chunk store: its own LZ4 library and database connection,
// opened here and kept until the reader goes. nullptr when the LZ4 library cannot be loaded.
// The wait observer (the loader's, which ends a wait when the loader is told to stop) must
// outlive the reader.
std::unique_ptr<LoaderChunkReader> OpenStoreChunkReader(
    const platform::LibraryLocator& libraries, const std::string& worldFolder,
    int busyTimeoutMilliseconds = ChunkDatabase::kBusyTimeoutMilliseconds,
    DatabaseWaitObserver* waitObserver = nullptr);

}  // namespace orelens::world
