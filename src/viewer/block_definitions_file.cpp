#include "viewer/block_definitions_file.h"

#include <expat.h>

#include <fstream>
#include <memory>

namespace orelens::viewer {
namespace {

struct ParserDeleter {
  void operator()(XML_ParserStruct* parser) const { XML_ParserFree(parser); }
};

// Collects the root's child elements while the parser runs; deeper elements are not kept.
class ElementCollector {
 public:
  explicit ElementCollector(BlockDefinitionFile& file) : file_(file) {}

  static void OnStart(void* self, const XML_Char* name, const XML_Char** attributes) {
    static_cast<ElementCollector*>(self)->Start(name, attributes);
  }
  static void OnEnd(void* self, const XML_Char*) { --static_cast<ElementCollector*>(self)->depth_; }
  static void OnText(void* self, const XML_Char* text, int length) {
    auto* collector = static_cast<ElementCollector*>(self);
    if (collector->depth_ == 2) collector->file_.elements.back().text.append(text, static_cast<size_t>(length));
  }

  bool SawRoot() const { return sawRoot_; }

 private:
  void Start(const XML_Char* name, const XML_Char** attributes) {
    ++depth_;
    if (depth_ == 1) sawRoot_ = true;
    if (depth_ != 2) return;
    BlockElement& element = file_.elements.emplace_back();
    element.name = name;
    for (int i = 0; attributes[i] && attributes[i + 1]; i += 2) {
      element.attributes.emplace_back(attributes[i], attributes[i + 1]);
    }
  }

  BlockDefinitionFile& file_;
  int depth_ = 0;
  bool sawRoot_ = false;
};

class BlockFileParser {
 public:
  BlockFileParser() : parser_(XML_ParserCreate(nullptr)), collector_(file_) {
    if (!parser_) return;
    XML_SetUserData(parser_.get(), &collector_);
    XML_SetElementHandler(parser_.get(), ElementCollector::OnStart, ElementCollector::OnEnd);
    XML_SetCharacterDataHandler(parser_.get(), ElementCollector::OnText);
  }

  // Returns false once the document is found to be malformed.
  bool Feed(std::string_view bytes, bool last) {
    if (!parser_) return Fail("out of memory", 0, 0);
    if (XML_Parse(parser_.get(), bytes.data(), static_cast<int>(bytes.size()), last) == XML_STATUS_OK) return true;
    return Fail(XML_ErrorString(XML_GetErrorCode(parser_.get())), XML_GetCurrentLineNumber(parser_.get()),
                XML_GetCurrentColumnNumber(parser_.get()));
  }

  BlockDefinitionFile Finish() {
    if (file_.status != BlockFileStatus::kMalformed) {
      file_.status = collector_.SawRoot() ? BlockFileStatus::kLoaded : BlockFileStatus::kNoRoot;
    }
    return std::move(file_);
  }

 private:
  bool Fail(const char* message, uint64_t line, uint64_t column) {
    file_.status = BlockFileStatus::kMalformed;
    file_.parseError = message ? message : "";
    file_.errorLine = line;
    file_.errorColumn = column;
    file_.elements.clear();
    return false;
  }

  BlockDefinitionFile file_;
  std::unique_ptr<XML_ParserStruct, ParserDeleter> parser_;
  ElementCollector collector_;
};

}  // namespace

BlockDefinitionFile ParseBlockDefinitionXml(std::string_view document) {
  BlockFileParser parser;
  constexpr size_t kChunk = 1 << 20;  // the parser takes int lengths; feed large texts in pieces
  bool ok = true;
  while (ok && document.size() > kChunk) {
    ok = parser.Feed(document.substr(0, kChunk), false);
    document.remove_prefix(kChunk);
  }
  if (ok) parser.Feed(document, true);
  return parser.Finish();
}

BlockDefinitionFile ReadBlockDefinitionFile(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return {};
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  BlockFileParser parser;
  std::string buffer(64 * 1024, '\0');
  bool ok = true;
  bool sawBytes = false;
  while (ok && in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const auto count = static_cast<size_t>(in.gcount());
    if (count == 0) break;
    sawBytes = true;
    ok = parser.Feed(std::string_view(buffer.data(), count), false);
  }
  if (!sawBytes || in.bad()) return {};
  if (ok) parser.Feed({}, true);
  return parser.Finish();
}

}  // namespace orelens::viewer
