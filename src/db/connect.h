// Naming and reaching a database: connection strings of the three kinds and the connection test.
#pragma once

#include <string>

#include "support/kv_types.h"

namespace kestrane::db {

// For an Oracle server the net service alias is registered first. An embedded server (dbAccess with a
// non-empty Server folder) joins the folder and the name, adding ".mdb" to a name without extension.
std::string BuildConnectionString(const support::TDBInfoRec& dbInfo, const std::string& dbName);
// "Provider=Microsoft.Jet.OLEDB.4.0;data source=<file>", the file quoted where it needs to be.
std::string JetConnectionString(const std::string& file);
// Opens and closes a connection to the server without naming a database; never raises.
bool TestConnection(const support::TDBInfoRec& dbInfo, std::string& errorText);
// The same test for a connection string as it is; errorText gets the client's message.
bool TestConnectionString(const std::string& connectionString, std::string& errorText);
// The kind of database a connection string reaches, from its Provider: "OraOLEDB" Oracle,
// "Microsoft.Jet.OLEDB" Jet, anything else SQL Server.
support::TKVDataBaseType DatabaseKindOf(const std::string& connectionString);
// Registers the alias of an Oracle server in the live Oracle homes and returns it ("orcl_db1").
std::string OracleAlias(const std::string& host, const std::string& sid, std::int32_t port);

}  // namespace kestrane::db
