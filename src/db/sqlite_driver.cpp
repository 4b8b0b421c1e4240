#include "db/sqlite_driver.h"

#include <sqlite3.h>

#include <charconv>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/cursor_recordset.h"
#include "db/memory_recordset.h"
#include "db/statement_cache.h"
#include "db/texts.h"
#include "support/format.h"
#include "support/guid.h"
#include "support/text.h"

namespace kestrane::db {

using support::Format;
using support::SameText;
using support::UpperCase;

namespace {

bool IsWordChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

// Splits "name(a,b)" into the upper-cased first word and the numbers in parentheses.
struct TypeWords {
    std::string first;
    std::string all;  // every word, upper-cased, joined by one blank
    std::vector<std::int64_t> args;
};

TypeWords ParseTypeWords(std::string_view decl) {
    TypeWords w;
    std::size_t i = 0;
    while (i < decl.size() && decl[i] != '(') {
        if (IsWordChar(decl[i])) {
            std::size_t j = i;
            while (j < decl.size() && IsWordChar(decl[j])) ++j;
            const std::string word = UpperCase(decl.substr(i, j - i));
            if (w.first.empty()) w.first = word;
            w.all += (w.all.empty() ? "" : " ") + word;
            i = j;
        } else {
            ++i;
        }
    }
    if (i < decl.size() && decl[i] == '(') {
        ++i;
        while (i < decl.size() && decl[i] != ')') {
            std::size_t j = i;
            while (j < decl.size() && decl[j] != ',' && decl[j] != ')') ++j;
            const auto n = support::TryStrToInt64(support::Trim(decl.substr(i, j - i)));
            w.args.push_back(n && *n >= 0 ? *n : 0);
            i = j < decl.size() && decl[j] == ',' ? j + 1 : j;
        }
    }
    return w;
}

}  // namespace

DeclaredType MapDeclaredType(std::string_view declared) {
    const TypeWords w = ParseTypeWords(declared);
    const std::string& f = w.first;
    const std::int64_t a0 = w.args.size() > 0 ? w.args[0] : -1;
    const std::int64_t a1 = w.args.size() > 1 ? w.args[1] : 0;
    auto is = [&](std::initializer_list<const char*> names) {
        for (const char* n : names)
            if (f == n) return true;
        return false;
    };
    if (is({"LONG", "INT", "INTEGER", "INTEGER4", "INT4", "COUNTER", "AUTOINCREMENT", "IDENTITY"})) {
        if (w.all == "LONG RAW" || w.all == "LONG BINARY" || w.all == "LONG VARBINARY")
            return {adLongVarBinary, 0};
        if (w.all == "LONG VARCHAR" || w.all == "LONG TEXT") return {adLongVarWChar, 0};
        return {adInteger, 4, 10};
    }
    if (is({"SMALLINT", "SHORT", "INTEGER2", "INT2"})) return {adSmallInt, 2, 5};
    if (is({"TINYINT", "BYTE", "INTEGER1"})) return {adUnsignedTinyInt, 1, 3};
    if (is({"BIGINT", "INT8", "INTEGER8"})) return {adBigInt, 8, 19};
    if (is({"REAL", "SINGLE", "FLOAT4", "IEEESINGLE"})) return {adSingle, 4, 7};
    if (is({"FLOAT", "DOUBLE", "FLOAT8", "IEEEDOUBLE", "NUMBER"})) return {adDouble, 8, 15};
    if (is({"MONEY", "CURRENCY", "SMALLMONEY"})) return {adCurrency, 8, 19, 4};
    if (is({"DECIMAL", "NUMERIC", "DEC"})) {
        const int p = a0 > 0 && a0 <= 38 ? static_cast<int>(a0) : 18;
        const int s = a1 >= 0 && a1 <= p ? static_cast<int>(a1) : 0;
        return {adNumeric, 19, p, s};
    }
    if (is({"DATETIME", "DATE", "TIME", "TIMESTAMP", "SMALLDATETIME", "DATETIME2"})) return {adDate, 8};
    if (is({"BIT", "BOOLEAN", "BOOL", "LOGICAL", "LOGICAL1", "YESNO"})) return {adBoolean, 2};
    if (is({"GUID", "UNIQUEIDENTIFIER", "UUID"})) return {adGUID, 16};
    if (is({"MEMO", "LONGTEXT", "LONGCHAR", "NOTE", "NTEXT", "TEXT", "CLOB", "NCLOB"})) {
        if (f == "TEXT" && a0 > 0) return {adVarWChar, a0};
        return {adLongVarWChar, 0};
    }
    if (is({"CHAR", "NCHAR", "CHARACTER", "NATIONAL"})) {
        if (w.all.find("VARYING") != std::string::npos) return {adVarWChar, a0 > 0 ? a0 : 255};
        return {adWChar, a0 > 0 ? a0 : 1};
    }
    if (is({"VARCHAR", "NVARCHAR", "VARCHAR2", "NVARCHAR2", "STRING", "ALPHANUMERIC"}))
        return {adVarWChar, a0 > 0 ? a0 : 255};
    if (is({"LONGBINARY", "BLOB", "IMAGE", "OLEOBJECT", "GENERAL"})) return {adLongVarBinary, 0};
    if (is({"BINARY"})) return {adBinary, a0 > 0 ? a0 : 510};
    if (is({"VARBINARY", "RAW"})) return {adVarBinary, a0 > 0 ? a0 : 510};
    // SQLite's affinity rules for everything else.
    if (w.all.find("INT") != std::string::npos) return {adBigInt, 8, 19};
    if (w.all.find("CHAR") != std::string::npos || w.all.find("CLOB") != std::string::npos ||
        w.all.find("TEXT") != std::string::npos)
        return {adLongVarWChar, 0};
    if (w.all.empty() || w.all.find("BLOB") != std::string::npos) return {adLongVarBinary, 0};
    if (w.all.find("REAL") != std::string::npos || w.all.find("FLOA") != std::string::npos ||
        w.all.find("DOUB") != std::string::npos)
        return {adDouble, 8, 15};
    return {adNumeric, 19, 18, 0};
}

std::string GiveMemoTextAffinity(const std::string& sql) {
    // Tokens: words, bracketed or quoted names, strings, single punctuation.
    struct Tok {
        std::size_t b, e;
        char kind;  // 'w' word, 'n' quoted name, 's' string, 'p' punctuation
    };
    std::vector<Tok> toks;
    for (std::size_t i = 0; i < sql.size();) {
        const char c = sql[i];
        if (static_cast<unsigned char>(c) <= ' ') {
            ++i;
        } else if (IsWordChar(c)) {
            std::size_t j = i;
            while (j < sql.size() && IsWordChar(sql[j])) ++j;
            toks.push_back({i, j, 'w'});
            i = j;
        } else if (c == '[' || c == '"' || c == '`' || c == '\'') {
            const char close = c == '[' ? ']' : c;
            std::size_t j = i + 1;
            while (j < sql.size() && sql[j] != close) ++j;
            j = j < sql.size() ? j + 1 : j;
            toks.push_back({i, j, c == '\'' ? 's' : 'n'});
            i = j;
        } else {
            toks.push_back({i, i + 1, 'p'});
            ++i;
        }
    }
    auto word = [&](std::size_t k, const char* w) {
        return k < toks.size() && toks[k].kind == 'w' &&
               SameText(std::string_view(sql).substr(toks[k].b, toks[k].e - toks[k].b), w);
    };
    auto isName = [&](std::size_t k) {
        return k < toks.size() && (toks[k].kind == 'w' || toks[k].kind == 'n');
    };
    std::vector<std::size_t> memoAt;  // token indexes of MEMO type names
    if (word(0, "create") && (word(1, "table") || (word(1, "temp") && word(2, "table")))) {
        int depth = 0;
        for (std::size_t k = 0; k < toks.size(); ++k) {
            if (toks[k].kind != 'p') continue;
            const char c = sql[toks[k].b];
            if (c == '(') ++depth;
            if (c == ')') --depth;
            if ((c == '(' && depth == 1) || (c == ',' && depth == 1))
                if (isName(k + 1) && word(k + 2, "memo")) memoAt.push_back(k + 2);
        }
    } else if (word(0, "alter") && word(1, "table")) {
        for (std::size_t k = 2; k < toks.size(); ++k)
            if (word(k, "add")) {
                std::size_t n = word(k + 1, "column") ? k + 2 : k + 1;
                if (isName(n) && word(n + 1, "memo")) memoAt.push_back(n + 1);
            }
    }
    if (memoAt.empty()) return sql;
    std::string out;
    std::size_t last = 0;
    for (std::size_t k : memoAt) {
        out.append(sql, last, toks[k].e - last);
        out += " TEXT";
        last = toks[k].e;
    }
    out.append(sql, last);
    return out;
}

namespace {

using Clock = std::chrono::steady_clock;

struct DbHandle {
    sqlite3* db = nullptr;
    std::optional<Clock::time_point> deadline;
    ~DbHandle() {
        if (db) sqlite3_close_v2(db);  // deferred until the last statement of a record set is finalized
    }
};

struct StmtDeleter {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using StmtPtr = std::unique_ptr<sqlite3_stmt, StmtDeleter>;

[[noreturn]] void Fail(sqlite3* db, int rc) {
    if (rc == SQLITE_INTERRUPT) throw EDatabaseError(kTxtTimeout);
    throw EDatabaseError(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
}

std::string ColumnText(sqlite3_stmt* s, int i) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
    return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(s, i))) : std::string();
}

std::string NumberText(sqlite3_stmt* s, int i) {
    if (sqlite3_column_type(s, i) == SQLITE_INTEGER) return std::to_string(sqlite3_column_int64(s, i));
    return DecimalText(sqlite3_column_double(s, i));
}

// "yyyy-mm-dd", "yyyy-mm-dd hh:nn:ss" or "yyyy-mm-dd hh:nn:ss.zzz" (also with a "T" between, as SQLite's
// own functions may write it), read without the general parser; anything else is left to it.
bool ReadPlainDate(const char* p, int n, double& days) {
    auto num = [&](int at, int len, int& out) {
        out = 0;
        for (int k = at; k < at + len; ++k) {
            if (p[k] < '0' || p[k] > '9') return false;
            out = out * 10 + (p[k] - '0');
        }
        return true;
    };
    int y, mo, d, h = 0, mi = 0, sec = 0, ms = 0;
    if (n != 10 && n != 19 && n != 23) return false;
    if (!num(0, 4, y) || p[4] != '-' || !num(5, 2, mo) || p[7] != '-' || !num(8, 2, d)) return false;
    if (n >= 19 && ((p[10] != ' ' && p[10] != 'T') || !num(11, 2, h) || p[13] != ':' || !num(14, 2, mi) ||
                    p[16] != ':' || !num(17, 2, sec)))
        return false;
    if (n == 23 && (p[19] != '.' || !num(20, 3, ms))) return false;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || sec > 59) return false;
    days = support::EncodeDateTime(y, mo, d, h, mi, sec, ms);
    return true;
}

}  // namespace

std::string DecimalText(double d) {
    char buf[64];
    for (int precision = 15; precision <= 17; ++precision) {
        const auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, precision);
        double back = 0;
        const auto p = std::from_chars(buf, r.ptr, back);
        if (precision == 17 || (p.ec == std::errc() && p.ptr == r.ptr && back == d))
            return std::string(buf, r.ptr);
    }
    return {};
}

namespace {

// The value of column i, converted to what its ADO type says.
Variant ReadValue(sqlite3_stmt* s, int i, int adoType) {
    const int storage = sqlite3_column_type(s, i);
    if (storage == SQLITE_NULL) return Variant::Null();
    switch (adoType) {
        case adBoolean:
            if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT)
                return Variant(sqlite3_column_double(s, i) != 0);
            try {
                return Variant(Variant(ColumnText(s, i)).AsBoolean());
            } catch (const support::EConvertError&) {
                return Variant(ColumnText(s, i));
            }
        case adDate:
        case adDBDate:
        case adDBTime:
        case adDBTimeStamp:
            if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT)
                return Variant::FromDateTime(sqlite3_column_double(s, i));
            if (storage == SQLITE_TEXT) {
                double days = 0;
                const char* p = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
                if (p && ReadPlainDate(p, sqlite3_column_bytes(s, i), days))
                    return Variant::FromDateTime(days);
                const std::string t = ColumnText(s, i);
                if (support::TryTextToDateTime(t, days)) return Variant::FromDateTime(days);
                return Variant(t);
            }
            break;
        case adGUID:
            if (storage == SQLITE_BLOB && sqlite3_column_bytes(s, i) == 16) {
                support::GuidBytes b;
                std::memcpy(b.data(), sqlite3_column_blob(s, i), 16);
                return Variant(support::GuidToString(support::GuidFromBytes(b)));
            }
            break;
        case adNumeric:
        case adDecimal:
        case adVarNumeric:
        case adCurrency:
            if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT)
                return Variant::FromDecimal(NumberText(s, i));
            if (storage == SQLITE_TEXT) return Variant::FromDecimal(ColumnText(s, i));
            break;
        case adSingle:
        case adDouble:
            if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT)
                return Variant(sqlite3_column_double(s, i));
            break;
        default:
            break;
    }
    switch (storage) {
        case SQLITE_INTEGER:
            return Variant(static_cast<std::int64_t>(sqlite3_column_int64(s, i)));
        case SQLITE_FLOAT:
            return Variant(sqlite3_column_double(s, i));
        case SQLITE_TEXT:
            return Variant(ColumnText(s, i));
        default: {
            const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(s, i));
            const int n = sqlite3_column_bytes(s, i);
            return Variant(support::Bytes(p, p + n));
        }
    }
}

// Binds without copying: the texts made here are kept in `texts`, which the caller keeps, with the
// parameters, until the statement has run and its bindings are cleared.
void Bind(sqlite3* db, sqlite3_stmt* s, int pos, const Parameter& p, std::vector<std::string>& texts) {
    const Variant& v = p.Value;
    auto bindText = [&](std::string t) {
        texts.push_back(std::move(t));
        const std::string& kept = texts.back();
        return sqlite3_bind_text(s, pos, kept.data(), static_cast<int>(kept.size()), SQLITE_STATIC);
    };
    int rc = SQLITE_OK;
    switch (v.Type()) {
        case support::VarType::Empty:
        case support::VarType::Null:
            rc = sqlite3_bind_null(s, pos);
            break;
        case support::VarType::Integer:
            rc = sqlite3_bind_int64(s, pos, v.AsInt64());
            break;
        case support::VarType::Double:
            rc = sqlite3_bind_double(s, pos, v.AsDouble());
            break;
        case support::VarType::Boolean:
            rc = sqlite3_bind_int(s, pos, v.AsBoolean() ? 1 : 0);
            break;
        case support::VarType::DateTime:
            rc = bindText(support::DateTimeToStoredText(v.AsDateTime()));
            break;
        case support::VarType::Decimal:
        case support::VarType::Text:
            rc = bindText(v.AsString());
            break;
        case support::VarType::Bytes: {
            const support::Bytes& b = v.AsBytes();
            if (p.Type == adGUID) {
                if (b.size() != 16) throw EDatabaseError(Format(kTxtNotGuid, static_cast<int>(b.size())));
                support::GuidBytes g;
                std::copy(b.begin(), b.end(), g.begin());
                rc = bindText(support::GuidToString(support::GuidFromBytes(g)));
            } else {
                rc = sqlite3_bind_blob(s, pos, b.empty() ? "" : static_cast<const void*>(b.data()),
                                       static_cast<int>(b.size()), SQLITE_STATIC);
            }
            break;
        }
    }
    if (rc != SQLITE_OK) Fail(db, rc);
}

// Rows of one statement, stepped forward; MoveFirst resets it, RecordCount counts on a second copy.
class SqliteRecordset : public CursorRecordset {
  public:
    SqliteRecordset(std::shared_ptr<DbHandle> h, StmtPtr stmt, int firstStep)
        : h_(std::move(h)), stmt_(std::move(stmt)) {
        sqlite3_stmt* s = stmt_.get();
        const int n = sqlite3_column_count(s);
        fields_.resize(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            FieldInfo& f = fields_[static_cast<std::size_t>(i)];
            const char* name = sqlite3_column_name(s, i);
            f.Name = name ? name : "";
            if (const char* t = sqlite3_column_table_name(s, i)) f.BaseTable = t;
            if (const char* decl = sqlite3_column_decltype(s, i)) {
                const DeclaredType d = MapDeclaredType(decl);
                f.Type = d.Type;
                f.DefinedSize = d.Size;
                f.Precision = d.Precision;
                f.Scale = d.Scale;
            } else {
                // An expression: typed by what its first row holds.
                switch (firstStep == SQLITE_ROW ? sqlite3_column_type(s, i) : SQLITE_NULL) {
                    case SQLITE_INTEGER:
                        f.Type = adInteger, f.DefinedSize = 4;
                        break;
                    case SQLITE_FLOAT:
                        f.Type = adDouble, f.DefinedSize = 8;
                        break;
                    case SQLITE_BLOB:
                        f.Type = adLongVarBinary;
                        break;
                    default:
                        f.Type = adVarWChar, f.DefinedSize = 255;
                        break;
                }
            }
        }
        FieldsKnown();
        Arrive(firstStep);
    }

  private:
    void Restart() override {
        sqlite3_reset(stmt_.get());
        Arrive(Step(stmt_.get()));
    }
    void Fetch() override { Arrive(Step(stmt_.get())); }
    std::int64_t CountRows() override {
        sqlite3_stmt* raw = nullptr;
        const int rc = sqlite3_prepare_v2(h_->db, sqlite3_sql(stmt_.get()), -1, &raw, nullptr);
        if (rc != SQLITE_OK) Fail(h_->db, rc);
        StmtPtr copy(raw);
        std::int64_t n = 0;
        while (Step(copy.get()) == SQLITE_ROW) ++n;
        return n;
    }
    int Step(sqlite3_stmt* s) {
        const int rc = sqlite3_step(s);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
            sqlite3_reset(s);
            Fail(h_->db, rc);
        }
        return rc;
    }
    void Arrive(int rc) {
        eof_ = rc != SQLITE_ROW;
        for (std::size_t i = 0; i < fields_.size(); ++i)
            values_[i] = eof_ ? Variant() : ReadValue(stmt_.get(), static_cast<int>(i), fields_[i].Type);
    }

    std::shared_ptr<DbHandle> h_;
    StmtPtr stmt_;
};

int ProgressHandler(void* p) {
    const auto* h = static_cast<const DbHandle*>(p);
    return h->deadline && Clock::now() > *h->deadline ? 1 : 0;
}

class SqliteDriver : public Driver {
  public:
    ~SqliteDriver() override { SqliteDriver::Close(); }

    void Open(const std::string& connectionString, int connectionTimeout) override {
        std::string path = ConnectionStringValueTrimmed(connectionString, "Data Source");
        std::error_code ec;
        // The folder of embedded account sets is their server: connecting to it names no database.
        if (!path.empty() && std::filesystem::is_directory(path, ec))
            path = ":memory:";
        else if (path.empty() || !std::filesystem::is_regular_file(path, ec))
            throw EDatabaseError(Format(kTxtNoFile, path));
        auto h = std::make_shared<DbHandle>();
        const int rc =
            sqlite3_open_v2(path.c_str(), &h->db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc != SQLITE_OK) Fail(h->db, rc);
        sqlite3_extended_result_codes(h->db, 0);
        sqlite3_busy_timeout(h->db, connectionTimeout > 0 ? connectionTimeout * 1000 : INT_MAX);
        h_ = std::move(h);
        sqlite3_progress_handler(h_->db, 4096, ProgressHandler, h_.get());
        // Reading the header also tells a non-database file from a database.
        auto id = Execute("pragma application_id");
        if (id && !id->Eof() && id->Value(0).AsInt64() == kScratchApplicationId) {
            Exec("pragma journal_mode=MEMORY");
            Exec("pragma synchronous=OFF");
            // A table is copied in one transaction; a larger cache keeps its pages from spilling early.
            Exec("pragma cache_size=-16384");
        }
    }

    void Close() override {
        cache_.Clear();
        h_.reset();
    }
    bool IsOpen() const override { return h_ != nullptr; }
    void SetCommandTimeout(int seconds) override { commandTimeout_ = seconds; }

    std::unique_ptr<Recordset> Execute(const std::string& text) override {
        const std::string sql = GiveMemoTextAffinity(text);
        const char* tail = sql.c_str();
        const char* end = sql.c_str() + sql.size();
        StartStatement();
        while (tail < end) {
            sqlite3_stmt* raw = nullptr;
            const int rc = sqlite3_prepare_v2(h_->db, tail, static_cast<int>(end - tail), &raw, &tail);
            if (rc != SQLITE_OK) Fail(h_->db, rc);
            if (!raw) continue;  // blanks or a comment
            StmtPtr stmt(raw);
            int step = sqlite3_step(raw);
            if (step != SQLITE_ROW && step != SQLITE_DONE) Fail(h_->db, step);
            const bool more = HasMore(tail, end);
            if (sqlite3_column_count(raw) > 0 && !more)
                return std::make_unique<SqliteRecordset>(h_, std::move(stmt), step);
            while (step == SQLITE_ROW) step = sqlite3_step(raw);
            if (step != SQLITE_DONE) Fail(h_->db, step);
        }
        return nullptr;
    }

    std::int64_t ExecuteCommand(const std::string& sql, const std::vector<Parameter>& params,
                                bool prepared) override {
        StartStatement();
        StmtPtr own;
        sqlite3_stmt* s = prepared ? cache_.Find(sql) : nullptr;
        if (!s) {
            sqlite3_stmt* raw = nullptr;
            const std::string text = GiveMemoTextAffinity(sql);
            const int rc =
                sqlite3_prepare_v2(h_->db, text.c_str(), static_cast<int>(text.size()), &raw, nullptr);
            if (rc != SQLITE_OK) Fail(h_->db, rc);
            own.reset(raw);
            s = raw;
        }
        std::vector<std::string> texts;
        texts.reserve(params.size());  // bound in place: no reallocation may move them
        struct Reset {
            sqlite3_stmt* s;
            ~Reset() {
                sqlite3_reset(s);
                sqlite3_clear_bindings(s);
            }
        } reset{s};
        for (std::size_t i = 0; i < params.size(); ++i)
            Bind(h_->db, s, static_cast<int>(i + 1), params[i], texts);
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE) Fail(h_->db, rc);
        if (prepared && own) cache_.Keep(sql, std::move(own));
        return sqlite3_changes(h_->db);
    }

    std::unique_ptr<Recordset> OpenSchema(int schema, const std::vector<Variant>& restrictions) override {
        const std::string table = restrictions.size() > 2 ? restrictions[2].AsString() : std::string();
        std::vector<std::pair<std::string, std::string>> tables;  // name, type
        {
            auto rs = Execute(
                "select name, type from sqlite_master where type in ('table','view') and name not like "
                "'sqlite\\_%' "
                "escape '\\' order by name");
            for (; rs && !rs->Eof(); rs->MoveNext()) {
                const std::string name = rs->Value(0).AsString();
                if (table.empty() || SameText(name, table))
                    tables.emplace_back(name, rs->Value(1).AsString() == "view" ? "VIEW" : "TABLE");
            }
        }
        if (schema == adSchemaTables) {
            auto out = NewTablesRowset();
            for (const auto& [name, type] : tables)
                out->AddRow({Variant::Null(), Variant::Null(), name, type});
            return out;
        }
        if (schema != adSchemaColumns) throw EDatabaseError(Format(kTxtSchemaKind, schema));
        auto out = NewColumnsRowset();
        for (const auto& t : tables) {
            std::string quoted = "\"";
            for (char c : t.first) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
            quoted += '"';
            auto rs = Execute("pragma table_info(" + quoted + ")");
            for (; rs && !rs->Eof(); rs->MoveNext()) {
                const DeclaredType d = MapDeclaredType(rs->Value("type").AsString());
                const Variant& dflt = rs->Value("dflt_value");
                const bool text = d.Type == adWChar || d.Type == adVarWChar || d.Type == adLongVarWChar;
                const bool binary = d.Type == adBinary || d.Type == adVarBinary || d.Type == adLongVarBinary;
                const bool numeric = d.Precision > 0;
                std::vector<Variant> row(std::size(kColumnsSchemaFields), Variant::Null());
                row[2] = t.first;
                row[3] = rs->Value("name").AsString();
                row[6] = rs->Value("cid").AsInt64() + 1;
                row[7] = !dflt.IsNull();
                if (!dflt.IsNull()) row[8] = dflt.AsString();
                row[10] = rs->Value("notnull").AsInt64() == 0 && rs->Value("pk").AsInt64() == 0;
                row[11] = static_cast<std::int64_t>(d.Type);
                if (text || binary) {
                    row[13] = d.Size;
                    row[14] = text ? d.Size * 2 : d.Size;
                }
                if (numeric) row[15] = static_cast<std::int64_t>(d.Precision);
                if (d.Type == adNumeric || d.Type == adDecimal) row[16] = static_cast<std::int64_t>(d.Scale);
                out->AddRow(std::move(row));
            }
        }
        return out;
    }

    void BeginTrans() override { Exec("begin"); }
    void CommitTrans() override { Exec("commit"); }
    void RollbackTrans() override { Exec("rollback"); }

  private:
    static bool HasMore(const char* tail, const char* end) {
        for (; tail < end; ++tail)
            if (static_cast<unsigned char>(*tail) > ' ' && *tail != ';') return true;
        return false;
    }
    void Exec(const std::string& sql) { Execute(sql); }
    void StartStatement() {
        if (commandTimeout_ > 0)
            h_->deadline = Clock::now() + std::chrono::seconds(commandTimeout_);
        else
            h_->deadline.reset();
    }
    std::shared_ptr<DbHandle> h_;
    int commandTimeout_ = 30;
    StatementCache<StmtPtr> cache_;
};

}  // namespace

std::unique_ptr<Driver> NewSqliteDriver() {
    return std::make_unique<SqliteDriver>();
}

void CreateJetDatabase(const std::string& connectionString, JetFileKind kind) {
    if (!support::StartsText("Microsoft.Jet.OLEDB",
                             ConnectionStringValueTrimmed(connectionString, "Provider")))
        throw EDatabaseError(Format(kTxtNotJet, connectionString));
    const std::string path = ConnectionStringValueTrimmed(connectionString, "Data Source");
    if (path.empty()) throw EDatabaseError(Format(kTxtNoFile, path));
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) throw EDatabaseError(Format(kTxtFileExists, path));
    sqlite3* raw = nullptr;
    DbHandle h;
    int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    h.db = raw;
    if (rc != SQLITE_OK) Fail(h.db, rc);
    // Writing the header makes the file a database even before it holds a table.
    const std::string init = kind == JetFileKind::Scratch
                                 ? Format("pragma application_id=%d; vacuum;", kScratchApplicationId)
                                 : std::string("pragma user_version=0; vacuum;");
    rc = sqlite3_exec(h.db, init.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) Fail(h.db, rc);
}

}  // namespace kestrane::db
