#include "db/odbc_driver.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/cursor_recordset.h"
#include "db/memory_recordset.h"
#include "db/odbc_array_calls.h"
#include "db/statement_cache.h"
#include "db/texts.h"
#include "support/codepage.h"
#include "support/format.h"
#include "support/guid.h"
#include "support/text.h"

namespace kestrane::db {

using support::Format;
using support::StartsText;

namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver manager's wide characters are UTF-16");

std::u16string Wide(const std::string& s) {
    return support::Utf8ToUtf16(s);
}
SQLWCHAR* W(std::u16string& s) {
    return reinterpret_cast<SQLWCHAR*>(s.data());
}

std::string Narrow(const SQLWCHAR* p, std::size_t units) {
    try {
        return support::Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(p), units));
    } catch (const support::ECodePageError&) {
        // A driver that hands back broken UTF-16 still gets its text shown, lossy.
        std::string out;
        for (std::size_t i = 0; i < units; ++i) out += p[i] < 0x80 ? static_cast<char>(p[i]) : '?';
        return out;
    }
}

bool Ok(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

// The driver's messages of the last call on a handle; empty when it gave none.
std::string DriverMessages(SQLSMALLINT type, SQLHANDLE h) {
    std::string out;
    for (SQLSMALLINT i = 1; i <= 8; ++i) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLWCHAR msg[1024] = {};
        SQLSMALLINT len = 0;
        const SQLRETURN rc = SQLGetDiagRecW(type, h, i, state, &native, msg, 1024, &len);
        if (!Ok(rc)) break;
        if (!out.empty()) out += "\r\n";
        out += Narrow(msg, static_cast<std::size_t>(std::min<SQLSMALLINT>(len, 1023)));
    }
    return out;
}

std::string Diagnostics(SQLSMALLINT type, SQLHANDLE h) {
    std::string out = DriverMessages(type, h);
    return out.empty() ? std::string("ODBC call failed") : out;
}

OdbcArrayCalls driverManagerCalls;
OdbcArrayCalls* arrayCalls = &driverManagerCalls;

void Check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE h) {
    if (!Ok(rc) && rc != SQL_NO_DATA) throw EDatabaseError(Diagnostics(type, h));
}

// One environment for the process; the driver manager keeps its driver list there.
SQLHENV Environment() {
    static SQLHENV env = [] {
        SQLHENV e = SQL_NULL_HENV;
        if (!Ok(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &e)))
            throw EDatabaseError("ODBC environment");
        SQLSetEnvAttr(e, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        return e;
    }();
    return env;
}

struct StmtHandle {
    SQLHSTMT h = SQL_NULL_HSTMT;
    StmtHandle() = default;
    explicit StmtHandle(SQLHDBC dbc) {
        if (!Ok(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &h)))
            throw EDatabaseError(Diagnostics(SQL_HANDLE_DBC, dbc));
    }
    StmtHandle(const StmtHandle&) = delete;
    StmtHandle& operator=(const StmtHandle&) = delete;
    ~StmtHandle() {
        if (h != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, h);
    }
};

void SetStatementTimeout(SQLHSTMT s, int seconds) {
    SQLSetStmtAttr(s, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(seconds)), 0);
}

struct DbcHandle {
    SQLHDBC h = SQL_NULL_HDBC;
    bool connected = false;
    // Whether the driver takes arrays of parameter sets: unknown until the first array is sent.
    std::optional<bool> paramArrays;
    ~DbcHandle() {
        if (connected) SQLDisconnect(h);
        if (h != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, h);
    }
};

int AdoType(SQLSMALLINT sqlType, bool isUnsigned) {
    switch (sqlType) {
        case SQL_CHAR:
            return adChar;
        case SQL_VARCHAR:
            return adVarChar;
        case SQL_LONGVARCHAR:
            return adLongVarChar;
        case SQL_WCHAR:
            return adWChar;
        case SQL_WVARCHAR:
            return adVarWChar;
        case SQL_WLONGVARCHAR:
            return adLongVarWChar;
        case SQL_DECIMAL:
        case SQL_NUMERIC:
            return adNumeric;
        case SQL_SMALLINT:
            return isUnsigned ? adUnsignedSmallInt : adSmallInt;
        case SQL_INTEGER:
            return isUnsigned ? adUnsignedInt : adInteger;
        case SQL_REAL:
            return adSingle;
        case SQL_FLOAT:
        case SQL_DOUBLE:
            return adDouble;
        case SQL_BIT:
            return adBoolean;
        case SQL_TINYINT:
            return isUnsigned ? adUnsignedTinyInt : adTinyInt;
        case SQL_BIGINT:
            return isUnsigned ? adUnsignedBigInt : adBigInt;
        case SQL_BINARY:
            return adBinary;
        case SQL_VARBINARY:
            return adVarBinary;
        case SQL_LONGVARBINARY:
            return adLongVarBinary;
        case SQL_TYPE_DATE:
        case SQL_DATE:
            return adDBDate;
        case SQL_TYPE_TIME:
        case SQL_TIME:
        case -154:
            return adDBTime;  // SQL Server time
        case SQL_TYPE_TIMESTAMP:
        case SQL_TIMESTAMP:
        case -155:
            return adDBTimeStamp;  // SQL Server datetimeoffset
        case SQL_GUID:
            return adGUID;
        case -152:
            return adLongVarWChar;  // SQL Server xml
        default:
            return adVarWChar;
    }
}

bool IsTextAdo(int t) {
    return t == adChar || t == adVarChar || t == adLongVarChar || t == adWChar || t == adVarWChar ||
           t == adLongVarWChar || t == adBSTR;
}

// "hh:nn[:ss[.fffffff]]", after a date when there is one, as days since 1899-12-30.
std::optional<double> TimeOfDay(const std::string& text) {
    std::string t = support::Trim(text);
    if (const auto blank = t.find_first_of(" T"); blank != std::string::npos) t = t.substr(blank + 1);
    int h = 0, mi = 0, sec = 0, used = 0;
    char fraction[16] = {};
    const int n =
        std::sscanf(t.c_str(), "%2d:%2d%n:%2d%n.%15[0-9]%n", &h, &mi, &used, &sec, &used, fraction, &used);
    if (n < 2 || used != static_cast<int>(t.size()) || h > 23 || mi > 59 || sec > 59 || h < 0 || mi < 0 ||
        sec < 0)
        return std::nullopt;
    const int ms = fraction[0] ? std::atoi((std::string(fraction) + "00").substr(0, 3).c_str()) : 0;
    return support::EncodeDateTime(1899, 12, 30, h, mi, sec, ms);
}

// The value of column `col` of the current row, fetched in pieces for long data.
Variant ReadColumn(SQLHSTMT s, SQLUSMALLINT col, int type) {
    SQLLEN ind = 0;
    SQLRETURN rc;
    auto fail = [&] { throw EDatabaseError(Diagnostics(SQL_HANDLE_STMT, s)); };
    switch (type) {
        case adSmallInt:
        case adInteger:
        case adTinyInt:
        case adUnsignedTinyInt:
        case adUnsignedSmallInt:
        case adUnsignedInt:
        case adBigInt:
        case adUnsignedBigInt: {
            SQLBIGINT v = 0;
            rc = SQLGetData(s, col, SQL_C_SBIGINT, &v, sizeof v, &ind);
            if (!Ok(rc)) fail();
            return ind == SQL_NULL_DATA ? Variant::Null() : Variant(static_cast<std::int64_t>(v));
        }
        case adSingle:
        case adDouble: {
            double v = 0;
            rc = SQLGetData(s, col, SQL_C_DOUBLE, &v, sizeof v, &ind);
            if (!Ok(rc)) fail();
            return ind == SQL_NULL_DATA ? Variant::Null() : Variant(v);
        }
        case adBoolean: {
            unsigned char v = 0;
            rc = SQLGetData(s, col, SQL_C_BIT, &v, sizeof v, &ind);
            if (!Ok(rc)) fail();
            return ind == SQL_NULL_DATA ? Variant::Null() : Variant(v != 0);
        }
        case adDate:
        case adDBDate:
        case adDBTimeStamp: {
            SQL_TIMESTAMP_STRUCT t{};
            rc = SQLGetData(s, col, SQL_C_TYPE_TIMESTAMP, &t, sizeof t, &ind);
            if (!Ok(rc)) fail();
            if (ind == SQL_NULL_DATA) return Variant::Null();
            return Variant::FromDateTime(support::EncodeDateTime(
                t.year, t.month, t.day, t.hour, t.minute, t.second, static_cast<int>(t.fraction / 1000000)));
        }
        case adDBTime: {
            // A time read as a timestamp loses its fraction (and lands on the driver's "today"); its
            // text keeps both apart. The engine's dates keep a time alone on day 0.
            const Variant text = ReadColumn(s, col, adVarWChar);
            if (text.IsNull()) return text;
            if (const auto days = TimeOfDay(text.AsString())) return Variant::FromDateTime(*days);
            return text;
        }
        case adBinary:
        case adVarBinary:
        case adLongVarBinary: {
            support::Bytes out;
            unsigned char buf[8192];
            for (;;) {
                rc = SQLGetData(s, col, SQL_C_BINARY, buf, sizeof buf, &ind);
                if (rc == SQL_NO_DATA) break;
                if (!Ok(rc)) fail();
                if (ind == SQL_NULL_DATA) return Variant::Null();
                const std::size_t got = ind == SQL_NO_TOTAL || ind > static_cast<SQLLEN>(sizeof buf)
                                            ? sizeof buf
                                            : static_cast<std::size_t>(ind);
                out.insert(out.end(), buf, buf + got);
                if (rc == SQL_SUCCESS) break;
            }
            return Variant(std::move(out));
        }
        default:
            break;
    }
    // Texts, decimals and GUIDs travel as wide text.
    std::u16string text;
    SQLWCHAR buf[4096];
    for (;;) {
        rc = SQLGetData(s, col, SQL_C_WCHAR, buf, sizeof buf, &ind);
        if (rc == SQL_NO_DATA) break;
        if (!Ok(rc)) fail();
        if (ind == SQL_NULL_DATA) return Variant::Null();
        const std::size_t cap = sizeof buf / sizeof(SQLWCHAR) - 1;
        const std::size_t got =
            ind == SQL_NO_TOTAL || ind / static_cast<SQLLEN>(sizeof(SQLWCHAR)) > static_cast<SQLLEN>(cap)
                ? cap
                : static_cast<std::size_t>(ind) / sizeof(SQLWCHAR);
        text.append(reinterpret_cast<const char16_t*>(buf), got);
        if (rc == SQL_SUCCESS) break;
    }
    std::string u8 = Narrow(reinterpret_cast<const SQLWCHAR*>(text.data()), text.size());
    if (type == adNumeric || type == adDecimal || type == adVarNumeric || type == adCurrency)
        return Variant::FromDecimal(std::move(u8));
    if (type == adGUID) {
        const std::string braced = !u8.empty() && u8.front() == '{' ? u8 : "{" + u8 + "}";
        if (auto g = support::TryStringToGuid(braced)) return Variant(support::GuidToString(*g));
    }
    return Variant(std::move(u8));
}

class OdbcRecordset : public CursorRecordset {
  public:
    OdbcRecordset(std::shared_ptr<DbcHandle> dbc, std::unique_ptr<StmtHandle> stmt, std::u16string sql,
                  int timeout)
        : dbc_(std::move(dbc)), stmt_(std::move(stmt)), sql_(std::move(sql)), timeout_(timeout) {
        SQLSMALLINT n = 0;
        Check(SQLNumResultCols(stmt_->h, &n), SQL_HANDLE_STMT, stmt_->h);
        for (SQLSMALLINT i = 1; i <= n; ++i) {
            SQLWCHAR name[512] = {};
            SQLSMALLINT nameLen = 0, sqlType = 0, digits = 0, nullable = 0;
            SQLULEN size = 0;
            Check(SQLDescribeColW(stmt_->h, static_cast<SQLUSMALLINT>(i), name, 512, &nameLen, &sqlType,
                                  &size, &digits, &nullable),
                  SQL_HANDLE_STMT, stmt_->h);
            SQLLEN isUnsigned = SQL_FALSE;
            SQLColAttributeW(stmt_->h, static_cast<SQLUSMALLINT>(i), SQL_DESC_UNSIGNED, nullptr, 0, nullptr,
                             &isUnsigned);
            SQLWCHAR table[256] = {};
            SQLSMALLINT tableLen = 0;
            SQLColAttributeW(stmt_->h, static_cast<SQLUSMALLINT>(i), SQL_DESC_BASE_TABLE_NAME, table,
                             sizeof table, &tableLen, nullptr);
            FieldInfo f;
            f.Name = Narrow(name, static_cast<std::size_t>(std::clamp<SQLSMALLINT>(nameLen, 0, 511)));
            f.Type = AdoType(sqlType, isUnsigned == SQL_TRUE);
            f.DefinedSize = static_cast<std::int64_t>(size);
            if (f.Type == adNumeric) {
                f.Precision = static_cast<int>(size);
                f.Scale = digits;
            }
            f.BaseTable = Narrow(table, static_cast<std::size_t>(std::clamp<SQLSMALLINT>(
                                            static_cast<SQLSMALLINT>(tableLen / 2), 0, 255)));
            fields_.push_back(std::move(f));
        }
        FieldsKnown();
        OdbcRecordset::Fetch();
    }

  private:
    void Restart() override {
        // The cursor reads forward only: starting again runs the statement again.
        SQLFreeStmt(stmt_->h, SQL_CLOSE);
        Check(SQLExecDirectW(stmt_->h, W(sql_), SQL_NTS), SQL_HANDLE_STMT, stmt_->h);
        Fetch();
    }
    void Fetch() override {
        const SQLRETURN rc = SQLFetch(stmt_->h);
        if (rc == SQL_NO_DATA) {
            eof_ = true;
            for (auto& v : values_) v = Variant();
            return;
        }
        Check(rc, SQL_HANDLE_STMT, stmt_->h);
        eof_ = false;
        for (std::size_t i = 0; i < fields_.size(); ++i)
            values_[i] = ReadColumn(stmt_->h, static_cast<SQLUSMALLINT>(i + 1), fields_[i].Type);
    }
    std::int64_t CountRows() override {
        StmtHandle s(dbc_->h);
        SetStatementTimeout(s.h, timeout_);
        Check(SQLExecDirectW(s.h, W(sql_), SQL_NTS), SQL_HANDLE_STMT, s.h);
        std::int64_t n = 0;
        SQLRETURN rc;
        while (Ok(rc = SQLFetch(s.h))) ++n;
        if (rc != SQL_NO_DATA) throw EDatabaseError(Diagnostics(SQL_HANDLE_STMT, s.h));
        return n;
    }

    std::shared_ptr<DbcHandle> dbc_;  // kept while the rows are: the statement belongs to it
    std::unique_ptr<StmtHandle> stmt_;
    std::u16string sql_;
    int timeout_;
};

// Buffers of one bound parameter; they must live until the statement has run.
struct BoundParam {
    std::u16string text;
    support::Bytes bytes;
    SQLBIGINT integer = 0;
    double real = 0;
    unsigned char bit = 0;
    SQL_TIMESTAMP_STRUCT stamp{};
    SQLLEN ind = 0;
};

SQLSMALLINT SqlTypeOfAdo(int t) {
    switch (t) {
        case adSmallInt:
        case adUnsignedTinyInt:
        case adTinyInt:
            return SQL_SMALLINT;
        case adInteger:
        case adUnsignedSmallInt:
            return SQL_INTEGER;
        default:
            return SQL_BIGINT;
    }
}

// Dates go with their milliseconds: "yyyy-mm-dd hh:nn:ss.fff".
constexpr SQLULEN kStampColumnSize = 23;
constexpr SQLSMALLINT kStampDigits = 3;

SQL_TIMESTAMP_STRUCT Stamp(double days) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0, ms = 0;
    std::sscanf(support::DateTimeToText(days, true).c_str(), "%d-%d-%d %d:%d:%d.%d", &y, &mo, &d, &h, &mi,
                &sec, &ms);
    return SQL_TIMESTAMP_STRUCT{static_cast<SQLSMALLINT>(y),
                                static_cast<SQLUSMALLINT>(mo),
                                static_cast<SQLUSMALLINT>(d),
                                static_cast<SQLUSMALLINT>(h),
                                static_cast<SQLUSMALLINT>(mi),
                                static_cast<SQLUSMALLINT>(sec),
                                static_cast<SQLUINTEGER>(ms) * 1000000u};
}

void BindParam(SQLHSTMT s, SQLUSMALLINT pos, const Parameter& p, BoundParam& b) {
    const Variant& v = p.value();
    SQLRETURN rc = SQL_SUCCESS;
    switch (v.Type()) {
        case support::VarType::Empty:
        case support::VarType::Null:
            b.ind = SQL_NULL_DATA;
            rc = SQLBindParameter(s, pos, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, 1, 0, nullptr, 0,
                                  &b.ind);
            break;
        case support::VarType::Integer:
            b.integer = v.AsInt64();
            rc = SQLBindParameter(s, pos, SQL_PARAM_INPUT, SQL_C_SBIGINT, SqlTypeOfAdo(p.Type), 0, 0,
                                  &b.integer, 0, nullptr);
            break;
        case support::VarType::Double:
            b.real = v.AsDouble();
            rc = SQLBindParameter(s, pos, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 15, 0, &b.real, 0,
                                  nullptr);
            break;
        case support::VarType::Boolean:
            b.bit = v.AsBoolean() ? 1 : 0;
            rc = SQLBindParameter(s, pos, SQL_PARAM_INPUT, SQL_C_BIT, SQL_BIT, 1, 0, &b.bit, 0, nullptr);
            break;
        case support::VarType::DateTime:
            b.stamp = Stamp(v.AsDateTime());
            rc = SQLBindParameter(s, pos, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP,
                                  kStampColumnSize, kStampDigits, &b.stamp, sizeof b.stamp, nullptr);
            break;
        case support::VarType::Decimal:
        case support::VarType::Text: {
            b.text = Wide(v.AsString());
            b.ind = static_cast<SQLLEN>(b.text.size() * sizeof(SQLWCHAR));
            const SQLULEN chars = std::max<SQLULEN>(1, b.text.size());
            rc = SQLBindParameter(s, pos, SQL_PARAM_INPUT, SQL_C_WCHAR,
                                  chars > 4000 ? SQL_WLONGVARCHAR : SQL_WVARCHAR, chars, 0,
                                  b.text.empty() ? nullptr : W(b.text), b.ind, &b.ind);
            if (b.text.empty()) {
                // An empty text is a value, not a null: point at a terminator.
                b.text.push_back(u'\0');
                b.ind = 0;
                rc = SQLBindParameter(s, pos, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, 1, 0, W(b.text), 0,
                                      &b.ind);
            }
            break;
        }
        case support::VarType::Bytes: {
            b.bytes = v.AsBytes();
            b.ind = static_cast<SQLLEN>(b.bytes.size());
            if (b.bytes.empty()) b.bytes.push_back(0);
            const SQLULEN n = std::max<SQLULEN>(1, static_cast<SQLULEN>(b.ind));
            rc = SQLBindParameter(s, pos, SQL_PARAM_INPUT, SQL_C_BINARY,
                                  n > 8000 ? SQL_LONGVARBINARY : SQL_VARBINARY, n, 0, b.bytes.data(),
                                  static_cast<SQLLEN>(b.bytes.size()), &b.ind);
            break;
        }
    }
    if (!Ok(rc)) throw EDatabaseError(Diagnostics(SQL_HANDLE_STMT, s));
}

// Binds one row's parameters, runs the prepared statement and clears its parameters again.
std::int64_t RunRow(SQLHSTMT s, const std::vector<Parameter>& params) {
    std::vector<BoundParam> buffers(params.size());
    struct Reset {
        SQLHSTMT h;
        ~Reset() {
            SQLFreeStmt(h, SQL_CLOSE);
            SQLFreeStmt(h, SQL_RESET_PARAMS);
        }
    } reset{s};
    for (std::size_t i = 0; i < params.size(); ++i)
        BindParam(s, static_cast<SQLUSMALLINT>(i + 1), params[i], buffers[i]);
    const SQLRETURN rc = SQLExecute(s);
    Check(rc, SQL_HANDLE_STMT, s);
    SQLLEN rows = 0;
    if (rc != SQL_NO_DATA) SQLRowCount(s, &rows);
    return rows;
}

// The rows of one prepared text, held column by column and sent as one array of parameter sets
// (SQL_ATTR_PARAMSET_SIZE) where the driver takes arrays, else one row at a time. Rows stay in their
// order: a row whose parameters differ in kind from the held ones, or that carries a long value, sends
// the held rows first.
class OdbcBatch : public CommandBatch {
  public:
    OdbcBatch(std::shared_ptr<DbcHandle> dbc, std::unique_ptr<StmtHandle> stmt)
        : dbc_(std::move(dbc)), stmt_(std::move(stmt)) {}

    void Add(const std::vector<Parameter>& params) override {
        std::string shape;
        std::vector<std::u16string> texts(params.size());
        bool longValue = false;
        for (std::size_t i = 0; i < params.size(); ++i) {
            const Variant& v = params[i].value();
            const char kind = KindOf(v);
            shape += kind;
            if (kind == 'i') shape += static_cast<char>(SqlTypeOfAdo(params[i].Type));
            if (kind == 'w') {
                texts[i] = Wide(v.AsString());
                longValue = longValue || texts[i].size() > kMaxTextChars;
            }
            if (kind == 'y') longValue = longValue || v.AsBytes().size() > kMaxBytes;
        }
        if (rows_ > 0 && (shape != shape_ || longValue || rows_ == kMaxRows || held_ > kMaxHeldBytes))
            Flush();
        if (longValue) {
            RunRow(stmt_->h, params);
            return;
        }
        if (rows_ == 0) {
            shape_ = std::move(shape);
            columns_.assign(params.size(), Column());
            for (std::size_t i = 0; i < params.size(); ++i) {
                columns_[i].kind = KindOf(params[i].value());
                columns_[i].sqlType = SqlTypeOfAdo(params[i].Type);
            }
        }
        for (std::size_t i = 0; i < params.size(); ++i)
            Hold(columns_[i], params[i].value(), std::move(texts[i]));
        ++rows_;
    }

    void Flush() override {
        if (rows_ == 0) return;
        struct Clear {
            OdbcBatch* b;
            ~Clear() {
                b->rows_ = 0;
                b->held_ = 0;
                b->columns_.clear();
            }
        } clear{this};
        std::size_t done = 0;
        if (rows_ > 1 && dbc_->paramArrays.value_or(true)) done = SendArray();
        for (std::size_t r = done; r < rows_; ++r) Send(r, 1);
    }

  private:
    static constexpr std::size_t kMaxRows = 1000;
    static constexpr std::size_t kMaxHeldBytes = 1 << 20;
    static constexpr std::size_t kMaxTextChars = 4000;  // longer texts and byte arrays go alone
    static constexpr std::size_t kMaxBytes = 8000;

    struct Column {
        char kind = 'n';
        SQLSMALLINT sqlType = SQL_BIGINT;
        std::vector<SQLBIGINT> ints;
        std::vector<double> reals;
        std::vector<unsigned char> bits;
        std::vector<SQL_TIMESTAMP_STRUCT> stamps;
        std::vector<std::u16string> texts;
        std::vector<support::Bytes> bytes;
        std::vector<SQLLEN> ind;
        std::size_t widest = 1;  // characters of the longest text, bytes of the longest array
        // What is bound: each row's text or bytes in a slot of `widest` (plus a terminator for texts).
        std::vector<char16_t> wideSlots;
        std::vector<unsigned char> byteSlots;
    };

    // n null, i integer, d double, b Boolean, t date, w text, y bytes
    static char KindOf(const Variant& v) {
        switch (v.Type()) {
            case support::VarType::Empty:
            case support::VarType::Null:
                return 'n';
            case support::VarType::Integer:
                return 'i';
            case support::VarType::Double:
                return 'd';
            case support::VarType::Boolean:
                return 'b';
            case support::VarType::DateTime:
                return 't';
            case support::VarType::Bytes:
                return 'y';
            default:
                return 'w';
        }
    }

    void Hold(Column& c, const Variant& v, std::u16string text) {
        switch (c.kind) {
            case 'n':
                c.ind.push_back(SQL_NULL_DATA);
                break;
            case 'i':
                c.ints.push_back(v.AsInt64());
                c.ind.push_back(0);
                break;
            case 'd':
                c.reals.push_back(v.AsDouble());
                c.ind.push_back(0);
                break;
            case 'b':
                c.bits.push_back(v.AsBoolean() ? 1 : 0);
                c.ind.push_back(0);
                break;
            case 't':
                c.stamps.push_back(Stamp(v.AsDateTime()));
                c.ind.push_back(0);
                break;
            case 'w':
                c.texts.push_back(std::move(text));
                c.ind.push_back(static_cast<SQLLEN>(c.texts.back().size() * sizeof(SQLWCHAR)));
                c.widest = std::max(c.widest, c.texts.back().size());
                held_ += c.texts.back().size() * sizeof(SQLWCHAR);
                break;
            default:
                c.bytes.push_back(v.AsBytes());
                c.ind.push_back(static_cast<SQLLEN>(c.bytes.back().size()));
                c.widest = std::max(c.widest, c.bytes.back().size());
                held_ += c.bytes.back().size();
                break;
        }
        held_ += sizeof(SQLLEN) + 8;
    }

    // Binds rows [first, first + count) of every column.
    void Bind(std::size_t first, std::size_t count) {
        SQLHSTMT s = stmt_->h;
        SQLFreeStmt(s, SQL_RESET_PARAMS);
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            Column& c = columns_[i];
            const auto pos = static_cast<SQLUSMALLINT>(i + 1);
            SQLLEN* ind = c.ind.data() + first;
            SQLRETURN rc = SQL_SUCCESS;
            switch (c.kind) {
                case 'i':
                    rc = SQLBindParameter(s, pos, SQL_PARAM_INPUT, SQL_C_SBIGINT, c.sqlType, 0, 0,
                                          c.ints.data() + first, 0, ind);
                    break;
                case 'd':
                    rc = SQLBindParameter(s, pos, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 15, 0,
                                          c.reals.data() + first, 0, ind);
                    break;
                case 'b':
                    rc = SQLBindParameter(s, pos, SQL_PARAM_INPUT, SQL_C_BIT, SQL_BIT, 1, 0,
                                          c.bits.data() + first, 0, ind);
                    break;
                case 't':
                    rc = SQLBindParameter(s, pos, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP,
                                          kStampColumnSize, kStampDigits, c.stamps.data() + first,
                                          sizeof(SQL_TIMESTAMP_STRUCT), ind);
                    break;
                case 'w': {
                    const std::size_t slot = c.widest + 1;
                    c.wideSlots.assign(count * slot, u'\0');
                    for (std::size_t r = 0; r < count; ++r)
                        std::copy(c.texts[first + r].begin(), c.texts[first + r].end(),
                                  c.wideSlots.begin() + static_cast<std::ptrdiff_t>(r * slot));
                    rc = SQLBindParameter(s, pos, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, c.widest, 0,
                                          c.wideSlots.data(), static_cast<SQLLEN>(slot * sizeof(SQLWCHAR)),
                                          ind);
                    break;
                }
                case 'y': {
                    c.byteSlots.assign(count * c.widest, 0);
                    for (std::size_t r = 0; r < count; ++r)
                        std::copy(c.bytes[first + r].begin(), c.bytes[first + r].end(),
                                  c.byteSlots.begin() + static_cast<std::ptrdiff_t>(r * c.widest));
                    rc = SQLBindParameter(s, pos, SQL_PARAM_INPUT, SQL_C_BINARY, SQL_VARBINARY, c.widest, 0,
                                          c.byteSlots.data(), static_cast<SQLLEN>(c.widest), ind);
                    break;
                }
                default: {
                    c.wideSlots.assign(count, u'\0');
                    rc = SQLBindParameter(s, pos, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, 1, 0,
                                          c.wideSlots.data(), sizeof(SQLWCHAR), ind);
                    break;
                }
            }
            if (!Ok(rc)) throw EDatabaseError(Diagnostics(SQL_HANDLE_STMT, s));
        }
    }

    void Send(std::size_t row, std::size_t count) {
        SQLHSTMT s = stmt_->h;
        Bind(row, count);
        struct Close {
            SQLHSTMT s;
            ~Close() { SQLFreeStmt(s, SQL_CLOSE); }
        } close{s};
        const SQLRETURN rc = arrayCalls->Execute(s);
        Check(rc, SQL_HANDLE_STMT, s);
        if (count > 1) CheckEveryRowStored(rc, count);
    }

    // A driver may stop early and still return success, or go on past a failing row and tell it only
    // in that row's status: either way the table must not be committed without the row. A row without
    // a status of its own counts as stored only when the whole array succeeded without a message.
    void CheckEveryRowStored(SQLRETURN rc, std::size_t count) {
        const auto stored = [&](SQLUSMALLINT status) {
            return status == SQL_PARAM_SUCCESS || status == SQL_PARAM_SUCCESS_WITH_INFO ||
                   (rc == SQL_SUCCESS && (status == SQL_PARAM_DIAG_UNAVAILABLE || status == kNoStatus));
        };
        const std::size_t ran = std::min<std::size_t>(processed_, count);
        const std::size_t lost = static_cast<std::size_t>(
            std::find_if_not(status_.begin(), status_.begin() + ran, stored) - status_.begin());
        if (lost == count) return;
        const std::string messages = DriverMessages(SQL_HANDLE_STMT, stmt_->h);
        throw EDatabaseError(messages.empty() ? Format(kTxtOdbcRowNotStored, lost + 1, count) : messages);
    }

    // Sends every held row as one array; returns how many rows it sent (0 when the driver takes no
    // arrays of this size, so that the rows go one at a time, from now on).
    std::size_t SendArray() {
        SQLHSTMT s = stmt_->h;
        OdbcArrayCalls& calls = *arrayCalls;
        if (!Ok(calls.SetStmtAttr(s, SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(rows_), 0))) {
            dbc_->paramArrays = false;
            return 0;
        }
        struct Single {
            OdbcArrayCalls& calls;
            SQLHSTMT s;
            ~Single() {
                calls.SetStmtAttr(s, SQL_ATTR_PARAM_STATUS_PTR, nullptr, 0);
                calls.SetStmtAttr(s, SQL_ATTR_PARAMS_PROCESSED_PTR, nullptr, 0);
                calls.SetStmtAttr(s, SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(SQLULEN{1}), 0);
            }
        } single{calls, s};
        SQLULEN size = 0;
        calls.GetStmtAttr(s, SQL_ATTR_PARAMSET_SIZE, &size, 0, nullptr);
        if (size != rows_) {
            dbc_->paramArrays = false;
            return 0;
        }
        // A driver that writes no count or no status leaves these as they are.
        processed_ = rows_;
        status_.assign(rows_, kNoStatus);
        calls.SetStmtAttr(s, SQL_ATTR_PARAMS_PROCESSED_PTR, &processed_, 0);
        calls.SetStmtAttr(s, SQL_ATTR_PARAM_STATUS_PTR, status_.data(), 0);
        Send(0, rows_);
        dbc_->paramArrays = true;
        return rows_;
    }

    std::shared_ptr<DbcHandle> dbc_;
    std::unique_ptr<StmtHandle> stmt_;
    std::vector<Column> columns_;
    std::string shape_;
    std::size_t rows_ = 0;
    std::size_t held_ = 0;
    // What the driver tells of the array it was sent: rows it went through, and each row's outcome.
    static constexpr SQLUSMALLINT kNoStatus = 0xFFFF;
    SQLULEN processed_ = 0;
    std::vector<SQLUSMALLINT> status_;
};

class OdbcDriver : public Driver {
  public:
    ~OdbcDriver() override { OdbcDriver::Close(); }

    void Open(const std::string& connectionString, int connectionTimeout) override {
        const std::string odbc = TranslateToOdbc(connectionString);
        auto dbc = std::make_shared<DbcHandle>();
        if (!Ok(SQLAllocHandle(SQL_HANDLE_DBC, Environment(), &dbc->h)))
            throw EDatabaseError(Diagnostics(SQL_HANDLE_ENV, Environment()));
        SQLSetConnectAttr(dbc->h, SQL_ATTR_LOGIN_TIMEOUT,
                          reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(std::max(0, connectionTimeout))),
                          0);
        std::u16string w = Wide(odbc);
        SQLWCHAR out[1024];
        SQLSMALLINT outLen = 0;
        const SQLRETURN rc =
            SQLDriverConnectW(dbc->h, nullptr, W(w), SQL_NTS, out, 1024, &outLen, SQL_DRIVER_NOPROMPT);
        if (!Ok(rc)) throw EDatabaseError(Diagnostics(SQL_HANDLE_DBC, dbc->h));
        dbc->connected = true;
        dbc_ = std::move(dbc);
    }

    void Close() override {
        cache_.Clear();
        dbc_.reset();
    }
    bool IsOpen() const override { return dbc_ != nullptr; }
    void SetCommandTimeout(int seconds) override { timeout_ = std::max(0, seconds); }

    std::unique_ptr<Recordset> Execute(const std::string& sql) override {
        auto s = NewStatement();
        std::u16string w = Wide(sql);
        const SQLRETURN rc = SQLExecDirectW(s->h, W(w), SQL_NTS);
        Check(rc, SQL_HANDLE_STMT, s->h);
        SQLSMALLINT cols = 0;
        if (rc != SQL_NO_DATA) Check(SQLNumResultCols(s->h, &cols), SQL_HANDLE_STMT, s->h);
        if (cols > 0) return std::make_unique<OdbcRecordset>(dbc_, std::move(s), std::move(w), timeout_);
        // Later results of a batch still run and may fail.
        SQLRETURN more;
        while (Ok(more = SQLMoreResults(s->h))) {
        }
        if (more != SQL_NO_DATA) Check(more, SQL_HANDLE_STMT, s->h);
        return nullptr;
    }

    std::int64_t ExecuteCommand(const std::string& sql, const std::vector<Parameter>& params,
                                bool prepared) override {
        std::unique_ptr<StmtHandle> own;
        StmtHandle* s = nullptr;
        if (prepared) s = cache_.Find(sql);
        if (!s) {
            own = NewStatement();
            std::u16string w = Wide(sql);
            Check(SQLPrepareW(own->h, W(w), SQL_NTS), SQL_HANDLE_STMT, own->h);
            s = own.get();
        }
        SetStatementTimeout(s->h, timeout_);
        const std::int64_t rows = RunRow(s->h, params);
        if (own && prepared) cache_.Keep(sql, std::move(own));
        return rows;
    }

    std::unique_ptr<CommandBatch> PrepareBatch(const std::string& sql) override {
        auto s = NewStatement();
        std::u16string w = Wide(sql);
        Check(SQLPrepareW(s->h, W(w), SQL_NTS), SQL_HANDLE_STMT, s->h);
        return std::make_unique<OdbcBatch>(dbc_, std::move(s));
    }

    std::unique_ptr<Recordset> OpenSchema(int schema, const std::vector<Variant>& restrictions) override {
        auto arg = [&](std::size_t i, std::u16string& buf) -> SQLWCHAR* {
            if (i >= restrictions.size() || restrictions[i].IsNullOrEmpty()) return nullptr;
            buf = Wide(restrictions[i].AsString());
            return W(buf);
        };
        std::u16string cat, sch, tab;
        auto s = NewStatement();
        SQLWCHAR* c = arg(0, cat);
        SQLWCHAR* sc = arg(1, sch);
        SQLWCHAR* t = arg(2, tab);
        if (schema == adSchemaTables) {
            std::u16string types = u"TABLE,VIEW";
            Check(SQLTablesW(s->h, c, c ? SQL_NTS : 0, sc, sc ? SQL_NTS : 0, t, t ? SQL_NTS : 0, W(types),
                             SQL_NTS),
                  SQL_HANDLE_STMT, s->h);
            OdbcRecordset rs(dbc_, std::move(s), u"", timeout_);
            auto out = NewTablesRowset();
            for (; !rs.Eof(); rs.MoveNext())
                out->AddRow({rs.Value(0), rs.Value(1), rs.Value(2), rs.Value(3)});
            return out;
        }
        if (schema != adSchemaColumns) throw EDatabaseError(Format(kTxtSchemaKind, schema));
        Check(SQLColumnsW(s->h, c, c ? SQL_NTS : 0, sc, sc ? SQL_NTS : 0, t, t ? SQL_NTS : 0, nullptr, 0),
              SQL_HANDLE_STMT, s->h);
        OdbcRecordset rs(dbc_, std::move(s), u"", timeout_);
        auto out = NewColumnsRowset();
        for (; !rs.Eof(); rs.MoveNext()) {
            // ODBC's columns by position: 1 TABLE_CAT ... 18 IS_NULLABLE.
            const int ado = AdoType(static_cast<SQLSMALLINT>(rs.Value(4).AsInt64()),
                                    support::ContainsText(rs.Value(5).AsString(), "unsigned"));
            std::vector<Variant> row(std::size(kColumnsSchemaFields), Variant::Null());
            row[0] = rs.Value(0);
            row[1] = rs.Value(1);
            row[2] = rs.Value(2);
            row[3] = rs.Value(3);
            row[6] = rs.FieldCount() > 16 ? rs.Value(16) : Variant::Null();
            // The word NULL stands for a column whose default is null, which is no default at all.
            const Variant& dflt = rs.Value(12);
            const bool hasDefault =
                !dflt.IsNullOrEmpty() && !support::SameText(support::Trim(dflt.AsString()), "NULL");
            row[7] = hasDefault;
            if (hasDefault) row[8] = dflt.AsString();
            row[10] = rs.Value(10).AsInt64() != SQL_NO_NULLS;
            row[11] = static_cast<std::int64_t>(ado);
            const bool binary = ado == adBinary || ado == adVarBinary || ado == adLongVarBinary;
            if (IsTextAdo(ado) || binary) {
                row[13] = rs.Value(6);
                row[14] = rs.FieldCount() > 15 ? rs.Value(15) : Variant::Null();
            } else if (ado == adNumeric || ado == adDecimal) {
                row[15] = rs.Value(6);
                row[16] = rs.Value(8);
            } else if (ado != adBoolean && ado != adGUID && ado != adDBDate && ado != adDBTime &&
                       ado != adDBTimeStamp) {
                row[15] = rs.Value(6);
            }
            out->AddRow(std::move(row));
        }
        return out;
    }

    void BeginTrans() override {
        Check(SQLSetConnectAttr(dbc_->h, SQL_ATTR_AUTOCOMMIT,
                                reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0),
              SQL_HANDLE_DBC, dbc_->h);
    }
    void CommitTrans() override { End(SQL_COMMIT); }
    void RollbackTrans() override { End(SQL_ROLLBACK); }

  private:
    void End(SQLSMALLINT how) {
        const SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, dbc_->h, how);
        SQLSetConnectAttr(dbc_->h, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
        Check(rc, SQL_HANDLE_DBC, dbc_->h);
    }
    std::unique_ptr<StmtHandle> NewStatement() {
        auto s = std::make_unique<StmtHandle>(dbc_->h);
        SetStatementTimeout(s->h, timeout_);
        return s;
    }
    std::shared_ptr<DbcHandle> dbc_;
    int timeout_ = 30;
    StatementCache<std::unique_ptr<StmtHandle>> cache_;
};

// "{value}" when the value would break the key=value;... form.
std::string OdbcValue(const std::string& v) {
    if (v.find_first_of(";{}=") == std::string::npos && support::Trim(v) == v) return v;
    return "{" + support::ReplaceAll(v, "}", "}}") + "}";
}

// Whether a value typed into an ODBC string is already one value in ODBC's braces, "}" doubled inside.
bool OneBracedValue(const std::string& v) {
    if (v.size() < 2 || v.front() != '{') return false;
    for (std::size_t i = 1; i < v.size(); ++i) {
        if (v[i] != '}') continue;
        if (i + 1 == v.size()) return true;
        if (v[i + 1] != '}') return false;
        ++i;
    }
    return false;
}

std::string DriverPart(const std::string& driver) {
    // A library path is given as it is; a name from odbcinst.ini in braces.
    return driver.find('/') != std::string::npos ? "Driver=" + driver + ";" : "Driver={" + driver + "};";
}

}  // namespace

SQLRETURN OdbcArrayCalls::SetStmtAttr(SQLHSTMT s, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length) {
    return SQLSetStmtAttr(s, attribute, value, length);
}
SQLRETURN OdbcArrayCalls::GetStmtAttr(SQLHSTMT s, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length,
                                      SQLINTEGER* outLength) {
    return SQLGetStmtAttr(s, attribute, value, length, outLength);
}
SQLRETURN OdbcArrayCalls::Execute(SQLHSTMT s) {
    return SQLExecute(s);
}

ScopedOdbcArrayCalls::ScopedOdbcArrayCalls(OdbcArrayCalls& calls) : previous_(arrayCalls) {
    arrayCalls = &calls;
}
ScopedOdbcArrayCalls::~ScopedOdbcArrayCalls() {
    arrayCalls = previous_;
}

std::unique_ptr<Driver> NewOdbcDriver() {
    return std::make_unique<OdbcDriver>();
}

std::vector<std::string> InstalledOdbcDrivers() {
    std::vector<std::string> out;
    SQLWCHAR desc[512], attrs[2048];
    SQLSMALLINT descLen = 0, attrLen = 0;
    SQLUSMALLINT dir = SQL_FETCH_FIRST;
    SQLHENV env;
    try {
        env = Environment();
    } catch (const EDatabaseError&) {
        return out;
    }
    while (Ok(SQLDriversW(env, dir, desc, 512, &descLen, attrs, 2048, &attrLen))) {
        out.push_back(Narrow(desc, static_cast<std::size_t>(std::clamp<SQLSMALLINT>(descLen, 0, 511))));
        dir = SQL_FETCH_NEXT;
    }
    return out;
}

std::string OdbcDriverFor(const std::string& provider) {
    const bool oracle = StartsText("OraOLEDB", provider);
    if (const char* env = std::getenv(oracle ? kEnvOdbcOracleDriver : kEnvOdbcMsSqlDriver); env && *env)
        return env;
    const std::vector<std::string> installed = InstalledOdbcDrivers();
    if (oracle) {
        for (const auto& d : installed)
            if (StartsText("Oracle", d)) return d;
        return {};
    }
    static const char* const preference[] = {"ODBC Driver 18 for SQL Server",
                                             "ODBC Driver 17 for SQL Server",
                                             "ODBC Driver 13 for SQL Server",
                                             "SQL Server Native Client 11.0",
                                             "SQL Server",
                                             "FreeTDS"};
    for (const char* p : preference)
        for (const auto& d : installed)
            if (support::SameText(d, p)) return d;
    return {};
}

std::string TranslateToOdbc(const std::string& cs) {
    const std::string provider = ConnectionStringValueTrimmed(cs, "Provider");
    if (StartsText("MSDASQL", provider)) {
        // The rest is ODBC's own: a value typed in ODBC's braces passes as it is; any other, and every
        // value that stood between quotes, goes in ODBC's quoting, so that none can add a key.
        std::string rest;
        for (const auto& p : ConnectionStringParts(cs)) {
            if (support::SameText(support::Trim(p.key), "Provider")) continue;
            const std::string typed = support::Trim(p.value);
            rest += p.key + "=" + (!p.quoted && OneBracedValue(typed) ? typed : OdbcValue(p.value)) + ";";
        }
        return rest;
    }
    const bool oracle = StartsText("OraOLEDB", provider);
    const std::string driver = OdbcDriverFor(provider);
    if (driver.empty())
        throw EDatabaseError(
            Format(kTxtNoOdbcDriver, provider, oracle ? kEnvOdbcOracleDriver : kEnvOdbcMsSqlDriver));
    const std::string source = ConnectionStringValueTrimmed(cs, "Data Source");
    const std::string user = ConnectionStringValueTrimmed(cs, "User ID");
    const std::string password = ConnectionStringValueTrimmed(cs, "Password");
    std::string out = DriverPart(driver);
    if (oracle)
        return out + "DBQ=" + OdbcValue(source) + ";UID=" + OdbcValue(user) + ";PWD=" + OdbcValue(password) +
               ";";
    out += "Server=" + OdbcValue(source) + ";";
    const std::string catalog = ConnectionStringValueTrimmed(cs, "Initial Catalog");
    if (!catalog.empty()) out += "Database=" + OdbcValue(catalog) + ";";
    if (support::SameText(ConnectionStringValueTrimmed(cs, "Integrated Security"), "SSPI"))
        out += "Trusted_Connection=Yes;";
    else
        out += "UID=" + OdbcValue(user) + ";PWD=" + OdbcValue(password) + ";";
    // Driver 18 encrypts by default and refuses the self-signed certificates of local servers.
    if (support::ContainsText(driver, "Driver 18")) out += "TrustServerCertificate=Yes;";
    return out;
}

}  // namespace kestrane::db
