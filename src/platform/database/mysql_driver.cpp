#include "platform/database/mysql_driver.h"

#include "platform/database/mysql_connection_text.h"
#include "platform/dynlib/dynamic_library.h"

namespace orelens::platform {

std::unique_ptr<MySqlDatabase> MySqlDriver::Open(std::string_view connectionText, std::string_view user,
                                                 std::string_view password, unsigned connectTimeoutSeconds,
                                                 std::string* error) const {
  const auto fail = [&](std::string_view why) -> std::unique_ptr<MySqlDatabase> {
    if (error) *error = why;
    return nullptr;
  };
  const std::optional<MySqlEndpoint> endpoint = ParseMySqlConnectionText(connectionText);
  if (!endpoint) return fail("The connection text needs host=, port= and dbname=");
  const MySqlClientApi& api = client_->Api();

  api.thread_init();
  MYSQL* connection = api.init(nullptr);
  if (!connection) return fail("Out of memory");

  const unsigned connectTimeout = connectTimeoutSeconds;
  const unsigned readWriteTimeout = kDefaultReadWriteTimeoutSeconds;
  api.options(connection, MYSQL_OPT_CONNECT_TIMEOUT, &connectTimeout);
  api.options(connection, MYSQL_OPT_READ_TIMEOUT, &readWriteTimeout);
  api.options(connection, MYSQL_OPT_WRITE_TIMEOUT, &readWriteTimeout);
  // Statement texts and text parameters are UTF-8.
  api.options(connection, MYSQL_SET_CHARSET_NAME, "utf8mb4");

  const std::string userText(user);
  const std::string passwordText(password);
  if (!api.real_connect(connection, endpoint->host.c_str(), userText.c_str(), passwordText.c_str(),
                        endpoint->database.c_str(), endpoint->port, nullptr, 0)) {
    std::string why = api.error(connection);
    api.close(connection);
    return fail(why);
  }
  return std::make_unique<MySqlDatabase>(client_, connection);
}

void MySqlDriver::EndThread() const {
  client_->Api().thread_end();
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
