#pragma once

#include <mariadb/mysql.h>  // types only: the client library is loaded at run time

#include <memory>
#include <string>
#include <string_view>

#include "platform/database/mysql_client_api.h"
#include "platform/database/sql_parameters.h"

namespace orelens::platform {

// One open connection of the database front end to a MySQL server. Parameters are bound by
// 0-based index before a query or an update and cleared after it. One thread at a time uses it:
// a thread hands it over by ending before the next one starts using it.
class MySqlDatabase {
 public:
  MySqlDatabase(std::shared_ptr<const MySqlClientSession> client, MYSQL* connection)
      : client_(std::move(client)), api_(client_->Api()), connection_(connection) {}
  ~MySqlDatabase();
  MySqlDatabase(const MySqlDatabase&) = delete;
  MySqlDatabase& operator=(const MySqlDatabase&) = delete;

  void BindText(size_t index, std::string_view text) { parameters_.BindText(index, text); }
  void BindBlob(size_t index, std::string_view bytes) { parameters_.BindBlob(index, bytes); }

  // Runs a statement that returns rows, the bound parameters written into its text escaped.
  // False when it failed (LastError() says why); a failed query has no rows.
  bool Query(std::string_view statement);
  // Steps to the next row of the current query; false when there is none.
  bool NextRow();
  // Ends the current query (the rows not read are dropped).
  void FinishQuery();

  // Runs a statement that returns no rows as a prepared statement with the bound parameters.
  bool Update(std::string_view statement);

  const std::string& LastError() const { return lastError_; }
  // True once a statement found the server gone: it stopped answering within the statement
  // timeout, or closed the connection. Every later statement fails at once.
  bool ConnectionLost() const { return connectionLost_; }

 private:
  void RememberClientError();
  void RememberStatementError(MYSQL_STMT* statement);
  void NoteLostConnection(unsigned errorNumber);

  std::shared_ptr<const MySqlClientSession> client_;
  const MySqlClientApi& api_;  // client_'s functions
  MYSQL* connection_;
  MYSQL_RES* result_ = nullptr;  // rows of the current query, read one by one
  SqlParameterList parameters_;
  std::string lastError_;
  bool connectionLost_ = false;
};

}  // namespace orelens::platform
