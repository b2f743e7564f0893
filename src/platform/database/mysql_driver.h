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
  // see ParseMySqlConnectionText). nullptr when the text lacks a key or the server refuses;
  // *error then says why when error is given.
  std::unique_ptr<MySqlDatabase> Open(std::string_view connectionText, std::string_view user,
                                      std::string_view password, std::string* error = nullptr) const;

  void SetConnectTimeoutSeconds(unsigned seconds) { connectTimeoutSeconds_ = seconds; }

 private:
  std::shared_ptr<const MySqlClientSession> client_;
  unsigned connectTimeoutSeconds_ = kDefaultConnectTimeoutSeconds;
};

}  // namespace orelens::platform
