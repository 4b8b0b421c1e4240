// The database client layer: one connection object whose driver is chosen from the Provider of its
// connection string, forward-reading record sets typed with ADO's DataTypeEnum codes, prepared text
// commands with positional parameters, and the OLE DB schema rowsets the engine reads.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "support/variant.h"

namespace kestrane::db {

using support::Variant;

// ADO DataTypeEnum: the column type codes of every catalogue, side table and parameter.
enum DataTypeEnum : int {
    adEmpty = 0,
    adSmallInt = 2,
    adInteger = 3,
    adSingle = 4,
    adDouble = 5,
    adCurrency = 6,
    adDate = 7,
    adBSTR = 8,
    adBoolean = 11,
    adIUnknown = 13,
    adDecimal = 14,
    adTinyInt = 16,
    adUnsignedTinyInt = 17,
    adUnsignedSmallInt = 18,
    adUnsignedInt = 19,
    adBigInt = 20,
    adUnsignedBigInt = 21,
    adGUID = 72,
    adBinary = 128,
    adChar = 129,
    adWChar = 130,
    adNumeric = 131,
    adDBDate = 133,
    adDBTime = 134,
    adDBTimeStamp = 135,
    adVarNumeric = 139,
    adVarChar = 200,
    adLongVarChar = 201,
    adVarWChar = 202,
    adLongVarWChar = 203,
    adVarBinary = 204,
    adLongVarBinary = 205,
};

// OLE DB schema rowsets the client supplies.
enum SchemaEnum : int { adSchemaColumns = 4, adSchemaTables = 20 };

enum ObjectStateEnum : int { adStateClosed = 0, adStateOpen = 1 };

// A failure reported by the client or the server; the message is the client's own text.
class EDatabaseError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Field names of the columns schema rowset, in rowset order.
inline constexpr const char* kColumnsSchemaFields[] = {
    "TABLE_CATALOG",
    "TABLE_SCHEMA",
    "TABLE_NAME",
    "COLUMN_NAME",
    "COLUMN_GUID",
    "COLUMN_PROPID",
    "ORDINAL_POSITION",
    "COLUMN_HASDEFAULT",
    "COLUMN_DEFAULT",
    "COLUMN_FLAGS",
    "IS_NULLABLE",
    "DATA_TYPE",
    "TYPE_GUID",
    "CHARACTER_MAXIMUM_LENGTH",
    "CHARACTER_OCTET_LENGTH",
    "NUMERIC_PRECISION",
    "NUMERIC_SCALE",
    "DATETIME_PRECISION",
    "CHARACTER_SET_CATALOG",
    "CHARACTER_SET_SCHEMA",
    "CHARACTER_SET_NAME",
    "COLLATION_CATALOG",
    "COLLATION_SCHEMA",
    "COLLATION_NAME",
    "DOMAIN_CATALOG",
    "DOMAIN_SCHEMA",
    "DOMAIN_NAME",
    "DESCRIPTION",
};
// Field names of the tables schema rowset.
inline constexpr const char* kTablesSchemaFields[] = {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME",
                                                      "TABLE_TYPE"};

// Name, type code and defined size of one field of a record set.
struct FieldInfo {
    FieldInfo() = default;
    FieldInfo(std::string name, int type, std::int64_t definedSize = 0, int precision = 0, int scale = 0)
        : Name(std::move(name)), Type(type), DefinedSize(definedSize), Precision(precision), Scale(scale) {}

    std::string Name;
    int Type = adEmpty;
    std::int64_t DefinedSize = 0;
    int Precision = 0;
    int Scale = 0;
    std::string BaseTable;  // table the column comes from, when the driver knows it
};

// Rows of a result, read forward. MoveFirst starts again from the first row and RecordCount is the
// real number of rows; neither requires the rows to be held in memory.
class Recordset {
  public:
    virtual ~Recordset() = default;

    virtual bool Eof() const = 0;
    virtual void MoveFirst() = 0;
    virtual void MoveNext() = 0;
    virtual std::int64_t RecordCount() = 0;

    virtual int FieldCount() const = 0;
    virtual const FieldInfo& Field(int index) const = 0;
    // Value of a field of the current row; at EOF every value is empty.
    virtual const Variant& Value(int index) const = 0;

    // The kind of the current row's value of a field when reading leaves the stored value as it is, so
    // that a driver can bind it straight from the source's own storage; nothing when reading converts
    // it (or the record set keeps no storage of its own).
    virtual std::optional<support::VarType> StoredKind(int index) const;

    // Case-insensitive; -1 when absent.
    int FieldIndex(std::string_view name) const;
    // Throws EDatabaseError when the record set has no field of that name.
    const Variant& Value(std::string_view name) const;
    const Variant& operator[](std::string_view name) const { return Value(name); }
    bool Bof() const { return false; }
};

// A positional input parameter: empty name, direction input, size -1.
struct Parameter {
    Parameter() = default;
    Parameter(int type, Variant value, std::int64_t size = -1)
        : Type(type), Value(std::move(value)), Size(size) {}
    // Field `field` of the current row of `source`, sent as it is; a driver may bind it from the
    // source's own storage.
    static Parameter FromSource(int type, const Recordset& source, int field) {
        Parameter p(type, Variant());
        p.Source = &source;
        p.SourceField = field;
        return p;
    }

    // The value sent: the source's field when there is one.
    const Variant& value() const { return Source ? Source->Value(SourceField) : Value; }

    int Type = adEmpty;
    Variant Value;
    std::int64_t Size = -1;
    const Recordset* Source = nullptr;
    int SourceField = -1;
};

// One prepared text run for many rows. Add reads the values before it returns; a driver that can send
// rows in arrays of parameter sets may hold them until Flush (or until its array is full), so a row's
// failure may surface at a later Add or at Flush.
class CommandBatch {
  public:
    virtual ~CommandBatch() = default;
    virtual void Add(const std::vector<Parameter>& params) = 0;
    virtual void Flush() = 0;
};

// What a driver offers; a Connection owns one while it is open.
class Driver {
  public:
    virtual ~Driver() = default;

    // Opens with the connection string the engine built; raises EDatabaseError on failure.
    virtual void Open(const std::string& connectionString, int connectionTimeout) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    virtual void SetCommandTimeout(int seconds) = 0;

    // Executes a statement text; a result with columns comes back as a record set, else nullptr.
    virtual std::unique_ptr<Recordset> Execute(const std::string& sql) = 0;
    // Executes a text with "?" markers and no result rows. A prepared text may be kept and reused
    // by the driver while the same text comes again.
    virtual std::int64_t ExecuteCommand(const std::string& sql, const std::vector<Parameter>& params,
                                        bool prepared) = 0;
    // Schema rowset of kind adSchemaColumns or adSchemaTables; restrictions are catalogue, schema
    // and table name (null when absent).
    virtual std::unique_ptr<Recordset> OpenSchema(int schema, const std::vector<Variant>& restrictions) = 0;
    // The text prepared once for many rows; by default each row runs through ExecuteCommand.
    virtual std::unique_ptr<CommandBatch> PrepareBatch(const std::string& sql);

    virtual void BeginTrans() = 0;
    virtual void CommitTrans() = 0;
    virtual void RollbackTrans() = 0;
};

using DriverFactory = std::function<std::unique_ptr<Driver>(const std::string& connectionString)>;

// Drivers by Provider prefix of the connection string (case-insensitive). The built-in drivers are
// "Microsoft.Jet.OLEDB" (SQLite), "SQLOLEDB", "OraOLEDB" and "MSDASQL" (ODBC).
void RegisterDriver(const std::string& providerPrefix, DriverFactory factory);
// Replaces the drivers of a provider for the lifetime of the object (tests use it to record the
// statements sent to SQL Server and Oracle), restoring the earlier ones on destruction.
class ScopedDriverOverride {
  public:
    ScopedDriverOverride(std::string providerPrefix, DriverFactory factory);
    ~ScopedDriverOverride();
    ScopedDriverOverride(const ScopedDriverOverride&) = delete;
    ScopedDriverOverride& operator=(const ScopedDriverOverride&) = delete;

  private:
    std::string prefix_;
    DriverFactory previous_;
};
// The driver for a connection string; raises EDatabaseError when no driver serves its provider.
std::unique_ptr<Driver> CreateDriver(const std::string& connectionString);

// The connection object of the engine. Time-outs are in seconds, 0 meaning unlimited; the defaults are
// the client library's (15 for connecting, 30 for commands).
class Connection {
  public:
    Connection();
    explicit Connection(std::string connectionString);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const std::string& ConnectionString() const { return connectionString_; }
    // Only while closed.
    void SetConnectionString(std::string value);
    int ConnectionTimeout() const { return connectionTimeout_; }
    void SetConnectionTimeout(int seconds) { connectionTimeout_ = seconds; }
    int CommandTimeout() const { return commandTimeout_; }
    void SetCommandTimeout(int seconds);

    void Open();
    void Close();
    ObjectStateEnum State() const;
    bool IsOpen() const { return State() == adStateOpen; }

    // The operations below require an open connection.
    std::unique_ptr<Recordset> Execute(const std::string& sql);
    std::unique_ptr<Recordset> OpenSchema(int schema, const std::vector<Variant>& restrictions);
    std::unique_ptr<CommandBatch> PrepareBatch(const std::string& sql);
    void BeginTrans();
    void CommitTrans();
    void RollbackTrans();
    Driver& driver();

  private:
    std::string connectionString_;
    int connectionTimeout_ = 15;
    int commandTimeout_ = 30;
    std::unique_ptr<Driver> driver_;
};

// A text command with "?" markers on an open connection, executed without result rows.
class Command {
  public:
    explicit Command(Connection& activeConnection) : connection_(activeConnection) {}

    std::string CommandText;
    bool Prepared = false;
    std::vector<Parameter> Parameters;

    Parameter& CreateParameter(int type, Variant value, std::int64_t size = -1);
    std::int64_t Execute();  // rows affected

  private:
    Connection& connection_;
};

// A record set opened on a query (static cursor, optimistic lock) whose AddNew posts a row at once
// into the table of the query.
class UpdatableRecordset {
  public:
    UpdatableRecordset(Connection& connection, const std::string& sql);
    Recordset& rows() { return *rows_; }
    int FieldCount() const { return rows_->FieldCount(); }
    const FieldInfo& Field(int index) const { return rows_->Field(index); }
    // Names absent from the list, and null values, are left to the table's defaults.
    void AddNew(const std::vector<std::string>& fieldNames, const std::vector<Variant>& values);

  private:
    Connection& connection_;
    std::string table_;
    std::unique_ptr<Recordset> rows_;
};

// An ordinary file keeps SQLite's safe defaults; a scratch file (the transfer file of a patch) is
// marked so that every later connection writes it without syncing and with its journal in memory.
enum class JetFileKind { Ordinary, Scratch };
// Closes a connection however the work on it ends.
class ClosedAfterUse {
  public:
    explicit ClosedAfterUse(Connection& connection) : connection_(connection) {}
    ~ClosedAfterUse() { connection_.Close(); }
    ClosedAfterUse(const ClosedAfterUse&) = delete;
    ClosedAfterUse& operator=(const ClosedAfterUse&) = delete;

  private:
    Connection& connection_;
};

// Creates an empty Jet-kind database file (an SQLite 3 file on this platform) from a Jet connection
// string; raises EDatabaseError when the file exists already or cannot be made.
void CreateJetDatabase(const std::string& connectionString, JetFileKind kind = JetFileKind::Ordinary);

}  // namespace kestrane::db
