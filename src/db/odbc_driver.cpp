#include "db/odbc_driver.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/cursor_recordset.h"
#include "db/memory_recordset.h"
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

std::string Diagnostics(SQLSMALLINT type, SQLHANDLE h) {
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
    return out.empty() ? std::string("ODBC call failed") : out;
}

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

struct DbcHandle {
    SQLHDBC h = SQL_NULL_HDBC;
    bool connected = false;
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
        case adDBTime:
        case adDBTimeStamp: {
            SQL_TIMESTAMP_STRUCT t{};
            rc = SQLGetData(s, col, SQL_C_TYPE_TIMESTAMP, &t, sizeof t, &ind);
            if (!Ok(rc)) fail();
            if (ind == SQL_NULL_DATA) return Variant::Null();
            // A time-only value arrives on the driver's "today"; the engine's dates keep it on day 0.
            const bool timeOnly = type == adDBTime;
            return Variant::FromDateTime(support::EncodeDateTime(
                timeOnly ? 1899 : t.year, timeOnly ? 12 : t.month, timeOnly ? 30 : t.day, t.hour, t.minute,
                t.second, static_cast<int>(t.fraction / 1000000)));
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
    OdbcRecordset(SQLHDBC dbc, std::unique_ptr<StmtHandle> stmt, std::u16string sql, int timeout)
        : dbc_(dbc), stmt_(std::move(stmt)), sql_(std::move(sql)), timeout_(timeout) {
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
        StmtHandle s(dbc_);
        SQLSetStmtAttr(s.h, SQL_ATTR_QUERY_TIMEOUT,
                       reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeout_)), 0);
        Check(SQLExecDirectW(s.h, W(sql_), SQL_NTS), SQL_HANDLE_STMT, s.h);
        std::int64_t n = 0;
        SQLRETURN rc;
        while (Ok(rc = SQLFetch(s.h))) ++n;
        if (rc != SQL_NO_DATA) throw EDatabaseError(Diagnostics(SQL_HANDLE_STMT, s.h));
        return n;
    }

    SQLHDBC dbc_;
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

void BindParam(SQLHSTMT s, SQLUSMALLINT pos, const Parameter& p, BoundParam& b) {
    const Variant& v = p.Value;
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
        case support::VarType::DateTime: {
            int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0, ms = 0;
            std::sscanf(support::DateTimeToStoredText(v.AsDateTime()).c_str(), "%d-%d-%d %d:%d:%d.%d", &y,
                        &mo, &d, &h, &mi, &sec, &ms);
            b.stamp = SQL_TIMESTAMP_STRUCT{static_cast<SQLSMALLINT>(y),
                                           static_cast<SQLUSMALLINT>(mo),
                                           static_cast<SQLUSMALLINT>(d),
                                           static_cast<SQLUSMALLINT>(h),
                                           static_cast<SQLUSMALLINT>(mi),
                                           static_cast<SQLUSMALLINT>(sec),
                                           static_cast<SQLUINTEGER>(ms) * 1000000u};
            // 23 characters with 3 digits of fraction: the milliseconds go to the server too.
            rc = SQLBindParameter(s, pos, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 23, 3,
                                  &b.stamp, sizeof b.stamp, nullptr);
            break;
        }
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

class OdbcDriver : public Driver {
  public:
    ~OdbcDriver() override { OdbcDriver::Close(); }

    void Open(const std::string& connectionString, int connectionTimeout) override {
        const std::string odbc = TranslateToOdbc(connectionString);
        auto dbc = std::make_unique<DbcHandle>();
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
        if (cols > 0) return std::make_unique<OdbcRecordset>(dbc_->h, std::move(s), std::move(w), timeout_);
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
        SQLSetStmtAttr(s->h, SQL_ATTR_QUERY_TIMEOUT,
                       reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeout_)), 0);
        std::vector<BoundParam> buffers(params.size());
        struct Reset {
            SQLHSTMT h;
            ~Reset() {
                SQLFreeStmt(h, SQL_CLOSE);
                SQLFreeStmt(h, SQL_RESET_PARAMS);
            }
        } reset{s->h};
        for (std::size_t i = 0; i < params.size(); ++i)
            BindParam(s->h, static_cast<SQLUSMALLINT>(i + 1), params[i], buffers[i]);
        const SQLRETURN rc = SQLExecute(s->h);
        Check(rc, SQL_HANDLE_STMT, s->h);
        SQLLEN rows = 0;
        if (rc != SQL_NO_DATA) SQLRowCount(s->h, &rows);
        if (own && prepared) cache_.Keep(sql, std::move(own));
        return rows;
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
            OdbcRecordset rs(dbc_->h, std::move(s), u"", timeout_);
            auto out = NewTablesRowset();
            for (; !rs.Eof(); rs.MoveNext())
                out->AddRow({rs.Value(0), rs.Value(1), rs.Value(2), rs.Value(3)});
            return out;
        }
        if (schema != adSchemaColumns) throw EDatabaseError(Format(kTxtSchemaKind, schema));
        Check(SQLColumnsW(s->h, c, c ? SQL_NTS : 0, sc, sc ? SQL_NTS : 0, t, t ? SQL_NTS : 0, nullptr, 0),
              SQL_HANDLE_STMT, s->h);
        OdbcRecordset rs(dbc_->h, std::move(s), u"", timeout_);
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
        SQLSetStmtAttr(s->h, SQL_ATTR_QUERY_TIMEOUT,
                       reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeout_)), 0);
        return s;
    }
    std::unique_ptr<DbcHandle> dbc_;
    int timeout_ = 30;
    StatementCache<std::unique_ptr<StmtHandle>> cache_;
};

// "{value}" when the value would break the key=value;... form.
std::string OdbcValue(const std::string& v) {
    if (v.find_first_of(";{}=") == std::string::npos && support::Trim(v) == v) return v;
    return "{" + support::ReplaceAll(v, "}", "}}") + "}";
}

std::string DriverPart(const std::string& driver) {
    // A library path is given as it is; a name from odbcinst.ini in braces.
    return driver.find('/') != std::string::npos ? "Driver=" + driver + ";" : "Driver={" + driver + "};";
}

}  // namespace

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
        std::string rest;
        for (const auto& [k, v] : SplitConnectionString(cs))
            if (!support::SameText(support::Trim(k), "Provider")) rest += k + "=" + v + ";";
        return rest;
    }
    const bool oracle = StartsText("OraOLEDB", provider);
    const std::string driver = OdbcDriverFor(provider);
    if (driver.empty())
        throw EDatabaseError(
            Format(kTxtNoOdbcDriver, provider, oracle ? kEnvOdbcOracleDriver : kEnvOdbcMsSqlDriver));
    const std::string source = ConnectionStringValueTrimmed(cs, "Data Source");
    const std::string user = ConnectionStringValueTrimmed(cs, "User ID");
    const std::string password = ConnectionStringValue(cs, "Password");
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
