// Structure synchronisation of the transfer object: tables created, re-created or brought column by
// column to the source's definition, and views and procedures dropped and recreated from their scripts.
#include "db/data_export.h"
#include "db/dialect.h"
#include "db/texts.h"
#include "support/format.h"
#include "support/text.h"

namespace kestrane::db {

using support::dbAccess;
using support::dbtMsSql;
using support::dbtOracle;
using support::Format;

namespace {

bool IsTextCode(std::int64_t t) {
    return t == adBSTR || t == adChar || t == adWChar || t == adVarChar || t == adVarWChar;
}
bool IsLongTextCode(std::int64_t t) {
    return t == adLongVarChar || t == adLongVarWChar;
}
bool IsBinaryCode(std::int64_t t) {
    return t == adBinary || t == adVarBinary || t == adLongVarBinary;
}
bool IsDateCode(std::int64_t t) {
    return t == adDate || t == adDBDate || t == adDBTime || t == adDBTimeStamp;
}

// One figure of a catalogue row; a null is 0, a Boolean 1 or 0.
std::int64_t Figure(const Recordset& row, std::string_view field) {
    const Variant& v = row.Value(field);
    if (v.IsNullOrEmpty()) return 0;
    try {
        return v.AsInt64();
    } catch (const support::EConvertError&) {
        try {
            return v.AsBoolean() ? 1 : 0;
        } catch (const support::EConvertError&) {
            return 0;
        }
    }
}

// The parts of a catalogue row the synchronisation compares.
struct ColumnShape {
    std::string name;  // quoted for the target
    std::int64_t type, size, precision, scale;
    std::string typeText;  // the target's type name

    ColumnShape(const Recordset& row, TKVDataBaseType kind)
        : name(QuoteIdentifier(row.Value(std::string_view("COLUMN_NAME")).AsString(), kind)),
          type(Figure(row, "DATA_TYPE")),
          size(Figure(row, "CHARACTER_MAXIMUM_LENGTH")),
          precision(Figure(row, "NUMERIC_PRECISION")),
          scale(Figure(row, "NUMERIC_SCALE")),
          typeText(SQLTypeName(static_cast<int>(type), size, kind, static_cast<int>(scale),
                               static_cast<int>(precision))) {}
};

}  // namespace

TKVDataBaseType NodeVariantKind(TKVDataBaseType targetKind) {
    return targetKind == dbAccess ? dbtMsSql : targetKind;
}

bool TDataExport::IsLongType(std::int64_t t, std::int64_t n) {
    if (IsLongTextCode(t)) return true;
    if (IsTextCode(t)) return !IsBoundedSize(n);
    if (IsBinaryCode(t)) return n > 16;
    return false;
}

bool TDataExport::IsBoundedString(std::int64_t t, std::int64_t n) {
    return IsTextCode(t) && IsBoundedSize(n);
}

bool TDataExport::ColumnFits(std::int64_t t, std::int64_t n, std::int64_t tt, std::int64_t nn) {
    if (IsTextCode(t)) return IsBoundedSize(n) ? n <= nn : !IsBoundedSize(nn);
    if (IsLongTextCode(t)) return IsLongTextCode(tt);
    if (IsBinaryCode(t)) return IsBinaryCode(tt);
    return true;
}

void TDataExport::SyncTableStructure(const std::string& tableName, bool recreate) {
    std::string sourceSchema, sourceCatalog, targetSchema, targetCatalog;
    GetSchemaAndCatalog(SourceType, SourceConnection().ConnectionString(), sourceSchema, sourceCatalog);
    Connection& target = Target();
    GetSchemaAndCatalog(TargetType, target.ConnectionString(), targetSchema, targetCatalog);
    if (recreate) ExecSQL(target, Format(kFmtDropTable, tableName));

    std::unique_ptr<Recordset> source;
    if (recreate || !TableExists(target, TargetType, tableName)) {
        OpenCatalogue(SourceConnection(), SourceType, tableName, sourceSchema, sourceCatalog, adSchemaColumns,
                      source);
        // The side table belongs to transfer files; an embedded account set would keep definitions in
        // it that its later column changes leave behind.
        if (TargetType == dbAccess)
            ExecSQL(target, BuildCreateTable(tableName, *source, dbAccess));
        else
            CreateTableFromCatalogue(target, TargetType, *source, tableName);
        return;
    }

    std::unique_ptr<Recordset> columns;
    if (TargetType == dbAccess) {
        // The table as it is, whatever side table the account set may hold.
        try {
            if (!target.IsOpen()) target.Open();
            columns =
                target.OpenSchema(adSchemaColumns, {Variant::Null(), Variant::Null(), Variant(tableName)});
        } catch (const std::exception& e) {
            throw EDatabaseError(kTxtSqlError + std::string(kTxtSqlErrorClose) + e.what());
        }
    } else {
        OpenCatalogue(target, TargetType, tableName, targetSchema, targetCatalog, adSchemaColumns, columns);
    }
    OpenCatalogue(SourceConnection(), SourceType, tableName, sourceSchema, sourceCatalog, adSchemaColumns,
                  source);
    SyncColumns(tableName, *source, *columns);
}

void TDataExport::SyncColumns(const std::string& tableName, Recordset& source, Recordset& target) {
    Connection& connection = Target();
    const auto run = [&connection](const std::string& sql) {
        if (!connection.IsOpen()) connection.Open();
        return connection.Execute(sql);
    };
    // A failure the synchronisation lives with: a notice, and on to the next statement.
    const auto tolerate = [&](const char* notice, const std::string& sql) {
        try {
            run(sql);
        } catch (const std::exception& e) {
            Log(notice + sql + kTxtNoticeReason + e.what());
        }
    };
    const bool jet = TargetType == dbAccess;
    const char* alterFormat = TargetType == dbtOracle ? kFmtModifyColumnOracle : kFmtAlterColumnMsSql;

    for (source.MoveFirst(); !source.Eof(); source.MoveNext()) {
        const ColumnShape src(source, TargetType);
        if (IsLongType(src.type, src.size)) continue;
        const std::string upper = support::UpperCase(src.name);
        if (upper == QuoteIdentifier("RWID", TargetType) || upper == QuoteIdentifier("G_ID", TargetType))
            continue;

        std::string definition = src.name + " " + src.typeText;
        std::string defaultStatement;
        if (Figure(source, "COLUMN_HASDEFAULT") != 0) {
            std::string d = source.Value(std::string_view("COLUMN_DEFAULT")).AsString();
            if (d == "'") d = "''";
            if (IsDateCode(src.type)) d.clear();
            d = TranslateDefault(d, TargetType);
            if (!d.empty()) {
                if (TargetType == dbtMsSql)
                    defaultStatement =
                        Format(kFmtAddDefaultMsSql, tableName, TranslateDefault(d, TargetType), src.name);
                else if (TargetType == dbtOracle)
                    definition += " default " + TranslateDefault(d, TargetType);
            }
        }

        try {
            bool found = false;
            for (target.MoveFirst(); !target.Eof(); target.MoveNext())
                if (QuoteIdentifier(target.Value(std::string_view("COLUMN_NAME")).AsString(), TargetType) ==
                    src.name) {
                    found = true;
                    break;
                }
            if (!found) {
                tolerate(kTxtAddColumnFailed, Format(kFmtAddColumn, tableName, definition));
                continue;
            }
            const ColumnShape tgt(target, TargetType);
            if (ColumnFits(src.type, src.size, tgt.type, tgt.size)) {
                if (!jet) tolerate(kTxtAlterColumnFailed, Format(alterFormat, tableName, definition));
            } else if (!IsBoundedString(tgt.type, tgt.size)) {
                throw EDatabaseError(
                    Format(kFmtTypeRefused, tableName, src.name, src.typeText, tgt.typeText));
            } else if (!jet) {
                const auto longer =
                    run(Format(TargetType == dbtOracle ? kFmtLongerValuesOracle : kFmtLongerValuesMsSql,
                               tableName, src.name, src.size));
                if (longer && !longer->Eof())
                    throw EDatabaseError(
                        Format(kFmtLengthRefused, tableName, src.name, src.typeText, tgt.typeText));
                run(Format(alterFormat, tableName, definition));
            }
            if (!defaultStatement.empty()) tolerate(kTxtAlterDefaultFailed, defaultStatement);
        } catch (const std::exception& e) {
            Log(e.what());
            throw;
        }
    }
}

void TDataExport::RecreateObject(Connection& connection, TKVDataBaseType kind, const TObjectScript& item) {
    if (!connection.IsOpen()) connection.Open();
    const std::string kindText = support::LowerCase(item.Reservs);
    std::string drop;
    switch (kind) {
        case dbtMsSql: {
            const std::string code = support::SameText(item.Reservs, "VIEW")        ? "V"
                                     : support::SameText(item.Reservs, "PROCEDURE") ? "P"
                                                                                    : item.Reservs;
            drop = Format(kFmtDropObjectMsSql, item.Tag, code, kindText);
            break;
        }
        case dbtOracle:
            drop = Format(kFmtDropObjectOracle, item.Tag, item.Reservs, kindText);
            break;
        case dbAccess:
            drop = Format(kFmtDropObjectEmbedded, item.Tag, kindText);
            break;
    }
    connection.Execute(drop);
    const TKVDataBaseType variant = NodeVariantKind(kind);
    if (item.SQLType == variant && !item.Text.empty())
        connection.Execute(item.Text);
    else if (item.SQLType2 == variant && !item.Text2.empty())
        connection.Execute(item.Text2);
}

}  // namespace kestrane::db
