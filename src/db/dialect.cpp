#include "db/dialect.h"

#include <algorithm>

#include "db/connection.h"
#include "support/format.h"
#include "support/text.h"

namespace kestrane::db {

using support::dbAccess;
using support::dbtMsSql;
using support::dbtOracle;
using support::Format;

std::string QuoteIdentifier(std::string_view name, TKVDataBaseType kind) {
    const std::string n = support::Trim(name);
    if (kind == dbtOracle) {
        if (support::SameText(n, "ROWID")) return "\"rowid\"";
        return Format("\"%0:s\"", support::UpperCase(n));
    }
    return Format("[%0:s]", n);
}

std::string SQLTypeName(int t, std::int64_t n, TKVDataBaseType kind, int s, int p) {
    const bool jet = kind == dbAccess, ms = kind == dbtMsSql;
    auto decimal = [&]() -> std::string {
        if (jet) return s == 0 ? "LONG" : "FLOAT";
        if (ms) return p != 0 ? Format("numeric(%d,%d)", p, s) : "Int";
        return p != 0 ? Format("number(%d,%d)", p, s) : "integer";
    };
    switch (t) {
        case adSmallInt:
        case adUnsignedSmallInt:
            return jet ? "LONG" : ms ? "SmallInt" : "number(5)";
        case adInteger:
        case adUnsignedInt:
            return jet ? "LONG" : ms ? "Int" : "number(10)";
        case adTinyInt:
        case adUnsignedTinyInt:
            return jet ? "LONG" : ms ? "TinyInt" : "number(3)";
        case adBigInt:
        case adUnsignedBigInt:
            return jet ? "FLOAT" : ms ? "BigInt" : "number(38)";
        case adSingle:
        case adDouble:
            return jet ? "FLOAT" : ms ? "Float" : "number";
        case adCurrency:
            return jet ? "FLOAT" : ms ? "Money" : decimal();
        case adDecimal:
        case adNumeric:
            return decimal();
        case adVarNumeric:
            return jet ? "FLOAT" : decimal();
        case adDate:
        case adDBDate:
        case adDBTime:
        case adDBTimeStamp:
            return jet ? "DATETIME" : ms ? "Datetime" : s == 6 ? "timestamp(6)" : "date";
        case adBSTR:
        case adChar:
        case adWChar:
        case adVarChar:
        case adVarWChar:
            if (jet) return n >= 1 && n <= 255 ? Format("varchar(%d)", n) : "MEMO";
            if (ms) return IsBoundedSize(n) ? Format("VarChar(%d)", n) : "Text";
            return Format("VarChar2(%d)", IsBoundedSize(n) ? std::min<std::int64_t>(n, 4000) : 4000);
        case adLongVarChar:
        case adLongVarWChar:
            return jet ? "MEMO" : ms ? "Text" : "VarChar2(4000)";
        case adBoolean:
            return jet ? "BIT" : ms ? "Bit" : "number(1)";
        case adGUID:
            return jet ? "GUID" : ms ? "uniqueidentifier" : "raw(16)";
        case adBinary:
        case adVarBinary:
        case adLongVarBinary:
            if (n == 16) return jet ? "GUID" : ms ? "uniqueidentifier" : "raw(16)";
            if (jet) return "LONGBINARY";
            if (ms) return "image";
            return n <= 40 ? "long raw" : "blob";
        default:
            return {};
    }
}

namespace {

// Upper case outside quoted literals: a literal's text is the value new rows get. A literal not
// closed runs to the end.
std::string UpperCaseOutsideLiterals(std::string_view expr) {
    std::string out(expr);
    bool literal = false;
    for (char& c : out) {
        if (c == '\'')
            literal = !literal;  // a doubled quote inside a literal closes and reopens it
        else if (!literal)
            c = support::AsciiUpper(c);
    }
    return out;
}

}  // namespace

std::string TranslateDefault(std::string_view expr, TKVDataBaseType kind) {
    if (kind == dbAccess) return {};
    const std::string e = UpperCaseOutsideLiterals(expr);
    struct Pair {
        const char* from;
        const char* to;
    };
    static const Pair toMsSql[] = {{"NVL", "isnull"}, {"SYS_GUID()", "newid()"}, {"SYSDATE", "getdate()"},
                                   {"LENGTH", "len"}, {"SUBSTR", "substring"},   {"'", "''"}};
    static const Pair toOracle[] = {{"ISNULL", "NVL"}, {"NEWID()", "SYS_GUID()"}, {"GETDATE()", "SYSDATE"},
                                    {"LEN", "LENGTH"}, {"SUBSTRING", "SUBSTR"},   {"'", "''"}};
    const Pair* begin = kind == dbtMsSql ? std::begin(toMsSql) : std::begin(toOracle);
    const Pair* end = kind == dbtMsSql ? std::end(toMsSql) : std::end(toOracle);
    for (const Pair* p = begin; p != end; ++p)
        if (e == p->from) return p->to;
    return e;
}

}  // namespace kestrane::db
