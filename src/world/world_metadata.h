#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orelens::world {

// Chunk id by chunk origin key "X,Z" (engine units, ChunkOriginKey).
using WorldChunkMap = std::unordered_map<std::string, int32_t>;

// A position in engine units: x (engine X), z (engine Z), height (engine Y).
struct PlayerPosition {
  float x = 0;
  float z = 0;
  float height = 0;
};

// Names of the world folders in the order they were found.
using WorldList = std::vector<std::string>;

// "X,Z" in decimal: the one key form for chunk positions.
std::string ChunkOriginKey(int32_t originX, int32_t originZ);

// Appends the name of every folder directly in `folder` (ending with a separator) that holds a
// "*.important" file.
void ListWorldFolders(WorldList& list, std::string_view folder);

// The current metadata file of a world folder (ending with a separator): the "*.important" file
// whose name, between "WorldMetadata" and ".important", reads as the highest number. The name is
// the one the file has ("WorldMetadata007.important"); among files of the same number the one
// spelt "WorldMetadata" + the number in decimal + ".important" is taken. A folder without such a
// file gives "WorldMetadata0.important", which does not exist.
std::string CurrentMetadataFile(std::string_view worldFolder);

// Adds the chunk list of the world's current metadata file to the map and stores the player
// position; returns 1.0 when the map then holds more than 10 entries, else 0.0. The file is only
// read, never created: a file missing from an existing world folder reads as an empty one (no
// chunks, the position (0, 0, 2.0)); one that cannot be opened leaves map and position untouched. Only what
// the file holds is read: fields beyond its end, and a position the counts do not place inside the file, read
// as 0. The position is read where the counts place it whatever their sign: B follows the chunk
// entries (none for a count of 0 or less), and a negative B moves the position back.
double ReadWorldMetadata(WorldChunkMap& chunkMap, std::string_view worldFolder, PlayerPosition& position);

// How writing the player position ended.
enum class PositionWriteResult {
  kWritten,
  kCannotOpen,     // no metadata file, or another program holds it
  kUnknownLayout,  // the counts do not place the position inside the file: nothing is written
  kWriteFailed,    // the file could not be written
};

// Writes the position (engine X, Y up, engine Z) into the world's current metadata file. Only
// the 24 bytes of the position change, and only where the reader finds the position with both
// counts zero or more and the position inside the file; with a negative count nothing is written.
// The file is never created.
PositionWriteResult WritePlayerPosition(std::string_view worldFolder, double x, double y, double z);

}  // namespace orelens::world
