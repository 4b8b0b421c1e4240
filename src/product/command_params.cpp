#include "product/command_params.h"

#include <limits>

#include "support/codepage.h"

namespace kestrane::product {

namespace {

std::int64_t WideLength(const std::string& utf8) {
    try {
        return static_cast<std::int64_t>(support::Utf16Length(utf8));
    } catch (const support::ECodePageError&) {
        return static_cast<std::int64_t>(utf8.size());
    }
}

// Single-byte texts go out in code page 936, so their length is counted there.
std::int64_t AnsiLength(const std::string& utf8) {
    try {
        return static_cast<std::int64_t>(support::Utf8ToCp936(utf8).size());
    } catch (const support::ECodePageError&) {
        return static_cast<std::int64_t>(utf8.size());
    }
}

}  // namespace

db::Parameter MakeCommandParameter(TParamValueKind kind, const support::Variant& value, bool oracleFactory) {
    using K = TParamValueKind;
    switch (kind) {
        case K::SmallInt:
        case K::Word:
            return {db::adSmallInt, value, 0};
        case K::Integer:
        case K::LongWord:
            return {db::adInteger, value, 0};
        case K::Double:
        case K::Currency:
        case K::Decimal:
            return {db::adDouble, value, 0};
        case K::Date:
            return {db::adDBTimeStamp, value, 0};
        case K::WideText: {
            const std::int64_t n = WideLength(value.AsString());
            return {n <= 2000 ? db::adVarWChar : db::adLongVarWChar, value, n};
        }
        case K::Boolean:
            return {oracleFactory ? db::adTinyInt : db::adBoolean, value, 0};
        case K::Byte:
            return {db::adTinyInt, value, 0};
        case K::Int64:
            return {db::adBigInt, value, 0};
        case K::Text: {
            const std::int64_t n = AnsiLength(value.AsString());
            return {n <= 4000 ? db::adVarChar : db::adLongVarChar, value, n};
        }
        case K::ByteArray:
            return {db::adLongVarBinary, value, -1};
        case K::Other:
            break;
    }
    return {db::adEmpty, value, 0};
}

TParamValueKind ValueKindOf(const support::Variant& value) {
    using K = TParamValueKind;
    switch (value.Type()) {
        case support::VarType::Integer: {
            const std::int64_t v = value.AsInt64();
            return v >= std::numeric_limits<std::int32_t>::min() &&
                           v <= std::numeric_limits<std::int32_t>::max()
                       ? K::Integer
                       : K::Int64;
        }
        case support::VarType::Double:
            return K::Double;
        case support::VarType::Decimal:
            return K::Decimal;
        case support::VarType::DateTime:
            return K::Date;
        case support::VarType::Text:
            return K::Text;
        case support::VarType::Boolean:
            return K::Boolean;
        case support::VarType::Bytes:
            return value.AsBytes().empty() ? K::Other : K::ByteArray;
        case support::VarType::Empty:
        case support::VarType::Null:
            break;
    }
    return K::Other;
}

db::Parameter MakeCommandParameter(const support::Variant& value, bool oracleFactory) {
    const TParamValueKind kind = ValueKindOf(value);
    // An empty byte array has no value to pass.
    if (kind == TParamValueKind::Other && value.Type() == support::VarType::Bytes)
        return MakeCommandParameter(kind, support::Variant(), oracleFactory);
    return MakeCommandParameter(kind, value, oracleFactory);
}

std::int64_t ExecutePreparedCommand(db::Connection& connection, const std::string& sql,
                                    const std::vector<support::Variant>& values, bool oracleFactory) {
    db::Command command(connection);
    command.CommandText = sql;
    command.Prepared = true;
    for (const auto& v : values) command.Parameters.push_back(MakeCommandParameter(v, oracleFactory));
    return command.Execute();
}

}  // namespace kestrane::product
