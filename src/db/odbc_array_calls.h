// The ODBC calls through which the ODBC driver sends rows as arrays of parameter sets. The engine makes
// them straight to the driver manager. A test stands its own calls in between, to give over a real
// connection the answers of drivers other than the installed one: one that refuses arrays, takes
// fewer rows, or goes on past a failing row and tells it only in the status of each row.
#pragma once

#include <sql.h>
#include <sqlext.h>

namespace kestrane::db {

class OdbcArrayCalls {
  public:
    virtual ~OdbcArrayCalls() = default;
    virtual SQLRETURN SetStmtAttr(SQLHSTMT s, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length);
    virtual SQLRETURN GetStmtAttr(SQLHSTMT s, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length,
                                  SQLINTEGER* outLength);
    virtual SQLRETURN Execute(SQLHSTMT s);
};

// Puts `calls` in place of the driver manager's own while it lives (one at a time, on one thread).
class ScopedOdbcArrayCalls {
  public:
    explicit ScopedOdbcArrayCalls(OdbcArrayCalls& calls);
    ~ScopedOdbcArrayCalls();
    ScopedOdbcArrayCalls(const ScopedOdbcArrayCalls&) = delete;
    ScopedOdbcArrayCalls& operator=(const ScopedOdbcArrayCalls&) = delete;

  private:
    OdbcArrayCalls* previous_;
};

}  // namespace kestrane::db
