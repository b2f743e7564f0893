#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/database/mysql_client_api.h"
#include "platform/database/mysql_database.h"

namespace orelens::platform {

// The database front end's MySQL driver: the client library loaded at run time and the way
// connections are opened through it. After construction it is only read, so any thread may
// open connections; each connection then belongs to the thread that uses it.
class MySqlDriver {
 public:
  // How long a connection attempt may take before it fails: an unreachable server must not
  // keep the import waiting for minutes.
  static constexpr unsigned kDefaultConnectTimeoutSeconds = 5;
  // A statement that hangs on a stalled server fails after this long instead of freezing the
  // main thread.
  static constexpr unsigned kDefaultReadWriteTimeoutSeconds = 30;

  explicit MySqlDriver(std::shared_ptr<const MySqlClientSession> client) : client_(std::move(client)) {}
  MySqlDriver(const MySqlDriver&) = delete;
  MySqlDriver& operator=(const MySqlDriver&) = delete;

  // Opens a connection from the front end's connection text ("host=... port=... dbname=...",
  // see ParseMySqlConnectionText), waiting at most connectTimeoutSeconds for the server.
  // nullptr when the text lacks a key or the server refuses; *error then says why.
  std::unique_ptr<MySqlDatabase> Open(std::string_view connectionText, std::string_view user,
                                      std::string_view password,
                                      unsigned connectTimeoutSeconds = kDefaultConnectTimeoutSeconds,
                                      std::string* error = nullptr) const;

  // Releases the client library's state of the calling thread. A thread started to open a
  // connection calls it as its last step; the connection it opened stays usable by the thread
  // that takes it over.
  void EndThread() const;

 private:
  std::shared_ptr<const MySqlClientSession> client_;
};

class LibraryLocator;

// Loads the MySQL client library (libmariadb.dll by its program name) and makes a driver of
// it; nullptr when the library or one of its functions is missing.
std::shared_ptr<const MySqlDriver> LoadMySqlDriver(const LibraryLocator& locator);

}  // namespace orelens::platform
