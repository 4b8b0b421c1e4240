// Parameters of prepared commands: the parameter type follows the kind of the value passed.
#pragma once

#include <string>
#include <vector>

#include "db/connection.h"
#include "support/variant.h"

namespace kestrane::product {

enum class TParamValueKind {
    SmallInt,  // 16-bit signed
    Word,      // 16-bit unsigned
    Integer,   // 32-bit signed
    LongWord,  // 32-bit unsigned
    Double,
    Currency,
    Decimal,
    Date,
    WideText,
    Boolean,
    Byte,  // unsigned 8-bit
    Int64,
    Text,
    ByteArray,
    Other,
};

// Type code and size for a value of that kind; Booleans are tiny integers on an Oracle factory. Texts
// up to 2000 wide or 4000 single characters are sized by their length, longer ones become long texts.
db::Parameter MakeCommandParameter(TParamValueKind kind, const support::Variant& value, bool oracleFactory);
// The kind taken from the variant itself: integers as 32-bit when they fit, else 64-bit; an empty
// byte array is passed as an empty value.
TParamValueKind ValueKindOf(const support::Variant& value);
db::Parameter MakeCommandParameter(const support::Variant& value, bool oracleFactory);

// A prepared text command with one input parameter per value, run with the connection's command
// time-out and no returned records; the rows affected.
std::int64_t ExecutePreparedCommand(db::Connection& connection, const std::string& sql,
                                    const std::vector<support::Variant>& values, bool oracleFactory);

}  // namespace kestrane::product
