#pragma once

#include <optional>
#include <string_view>

#include "platform/dynlib/dynamic_library.h"
#include "platform/files/file.h"
#include "schematic/schematic_file.h"

namespace orelens::schematic {

// How reading a schematic file ended.
enum class SchematicReadStatus {
  kRead,
  // No room for a payload (20 bytes or less), or a stored size of 0 or less.
  kCannotAllocate,
  kNotASchematic,  // the magic is wrong
  kNoLz4,          // the LZ4 library cannot be loaded
  kUnpackFailed,   // the payload does not decompress to exactly its stored size
  kBadPayload,     // the sizes or the list counts do not fit the payload
  kOutOfMemory,    // the file, its payload or its cells did not fit in memory
};

struct SchematicReadResult {
  SchematicReadStatus status = SchematicReadStatus::kCannotAllocate;
  std::optional<SchematicContent> content;  // set when status is kRead
};

// Opens a schematic for reading only: loading never creates or changes the user's file.
platform::File OpenSchematicForReading(std::string_view path);

// Reads a whole schematic from an open file: header, trailer, the payload decompressed in one
// piece with the LZ4 library (loaded for this read and released after it), then its cells and lists.
// Memory that the file asks for and the system does not have ends the read with kOutOfMemory.
SchematicReadResult ReadSchematic(platform::File& file, const platform::LibraryLocator& libraries);

}  // namespace orelens::schematic
