#include "platform/database/mysql_client_api.h"

namespace orelens::platform {

namespace {

template <typename Function>
bool ResolveOne(const std::function<void*(std::string_view)>& resolve, std::string_view name, Function& function) {
  function = reinterpret_cast<Function>(resolve(name));
  return function != nullptr;
}

}  // namespace

bool MySqlClientApi::Resolve(const std::function<void*(std::string_view)>& resolve) {
  bool all = true;
  all &= ResolveOne(resolve, "mysql_server_init", server_init);
  all &= ResolveOne(resolve, "mysql_server_end", server_end);
  all &= ResolveOne(resolve, "mysql_thread_init", thread_init);
  all &= ResolveOne(resolve, "mysql_thread_end", thread_end);
  all &= ResolveOne(resolve, "mysql_init", init);
  all &= ResolveOne(resolve, "mysql_options", options);
  all &= ResolveOne(resolve, "mysql_real_connect", real_connect);
  all &= ResolveOne(resolve, "mysql_close", close);
  all &= ResolveOne(resolve, "mysql_error", error);
  all &= ResolveOne(resolve, "mysql_real_escape_string", real_escape_string);
  all &= ResolveOne(resolve, "mysql_real_query", real_query);
  all &= ResolveOne(resolve, "mysql_use_result", use_result);
  all &= ResolveOne(resolve, "mysql_fetch_row", fetch_row);
  all &= ResolveOne(resolve, "mysql_free_result", free_result);
  all &= ResolveOne(resolve, "mysql_field_count", field_count);
  all &= ResolveOne(resolve, "mysql_stmt_init", stmt_init);
  all &= ResolveOne(resolve, "mysql_stmt_prepare", stmt_prepare);
  all &= ResolveOne(resolve, "mysql_stmt_param_count", stmt_param_count);
  all &= ResolveOne(resolve, "mysql_stmt_bind_param", stmt_bind_param);
  all &= ResolveOne(resolve, "mysql_stmt_execute", stmt_execute);
  all &= ResolveOne(resolve, "mysql_stmt_error", stmt_error);
  all &= ResolveOne(resolve, "mysql_stmt_close", stmt_close);
  return all;
}

}  // namespace orelens::platform
