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

// The current metadata file of a world folder (ending with a separator): "WorldMetadata" + the
// highest number among its "*.important" files + ".important".
std::string CurrentMetadataFile(std::string_view worldFolder);

// Adds the chunk list of the world's current metadata file to the map and stores the player
// position; returns 1.0 when the map then holds more than 10 entries, else 0.0. A file that
// cannot be opened leaves map and position untouched. Only what the file holds is read: fields
// beyond its end read as 0.
double ReadWorldMetadata(WorldChunkMap& chunkMap, std::string_view worldFolder, PlayerPosition& position);

// Writes the position (engine X, Y up, engine Z) into the world's current metadata file. Only
// the 24 bytes of the position change, and only when the file is long enough to hold them.
void WritePlayerPosition(std::string_view worldFolder, double x, double y, double z);

}  // namespace orelens::world
