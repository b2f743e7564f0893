#include "platform/database/sql_parameters.h"

#include "platform/text/utf8_text.h"

namespace orelens::platform {

void SqlParameterList::BindText(size_t index, std::string_view text) {
  Set(index, SqlParameter::Kind::kText, ValidUtf8(text));
}

void SqlParameterList::Set(size_t index, SqlParameter::Kind kind, std::string_view bytes) {
  if (index >= parameters_.size()) parameters_.resize(index + 1);
  parameters_[index].kind = kind;
  parameters_[index].bytes.assign(bytes);
}

size_t CountPlaceholdersOutsideQuotes(std::string_view statement) {
  size_t count = 0;
  bool insideQuotes = false;
  for (char c : statement) {
    if (c == '\'') {
      insideQuotes = !insideQuotes;
    } else if (c == '?' && !insideQuotes) {
      ++count;
    }
  }
  return count;
}

std::optional<std::string> ExpandQueryParameters(std::string_view statement,
                                                 const SqlParameterList& parameters,
                                                 const SqlEscaper& escape) {
  if (parameters.Count() == 0) return std::string(statement);
  if (CountPlaceholdersOutsideQuotes(statement) != parameters.Count()) return std::nullopt;

  std::string expanded;
  expanded.reserve(statement.size());
  bool insideQuotes = false;
  size_t next = 0;
  for (char c : statement) {
    if (c == '\'') insideQuotes = !insideQuotes;
    if (c != '?' || insideQuotes) {
      expanded.push_back(c);
      continue;
    }
    const SqlParameter& parameter = parameters.Parameters()[next++];
    if (parameter.kind == SqlParameter::Kind::kUnbound) {
      expanded += "NULL";
    } else {
      expanded += '\'';
      expanded += escape(parameter.bytes);
      expanded += '\'';
    }
  }
  return expanded;
}

}  // namespace orelens::platform
