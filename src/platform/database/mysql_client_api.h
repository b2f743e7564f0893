#pragma once

#include <mariadb/mysql.h>  // types only: the client library is loaded at run time

#include <functional>
#include <memory>
#include <string_view>

namespace orelens::platform {

// The functions of the MySQL client library that the database front end calls. The library
// is loaded at run time; <mysql.h> only provides the types.
struct MySqlClientApi {
  decltype(&::mysql_server_init) server_init = nullptr;
  decltype(&::mysql_server_end) server_end = nullptr;
  decltype(&::mysql_thread_init) thread_init = nullptr;
  decltype(&::mysql_thread_end) thread_end = nullptr;
  decltype(&::mysql_init) init = nullptr;
  decltype(&::mysql_options) options = nullptr;
  decltype(&::mysql_real_connect) real_connect = nullptr;
  decltype(&::mysql_close) close = nullptr;
  decltype(&::mysql_error) error = nullptr;
  decltype(&::mysql_errno) error_number = nullptr;
  decltype(&::mysql_real_escape_string) real_escape_string = nullptr;
  decltype(&::mysql_real_query) real_query = nullptr;
  decltype(&::mysql_use_result) use_result = nullptr;
  decltype(&::mysql_fetch_row) fetch_row = nullptr;
  decltype(&::mysql_free_result) free_result = nullptr;
  decltype(&::mysql_field_count) field_count = nullptr;
  decltype(&::mysql_stmt_init) stmt_init = nullptr;
  decltype(&::mysql_stmt_prepare) stmt_prepare = nullptr;
  decltype(&::mysql_stmt_param_count) stmt_param_count = nullptr;
  decltype(&::mysql_stmt_bind_param) stmt_bind_param = nullptr;
  decltype(&::mysql_stmt_execute) stmt_execute = nullptr;
  decltype(&::mysql_stmt_error) stmt_error = nullptr;
  decltype(&::mysql_stmt_errno) stmt_error_number = nullptr;
  decltype(&::mysql_stmt_close) stmt_close = nullptr;

  // Fills every function from resolve(name); false when any one is missing.
  bool Resolve(const std::function<void*(std::string_view)>& resolve);
};

// The loaded client library, initialised for as long as a driver or a connection uses it.
class MySqlClientSession {
 public:
  // library keeps the shared object loaded; api holds its resolved functions.
  MySqlClientSession(std::shared_ptr<void> library, const MySqlClientApi& api);
  ~MySqlClientSession();
  MySqlClientSession(const MySqlClientSession&) = delete;
  MySqlClientSession& operator=(const MySqlClientSession&) = delete;

  const MySqlClientApi& Api() const { return api_; }

 private:
  std::shared_ptr<void> library_;
  MySqlClientApi api_;
};

}  // namespace orelens::platform
