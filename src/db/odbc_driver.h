// The driver for SQL Server ("SQLOLEDB") and Oracle ("OraOLEDB") connection strings through the
// unixODBC driver manager. The engine's connection strings are kept as they are and translated here;
// "MSDASQL" strings pass their ODBC part through unchanged.
#pragma once

#include <string>
#include <vector>

namespace kestrane::db {

// Environment variables naming the ODBC driver (a name from odbcinst.ini or a driver library path).
inline constexpr const char* kEnvOdbcMsSqlDriver = "KESTRANE_ODBC_MSSQL_DRIVER";
inline constexpr const char* kEnvOdbcOracleDriver = "KESTRANE_ODBC_ORACLE_DRIVER";

// Names of the installed ODBC drivers, as the driver manager lists them.
std::vector<std::string> InstalledOdbcDrivers();
// The ODBC driver for a provider: the environment override, else the first installed driver of the
// preference list (SQL Server: Microsoft's drivers 18, 17, 13, Native Client 11, "SQL Server", then
// FreeTDS; Oracle: the first driver whose name begins with "Oracle"). Empty when none is installed.
std::string OdbcDriverFor(const std::string& provider);
// The ODBC connection string for an engine connection string; raises EDatabaseError when no driver.
std::string TranslateToOdbc(const std::string& connectionString);

}  // namespace kestrane::db
