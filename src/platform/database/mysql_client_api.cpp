#include "platform/database/mysql_client_api.h"

namespace orelens::platform {

namespace {

template <typename Function>
bool ResolveOne(const std::function<void*(std::string_view)>& resolve, std::string_view name,
                Function& function) {
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
  all &= ResolveOne(resolve, "mysql_errno", error_number);
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
  all &= ResolveOne(resolve, "mysql_stmt_errno", stmt_error_number);
  all &= ResolveOne(resolve, "mysql_stmt_close", stmt_close);
  return all;
}

MySqlClientSession::MySqlClientSession(std::shared_ptr<void> library, const MySqlClientApi& api)
    : library_(std::move(library)), api_(api) {
  // Initialises the client once, on the thread that loads it, before any other thread opens a
  // connection (mysql_init would do it lazily, which is not safe from two threads at once).
  api_.server_init(0, nullptr, nullptr);
}

MySqlClientSession::~MySqlClientSession() {
  api_.server_end();
}

}  // namespace orelens::platform
