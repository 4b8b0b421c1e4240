#include "db/connection.h"

#include <map>
#include <mutex>

#include "db/connection_string.h"
#include "db/fault_injection.h"
#include "db/texts.h"
#include "support/format.h"
#include "support/text.h"

namespace kestrane::db {

namespace {

struct Registry {
    std::mutex mutex;
    std::vector<std::pair<std::string, DriverFactory>> factories;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

// The built-in drivers live in their own units; they register here on first use so that a static
// library does not drop them.
std::unique_ptr<Driver> BuiltInDriver(const std::string& provider);

}  // namespace

// Defined by the driver units.
std::unique_ptr<Driver> NewSqliteDriver();
std::unique_ptr<Driver> NewOdbcDriver();

namespace {
std::unique_ptr<Driver> BuiltInDriver(const std::string& provider) {
    if (support::StartsText("Microsoft.Jet.OLEDB", provider)) return NewSqliteDriver();
    if (support::StartsText("SQLOLEDB", provider) || support::StartsText("OraOLEDB", provider) ||
        support::StartsText("MSDASQL", provider))
        return NewOdbcDriver();
    return nullptr;
}
}  // namespace

void RegisterDriver(const std::string& providerPrefix, DriverFactory factory) {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    for (auto& [prefix, f] : r.factories)
        if (support::SameText(prefix, providerPrefix)) {
            f = std::move(factory);
            return;
        }
    r.factories.emplace_back(providerPrefix, std::move(factory));
}

ScopedDriverOverride::ScopedDriverOverride(std::string providerPrefix, DriverFactory factory)
    : prefix_(std::move(providerPrefix)) {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    for (auto& [prefix, f] : r.factories)
        if (support::SameText(prefix, prefix_)) {
            previous_ = std::exchange(f, std::move(factory));
            return;
        }
    r.factories.emplace_back(prefix_, std::move(factory));
}

ScopedDriverOverride::~ScopedDriverOverride() {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    for (auto it = r.factories.begin(); it != r.factories.end(); ++it)
        if (support::SameText(it->first, prefix_)) {
            if (previous_)
                it->second = std::move(previous_);
            else
                r.factories.erase(it);
            return;
        }
}

std::unique_ptr<Driver> CreateDriver(const std::string& connectionString) {
    const std::string provider = ConnectionStringValueTrimmed(connectionString, "Provider");
    DriverFactory factory;
    {
        Registry& r = TheRegistry();
        std::lock_guard lock(r.mutex);
        std::size_t best = 0;
        for (const auto& [prefix, f] : r.factories)
            if (support::StartsText(prefix, provider) && prefix.size() >= best) {
                best = prefix.size();
                factory = f;
            }
    }
    if (factory) return factory(connectionString);
    if (auto d = BuiltInDriver(provider)) return d;
    throw EDatabaseError(support::Format(kTxtNoProvider, provider));
}

std::optional<support::VarType> Recordset::StoredKind(int) const {
    return std::nullopt;
}

int Recordset::FieldIndex(std::string_view name) const {
    const int n = FieldCount();
    for (int i = 0; i < n; ++i)
        if (support::SameText(Field(i).Name, name)) return i;
    return -1;
}

const Variant& Recordset::Value(std::string_view name) const {
    const int i = FieldIndex(name);
    if (i < 0) throw EDatabaseError(support::Format(kTxtFieldName, name));
    return Value(i);
}

Connection::Connection() = default;
Connection::Connection(std::string connectionString) : connectionString_(std::move(connectionString)) {}
Connection::~Connection() {
    try {
        Close();
    } catch (...) {
        // A destructor has no one to report to; the handle is released by the driver's own destructor.
    }
}

void Connection::SetConnectionString(std::string value) {
    if (IsOpen()) throw EDatabaseError(kTxtOpenChange);
    connectionString_ = std::move(value);
}

void Connection::SetCommandTimeout(int seconds) {
    commandTimeout_ = seconds;
    if (driver_) driver_->SetCommandTimeout(seconds);
}

void Connection::Open() {
    if (IsOpen()) throw EDatabaseError(kTxtOpenChange);
    auto d = CreateDriver(connectionString_);
    d->Open(connectionString_, connectionTimeout_);
    d->SetCommandTimeout(commandTimeout_);
    driver_ = std::move(d);
}

void Connection::Close() {
    if (!driver_) return;
    auto d = std::move(driver_);
    d->Close();
}

ObjectStateEnum Connection::State() const {
    return driver_ && driver_->IsOpen() ? adStateOpen : adStateClosed;
}

Driver& Connection::driver() {
    if (!IsOpen()) throw EDatabaseError(kTxtClosed);
    return *driver_;
}

std::unique_ptr<Recordset> Connection::Execute(const std::string& sql) {
    Driver& d = driver();
    CheckInjectedFault(connectionString_, sql);
    return d.Execute(sql);
}

std::unique_ptr<Recordset> Connection::OpenSchema(int schema, const std::vector<Variant>& restrictions) {
    return driver().OpenSchema(schema, restrictions);
}

namespace {

class RowAtATimeBatch : public CommandBatch {
  public:
    RowAtATimeBatch(Driver& driver, std::string sql) : driver_(driver), sql_(std::move(sql)) {}
    void Add(const std::vector<Parameter>& params) override { driver_.ExecuteCommand(sql_, params, true); }
    void Flush() override {}

  private:
    Driver& driver_;
    std::string sql_;
};

// Every row of a batch counts as one statement for the fault-injection switch, as a single command does.
class FaultCheckedBatch : public CommandBatch {
  public:
    FaultCheckedBatch(std::unique_ptr<CommandBatch> inner, const std::string& connectionString,
                      std::string sql)
        : inner_(std::move(inner)), connectionString_(connectionString), sql_(std::move(sql)) {}
    void Add(const std::vector<Parameter>& params) override {
        CheckInjectedFault(connectionString_, sql_);
        inner_->Add(params);
    }
    void Flush() override { inner_->Flush(); }

  private:
    std::unique_ptr<CommandBatch> inner_;
    const std::string& connectionString_;
    std::string sql_;
};

}  // namespace

std::unique_ptr<CommandBatch> Driver::PrepareBatch(const std::string& sql) {
    return std::make_unique<RowAtATimeBatch>(*this, sql);
}

std::unique_ptr<CommandBatch> Connection::PrepareBatch(const std::string& sql) {
    return std::make_unique<FaultCheckedBatch>(driver().PrepareBatch(sql), connectionString_, sql);
}

void Connection::BeginTrans() {
    driver().BeginTrans();
}
void Connection::CommitTrans() {
    driver().CommitTrans();
}
void Connection::RollbackTrans() {
    driver().RollbackTrans();
}

Parameter& Command::CreateParameter(int type, Variant value, std::int64_t size) {
    Parameters.push_back(Parameter{type, std::move(value), size});
    return Parameters.back();
}

std::int64_t Command::Execute() {
    Driver& d = connection_.driver();
    CheckInjectedFault(connection_.ConnectionString(), CommandText);
    return d.ExecuteCommand(CommandText, Parameters, Prepared);
}

namespace {

// The first table named after "from" in a query text: what the record set's rows are added to when
// the driver cannot say which table its columns come from.
std::string TableOfQuery(const std::string& sql) {
    std::size_t pos = 0;
    while ((pos = support::FindText(sql, "from", pos)) != std::string::npos) {
        const bool startOk = pos == 0 || static_cast<unsigned char>(sql[pos - 1]) <= ' ';
        const std::size_t after = pos + 4;
        if (startOk && after < sql.size() && static_cast<unsigned char>(sql[after]) <= ' ') {
            std::size_t b = after;
            while (b < sql.size() && static_cast<unsigned char>(sql[b]) <= ' ') ++b;
            std::size_t e = b;
            while (e < sql.size() && static_cast<unsigned char>(sql[e]) > ' ' && sql[e] != ';' &&
                   sql[e] != ')' && sql[e] != ',')
                ++e;
            if (e > b) return sql.substr(b, e - b);
        }
        pos = after;
    }
    return {};
}

}  // namespace

UpdatableRecordset::UpdatableRecordset(Connection& connection, const std::string& sql)
    : connection_(connection), rows_(connection.Execute(sql)) {
    if (!rows_) throw EDatabaseError(support::Format(kTxtNoTable, sql));
    for (int i = 0; i < rows_->FieldCount() && table_.empty(); ++i) table_ = rows_->Field(i).BaseTable;
    if (table_.empty()) table_ = TableOfQuery(sql);
    if (table_.empty()) throw EDatabaseError(support::Format(kTxtNoTable, sql));
}

void UpdatableRecordset::AddNew(const std::vector<std::string>& fieldNames,
                                const std::vector<Variant>& values) {
    if (fieldNames.size() != values.size()) throw EDatabaseError(kTxtAddNewArity);
    Command cmd(connection_);
    std::string columns, markers;
    for (std::size_t i = 0; i < fieldNames.size(); ++i) {
        if (values[i].IsNullOrEmpty()) continue;
        const int f = rows_->FieldIndex(fieldNames[i]);
        if (f < 0) throw EDatabaseError(support::Format(kTxtFieldName, fieldNames[i]));
        const FieldInfo& info = rows_->Field(f);
        columns += (columns.empty() ? "" : ",") + info.Name;
        markers += markers.empty() ? "?" : ",?";
        cmd.CreateParameter(info.Type, values[i], info.DefinedSize);
    }
    if (columns.empty()) return;
    cmd.CommandText = "insert into " + table_ + " (" + columns + ") values (" + markers + ")";
    cmd.Prepared = true;
    cmd.Execute();
}

}  // namespace kestrane::db
