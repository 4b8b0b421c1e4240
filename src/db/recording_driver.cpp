#include "db/recording_driver.h"

#include "db/connection_string.h"
#include "db/texts.h"
#include "support/text.h"

namespace kestrane::db {

void RecordingDatabase::OnQuery(std::string sql, MemoryRecordset rows, bool prefix) {
    rules_.push_back({std::move(sql), prefix, false, {}, std::move(rows)});
}

void RecordingDatabase::OnFail(std::string sql, std::string message, bool prefix) {
    rules_.push_back({std::move(sql), prefix, true, std::move(message), {}});
}

void RecordingDatabase::OnSchema(int schema, MemoryRecordset rows) {
    schemas_.emplace_back(schema, std::move(rows));
}

std::vector<std::string> RecordingDatabase::Statements() const {
    std::vector<std::string> out;
    for (const auto& s : log_)
        if (s.kind == RecordedStatement::Execute || s.kind == RecordedStatement::Command)
            out.push_back(s.text);
    return out;
}

std::unique_ptr<Recordset> RecordingDatabase::Answer(const std::string& sql) const {
    for (auto it = rules_.rbegin(); it != rules_.rend(); ++it) {
        const bool hit = it->prefix ? sql.compare(0, it->sql.size(), it->sql) == 0 : sql == it->sql;
        if (!hit) continue;
        if (it->fail) throw EDatabaseError(it->message);
        auto rs = std::make_unique<MemoryRecordset>(it->rows);
        rs->MoveFirst();
        return rs;
    }
    return nullptr;
}

std::unique_ptr<Recordset> RecordingDatabase::AnswerSchema(int schema) const {
    for (auto it = schemas_.rbegin(); it != schemas_.rend(); ++it)
        if (it->first == schema) {
            auto rs = std::make_unique<MemoryRecordset>(it->second);
            rs->MoveFirst();
            return rs;
        }
    return schema == adSchemaTables ? std::unique_ptr<Recordset>(NewTablesRowset())
                                    : std::unique_ptr<Recordset>(NewColumnsRowset());
}

namespace {

// Rows handed out by the driver; while some are unread, the connection has a pending result.
struct PendingRows {
    const Recordset* rows = nullptr;
};

class RecordedRows : public Recordset {
  public:
    RecordedRows(std::unique_ptr<Recordset> rows, std::shared_ptr<PendingRows> pending)
        : rows_(std::move(rows)), pending_(std::move(pending)) {
        pending_->rows = rows_.get();
    }
    ~RecordedRows() override {
        if (pending_->rows == rows_.get()) pending_->rows = nullptr;
    }
    bool Eof() const override { return rows_->Eof(); }
    void MoveFirst() override { rows_->MoveFirst(); }
    void MoveNext() override { rows_->MoveNext(); }
    std::int64_t RecordCount() override { return rows_->RecordCount(); }
    int FieldCount() const override { return rows_->FieldCount(); }
    const FieldInfo& Field(int index) const override { return rows_->Field(index); }
    const Variant& Value(int index) const override { return rows_->Value(index); }
    using Recordset::Value;

  private:
    std::unique_ptr<Recordset> rows_;
    std::shared_ptr<PendingRows> pending_;
};

class RecordingDriver : public Driver {
  public:
    explicit RecordingDriver(std::shared_ptr<RecordingDatabase> db) : db_(std::move(db)) {}

    void Open(const std::string& connectionString, int) override {
        // Oracle's drivers keep several results open on a connection; SQL Server's without multiple
        // active result sets do not.
        sqlServer_ =
            support::StartsText("SQLOLEDB", ConnectionStringValueTrimmed(connectionString, "Provider"));
        RecordedStatement s;
        s.kind = RecordedStatement::Open;
        s.text = connectionString;
        db_->Record(std::move(s));
        if (!db_->OpenError().empty()) throw EDatabaseError(db_->OpenError());
        open_ = true;
    }
    void Close() override {
        if (!open_) return;
        open_ = false;
        RecordedStatement s;
        s.kind = RecordedStatement::Close;
        db_->Record(std::move(s));
    }
    bool IsOpen() const override { return open_; }
    void SetCommandTimeout(int) override {}

    std::unique_ptr<Recordset> Execute(const std::string& sql) override {
        RecordedStatement s;
        s.text = sql;
        db_->Record(std::move(s));
        RefuseWhilePending();
        auto rows = db_->Answer(sql);
        if (!rows) return nullptr;
        return std::make_unique<RecordedRows>(std::move(rows), pending_);
    }
    std::int64_t ExecuteCommand(const std::string& sql, const std::vector<Parameter>& params,
                                bool prepared) override {
        RecordedStatement s;
        s.kind = RecordedStatement::Command;
        s.text = sql;
        s.params = params;
        // The log keeps values, not references to rows that move on.
        for (Parameter& p : s.params) {
            p.Value = p.value();
            p.Source = nullptr;
            p.SourceField = -1;
        }
        s.prepared = prepared;
        db_->Record(std::move(s));
        RefuseWhilePending();
        db_->Answer(sql);
        return 1;
    }
    std::unique_ptr<Recordset> OpenSchema(int schema, const std::vector<Variant>& restrictions) override {
        RecordedStatement s;
        s.kind = RecordedStatement::Schema;
        s.schema = schema;
        s.restrictions = restrictions;
        db_->Record(std::move(s));
        RefuseWhilePending();
        return db_->AnswerSchema(schema);
    }
    void BeginTrans() override { Mark(RecordedStatement::Begin); }
    void CommitTrans() override { Mark(RecordedStatement::Commit); }
    void RollbackTrans() override { Mark(RecordedStatement::Rollback); }

  private:
    void Mark(RecordedStatement::Kind k) {
        RecordedStatement s;
        s.kind = k;
        db_->Record(std::move(s));
    }
    void RefuseWhilePending() const {
        if (sqlServer_ && db_->RefusesStatementsWhileRowsPending() && pending_->rows &&
            !pending_->rows->Eof())
            throw EDatabaseError(kTxtConnectionBusy);
    }
    std::shared_ptr<RecordingDatabase> db_;
    std::shared_ptr<PendingRows> pending_ = std::make_shared<PendingRows>();
    bool open_ = false;
    bool sqlServer_ = false;
};

}  // namespace

DriverFactory RecordingDriverFactory(std::shared_ptr<RecordingDatabase> database) {
    return [database](const std::string&) { return std::make_unique<RecordingDriver>(database); };
}

}  // namespace kestrane::db
