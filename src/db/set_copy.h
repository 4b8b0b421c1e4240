// The copy of a table's rows between two Jet-kind files by one INSERT ... SELECT: the source file is
// attached to the target's connection and the rows go across inside SQLite. The statement stores what
// the row-wise copy stores: a column whose values could change on the way is converted in the
// statement by the engine's own conversion (the function the SQLite driver registers on every
// connection), a column whose values cannot is copied as it is, and rows whose values are all null are
// left out.
#pragma once

#include <string>
#include <string_view>

#include "db/connection.h"

namespace kestrane::db {

// The name the source file is attached under.
inline constexpr const char* kSetCopySource = "kestrane_source";

// Whether a copy filter can go into the statement as it is: empty, or a condition beginning with "and"
// that holds no statement separator, comment, subquery or clause of its own outside its literals
// (a subquery's table names would be looked up in the target first), with balanced parentheses.
bool SetCopyFilterAllowed(std::string_view filter);

// The INSERT ... SELECT that copies the filtered rows of the attached source's table into the target's
// table of the same name, or "" when the tables need the row-wise path: a source column the target
// does not have (the row-wise insert names only present values), or a target column with a default
// (a null left out of a row-wise insert takes it). It begins as a row-wise insert does,
// "insert into <table>([NAME],...)". The catalogue reads behind it go to the driver directly: they
// belong to the copy's one statement.
std::string SetCopyStatement(Connection& target, const std::string& tableName, const std::string& filter);

}  // namespace kestrane::db
