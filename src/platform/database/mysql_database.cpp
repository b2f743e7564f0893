#include "platform/database/mysql_database.h"

#include <mariadb/errmsg.h>

#include <vector>

namespace orelens::platform {

MySqlDatabase::~MySqlDatabase() {
  FinishQuery();
  api_.close(connection_);
}

void MySqlDatabase::RememberClientError() {
  lastError_ = api_.error(connection_);
  NoteLostConnection(api_.error_number(connection_));
}

void MySqlDatabase::RememberStatementError(MYSQL_STMT* statement) {
  lastError_ = api_.stmt_error(statement);
  NoteLostConnection(api_.stmt_error_number(statement));
}

void MySqlDatabase::NoteLostConnection(unsigned errorNumber) {
  // The client ends a connection whose server went silent past the read timeout (lost) or
  // closed it (gone); it does not reconnect.
  if (errorNumber == CR_SERVER_LOST || errorNumber == CR_SERVER_GONE_ERROR) connectionLost_ = true;
}

bool MySqlDatabase::Query(std::string_view statement) {
  FinishQuery();
  const auto escape = [this](std::string_view text) {
    // The client needs room for every byte escaped plus the terminating zero.
    std::string escaped(text.size() * 2 + 1, '\0');
    const unsigned long length = api_.real_escape_string(connection_, escaped.data(), text.data(),
                                                         static_cast<unsigned long>(text.size()));
    escaped.resize(length);
    return escaped;
  };
  const std::optional<std::string> expanded = ExpandQueryParameters(statement, parameters_, escape);
  parameters_.Clear();
  if (!expanded) {
    lastError_ = kWrongParameterCountError;
    return false;
  }
  if (api_.real_query(connection_, expanded->data(), static_cast<unsigned long>(expanded->size())) != 0) {
    RememberClientError();
    return false;
  }
  result_ = api_.use_result(connection_);
  if (!result_ && api_.field_count(connection_) != 0) {
    RememberClientError();
    return false;
  }
  return true;
}

bool MySqlDatabase::NextRow() {
  if (!result_) return false;
  if (api_.fetch_row(result_)) return true;
  // The rows come while they are read: the server may stall or go in the middle of them.
  NoteLostConnection(api_.error_number(connection_));
  return false;
}

void MySqlDatabase::FinishQuery() {
  if (result_) {
    api_.free_result(result_);
    result_ = nullptr;
  }
}

bool MySqlDatabase::Update(std::string_view statement) {
  FinishQuery();
  SqlParameterList parameters;
  std::swap(parameters, parameters_);  // cleared whatever happens below

  MYSQL_STMT* prepared = api_.stmt_init(connection_);
  if (!prepared) {
    RememberClientError();
    return false;
  }
  struct StatementCloser {
    const MySqlClientApi& api;
    MYSQL_STMT* statement;
    ~StatementCloser() { api.stmt_close(statement); }
  } closer{api_, prepared};

  if (api_.stmt_prepare(prepared, statement.data(), static_cast<unsigned long>(statement.size())) != 0) {
    RememberStatementError(prepared);
    return false;
  }
  const unsigned long placeholders = api_.stmt_param_count(prepared);
  if (placeholders != parameters.Count()) {
    lastError_ = kWrongParameterCountError;
    return false;
  }
  std::vector<MYSQL_BIND> bindings(parameters.Count());
  std::vector<unsigned long> lengths(parameters.Count());
  for (size_t i = 0; i < parameters.Count(); ++i) {
    const SqlParameter& parameter = parameters.Parameters()[i];
    MYSQL_BIND& binding = bindings[i];
    switch (parameter.kind) {
      case SqlParameter::Kind::kUnbound:
        binding.buffer_type = MYSQL_TYPE_NULL;
        continue;
      case SqlParameter::Kind::kText:
        binding.buffer_type = MYSQL_TYPE_STRING;
        break;
      case SqlParameter::Kind::kBlob:
        binding.buffer_type = MYSQL_TYPE_BLOB;
        break;
    }
    lengths[i] = static_cast<unsigned long>(parameter.bytes.size());
    // The client only reads the buffer; its interface takes a plain pointer.
    binding.buffer = const_cast<char*>(parameter.bytes.data());
    binding.buffer_length = lengths[i];
    binding.length = &lengths[i];
  }
  if (!bindings.empty() && api_.stmt_bind_param(prepared, bindings.data()) != 0) {
    RememberStatementError(prepared);
    return false;
  }
  if (api_.stmt_execute(prepared) != 0) {
    RememberStatementError(prepared);
    return false;
  }
  return true;
}

}  // namespace orelens::platform
