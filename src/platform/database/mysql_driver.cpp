#include "platform/database/mysql_driver.h"

#include "platform/dynlib/dynamic_library.h"

namespace orelens::platform {

std::unique_ptr<MySqlDatabase> MySqlDriver::Open(const MySqlLogin& login, const MySqlTimeouts& timeouts,
                                                 std::string* error) const {
  const auto fail = [&](std::string_view why) -> std::unique_ptr<MySqlDatabase> {
    if (error) *error = why;
    return nullptr;
  };
  // The client would take port 0 for its default port and cut larger ones.
  if (login.port == 0 || login.port > 65535) return fail("The port is not a number from 1 to 65535");
  const MySqlClientApi& api = client_->Api();

  MYSQL* connection = api.init(nullptr);
  if (!connection) return fail("Out of memory");

  api.options(connection, MYSQL_OPT_CONNECT_TIMEOUT, &timeouts.connectSeconds);
  api.options(connection, MYSQL_OPT_READ_TIMEOUT, &timeouts.statementSeconds);
  api.options(connection, MYSQL_OPT_WRITE_TIMEOUT, &timeouts.statementSeconds);
  // Statement texts and text parameters are UTF-8.
  api.options(connection, MYSQL_SET_CHARSET_NAME, "utf8mb4");

  if (!api.real_connect(connection, login.host.c_str(), login.user.c_str(), login.password.c_str(),
                        login.database.c_str(), login.port, nullptr, 0)) {
    std::string why = api.error(connection);
    api.close(connection);
    return fail(why);
  }
  return std::make_unique<MySqlDatabase>(client_, connection);
}

void MySqlDriver::RunAsClientThread(const std::function<void()>& work) const {
  const MySqlClientApi& api = client_->Api();
  api.thread_init();
  work();
  api.thread_end();
}

std::shared_ptr<const MySqlDriver> LoadMySqlDriver(const LibraryLocator& locator) {
  auto library = std::make_shared<DynamicLibrary>(locator.Load(kMariaDbLibraryName));
  if (!library->IsLoaded()) return nullptr;
  MySqlClientApi api;
  if (!api.Resolve([&](std::string_view name) { return library->Symbol(std::string(name).c_str()); }))
    return nullptr;
  return std::make_shared<MySqlDriver>(std::make_shared<MySqlClientSession>(std::move(library), api));
}

}  // namespace orelens::platform
