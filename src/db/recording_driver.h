// A driver for tests: every statement sent is recorded, and results are scripted per statement text,
// so that the SQL Server and Oracle paths of the engine are checked against their exact texts.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/connection.h"
#include "db/memory_recordset.h"

namespace kestrane::db {

struct RecordedStatement {
    enum Kind { Open, Execute, Command, Schema, Begin, Commit, Rollback, Close };
    Kind kind = Execute;
    std::string text;  // statement, or the connection string for Open
    std::vector<Parameter> params;
    bool prepared = false;
    int schema = 0;
    std::vector<Variant> restrictions;
};

class RecordingDatabase {
  public:
    // Result of a statement whose text equals `sql` (or begins with it when `prefix`); later rules win.
    void OnQuery(std::string sql, MemoryRecordset rows, bool prefix = false);
    void OnFail(std::string sql, std::string message, bool prefix = false);
    void OnSchema(int schema, MemoryRecordset rows);
    void FailOpen(std::string message) { openError_ = std::move(message); }
    // As SQL Server's drivers without multiple active result sets (and FreeTDS) do: while a result
    // with rows still unread is open on a SQL Server connection, any other statement on it fails with
    // "Connection is busy with results for another command". Oracle connections take them.
    void RefuseStatementsWhileRowsPending(bool refuse = true) { singleResult_ = refuse; }
    bool RefusesStatementsWhileRowsPending() const { return singleResult_; }

    const std::vector<RecordedStatement>& Log() const { return log_; }
    // Texts of Execute and Command entries only, in order.
    std::vector<std::string> Statements() const;
    void Clear() { log_.clear(); }

    // What the driver calls.
    void Record(RecordedStatement s) { log_.push_back(std::move(s)); }
    // Throws the scripted failure; returns the scripted rows or nullptr.
    std::unique_ptr<Recordset> Answer(const std::string& sql) const;
    std::unique_ptr<Recordset> AnswerSchema(int schema) const;
    const std::string& OpenError() const { return openError_; }

  private:
    struct Rule {
        std::string sql;
        bool prefix;
        bool fail;
        std::string message;
        MemoryRecordset rows;
    };
    std::vector<Rule> rules_;
    std::vector<std::pair<int, MemoryRecordset>> schemas_;
    std::vector<RecordedStatement> log_;
    std::string openError_;
    bool singleResult_ = false;
};

DriverFactory RecordingDriverFactory(std::shared_ptr<RecordingDatabase> database);

}  // namespace kestrane::db
