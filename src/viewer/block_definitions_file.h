#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orelens::viewer {

// One child element of the block definition file's root: one block type.
struct BlockElement {
  std::string name;                                             // "AlphaBlock" or any other name
  std::vector<std::pair<std::string, std::string>> attributes;  // in document order
  std::string text;                                             // the element's own character data
};

enum class BlockFileStatus {
  kLoaded,
  kUnreadable,  // missing, a folder, unreadable or empty
  kMalformed,   // not well-formed XML; see parseError
  kNoRoot,
};

struct BlockDefinitionFile {
  BlockFileStatus status = BlockFileStatus::kUnreadable;
  std::vector<BlockElement> elements;  // the root's child elements in document order
  std::string parseError;              // the parser's message
  uint64_t errorLine = 0;              // as the parser reports them (lines from 1, columns from 0)
  uint64_t errorColumn = 0;
};

// Reads the file through the XML parser, which detects the encoding from the byte-order mark or
// the XML declaration (UTF-8 otherwise); texts come out as UTF-8.
BlockDefinitionFile ReadBlockDefinitionFile(const std::filesystem::path& path);
BlockDefinitionFile ParseBlockDefinitionXml(std::string_view document);

}  // namespace orelens::viewer
