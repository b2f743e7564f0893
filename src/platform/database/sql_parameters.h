#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orelens::platform {

// One value bound to a statement's "?" by its 0-based index.
struct SqlParameter {
  enum class Kind { kUnbound, kText, kBlob };
  Kind kind = Kind::kUnbound;
  std::string bytes;  // valid UTF-8 text, or the blob's bytes
};

// The parameters bound since the last statement ran, indexed from 0.
class SqlParameterList {
 public:
  // The server takes text as UTF-8 and refuses what is not: invalid sequences become U+FFFD.
  void BindText(size_t index, std::string_view text);
  void BindBlob(size_t index, std::string_view bytes) { Set(index, SqlParameter::Kind::kBlob, bytes); }
  void Clear() { parameters_.clear(); }
  // Highest bound index + 1 (0 when nothing is bound). Gaps below it stay unbound (SQL NULL).
  size_t Count() const { return parameters_.size(); }
  const std::vector<SqlParameter>& Parameters() const { return parameters_; }

 private:
  void Set(size_t index, SqlParameter::Kind kind, std::string_view bytes);
  std::vector<SqlParameter> parameters_;
};

inline constexpr std::string_view kWrongParameterCountError = "Wrong number of bound parameters";

// The "?" characters that stand outside single-quoted text (each single quote toggles).
size_t CountPlaceholdersOutsideQuotes(std::string_view statement);

// Escapes text for use between single quotes (the client library's own escaping).
using SqlEscaper = std::function<std::string(std::string_view)>;

// The statement as sent to the server: every "?" outside single quotes replaced in order by its
// parameter, quoted and escaped (an unbound one by NULL). With no parameters the text stays as it
// is. nullopt when parameters are bound and their count differs from the placeholders'.
std::optional<std::string> ExpandQueryParameters(std::string_view statement,
                                                 const SqlParameterList& parameters,
                                                 const SqlEscaper& escape);

}  // namespace orelens::platform
