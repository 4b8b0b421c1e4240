#include "db/data_export.h"

#include <ctime>
#include <filesystem>

#include "db/connect.h"
#include "db/connection_string.h"
#include "db/db_processor.h"
#include "db/dialect.h"
#include "db/memory_recordset.h"
#include "db/texts.h"
#include "platform/file_system.h"
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

// Single quotes doubled, so that a value placed between quotes stays one literal.
std::string SqlLiteralText(const std::string& s) {
    return support::ReplaceAll(s, "'", "''");
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
            } else if (IsTextType(t) && t != adBSTR && d.size() >= 2 && d.front() == '\'' &&
                       d.back() == '\'') {
                d = d.substr(1, d.size() - 2);
            }
        }
        if (UpperCase(name) == "ORGNAME" && n < 300) n = 300;
        const std::string sql = Format(
            kFmtInsertColumnDefine, kTxtColumnDefine, "TABLE_NAME", "COLUMN_NAME", "DATA_TYPE",
            "CHARACTER_MAXIMUM_LENGTH", "NUMERIC_PRECISION", "NUMERIC_SCALE", "IS_NULLABLE",
            "ORDINAL_POSITION", "COLUMN_HASDEFAULT", "COLUMN_DEFAULT", SqlLiteralText(tableName),
            SqlLiteralText(name), t, n, p, s, SqlLiteralText(nullable), o, hasDefault, SqlLiteralText(d));
        columns.MoveNext();
        ExecSQL(connection, sql + ";");
    }
}

// ---- table transfer ----

bool TDataExport::CreateAccessDB(const std::string& fileName) {
    std::error_code ec;
    if (fs::exists(fileName, ec)) fs::remove(fileName, ec);
    CreateJetDatabase(Format(kFmtJet, fileName), JetFileKind::Scratch);
    return fs::exists(fileName, ec);
}

void TDataExport::TransferTable(const std::string& tableName, const std::string& filter) {
    std::unique_ptr<Recordset> rows;
    OpenTable(SourceConnection(), tableName, filter, rows);
    Connection& target = Target();
    // On an embedded target the whole copy of one table is one transaction: a failure part-way leaves
    // the table as it was, and the rows are written without a sync per row.
    const bool atomic = TargetType == dbAccess;
    const bool columnDefineBefore = ColumnDefineCreated;
    if (atomic) {
        try {
            if (!target.IsOpen()) target.Open();
            target.BeginTrans();
        } catch (const std::exception& e) {
            throw EDatabaseError(kTxtSqlError + std::string("begin") + kTxtSqlErrorClose + e.what());
        }
    }
    try {
        if (TableExists(target, TargetType, tableName)) {
            ExecSQL(target, Format(kFmtDeleteByFilter, tableName, filter));
        } else {
            std::string schema, catalog;
            GetSchemaAndCatalog(SourceType, SourceConnection().ConnectionString(), schema, catalog);
            std::unique_ptr<Recordset> columns;
            OpenCatalogue(SourceConnection(), SourceType, tableName, schema, catalog, adSchemaColumns,
                          columns);
            CreateTableFromCatalogue(target, TargetType, *columns, tableName);
        }
        if (!rows->Eof()) {
            InsertTexts texts(InsertColumnNames(TargetType, *rows));
            for (rows->MoveFirst(); !rows->Eof(); rows->MoveNext()) {
                if (TargetType == dbtOracle) ExecSQL(target, kTxtFlushSharedPool);
                InsertRow(TargetType, tableName, *rows, texts);
            }
        }
        if (atomic) target.CommitTrans();
    } catch (...) {
        if (atomic) {
            try {
                target.RollbackTrans();
            } catch (const std::exception& e) {
                Log(e.what());
            }
            ColumnDefineCreated = columnDefineBefore;
        }
        throw;
    }
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

Parameter InsertParameter(const FieldInfo& field, const Variant& value, TKVDataBaseType targetKind) {
    const int t = field.Type;
    if (IsTextType(t)) return {adVarChar, Variant(value.AsString())};
    if (t == adBoolean) return {adSmallInt, Variant(static_cast<std::int64_t>(value.AsBoolean() ? 1 : 0))};
    if (t == adDecimal || t == adVarNumeric) return {adDouble, Variant(value.AsDouble())};
    if (t == adGUID)
        return targetKind == dbtOracle ? Parameter{adVarBinary, GuidTextToBytes(value)}
                                       : Parameter{adGUID, value};
    if ((t == adBinary || t == adVarBinary || t == adLongVarBinary) && field.DefinedSize == 16 &&
        targetKind == dbAccess) {
        // A short value cannot be a GUID; refusing it keeps the copy from storing a wrong identifier.
        if (value.Type() == support::VarType::Bytes && value.AsBytes().size() != 16)
            throw EDatabaseError(Format(kTxtNotGuid, static_cast<int>(value.AsBytes().size())));
        return {adGUID, GuidBytesToText(value)};
    }
    return {t, value};
}

std::vector<std::string> TDataExport::InsertColumnNames(TKVDataBaseType targetKind,
                                                        const Recordset& recordset) {
    std::vector<std::string> names;
    const int n = recordset.FieldCount();
    names.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const std::string upper = UpperCase(recordset.Field(i).Name);
        names.push_back(targetKind == dbtOracle ? ",\"" + upper + "\"" : ",[" + upper + "]");
    }
    return names;
}

void TDataExport::InsertRow(TKVDataBaseType targetKind, const std::string& tableName,
                            const Recordset& recordset) {
    InsertTexts texts(InsertColumnNames(targetKind, recordset));
    InsertRow(targetKind, tableName, recordset, texts);
}

void TDataExport::InsertRow(TKVDataBaseType targetKind, const std::string& tableName,
                            const Recordset& recordset, InsertTexts& texts) {
    Connection& target = Target();
    if (!target.IsOpen()) target.Open();
    Command cmd(target);
    const int n = recordset.FieldCount();
    cmd.Parameters.reserve(static_cast<std::size_t>(n));
    std::string present(static_cast<std::size_t>(n), '\0');  // one byte a field: 1 when its value goes in
    for (int i = 0; i < n; ++i) {
        const Variant& v = recordset.Value(i);
        if (v.IsNullOrEmpty()) continue;
        present[static_cast<std::size_t>(i)] = 1;
        cmd.Parameters.push_back(InsertParameter(recordset.Field(i), v, targetKind));
    }
    if (cmd.Parameters.empty()) return;
    // The text depends only on which values are present; a table's rows share a few of them.
    auto it = texts.byPresent.find(present);
    if (it == texts.byPresent.end()) {
        std::string columns, markers;
        for (int i = 0; i < n; ++i)
            if (present[static_cast<std::size_t>(i)] != 0) {
                columns += texts.columnNames[static_cast<std::size_t>(i)];
                markers += ",?";
            }
        it = texts.byPresent
                 .emplace(present, Format(kFmtInsertRow, tableName, columns.substr(1), markers.substr(1)))
                 .first;
    }
    cmd.CommandText = it->second;
    cmd.Prepared = true;
    cmd.Execute();
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
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
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
                v = static_cast<std::int64_t>(local.tm_year + 1900);
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
