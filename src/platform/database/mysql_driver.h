#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/database/mysql_client_api.h"
#include "platform/database/mysql_database.h"

namespace orelens::platform {

// Where and as whom a connection logs in. Each value reaches the client library as it is,
// blanks and all.
struct MySqlLogin {
  std::string host;
  unsigned port = 0;  // 1 to 65535
  std::string database;
  std::string user;
  std::string password;
};

// How long a connection waits for its server.
struct MySqlTimeouts {
  // An unreachable host fails after this long rather than holding up the caller for minutes.
  unsigned connectSeconds = 5;
  // A server that stops answering in the middle of a statement (a table another client keeps
  // locked, an overloaded server) fails the statement after this long; the connection is lost.
  unsigned statementSeconds = 5;
};

// The database front end's MySQL driver: the client library loaded at run time and the way
// connections are opened through it. After construction it is only read, so any thread may
// open connections.
class MySqlDriver {
 public:
  explicit MySqlDriver(std::shared_ptr<const MySqlClientSession> client) : client_(std::move(client)) {}
  MySqlDriver(const MySqlDriver&) = delete;
  MySqlDriver& operator=(const MySqlDriver&) = delete;

  // Opens a connection. nullptr when the port is not 1 to 65535 or the server cannot be reached
  // or refuses; *error then says why.
  std::unique_ptr<MySqlDatabase> Open(const MySqlLogin& login, const MySqlTimeouts& timeouts = {},
                                      std::string* error = nullptr) const;

  // Runs work, which uses the client library, with the library's state of the calling thread
  // set up before and released after. A thread started to open or use connections does its
  // work through this; a connection it opened stays usable by the thread that takes it over.
  void RunAsClientThread(const std::function<void()>& work) const;

 private:
  std::shared_ptr<const MySqlClientSession> client_;
};

class LibraryLocator;

// Loads the MySQL client library (libmariadb.dll by its program name) and makes a driver of
// it; nullptr when the library or one of its functions is missing.
std::shared_ptr<const MySqlDriver> LoadMySqlDriver(const LibraryLocator& locator);

}  // namespace orelens::platform
