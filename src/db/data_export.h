// The transfer object: a source and a target connection of any kind, statements with the engine's
// uniform error text, the column catalogue of a table in each dialect, tables created from a catalogue
// with the side table DSColumnDefine in Jet targets, and the copying of table rows by filter.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "db/connection.h"
#include "support/guid.h"
#include "support/kv_types.h"

namespace kestrane::db {

using support::TKVDataBaseType;

// A view or procedure that a patch recreates: its name, its kind text and its create script for up to
// two database kinds.
struct TObjectScript {
    std::string Tag;      // object name
    std::string Reservs;  // "VIEW" or "PROCEDURE"
    std::string Text;
    TKVDataBaseType SQLType = support::dbtMsSql;
    std::string Text2;
    TKVDataBaseType SQLType2 = support::dbtOracle;
};

// The kind whose variant of a patch node (script, filter, view) a target runs: an embedded target runs
// the SQL Server one, since nodes made from an embedded source carry their text there.
TKVDataBaseType NodeVariantKind(TKVDataBaseType targetKind);

// Notice sink: sender and message.
using TLogEvent = std::function<void(const void* sender, const std::string& msg)>;

class TDataExport {
  public:
    TDataExport();
    ~TDataExport();
    TDataExport(const TDataExport&) = delete;
    TDataExport& operator=(const TDataExport&) = delete;

    // Owned connections, time-outs 0 (unlimited); the target may be released by ReplaceTargetConnection.
    Connection& SourceConnection() { return *sourceConnection_; }
    Connection* TargetConnection() { return targetConnection_.get(); }
    TKVDataBaseType SourceType = support::dbtMsSql;
    TKVDataBaseType TargetType = support::dbtMsSql;
    bool ColumnDefineCreated = false;
    TLogEvent OnLog;
    // A copy between two Jet-kind files runs as one INSERT ... SELECT where it can; off, every copy goes
    // row by row (the two store the same values).
    bool SetBasedCopy = true;
    enum class TCopyPath { RowWise, SetBased };
    TCopyPath LastCopyPath = TCopyPath::RowWise;  // how the last TransferTable moved its rows

    // Failures raise "SQL执行错误，详细信息如下：【" + statement + "】" + the client's message.
    void ExecSQL(Connection& connection, const std::string& sql);
    void OpenQuery(Connection& connection, const std::string& sql, std::unique_ptr<Recordset>& recordset);
    void OpenTable(Connection& connection, const std::string& tableName, const std::string& filter,
                   std::unique_ptr<Recordset>& recordset);
    bool TableExists(Connection& connection, TKVDataBaseType kind, const std::string& tableName);
    void ReplaceTargetConnection(std::unique_ptr<Connection> connection);

    static std::string GetConnectionValue(const std::string& connectionString, const std::string& key);
    static void GetSchemaAndCatalog(TKVDataBaseType kind, const std::string& connectionString,
                                    std::string& schema, std::string& catalog);

    // The column catalogue of one table: rows with the OLE DB COLUMNS field names.
    void OpenCatalogue(Connection& connection, TKVDataBaseType kind, const std::string& tableName,
                       const std::string& schema, const std::string& catalog, int schemaKind,
                       std::unique_ptr<Recordset>& recordset);
    static std::string BuildColumnClause(const Recordset& row, TKVDataBaseType targetKind);
    static std::string BuildCreateTable(const std::string& tableName, Recordset& columns,
                                        TKVDataBaseType targetKind);
    void CreateTableFromCatalogue(Connection& connection, TKVDataBaseType targetKind, Recordset& columns,
                                  const std::string& tableName);
    void WriteColumnDefines(Connection& connection, const std::string& tableName, Recordset& columns);

    // Table transfer.
    static bool CreateAccessDB(const std::string& fileName);
    void TransferTable(const std::string& tableName, const std::string& filter);
    void TransferTableWithScripts(const std::string& tableName, const std::string& filter,
                                  const std::string& beforeSQL, const std::string& afterSQL);
    static void GuidValue(TKVDataBaseType targetKind, const support::TGuid& guid, Variant& value);
    void InsertFlowDeskOption(const std::string& fileName);
    static void ClearVerControl(const std::string& directory);

    // Structure synchronisation (schema_sync.cpp): the target's table follows the source's definition.
    // An embedded target gets columns added, never altered, and keeps no side table.
    void SyncTableStructure(const std::string& tableName, bool recreate);
    // Statements go to the target unwrapped; failures other than the tolerated notices, and the two
    // refusals, are passed to OnLog and raised.
    void SyncColumns(const std::string& tableName, Recordset& source, Recordset& target);
    // Drops the object when present, then runs its script for `kind`. Failures raise the client's message.
    void RecreateObject(Connection& connection, TKVDataBaseType kind, const TObjectScript& item);
    static bool IsLongType(std::int64_t t, std::int64_t n);
    static bool IsBoundedString(std::int64_t t, std::int64_t n);
    static bool ColumnFits(std::int64_t t, std::int64_t n, std::int64_t tt, std::int64_t nn);

  private:
    class RowInserts;     // the prepared inserts of one table's rows, one per set of present fields
    class SetCopySource;  // the source file attached to the target's connection for a set-based copy
    // The source's column catalogue of a table, held in memory.
    std::unique_ptr<Recordset> SourceCatalogue(const std::string& tableName);
    void CopyRows(Recordset& rows, const std::string& tableName);
    Connection& Target();
    void Log(const std::string& msg);

    std::unique_ptr<Connection> sourceConnection_;
    std::unique_ptr<Connection> targetConnection_;
};

// The insert parameter of a source field: type code and value, as the copy binds it.
Parameter InsertParameter(const FieldInfo& field, const Variant& value, TKVDataBaseType targetKind);

// "{XXXXXXXX-...}" to the 16 structure bytes, unchanged when the value is not a GUID text; and back,
// for byte arrays of 16 bytes only.
Variant GuidTextToBytes(const Variant& value);
Variant GuidBytesToText(const Variant& value);

}  // namespace kestrane::db
