#include "db/connection.h"
#include "db/texts.h"
#include "support/format.h"
namespace kestrane::db {
std::unique_ptr<Driver> NewOdbcDriver() { throw EDatabaseError("odbc pending"); }
}
