#include "db/data_export.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <unordered_map>

#include "db/connect.h"
#include "db/connection_string.h"
#include "db/db_processor.h"
#include "db/dialect.h"
#include "db/memory_recordset.h"
#include "db/set_copy.h"
#include "db/sqlite_driver.h"
#include "db/texts.h"
#include "platform/file_system.h"
#include "platform/local_time.h"
#include "support/format.h"
#include "support/text.h"

namespace kestrane::db {

namespace fs = std::filesystem;
using support::dbAccess;
using support::dbtMsSql;
using support::dbtOracle;
using support::Format;
using support::SameText;
using support::UpperCase;

namespace {

// Catalogue numbers: null as 0; Booleans and texts such as "TRUE" as 1/0.
std::int64_t ReadNumber(const Recordset& rs, const char* name) {
    const Variant& v = rs.Value(std::string_view(name));
    if (v.IsNullOrEmpty()) return 0;
    if (v.Type() == support::VarType::Text) {
        if (auto n = support::TryStrToInt64(support::Trim(v.AsString()))) return *n;
        try {
            return v.AsBoolean() ? 1 : 0;
        } catch (const support::EConvertError&) {
            return 0;
        }
    }
    try {
        return v.AsInt64();
    } catch (const support::EConvertError&) {
        return 0;
    }
}

std::string ReadText(const Recordset& rs, const char* name) {
    return rs.Value(std::string_view(name)).AsString();
}

// IS_NULLABLE as text, with the text a null stands for.
std::string ReadNullable(const Recordset& rs, const char* ifNull) {
    const Variant& v = rs.Value(std::string_view("IS_NULLABLE"));
    if (v.IsNullOrEmpty()) return ifNull;
    return v.AsString();
}

bool IsDateType(std::int64_t t) {
    return t == adDate || t == adDBDate || t == adDBTime || t == adDBTimeStamp;
}

bool IsTextType(std::int64_t t) {
    return t == adBSTR || t == adChar || t == adWChar || t == adVarChar || t == adLongVarChar ||
           t == adVarWChar || t == adLongVarWChar;
}

}  // namespace

TDataExport::TDataExport()
    : sourceConnection_(std::make_unique<Connection>()), targetConnection_(std::make_unique<Connection>()) {
    for (Connection* c : {sourceConnection_.get(), targetConnection_.get()}) {
        c->SetConnectionTimeout(0);
        c->SetCommandTimeout(0);
    }
}

TDataExport::~TDataExport() = default;

Connection& TDataExport::Target() {
    if (!targetConnection_) throw EDatabaseError(kTxtClosed);
    return *targetConnection_;
}

void TDataExport::Log(const std::string& msg) {
    if (OnLog) OnLog(this, msg);
}

void TDataExport::ExecSQL(Connection& connection, const std::string& sql) {
    if (sql.empty()) return;
    try {
        if (!connection.IsOpen()) connection.Open();
        connection.Execute(sql);
    } catch (const std::exception& e) {
        throw EDatabaseError(kTxtSqlError + sql + kTxtSqlErrorClose + e.what());
    }
}

void TDataExport::OpenQuery(Connection& connection, const std::string& sql,
                            std::unique_ptr<Recordset>& recordset) {
    recordset.reset();
    try {
        if (!connection.IsOpen()) connection.Open();
        recordset = connection.Execute(sql);
        if (!recordset) recordset = std::make_unique<MemoryRecordset>();
    } catch (const std::exception& e) {
        recordset.reset();
        throw EDatabaseError(kTxtSqlError + sql + kTxtSqlErrorClose + e.what());
    }
}

void TDataExport::OpenTable(Connection& connection, const std::string& tableName, const std::string& filter,
                            std::unique_ptr<Recordset>& recordset) {
    OpenQuery(connection, Format(kFmtOpenTable, tableName, filter), recordset);
}

bool TDataExport::TableExists(Connection& connection, TKVDataBaseType kind, const std::string& tableName) {
    try {
        std::unique_ptr<Recordset> rs;
        OpenQuery(connection, Format(kFmtCountRows, kind == dbtOracle ? UpperCase(tableName) : tableName),
                  rs);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void TDataExport::ReplaceTargetConnection(std::unique_ptr<Connection> connection) {
    targetConnection_ = std::move(connection);
}

std::string TDataExport::GetConnectionValue(const std::string& connectionString, const std::string& key) {
    return ConnectionStringValue(connectionString, key);
}

void TDataExport::GetSchemaAndCatalog(TKVDataBaseType kind, const std::string& connectionString,
                                      std::string& schema, std::string& catalog) {
    schema.clear();
    catalog.clear();
    if (kind == dbtMsSql) {
        schema = "dbo";
        catalog = GetConnectionValue(connectionString, "Initial Catalog");
    } else if (kind == dbtOracle) {
        schema = GetConnectionValue(connectionString, "User ID");
    }
}

void TDataExport::OpenCatalogue(Connection& connection, TKVDataBaseType kind, const std::string& tableName,
                                const std::string& schema, const std::string& catalog, int schemaKind,
                                std::unique_ptr<Recordset>& recordset) {
    recordset.reset();
    auto orNull = [](const std::string& s) { return s.empty() ? Variant::Null() : Variant(s); };
    const std::vector<Variant> restrictions{orNull(catalog), orNull(schema), orNull(tableName)};
    try {
        if (!connection.IsOpen()) connection.Open();
    } catch (const std::exception& e) {
        throw EDatabaseError(kTxtSqlError + std::string(kTxtSqlErrorClose) + e.what());
    }
    if (kind == dbtOracle) {
        OpenQuery(connection, Format(kFmtOracleColumns, UpperCase(schema), UpperCase(tableName)), recordset);
        return;
    }
    // A Jet file of the engine's own carries the exact definitions in DSColumnDefine; an embedded
    // account set that never received one is read through the client's catalogue.
    if (kind == dbAccess && TableExists(connection, dbAccess, kTxtColumnDefine)) {
        OpenQuery(connection, Format(kFmtColumnDefineRows, kTxtColumnDefine, "TABLE_NAME", tableName),
                  recordset);
        if (!recordset->Eof()) return;
        recordset.reset();
    }
    recordset = connection.OpenSchema(schemaKind, restrictions);
}

std::string TDataExport::BuildColumnClause(const Recordset& row, TKVDataBaseType target) {
    const std::int64_t t = ReadNumber(row, "DATA_TYPE");
    const std::string name = ReadText(row, "COLUMN_NAME");
    const std::int64_t p = ReadNumber(row, "NUMERIC_PRECISION");
    const std::int64_t s = ReadNumber(row, "NUMERIC_SCALE");
    const std::int64_t n = ReadNumber(row, "CHARACTER_MAXIMUM_LENGTH");
    std::string clause =
        QuoteIdentifier(name, target) + " " +
        SQLTypeName(static_cast<int>(t), n, target, static_cast<int>(s), static_cast<int>(p));
    if (ReadNumber(row, "COLUMN_HASDEFAULT") != 0) {
        std::string d = ReadText(row, "COLUMN_DEFAULT");
        if (d == "'") d = "''";
        if (IsDateType(t)) d.clear();
        d = TranslateDefault(d, target);
        if (!d.empty()) clause += " default " + TranslateDefault(d, target);
    }
    const std::string nullable = ReadNullable(row, "true");
    if (SameText(nullable, "false") || SameText(nullable, "0")) clause += " not null";
    return clause;
}

std::string TDataExport::BuildCreateTable(const std::string& tableName, Recordset& columns,
                                          TKVDataBaseType target) {
    std::vector<std::pair<std::int64_t, std::string>> clauses;  // position, clause
    for (columns.MoveFirst(); !columns.Eof(); columns.MoveNext()) {
        const std::int64_t pos = ReadNumber(columns, "ORDINAL_POSITION");
        auto at = clauses.begin();
        while (at != clauses.end() && at->first <= pos) ++at;
        clauses.insert(at, {pos, BuildColumnClause(columns, target)});
    }
    std::string text;
    for (const auto& c : clauses) text += ",\r\n" + c.second;
    if (!text.empty()) text.erase(0, 1);
    return Format(kFmtCreateTable, tableName, text);
}

void TDataExport::CreateTableFromCatalogue(Connection& connection, TKVDataBaseType targetKind,
                                           Recordset& columns, const std::string& tableName) {
    ExecSQL(connection, BuildCreateTable(tableName, columns, targetKind));
    if (targetKind != dbAccess) return;
    if (!ColumnDefineCreated) {
        ExecSQL(connection, kTxtCreateColumnDefine);
        ColumnDefineCreated = true;
    }
    ExecSQL(connection, Format(kFmtDeleteColumnDefines, kTxtColumnDefine, "TABLE_NAME", tableName));
    WriteColumnDefines(connection, tableName, columns);
}

void TDataExport::WriteColumnDefines(Connection& connection, const std::string& tableName,
                                     Recordset& columns) {
    for (columns.MoveFirst(); !columns.Eof();) {
        const std::string name = support::Trim(ReadText(columns, "COLUMN_NAME"));
        const std::int64_t t = ReadNumber(columns, "DATA_TYPE");
        std::int64_t n = ReadNumber(columns, "CHARACTER_MAXIMUM_LENGTH");
        const std::int64_t p = ReadNumber(columns, "NUMERIC_PRECISION");
        const std::int64_t s = ReadNumber(columns, "NUMERIC_SCALE");
        const std::string nullable = support::Trim(ReadNullable(columns, "false"));
        const std::int64_t o = ReadNumber(columns, "ORDINAL_POSITION");
        std::int64_t hasDefault;
        std::string d;
        if (UpperCase(name) == "G_ID") {
            d = "SYS_GUID()";
            hasDefault = 1;
        } else {
            hasDefault = ReadNumber(columns, "COLUMN_HASDEFAULT");
            d = support::Trim(ReadText(columns, "COLUMN_DEFAULT"));
        }
        if (hasDefault != 0) {
            if (d == "'") d = "''";
            if (IsDateType(t)) {
                d.clear();
                hasDefault = 0;
            } else if (SourceType != dbAccess && IsTextType(t) && t != adBSTR && d.size() >= 2 &&
                       d.front() == '\'' && d.back() == '\'') {
                // An embedded or Jet source's text default is its literal, quotes and all: it goes into
                // a server's create statement as it is.
                d = d.substr(1, d.size() - 2);
            }
        }
        if (UpperCase(name) == "ORGNAME" && n < 300) n = 300;
        const std::string sql =
            Format(kFmtInsertColumnDefine, kTxtColumnDefine, "TABLE_NAME", "COLUMN_NAME", "DATA_TYPE",
                   "CHARACTER_MAXIMUM_LENGTH", "NUMERIC_PRECISION", "NUMERIC_SCALE", "IS_NULLABLE",
                   "ORDINAL_POSITION", "COLUMN_HASDEFAULT", "COLUMN_DEFAULT",
                   support::QuotedSqlText(tableName), support::QuotedSqlText(name), t, n, p, s,
                   support::QuotedSqlText(nullable), o, hasDefault, support::QuotedSqlText(d));
        columns.MoveNext();
        ExecSQL(connection, sql + ";");
    }
}

// ---- table transfer ----

bool TDataExport::CreateAccessDB(const std::string& fileName) {
    std::error_code ec;
    if (fs::exists(fileName, ec)) fs::remove(fileName, ec);
    CreateJetDatabase(JetConnectionString(fileName), JetFileKind::Scratch);
    return fs::exists(fileName, ec);
}

namespace {

// How an insert parameter is made from a source value of a kind.
enum class Conversion { None, ToText, ToSmallInt, ToDouble, FromDecimal, ToGuidBytes, ToGuidText };
struct InsertRule {
    int type;
    Conversion conversion;
};

InsertRule RuleFor(const FieldInfo& field, support::VarType kind, TKVDataBaseType targetKind) {
    using support::VarType;
    const int t = field.Type;
    if (IsTextType(t)) return {adVarChar, kind == VarType::Text ? Conversion::None : Conversion::ToText};
    if (t == adBoolean) return {adSmallInt, Conversion::ToSmallInt};
    if (t == adDecimal || t == adVarNumeric)
        return {adDouble, kind == VarType::Double ? Conversion::None : Conversion::ToDouble};
    if ((t == adNumeric || t == adCurrency) && kind == VarType::Decimal) return {t, Conversion::FromDecimal};
    if (t == adGUID) {
        if (targetKind != dbtOracle) return {adGUID, Conversion::None};
        return {adVarBinary, kind == VarType::Text ? Conversion::ToGuidBytes : Conversion::None};
    }
    if ((t == adBinary || t == adVarBinary || t == adLongVarBinary) && field.DefinedSize == 16 &&
        targetKind == dbAccess)
        return {adGUID, kind == VarType::Bytes ? Conversion::ToGuidText : Conversion::None};
    return {t, Conversion::None};
}

// Digits from the first to the last that is not zero, of a decimal text without sign or exponent.
std::optional<std::size_t> SignificantDigits(std::string_view t) {
    if (t.empty() || t.find_first_not_of("0123456789.") != std::string_view::npos ||
        std::count(t.begin(), t.end(), '.') > 1)
        return std::nullopt;
    const std::size_t first = t.find_first_of("123456789");
    if (first == std::string_view::npos) return 0;
    const std::size_t last = t.find_last_of("123456789");
    return static_cast<std::size_t>(std::count_if(t.begin() + static_cast<std::ptrdiff_t>(first),
                                                  t.begin() + static_cast<std::ptrdiff_t>(last) + 1,
                                                  [](char c) { return c != '.'; }));
}

// A decimal goes as an integer when it is a whole number an integer holds, as a double when the double
// gives back the same decimal (fifteen significant digits always do), and as its text otherwise: a
// number the target parses from text may come out a unit in the last place away from the one read.
Parameter DecimalParameter(int type, const Variant& value) {
    const std::string text = value.AsString();
    const bool negative = !text.empty() && text.front() == '-';
    const std::string_view digits =
        std::string_view(text).substr(!text.empty() && (text.front() == '-' || text.front() == '+') ? 1 : 0);
    const std::size_t point = digits.find('.');
    const std::string_view whole = digits.substr(0, point);
    const bool zeroFraction = point == std::string_view::npos ||
                              digits.substr(point + 1).find_first_not_of('0') == std::string_view::npos;
    if (!whole.empty() && whole.find_first_not_of("0123456789") == std::string_view::npos && zeroFraction) {
        const std::string integer = (negative ? "-" : "") + std::string(whole);
        std::int64_t n = 0;
        const auto r = std::from_chars(integer.data(), integer.data() + integer.size(), n);
        if (r.ec == std::errc() && r.ptr == integer.data() + integer.size()) return {type, Variant(n)};
    }
    const std::string plain = (negative ? "-" : "") + std::string(digits);
    double d = 0;
    const auto r = std::from_chars(plain.data(), plain.data() + plain.size(), d);
    if (r.ec == std::errc() && r.ptr == plain.data() + plain.size() && std::isfinite(d)) {
        const std::optional<std::size_t> significant = SignificantDigits(digits);
        if ((significant && *significant <= 15) || DecimalText(d) == text) return {adDouble, Variant(d)};
    }
    return {type, value};
}

Parameter Convert(const InsertRule& rule, const Variant& value) {
    switch (rule.conversion) {
        case Conversion::None:
            return {rule.type, value};
        case Conversion::ToText:
            return {rule.type, Variant(value.AsString())};
        case Conversion::ToSmallInt:
            return {rule.type, Variant(static_cast<std::int64_t>(value.AsBoolean() ? 1 : 0))};
        case Conversion::ToDouble:
            return {rule.type, Variant(value.AsDouble())};
        case Conversion::FromDecimal:
            return DecimalParameter(rule.type, value);
        case Conversion::ToGuidBytes:
            return {rule.type, GuidTextToBytes(value)};
        case Conversion::ToGuidText:
            // A short value cannot be a GUID; refusing it keeps the copy from storing a wrong identifier.
            if (value.AsBytes().size() != 16)
                throw EDatabaseError(Format(kTxtNotGuid, static_cast<int>(value.AsBytes().size())));
            return {rule.type, GuidBytesToText(value)};
    }
    return {rule.type, value};
}

}  // namespace

Parameter InsertParameter(const FieldInfo& field, const Variant& value, TKVDataBaseType targetKind) {
    return Convert(RuleFor(field, value.Type(), targetKind), value);
}

// The inserts of one table's rows. A row's statement names only the fields whose values are present,
// so a table's rows share a few statements: each is prepared once and found again by the row's
// pattern of present fields. Rows go in their order, so a statement's held rows are sent before
// another statement takes a row.
class TDataExport::RowInserts {
  public:
    RowInserts(Connection& target, TKVDataBaseType kind, const std::string& tableName, const Recordset& rows)
        : target_(target), kind_(kind), tableName_(tableName) {
        const int n = rows.FieldCount();
        for (int i = 0; i < n; ++i) {
            const std::string upper = UpperCase(rows.Field(i).Name);
            names_.push_back(kind == dbtOracle ? ",\"" + upper + "\"" : ",[" + upper + "]");
        }
        present_.resize(static_cast<std::size_t>(n));
        params_.reserve(static_cast<std::size_t>(n));
    }

    // Inserts the current row; nothing when all its values are null.
    void Add(const Recordset& rows) {
        params_.clear();
        const int n = rows.FieldCount();
        for (int i = 0; i < n; ++i) {
            const FieldInfo& field = rows.Field(i);
            // A value the insert takes as it is goes straight from the source's row.
            const std::optional<support::VarType> stored = rows.StoredKind(i);
            const support::VarType kind = stored ? *stored : rows.Value(i).Type();
            const bool present = kind != support::VarType::Null && kind != support::VarType::Empty;
            present_[static_cast<std::size_t>(i)] = present ? 1 : 0;
            if (!present) continue;
            const InsertRule rule = RuleFor(field, kind, kind_);
            if (rule.conversion == Conversion::None)
                params_.push_back(Parameter::FromSource(rule.type, rows, i));
            else
                params_.push_back(Convert(rule, rows.Value(i)));
        }
        if (params_.empty()) return;
        Batch().Add(params_);
    }

    void Flush() {
        if (current_) current_->Flush();
    }

  private:
    static constexpr std::size_t kMaxStatements = 64;

    CommandBatch& Batch() {
        if (current_ && present_ == currentPresent_) return *current_;
        Flush();
        auto it = byPresent_.find(present_);
        if (it == byPresent_.end()) {
            if (byPresent_.size() >= kMaxStatements) {
                current_ = nullptr;
                byPresent_.clear();
            }
            std::string columns, markers;
            for (std::size_t i = 0; i < present_.size(); ++i)
                if (present_[i] != 0) {
                    columns += names_[i];
                    markers += ",?";
                }
            const std::string sql = Format(kFmtInsertRow, tableName_, columns.substr(1), markers.substr(1));
            it = byPresent_.emplace(present_, target_.PrepareBatch(sql)).first;
        }
        current_ = it->second.get();
        currentPresent_ = present_;
        return *current_;
    }

    Connection& target_;
    TKVDataBaseType kind_;
    std::string tableName_;
    std::vector<std::string> names_;  // ",[NAME]" (",\"NAME\"" for Oracle), upper-cased, in field order
    std::string present_;             // one byte a field: 1 when the row's value goes in
    std::vector<Parameter> params_;
    std::unordered_map<std::string, std::unique_ptr<CommandBatch>> byPresent_;
    CommandBatch* current_ = nullptr;
    std::string currentPresent_;
};

// The source file attached to the target's connection for the length of one table copy; empty when
// the copy cannot be set-based, so that it goes row by row.
class TDataExport::SetCopySource {
  public:
    SetCopySource(TDataExport& ex, const std::string& tableName, const std::string& filter) : ex_(ex) {
        if (!ex.SetBasedCopy || ex.SourceType != dbAccess || ex.TargetType != dbAccess) return;
        Connection& target = ex.Target();
        const std::string& from = ex.SourceConnection().ConnectionString();
        const std::string& to = target.ConnectionString();
        // Both ends Jet-kind files of the SQLite driver, two different files, a filter that fits.
        for (const std::string* cs : {&from, &to})
            if (!support::StartsText("Microsoft.Jet.OLEDB", ConnectionStringValueTrimmed(*cs, "Provider")))
                return;
        const std::string file = ConnectionStringValueTrimmed(from, "Data Source");
        std::error_code ec;
        if (file.empty() || !fs::is_regular_file(file, ec)) return;
        if (fs::equivalent(file, ConnectionStringValueTrimmed(to, "Data Source"), ec)) return;
        if (!SetCopyFilterAllowed(filter)) return;
        // The attachment and its checks go to the driver directly: the copy's statements stay those of
        // a row-wise copy (the existence test, the delete or create, the insert).
        try {
            if (!target.IsOpen()) target.Open();
            target.driver().Execute(Format(kFmtAttach, support::QuotedSqlText(file), kSetCopySource));
        } catch (const std::exception&) {
            return;  // the row-wise copy reads the file through the source connection, and reports
        }
        attached_ = true;
        // The source's select as the row-wise copy runs it (without rows): where it fails, the row-wise
        // copy fails the same way.
        try {
            target.driver().Execute(
                Format(kFmtOpenTable, std::string(kSetCopySource) + "." + tableName, filter) + " limit 0");
        } catch (const std::exception&) {
            Detach();
        }
    }
    ~SetCopySource() { Detach(); }
    SetCopySource(const SetCopySource&) = delete;
    SetCopySource& operator=(const SetCopySource&) = delete;

    explicit operator bool() const { return attached_; }

  private:
    void Detach() {
        if (!attached_) return;
        attached_ = false;
        try {
            ex_.Target().driver().Execute(Format(kFmtDetach, kSetCopySource));
        } catch (const std::exception& e) {
            ex_.Log(e.what());
        }
    }

    TDataExport& ex_;
    bool attached_ = false;
};

std::unique_ptr<Recordset> TDataExport::SourceCatalogue(const std::string& tableName) {
    std::string schema, catalog;
    GetSchemaAndCatalog(SourceType, SourceConnection().ConnectionString(), schema, catalog);
    std::unique_ptr<Recordset> columns;
    OpenCatalogue(SourceConnection(), SourceType, tableName, schema, catalog, adSchemaColumns, columns);
    std::vector<FieldInfo> fields;
    for (int i = 0; i < columns->FieldCount(); ++i) fields.push_back(columns->Field(i));
    auto held = std::make_unique<MemoryRecordset>(std::move(fields));
    for (columns->MoveFirst(); !columns->Eof(); columns->MoveNext()) {
        std::vector<Variant> row;
        for (int i = 0; i < columns->FieldCount(); ++i) row.push_back(columns->Value(i));
        held->AddRow(std::move(row));
    }
    return held;
}

void TDataExport::TransferTable(const std::string& tableName, const std::string& filter) {
    Connection& source = SourceConnection();
    Connection& target = Target();
    LastCopyPath = TCopyPath::RowWise;
    // What the copy needs of the source is read before its rows are opened: SQL Server's drivers without
    // multiple active result sets (and FreeTDS) take no second statement while rows are pending.
    const bool exists = TableExists(target, TargetType, tableName);
    std::unique_ptr<Recordset> columns;
    if (!exists) columns = SourceCatalogue(tableName);
    SetCopySource setCopy(*this, tableName, filter);
    std::unique_ptr<Recordset> rows;
    if (!setCopy) OpenTable(source, tableName, filter, rows);

    // The delete and the inserts of one table are one transaction, so that a failure part-way leaves
    // the table as it was. An embedded target creates the table inside it too; a server creates it
    // before, since Oracle commits a create statement by itself.
    const bool embedded = TargetType == dbAccess;
    if (!exists && !embedded) CreateTableFromCatalogue(target, TargetType, *columns, tableName);
    const bool columnDefineBefore = ColumnDefineCreated;
    try {
        if (!target.IsOpen()) target.Open();
        target.BeginTrans();
    } catch (const std::exception& e) {
        throw EDatabaseError(kTxtSqlError + std::string("begin") + kTxtSqlErrorClose + e.what());
    }
    try {
        if (exists)
            ExecSQL(target, Format(kFmtDeleteByFilter, tableName, filter));
        else if (embedded)
            CreateTableFromCatalogue(target, TargetType, *columns, tableName);
        if (setCopy) {
            const std::string insert = SetCopyStatement(target, tableName, filter);
            if (!insert.empty()) {
                // Fails with the client's message, as a single insert does.
                target.Execute(insert);
                LastCopyPath = TCopyPath::SetBased;
            } else {
                OpenTable(source, tableName, filter, rows);
            }
        }
        if (rows) CopyRows(*rows, tableName);
        target.CommitTrans();
    } catch (...) {
        try {
            target.RollbackTrans();
        } catch (const std::exception& e) {
            Log(e.what());
        }
        if (embedded) ColumnDefineCreated = columnDefineBefore;
        throw;
    }
}

void TDataExport::CopyRows(Recordset& rows, const std::string& tableName) {
    if (rows.Eof()) return;
    Connection& target = Target();
    RowInserts inserts(target, TargetType, tableName, rows);
    for (rows.MoveFirst(); !rows.Eof(); rows.MoveNext()) {
        if (TargetType == dbtOracle) {
            ExecSQL(target, kTxtFlushSharedPool);
            inserts.Add(rows);
            inserts.Flush();  // every row goes after its own flush
        } else {
            inserts.Add(rows);
        }
    }
    inserts.Flush();
}

void TDataExport::TransferTableWithScripts(const std::string& tableName, const std::string& filter,
                                           const std::string& beforeSQL, const std::string& afterSQL) {
    ExecSQL(Target(), beforeSQL);
    TransferTable(tableName, filter);
    ExecSQL(Target(), afterSQL);
}

Variant GuidTextToBytes(const Variant& value) {
    if (value.Type() != support::VarType::Text) return value;
    const auto g = support::TryStringToGuid(value.AsString());
    if (!g) return value;
    const support::GuidBytes b = support::GuidToBytes(*g);
    return Variant(support::Bytes(b.begin(), b.end()));
}

Variant GuidBytesToText(const Variant& value) {
    if (value.Type() != support::VarType::Bytes || value.AsBytes().size() != 16) return value;
    support::GuidBytes b;
    std::copy(value.AsBytes().begin(), value.AsBytes().end(), b.begin());
    return Variant(support::GuidToString(support::GuidFromBytes(b)));
}

void TDataExport::GuidValue(TKVDataBaseType targetKind, const support::TGuid& guid, Variant& value) {
    if (targetKind == dbtOracle) {
        const support::GuidBytes b = support::GuidToBytes(guid);
        value = Variant(support::Bytes(b.begin(), b.end()));
    } else {
        value = Variant(support::GuidToString(guid));
    }
}

void TDataExport::InsertFlowDeskOption(const std::string& fileName) {
    std::error_code ec;
    if (!fs::is_regular_file(fileName, ec)) return;
    Connection& target = Target();
    if (!TableExists(target, TargetType, kTxtSysOptInfo)) return;
    ExecSQL(target, Format(kFmtDeleteByFilter, kTxtSysOptInfo, Format(kFmtStdCodeLike, kTxtFlowDeskCode)));
    std::int64_t maxRwID = 0;
    {
        std::unique_ptr<Recordset> rs;
        OpenQuery(target, Format(kFmtMaxRwID, kTxtSysOptInfo), rs);
        if (!rs->Eof() && rs->FieldCount() > 0)
            maxRwID = support::TryStrToInt64(support::Trim(rs->Value(0).AsString())).value_or(0);
    }
    support::Bytes blob;
    try {
        blob = platform::ReadFileBytes(fileName);
    } catch (const platform::EFileSystemError&) {
        throw EDatabaseError(Format(kTxtFileRead, fileName));
    }
    const std::string sql = Format(kFmtOpenTable, kTxtSysOptInfo, kTxtNoRows);
    try {
        UpdatableRecordset rs(target, sql);
        std::vector<std::string> names;
        std::vector<Variant> values;
        const bool oracle = TargetType == dbtOracle;
        const Variant zeroGuid = oracle ? Variant(kTxtNullGuidOracle) : Variant(kTxtNullGuid);
        const int year = platform::LocalTimeNow().year;
        for (int i = 0; i < rs.FieldCount(); ++i) {
            const std::string& f = rs.Field(i).Name;
            names.push_back(f);
            Variant v = Variant::Null();
            if (SameText(f, "G_ID"))
                GuidValue(TargetType, support::NewGuid(), v);
            else if (SameText(f, "RwID"))
                v = maxRwID + 1;
            else if (SameText(f, "StdCode"))
                v = kTxtFlowDeskCode;
            else if (SameText(f, "IntValue") || SameText(f, "FloatValue") || SameText(f, "OrgID"))
                v = std::int64_t{0};
            else if (SameText(f, "GUIDValue") || SameText(f, "UserID"))
                v = zeroGuid;
            else if (SameText(f, "BlobValue"))
                v = blob;
            else if (SameText(f, "InfoType"))
                v = std::int64_t{1024};
            else if (SameText(f, "State"))
                v = std::int64_t{1};
            else if (SameText(f, "ZTYear"))
                v = static_cast<std::int64_t>(year);
            values.push_back(std::move(v));
        }
        rs.AddNew(names, values);
    } catch (const std::exception& e) {
        throw EDatabaseError(kTxtSqlError + sql + kTxtSqlErrorClose + e.what());
    }
    ClearVerControl(fs::path(fileName).parent_path().string());
}

void TDataExport::ClearVerControl(const std::string& directory) {
    const std::string file = platform::IncludeTrailingPathDelimiter(directory) + kTxtConfigDb;
    try {
        std::error_code ec;
        if (!fs::exists(file, ec)) return;
        TDBProcessor processor;
        support::TDBInfoRec info;
        info.DBType = dbAccess;
        processor.Connect(info, file);
        processor.ExecSQL(Format(kFmtDeleteByFilter, kTxtVerControl, ""));
    } catch (...) {
        // The version-control table only speeds up the product's next start; emptying it is optional.
    }
}

}  // namespace kestrane::db
