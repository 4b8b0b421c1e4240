// One database connection and a statement runner on it. Failures come through as the client's own
// exceptions, unwrapped.
#pragma once

#include <memory>
#include <string>

#include "db/connection.h"
#include "support/kv_types.h"

namespace kestrane::db {

class TDBProcessor {
  public:
    TDBProcessor();
    ~TDBProcessor();
    TDBProcessor(const TDBProcessor&) = delete;
    TDBProcessor& operator=(const TDBProcessor&) = delete;

    bool Connect(const support::TDBInfoRec& dbInfo, const std::string& dbName);
    bool EnsureOpen();
    void ExecSQL(const std::string& sql);
    void OpenQuery(const std::string& sql, std::unique_ptr<Recordset>& recordset);

    Connection& connection() { return *connection_; }

  private:
    std::unique_ptr<Connection> connection_;
};

}  // namespace kestrane::db
